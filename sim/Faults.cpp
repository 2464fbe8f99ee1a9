#include "sim/Faults.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <utility>

namespace sim {

namespace {

struct KindName
{
    FaultKind kind;
    const char *name;
    bool takesMs;
};

constexpr std::array kKinds{
    KindName{FaultKind::Silence, "silence", false},
    KindName{FaultKind::BadChecksum, "bad-checksum", false},
    KindName{FaultKind::BadStart, "bad-start", false},
    KindName{FaultKind::Short, "short", false},
    KindName{FaultKind::Stray, "stray", false},
    KindName{FaultKind::Stray2, "stray2", false},
    KindName{FaultKind::Gap, "gap", true},
    KindName{FaultKind::Late, "late", true},
    KindName{FaultKind::Garbage, "garbage", false},
    KindName{FaultKind::Unplug, "unplug", true},
};

bool ParseUnsigned(const std::string &text, int base, unsigned long max, unsigned long &out)
{
    if (text.empty())
        return false;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out, base);
    return ec == std::errc() && ptr == end && out <= max;
}

uint8_t Sum(std::span<const uint8_t> bytes)
{
    unsigned s = 0;
    for (uint8_t b : bytes)
        s += b;
    return static_cast<uint8_t>(s);
}

} // namespace

const char *FaultName(FaultKind kind)
{
    for (const auto &k : kKinds)
        if (k.kind == kind)
            return k.name;
    return "?";
}

unsigned DefaultLateMs(std::size_t answerLength)
{
    return 400 + 100 * static_cast<unsigned>(answerLength);
}

std::optional<FaultRule> ParseFault(const std::string &text, std::string &error)
{
    const auto at = text.find('@');
    if (at == std::string::npos) {
        error = "fault \"" + text + "\": expected KIND[=MS]@CODE[:COUNT]";
        return std::nullopt;
    }
    std::string head = text.substr(0, at);
    std::string tail = text.substr(at + 1);

    FaultRule rule;
    std::string kindText = head;
    std::string msText;
    if (auto eq = head.find('='); eq != std::string::npos) {
        kindText = head.substr(0, eq);
        msText = head.substr(eq + 1);
    }
    const KindName *kind = nullptr;
    for (const auto &k : kKinds)
        if (kindText == k.name)
            kind = &k;
    if (!kind) {
        error = "fault \"" + text + "\": unknown kind \"" + kindText +
                "\" (silence, bad-checksum, bad-start, short, stray, stray2, gap, late, garbage, unplug)";
        return std::nullopt;
    }
    rule.kind = kind->kind;
    if (head.find('=') != std::string::npos) {
        unsigned long ms = 0;
        if (!kind->takesMs) {
            error = "fault \"" + text + "\": " + kind->name + " takes no milliseconds";
            return std::nullopt;
        }
        if (!ParseUnsigned(msText, 10, 600000, ms)) {
            error = "fault \"" + text + "\": milliseconds must be 0..600000";
            return std::nullopt;
        }
        rule.ms = static_cast<unsigned>(ms);
    }

    std::string codeText = tail;
    if (auto colon = tail.find(':'); colon != std::string::npos) {
        codeText = tail.substr(0, colon);
        unsigned long count = 0;
        if (!ParseUnsigned(tail.substr(colon + 1), 10, 1000000, count) || count == 0) {
            error = "fault \"" + text + "\": COUNT must be a number from 1";
            return std::nullopt;
        }
        rule.count = static_cast<int>(count);
    }
    // "SS/CODE" limits the fault to frames of one device (start byte SS),
    // so the adapter and the controller can be faulted apart.
    if (auto slash = codeText.find('/'); slash != std::string::npos) {
        unsigned long start = 0;
        if (slash != 2 || !ParseUnsigned(codeText.substr(0, slash), 16, 0xFF, start)) {
            error = "fault \"" + text + "\": the device before / must be a hex start byte (e.g. C2)";
            return std::nullopt;
        }
        rule.start = static_cast<uint8_t>(start);
        codeText = codeText.substr(slash + 1);
    }
    if (codeText != "*") {
        unsigned long code = 0;
        if (codeText.size() > 2 || !ParseUnsigned(codeText, 16, 0xFF, code)) {
            error = "fault \"" + text + "\": CODE must be a hex byte (e.g. 0B) or *";
            return std::nullopt;
        }
        rule.code = static_cast<uint8_t>(code);
    }
    return rule;
}

std::string FormatFault(const FaultRule &fault)
{
    std::string out = FaultName(fault.kind);
    if (fault.ms)
        out += "=" + std::to_string(*fault.ms);
    out += "@";
    if (fault.start) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X/", *fault.start);
        out += hex;
    }
    if (fault.code) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", *fault.code);
        out += hex;
    } else {
        out += "*";
    }
    if (fault.count >= 0)
        out += ":" + std::to_string(fault.count);
    return out;
}

AnswerPlan ApplyFault(std::span<const uint8_t> answer, const std::optional<FaultRule> &fault, uint32_t noise)
{
    AnswerPlan plan;
    plan.bytes.assign(answer.begin(), answer.end());
    if (!fault)
        return plan;
    auto &b = plan.bytes;
    switch (fault->kind) {
    case FaultKind::Silence:
        b.clear();
        break;
    case FaultKind::BadChecksum:
        if (!b.empty())
            b.back() = static_cast<uint8_t>(b.back() + 1);
        break;
    case FaultKind::BadStart:
        // Flipping one bit keeps it plausible yet never the right start.
        if (!b.empty())
            b[0] ^= 0x20;
        break;
    case FaultKind::Short:
        if (b.size() > 4) {
            // A well-formed acknowledgement: the client must fail on the count.
            b.resize(4);
            b[2] = 0;
            b[3] = Sum(std::span(b).first(3));
        } else if (!b.empty()) {
            b.pop_back();
        }
        break;
    case FaultKind::Stray:
        b.insert(b.begin(), kStrayByte);
        break;
    case FaultKind::Stray2:
        b.insert(b.begin(), 2, kStrayByte);
        break;
    case FaultKind::Gap:
        plan.gapMs = fault->ms.value_or(kDefaultGapMs);
        break;
    case FaultKind::Late:
        plan.delayMs = fault->ms.value_or(DefaultLateMs(b.size()));
        break;
    case FaultKind::Garbage: {
        const uint8_t start = b.empty() ? 0 : b[0];
        uint32_t x = noise * 2654435761u + 0x9E3779B9u;
        for (auto &v : b) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            v = static_cast<uint8_t>(x >> 11);
        }
        // Never the real start byte, so the burst cannot pass for an answer.
        if (!b.empty() && b[0] == start)
            b[0] = static_cast<uint8_t>(start ^ 0x5A);
        break;
    }
    case FaultKind::Unplug:
        b.clear();
        plan.unplug = true;
        plan.unplugMs = fault->ms.value_or(kDefaultUnplugMs);
        break;
    }
    return plan;
}

std::optional<FaultRule> FaultSet::Take(std::optional<uint8_t> code, bool answered, std::optional<uint8_t> start)
{
    for (auto &f : faults_) {
        if (f.count == 0)
            continue;
        if (f.start && start && f.start != start)
            continue;
        if (f.code && f.code != code)
            continue;
        if (!answered && f.kind != FaultKind::Unplug)
            continue;
        const FaultRule used = f; // as given, for the trace
        if (f.count > 0)
            --f.count;
        return used;
    }
    return std::nullopt;
}

} // namespace sim
