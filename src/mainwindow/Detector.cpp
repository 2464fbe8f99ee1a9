#include "mainwindow/Detector.h"

#include "mainwindow/PortExchange.h"
#include "serial/ComMultiPort.h"

#include <algorithm>
#include <cctype>
#include <system_error>
#include <vector>

namespace lumex {

namespace {

constexpr std::array<TProbe, kProbeCount> kProbes{{
    {TDetectedDevice::ddNorvi30, {0xC0, 0x01, 0x01, 0xC2}, 4, 0xD0},
    {TDetectedDevice::ddBootloader30, {0xBA, 0xE1, 0xE1, 0x7C}, 6, 0xBB},
    {TDetectedDevice::ddNorvi40, {0xC1, 0x01, 0x01, 0xC3}, 4, 0xD1},
    {TDetectedDevice::ddBootloader40, {0xBC, 0xE1, 0xE1, 0x7E}, 6, 0xBD},
}};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool Match(const char *name, const char *pattern)
{
    // Iterative glob with one backtrack point, enough for "*" and "?".
    const char *starP = nullptr;
    const char *starN = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starP = pattern++;
            starN = name;
        } else if (*pattern == '?' || *pattern == *name) {
            ++pattern;
            ++name;
        } else if (starP) {
            pattern = starP + 1;
            name = ++starN;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

} // namespace

std::span<const TProbe, kProbeCount> ProbeTable()
{
    return kProbes;
}

int ProbeResult(std::size_t index, std::span<const uint8_t> answer)
{
    if (index >= kProbeCount || answer.size() < 3)
        return 0;
    switch (index) {
    case 0:
        switch (answer[2]) {
        case 0x13:
            return 1;
        case 0x14:
            return 2;
        case 0x15:
            return 3;
        case 0x30:
            return 4;
        default:
            return 0;
        }
    case 1:
        return 7;
    case 2:
        return answer[2] == 0x35 ? 5 : answer[2] == 0x40 ? 6 : 0;
    default:
        return 8;
    }
}

int FamilyOfResult(int result)
{
    switch (result) {
    case 1:
        return 1;
    case 2:
    case 3:
    case 4:
    case 7:
        return 2;
    case 5:
    case 6:
    case 8:
        return 3;
    default:
        return 0;
    }
}

std::string FamilyPattern(int family)
{
    switch (family) {
    case 1:
        return "*-1.3*";
    case 2:
        return "*-3.0*";
    case 3:
        return "*-4.0*";
    default:
        return "";
    }
}

std::string DevelopmentName(int family)
{
    switch (family) {
    case 1:
        return "Ivra";
    case 2:
        return "Norvi";
    case 3:
        return "Norvi4";
    default:
        return "";
    }
}

bool MatchesPattern(const std::string &name, const std::string &pattern)
{
    return Match(name.c_str(), pattern.c_str());
}

int TDetector::Detect(TComMultiPort &port)
{
    // The next enabled candidate from where the last search stopped; none
    // before index 4 gives nothing and the next call starts over at 0.
    std::size_t index = next_;
    while (index < kProbeCount && !DetectedDevices.Contains(kProbes[index].Member))
        ++index;
    if (index >= kProbeCount) {
        next_ = 0;
        lastCandidate_ = -1;
        result_ = kResultNothing;
        return result_;
    }
    next_ = (index + 1) % kProbeCount;
    lastCandidate_ = static_cast<int>(index);

    const TProbe &probe = kProbes[index];
    DrainInput(port);
    answerLength_ = probe.AnswerLength;
    const std::span<uint8_t> answer(answer_.data(), answerLength_);
    const bool ok = ExchangeFrame(port, probe.Request, answer, probe.AnswerStart);
    result_ = ok ? ProbeResult(index, answer) : kResultNothing;
    return result_;
}

std::string TDetector::FindProgram(int family) const
{
    if (family == 0)
        family = Family();
    const std::string pattern = FamilyPattern(family);
    if (pattern.empty() || ProgramFolder.empty())
        return "";
    std::vector<std::string> matches;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(ProgramFolder, error)) {
        std::error_code statError;
        if (!entry.is_regular_file(statError))
            continue;
        const std::string name = entry.path().filename().string();
        if (MatchesPattern(name, pattern))
            matches.push_back(name);
    }
    // Directory order is arbitrary here; a sorted list makes "the first
    // match" the same on every run.
    std::sort(matches.begin(), matches.end());
    std::string found = matches.empty() ? "" : matches.front();
    if (found.empty() && UseDevelopmentExeNames) {
        const std::string dev = DevelopmentName(family);
        std::error_code existsError;
        if (std::filesystem::is_regular_file(ProgramFolder / dev, existsError))
            found = dev;
    }
    if (found.empty() || Lower(found) == Lower(ProgramFileName))
        return "";
    return (ProgramFolder / found).string();
}

std::filesystem::path OwnExecutablePath()
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

} // namespace lumex
