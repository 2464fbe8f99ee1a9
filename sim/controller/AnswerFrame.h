// Building answer frames and reading request frames, bounds-checked so that
// a handler can never write or read past the frame.
#pragma once

#include "controller/CommandTable.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

class AnswerFrame
{
public:
    // 0xD0, the code in byte 1 (the client ignores it), zero payload.
    AnswerFrame(uint8_t code, std::size_t length) : bytes_(length < 3 ? 3 : length, 0)
    {
        bytes_[0] = lumex::kAnswerStart;
        bytes_[1] = code;
    }
    // B[k] in the client's numbering; only payload bytes 2..n-2 are writable.
    void Put8(std::size_t k, uint8_t value)
    {
        if (k >= 2 && k + 1 < bytes_.size())
            bytes_[k] = value;
    }
    void Put16(std::size_t k, uint16_t value)
    {
        Put8(k, static_cast<uint8_t>(value >> 8));
        Put8(k + 1, static_cast<uint8_t>(value));
    }
    void Put32(std::size_t k, uint32_t value)
    {
        Put16(k, static_cast<uint16_t>(value >> 16));
        Put16(k + 2, static_cast<uint16_t>(value));
    }
    void PutBytes(std::size_t k, std::span<const uint8_t> values)
    {
        for (std::size_t i = 0; i < values.size(); ++i)
            Put8(k + i, values[i]);
    }
    std::vector<uint8_t> Finish()
    {
        bytes_.back() = lumex::FrameSum(std::span<const uint8_t>(bytes_).first(bytes_.size() - 1));
        return bytes_;
    }

private:
    std::vector<uint8_t> bytes_;
};

// A complete request frame: 0xC0, code, parameters, checksum.
class Request
{
public:
    explicit Request(std::span<const uint8_t> frame) : frame_(frame) {}
    uint8_t Code() const { return At(1); }
    // Parameter byte i (i = 0 is frame byte 2); 0 beyond the frame.
    uint8_t Param(std::size_t i) const { return At(2 + i); }
    uint16_t ParamWord(std::size_t i) const { return static_cast<uint16_t>(Param(i) << 8 | Param(i + 1)); }
    uint32_t ParamLong(std::size_t i) const { return static_cast<uint32_t>(ParamWord(i)) << 16 | ParamWord(i + 2); }
    std::size_t ParamCount() const { return frame_.size() > 3 ? frame_.size() - 3 : 0; }

private:
    uint8_t At(std::size_t k) const { return k + 1 < frame_.size() ? frame_[k] : 0; }
    std::span<const uint8_t> frame_;
};

} // namespace sim
