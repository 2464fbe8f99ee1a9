// A stand-in controller for the line tests: frames by the command table,
// answers every known command with a frame of the table's answer length
// (0xD0, the code, a counting payload, the checksum) and records what it saw.
#pragma once

#include "controller/CommandTable.h"
#include "sim/Responder.h"

#include <vector>

namespace simtest {

class TableResponder : public sim::Responder
{
public:
    explicit TableResponder(uint8_t start = 0xC0, uint8_t answerStart = 0xD0) : start_(start), answerStart_(answerStart)
    {
    }

    uint8_t StartByte() const override { return start_; }

    sim::Scan ScanFrame(std::span<const uint8_t> buffer) const override
    {
        if (buffer.size() < 2)
            return {sim::ScanResult::NeedMore, 0};
        const auto *entry = lumex::FindCommand(buffer[1]);
        if (!entry)
            return {sim::ScanResult::Invalid, 0};
        if (buffer.size() < entry->requestLength)
            return {sim::ScanResult::NeedMore, 0};
        return {sim::ScanResult::Complete, entry->requestLength};
    }

    sim::Reply Answer(std::span<const uint8_t> frame) override
    {
        frames.emplace_back(frame.begin(), frame.end());
        sim::Reply r;
        if (lumex::FrameSum(frame.first(frame.size() - 1)) != frame.back()) {
            r.violation = "request checksum wrong";
            return r;
        }
        r.bytes = AnswerFor(frame[1], answerStart_);
        return r;
    }

    static std::vector<uint8_t> AnswerFor(uint8_t code, uint8_t answerStart = 0xD0)
    {
        const auto *entry = lumex::FindCommand(code);
        std::vector<uint8_t> a{answerStart, code};
        for (std::size_t i = 2; i + 1 < entry->answerLength; ++i)
            a.push_back(static_cast<uint8_t>(0x10 + i));
        a.push_back(lumex::FrameSum(a));
        return a;
    }

    std::vector<std::vector<uint8_t>> frames;

private:
    uint8_t start_;
    uint8_t answerStart_;
};

// A request frame: start, code, parameters, checksum.
inline std::vector<uint8_t> Request(std::vector<uint8_t> bytes)
{
    bytes.push_back(lumex::FrameSum(bytes));
    return bytes;
}

} // namespace simtest
