// Line faults the simulator can inject into its answers, chosen by the
// command code of the request (frame byte 1), so the client's error paths can
// be exercised on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

enum class FaultKind
{
    Silence,     // no answer at all
    BadChecksum, // last byte off by one
    BadStart,    // first byte wrong
    Short,       // a 4-byte acknowledgement in place of a longer answer
    Stray,       // one stray byte before the answer
    Stray2,      // two stray bytes before the answer
    Gap,         // a pause between the answer's bytes
    Late,        // the answer comes after the client has given up
    Garbage,     // a burst of noise in place of the answer
    Unplug       // the line disappears for a while instead of answering
};

struct FaultRule
{
    FaultKind kind = FaultKind::Silence;
    std::optional<uint8_t> code;  // empty = every command
    std::optional<uint8_t> start; // empty = every device on the line
    int count = -1;               // remaining uses; -1 = always
    std::optional<unsigned> ms;   // gap, lateness or unplug time; empty = default
};

// "KIND[=MS]@[SS/]CODE[:COUNT]", e.g. "silence@C2/02", "silence@01", "gap=150@0B:2", "late@*".
std::optional<FaultRule> ParseFault(const std::string &text, std::string &error);
// The same text form, for listings.
std::string FormatFault(const FaultRule &fault);
const char *FaultName(FaultKind kind);

// The stray byte put before an answer.
inline constexpr uint8_t kStrayByte = 0xFF;
// Defaults when a fault gives no milliseconds.
inline constexpr unsigned kDefaultGapMs = 150;
inline constexpr unsigned kDefaultUnplugMs = 1000;
// Comfortably past the client's whole read time-out for an answer of this length.
unsigned DefaultLateMs(std::size_t answerLength);

// How one answer goes onto the line.
struct AnswerPlan
{
    std::vector<uint8_t> bytes;
    double delayMs = 0;  // extra wait before the first byte
    double gapMs = 0;    // extra pause between consecutive bytes
    bool unplug = false; // drop the line instead of sending bytes
    double unplugMs = 0;
};

// The plan for `answer` under `fault` (none = the answer as it is). `noise`
// seeds the garbage burst so runs are reproducible.
AnswerPlan ApplyFault(std::span<const uint8_t> answer, const std::optional<FaultRule> &fault, uint32_t noise);

// The active faults, consulted once per answered request.
class FaultSet
{
public:
    void Add(const FaultRule &fault) { faults_.push_back(fault); }
    void Clear() { faults_.clear(); }
    const std::vector<FaultRule> &List() const { return faults_; }
    // The first fault that matches `code` and still has uses; consumes one.
    // `answered` false means the responder stayed silent: only an unplug
    // still makes sense then.
    std::optional<FaultRule> Take(std::optional<uint8_t> code, bool answered,
                                  std::optional<uint8_t> start = std::nullopt);

private:
    std::vector<FaultRule> faults_;
};

} // namespace sim
