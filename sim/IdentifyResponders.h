// Personalities that only identify themselves, for the detector and the
// connection workflow: a device sitting in its bootloader, and a controller
// of a generation this program does not serve.
#pragma once

#include "sim/Responder.h"

#include <cstdint>

namespace sim {

struct BootloaderIdentity
{
    uint8_t major = 4;
    uint8_t minor = 6;
    uint8_t extra = 0;
    uint8_t family = 3; // 3 the gas controller, 40 the adapter
    uint8_t status = 0;
};

// The bootloader protocol on start byte 0xBC as far as identification goes:
// the version request (BC E1) and the family and status queries (BC F0 sub).
// It frames the long block write too, so a client that goes further sees
// silence rather than a line out of step; everything else gets no answer.
class BootloaderResponder : public Responder
{
public:
    explicit BootloaderResponder(BootloaderIdentity identity) : identity_(identity) {}

    uint8_t StartByte() const override;
    Scan ScanFrame(std::span<const uint8_t> buffer) const override;
    Reply Answer(std::span<const uint8_t> frame) override;

    const BootloaderIdentity &Identity() const { return identity_; }

private:
    BootloaderIdentity identity_;
};

// A controller on 0xC0 whose version code no program serves: it answers the
// version request with `versionCode` and identification byte 0 (the letter
// request) with `letter`, and stays silent on every other known command.
class UnknownGenerationResponder : public Responder
{
public:
    UnknownGenerationResponder(uint8_t versionCode, uint8_t letter) : versionCode_(versionCode), letter_(letter) {}

    uint8_t StartByte() const override;
    Scan ScanFrame(std::span<const uint8_t> buffer) const override;
    Reply Answer(std::span<const uint8_t> frame) override;

private:
    uint8_t versionCode_;
    uint8_t letter_;
};

} // namespace sim
