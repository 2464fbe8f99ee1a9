#include "controller/Frame.h"

#include "controller/CommandTable.h"
#include "serial/ComMultiPort.h"

#include <algorithm>

namespace lumex {

std::vector<uint8_t> BuildRequest(uint8_t code, std::span<const uint8_t> params)
{
    std::vector<uint8_t> frame;
    frame.reserve(params.size() + 3);
    frame.push_back(kRequestStart);
    frame.push_back(code);
    frame.insert(frame.end(), params.begin(), params.end());
    frame.push_back(FrameSum(frame));
    return frame;
}

bool FrameChecksumValid(std::span<const uint8_t> frame)
{
    if (frame.size() < 2)
        return false;
    return FrameSum(frame.first(frame.size() - 1)) == frame.back();
}

bool ReceiveFrame(TComMultiPort &port, std::span<uint8_t> frame, uint8_t startByte)
{
    std::fill(frame.begin(), frame.end(), uint8_t{0});
    if (frame.size() < 2)
        return false;
    unsigned got = 0;
    if (!port.Read(frame.data(), 1, got) || got != 1 || frame[0] != startByte) {
        frame[0] = 0;
        return false;
    }
    const auto rest = static_cast<unsigned>(frame.size() - 1);
    got = 0;
    if (!port.Read(frame.data() + 1, rest, got) || got != rest || !FrameChecksumValid(frame)) {
        std::fill(frame.begin(), frame.end(), uint8_t{0});
        return false;
    }
    return true;
}

} // namespace lumex
