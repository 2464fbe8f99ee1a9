// Personalities of the device generations that the detector tells apart but
// this program does not serve: each answers only its own probe, so the
// detector and the hand-over to a sibling program can be tried on a line.
#pragma once

#include "sim/Responder.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sim {

// Answers one fixed 4-byte probe with one fixed answer and stays silent on
// every other well-formed frame. Frames are the probe's length unless a
// command table says otherwise (see the 1.3 controller).
class ProbeResponder : public Responder
{
public:
    // `probe` is the whole request (last byte its checksum); `answer` the
    // answer without its checksum, which is added as start + bytes.
    ProbeResponder(std::vector<uint8_t> probe, std::vector<uint8_t> answer, bool controllerFrames);

    uint8_t StartByte() const override { return probe_[0]; }
    Scan ScanFrame(std::span<const uint8_t> buffer) const override;
    Reply Answer(std::span<const uint8_t> frame) override;

    const std::vector<uint8_t> &Probe() const { return probe_; }
    const std::vector<uint8_t> &AnswerBytes() const { return answer_; }

private:
    std::vector<uint8_t> probe_;
    std::vector<uint8_t> answer_;
    bool controllerFrames_;
};

// A 1.3 controller on start byte 0xC0: answers C0 01 01 C2 with version 0x13.
std::shared_ptr<ProbeResponder> MakeController13();
// A 3.0 bootloader on start byte 0xBA: answers BA E1 E1 sum with six bytes from 0xBB.
std::shared_ptr<ProbeResponder> MakeBootloader30();
// A 4.0 device on start byte 0xC1: answers C1 01 01 C3 with 0xD1 and `code` (0x35 or 0x40).
std::shared_ptr<ProbeResponder> MakeDevice40(uint8_t code);

} // namespace sim
