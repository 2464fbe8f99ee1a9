#include "sim/IdentifyResponders.h"

#include "controller/CommandCodes.h"
#include "controller/CommandTable.h"
#include "mainwindow/BootIdentify.h"

#include <vector>

namespace sim {

namespace {

constexpr std::size_t kBootRequestLength = 4;
constexpr std::size_t kBootBlockRequestLength = 39; // BC E6, 36 data bytes, sum

bool SumMatches(std::span<const uint8_t> frame)
{
    return frame.size() >= 2 && lumex::FrameSum(frame.first(frame.size() - 1)) == frame.back();
}

Reply WithSum(std::vector<uint8_t> bytes)
{
    bytes.push_back(lumex::FrameSum(bytes));
    return {std::move(bytes), ""};
}

Reply WrongSum()
{
    Reply r;
    r.violation = "request checksum wrong";
    return r;
}

} // namespace

uint8_t BootloaderResponder::StartByte() const
{
    return lumex::kBootRequestStart;
}

Scan BootloaderResponder::ScanFrame(std::span<const uint8_t> buffer) const
{
    if (buffer.size() < 2)
        return {ScanResult::NeedMore, 0};
    const std::size_t length =
        buffer[1] == lumex::kBootWriteBlockCommand ? kBootBlockRequestLength : kBootRequestLength;
    if (buffer.size() < length)
        return {ScanResult::NeedMore, 0};
    return {ScanResult::Complete, length};
}

Reply BootloaderResponder::Answer(std::span<const uint8_t> frame)
{
    if (!SumMatches(frame))
        return WrongSum();
    const uint8_t code = frame[1];
    if (code == lumex::kBootVersionCommand)
        return WithSum({lumex::kBootAnswerStart, code, identity_.major, identity_.minor, identity_.extra});
    if (code != lumex::kBootInfoCommand)
        return {};
    // Answers to the info queries are seven bytes: the value and three spare bytes.
    uint8_t value = 0;
    switch (frame[2]) {
    case lumex::kBootInfoFamily:
        value = identity_.family;
        break;
    case lumex::kBootInfoStatus:
        value = identity_.status;
        break;
    case lumex::kBootInfoResetStatus:
        identity_.status = 0;
        break;
    default:
        return {};
    }
    return WithSum({lumex::kBootAnswerStart, code, value, 0, 0, 0});
}

uint8_t UnknownGenerationResponder::StartByte() const
{
    return lumex::kRequestStart;
}

Scan UnknownGenerationResponder::ScanFrame(std::span<const uint8_t> buffer) const
{
    if (buffer.size() < 2)
        return {ScanResult::NeedMore, 0};
    const lumex::CommandInfo *entry = lumex::FindCommand(buffer[1]);
    if (entry == nullptr)
        return {ScanResult::Invalid, 0};
    if (buffer.size() < entry->requestLength)
        return {ScanResult::NeedMore, 0};
    return {ScanResult::Complete, entry->requestLength};
}

Reply UnknownGenerationResponder::Answer(std::span<const uint8_t> frame)
{
    if (!SumMatches(frame))
        return WrongSum();
    if (frame[1] == lumex::cmd::ReadVersionCode)
        return WithSum({lumex::kAnswerStart, frame[1], versionCode_});
    if (frame[1] == lumex::cmd::ReadIdentByte && frame.size() > 2 && frame[2] == 0)
        return WithSum({lumex::kAnswerStart, frame[1], letter_});
    return {};
}

} // namespace sim
