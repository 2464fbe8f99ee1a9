#include "sim/ProbeResponders.h"

#include "controller/CommandTable.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::size_t kProbeLength = 4;

std::vector<uint8_t> WithSum(std::vector<uint8_t> bytes)
{
    bytes.push_back(lumex::FrameSum(bytes));
    return bytes;
}

} // namespace

ProbeResponder::ProbeResponder(std::vector<uint8_t> probe, std::vector<uint8_t> answer, bool controllerFrames)
    : probe_(std::move(probe)), answer_(WithSum(std::move(answer))), controllerFrames_(controllerFrames)
{
}

Scan ProbeResponder::ScanFrame(std::span<const uint8_t> buffer) const
{
    std::size_t length = kProbeLength;
    if (controllerFrames_) {
        if (buffer.size() < 2)
            return {ScanResult::NeedMore, 0};
        const auto *entry = lumex::FindCommand(buffer[1]);
        if (!entry)
            return {ScanResult::Invalid, 0};
        length = entry->requestLength;
    }
    if (buffer.size() < length)
        return {ScanResult::NeedMore, 0};
    return {ScanResult::Complete, length};
}

Reply ProbeResponder::Answer(std::span<const uint8_t> frame)
{
    Reply reply;
    if (frame.size() < 2)
        return reply;
    if (lumex::FrameSum(frame.first(frame.size() - 1)) != frame.back()) {
        reply.violation = "request checksum wrong";
        return reply;
    }
    if (std::equal(frame.begin(), frame.end(), probe_.begin(), probe_.end()))
        reply.bytes = answer_;
    return reply;
}

std::shared_ptr<ProbeResponder> MakeController13()
{
    // Byte 1 of an answer is not read by the client; echoing the code helps
    // anyone reading a trace.
    return std::make_shared<ProbeResponder>(std::vector<uint8_t>{0xC0, 0x01, 0x01, 0xC2},
                                            std::vector<uint8_t>{0xD0, 0x01, 0x13}, true);
}

std::shared_ptr<ProbeResponder> MakeBootloader30()
{
    // Echo of the request byte, then bootloader version 3.0 and status 0.
    return std::make_shared<ProbeResponder>(WithSum({0xBA, 0xE1, 0xE1}),
                                            std::vector<uint8_t>{0xBB, 0xE1, 0x03, 0x00, 0x00}, false);
}

std::shared_ptr<ProbeResponder> MakeDevice40(uint8_t code)
{
    return std::make_shared<ProbeResponder>(std::vector<uint8_t>{0xC1, 0x01, 0x01, 0xC3},
                                            std::vector<uint8_t>{0xD1, 0x01, code}, false);
}

} // namespace sim
