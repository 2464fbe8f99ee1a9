#include "sim/adapter/AdapterResponder.h"

#include "modules/AdapterProtocol.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace sim {

namespace {

struct Command
{
    uint8_t code;
    uint8_t param;
    std::size_t answerLength;
};

// The identity commands: one parameter byte each, so every request is five
// bytes long.
constexpr std::array<Command, 6> kCommands = {{
    {0x01, 0x01, 4},
    {0x02, 0xA5, 18},
    {0x04, 0xA5, 22},
    {0x05, 0x01, 5},
    {0x0A, 0xA5, 4},
    {0x0B, 0xA5, 4},
}};
constexpr std::size_t kRequestLength = 5;
constexpr uint8_t kLiveDone = 0xA5;
constexpr uint8_t kOptionMask = 0x07;

const Command *FindCommand(uint8_t code)
{
    auto it = std::find_if(kCommands.begin(), kCommands.end(), [&](const Command &c) { return c.code == code; });
    return it == kCommands.end() ? nullptr : &*it;
}

std::vector<uint8_t> Finish(std::vector<uint8_t> answer)
{
    answer.back() = lumex::AnswerSum(std::span<const uint8_t>(answer).first(answer.size() - 1));
    return answer;
}

void PutText(std::vector<uint8_t> &answer, std::size_t at, const std::string &text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i)
        answer[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : uint8_t{' '};
}

} // namespace

Scan AdapterResponder::ScanFrame(std::span<const uint8_t> buffer) const
{
    if (buffer.size() < 2)
        return {ScanResult::NeedMore, 0};
    const std::size_t obdLength = ObdCar::RequestLength(buffer[1]);
    if (FindCommand(buffer[1]) == nullptr && obdLength == 0)
        return {ScanResult::Invalid, 0};
    const std::size_t length = obdLength != 0 ? obdLength : kRequestLength;
    if (buffer.size() < length)
        return {ScanResult::NeedMore, 0};
    return {ScanResult::Complete, length};
}

Reply AdapterResponder::Answer(std::span<const uint8_t> frame)
{
    Reply reply;
    const std::size_t obdLength = frame.size() >= 2 ? ObdCar::RequestLength(frame[1]) : 0;
    if (frame.size() != (obdLength != 0 ? obdLength : kRequestLength))
        return reply;
    const uint16_t crc = lumex::Crc16Xmodem(frame.first(frame.size() - 2));
    if (frame[frame.size() - 2] != static_cast<uint8_t>(crc >> 8) ||
        frame[frame.size() - 1] != static_cast<uint8_t>(crc & 0xFF)) {
        reply.violation = "adapter request with a wrong CRC";
        return reply;
    }
    if (obdLength != 0) {
        auto answer = obd_.Answer(frame[1], frame.subspan(2, frame.size() - 4));
        reply.bytes =
            Finish(answer ? std::move(*answer) : std::vector<uint8_t>{kAnswerStart, kErrorMarker, frame[1], 0});
        return reply;
    }
    const Command *cmd = FindCommand(frame[1]);
    if (cmd == nullptr)
        return reply;
    if (frame[2] != cmd->param) {
        reply.bytes = Finish({kAnswerStart, kErrorMarker, cmd->code, 0});
        return reply;
    }
    const AdapterIdentity &id = identity_;
    std::vector<uint8_t> a(cmd->answerLength, 0);
    a[0] = kAnswerStart;
    a[1] = cmd->code;
    switch (cmd->code) {
    case 0x01:
        a[2] = id.mainVersion;
        break;
    case 0x02: {
        const uint8_t fields[] = {id.mainVersion, id.release, id.revision, id.product, id.kit, id.dateHigh, id.dateLow,
                                  // Low word first, each word high byte first.
                                  static_cast<uint8_t>(id.serial >> 8), static_cast<uint8_t>(id.serial),
                                  static_cast<uint8_t>(id.serial >> 24), static_cast<uint8_t>(id.serial >> 16),
                                  static_cast<uint8_t>(id.deviceType & kOptionMask),
                                  static_cast<uint8_t>(id.softwareOptions & kOptionMask),
                                  static_cast<uint8_t>(id.hardwareOptions & kOptionMask),
                                  static_cast<uint8_t>(id.hardwareVersion & kOptionMask)};
        std::copy(std::begin(fields), std::end(fields), a.begin() + 2);
        break;
    }
    case 0x04:
        PutText(a, 2, id.buildTime, 8);
        PutText(a, 10, id.buildDate, 11);
        break;
    case 0x05:
        a[2] = static_cast<uint8_t>(id.testMode >> 8);
        a[3] = static_cast<uint8_t>(id.testMode);
        break;
    case 0x0B:
        a[2] = kLiveDone;
        break;
    default:
        break;
    }
    reply.bytes = Finish(std::move(a));
    return reply;
}

bool ParseAdapterVersion(const std::string &text, uint8_t &out)
{
    const auto dot = text.find('.');
    unsigned major = 0, minor = 0;
    if (dot == std::string::npos)
        return false;
    auto r1 = std::from_chars(text.data(), text.data() + dot, major);
    auto r2 = std::from_chars(text.data() + dot + 1, text.data() + text.size(), minor);
    if (r1.ec != std::errc() || r1.ptr != text.data() + dot || r2.ec != std::errc() ||
        r2.ptr != text.data() + text.size() || major > 15 || minor > 15)
        return false;
    out = static_cast<uint8_t>(major * 16 + minor);
    return true;
}

} // namespace sim
