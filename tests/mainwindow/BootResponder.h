// A bootloader on the line: answers the version request and the family and
// status queries of the 0xBC protocol with fixed values.
#pragma once

#include "controller/CommandTable.h"
#include "sim/Responder.h"

#include <cstdint>
#include <vector>

namespace guitest {

class BootResponder : public sim::Responder
{
public:
    BootResponder(uint8_t major, uint8_t minor, uint8_t family) : major_(major), minor_(minor), family_(family) {}

    uint8_t StartByte() const override { return 0xBC; }
    sim::Scan ScanFrame(std::span<const uint8_t> buffer) const override
    {
        if (buffer.size() < 4)
            return {sim::ScanResult::NeedMore, 0};
        return {sim::ScanResult::Complete, 4};
    }
    sim::Reply Answer(std::span<const uint8_t> frame) override
    {
        sim::Reply r;
        if (frame[1] == 0xE1)
            r.bytes = {0xBD, 0xE1, major_, minor_, 0x00};
        else if (frame[1] == 0xF0)
            r.bytes = {0xBD, 0xF0, static_cast<uint8_t>(frame[2] == 1 ? family_ : 0), 0x00, 0x00, 0x00};
        else
            return r;
        r.bytes.push_back(lumex::FrameSum(r.bytes));
        return r;
    }

private:
    uint8_t major_, minor_, family_;
};

} // namespace guitest
