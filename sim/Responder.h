// A device personality on the simulated line: it claims one start byte,
// tells the line host where a frame ends, and answers whole frames. The
// controller (0xC0), the other-generation probes (0xC1, 0xBA), and later the
// adapter (0xC2) and the bootloaders (0xBC) are responders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sim {

enum class ScanResult
{
    NeedMore, // the frame is not complete yet
    Complete, // a whole frame of `length` bytes is at the front
    Invalid   // these bytes form no frame this responder knows
};

struct Scan
{
    ScanResult result = ScanResult::NeedMore;
    std::size_t length = 0;
};

struct Reply
{
    std::vector<uint8_t> bytes; // empty = stay silent
    std::string violation;      // empty = the client behaved
};

class Responder
{
public:
    virtual ~Responder() = default;
    virtual uint8_t StartByte() const = 0;
    // buffer[0] is StartByte(). Must be safe on any bytes.
    virtual Scan ScanFrame(std::span<const uint8_t> buffer) const = 0;
    // A complete frame, as found by ScanFrame. Must be safe on any bytes.
    virtual Reply Answer(std::span<const uint8_t> frame) = 0;
};

} // namespace sim
