// The device detector: one probe per polling tick, in round-robin over the
// enabled device generations, so a device this program does not serve is
// recognised and handed to the program of its own folder that does.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace lumex {

class TComMultiPort;

enum class TDetectedDevice : uint8_t
{
    ddNorvi30 = 0,
    ddBootloader30 = 1,
    ddNorvi40 = 2,
    ddBootloader40 = 3
};

// A set of TDetectedDevice members.
class TDetectedDevices
{
public:
    constexpr TDetectedDevices() = default;
    constexpr TDetectedDevices(std::initializer_list<TDetectedDevice> members)
    {
        for (auto m : members)
            bits_ |= Bit(m);
    }
    constexpr bool Contains(TDetectedDevice m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }

private:
    static constexpr uint8_t Bit(TDetectedDevice m) { return static_cast<uint8_t>(1U << static_cast<unsigned>(m)); }
    uint8_t bits_ = 0;
};

// One row of the probe table.
struct TProbe
{
    TDetectedDevice Member;
    std::array<uint8_t, 4> Request; // the checksum included
    uint8_t AnswerLength;
    uint8_t AnswerStart;
};

inline constexpr std::size_t kProbeCount = 4;
std::span<const TProbe, kProbeCount> ProbeTable();

// Result code of a good answer to candidate `index`; 0 for an unknown code.
int ProbeResult(std::size_t index, std::span<const uint8_t> answer);
// 1 (a 1.3 controller), 2 (this program's generations), 3 (4.0 devices and
// their bootloader); 0 for no result.
int FamilyOfResult(int result);

// The program file patterns of a family ("*-1.3*", "*-3.0*", "*-4.0*"), and
// the development names; empty for no family.
std::string FamilyPattern(int family);
std::string DevelopmentName(int family);
// Shell-style match with "*" and "?" only, case-sensitive.
bool MatchesPattern(const std::string &name, const std::string &pattern);

class TDetector
{
public:
    static constexpr int kResultNothing = 0;
    static constexpr int kResultBootloader40 = 8;

    TDetectedDevices DetectedDevices{TDetectedDevice::ddNorvi30, TDetectedDevice::ddBootloader30};
    bool UseDevelopmentExeNames = false;

    // The program's own folder and file name; the program never starts itself.
    std::filesystem::path ProgramFolder;
    std::string ProgramFileName;

    // Probes the next enabled candidate; stores and returns the result. The
    // probe goes to the port directly, whatever the controller link state.
    int Detect(TComMultiPort &port);
    int DetectionResult() const { return result_; }
    int Family() const { return FamilyOfResult(result_); }
    // Candidate index of the last probe (-1 before the first one).
    int LastCandidate() const { return lastCandidate_; }
    // The answer of the last probe (all zeros when it failed).
    std::span<const uint8_t> LastAnswer() const { return {answer_.data(), answerLength_}; }
    void ClearResult() { result_ = kResultNothing; }

    // Full path of the program for the family (0 = that of the stored
    // result); empty when there is none or it would be this program.
    std::string FindProgram(int family = 0) const;

private:
    int result_ = kResultNothing;
    std::size_t next_ = 0; // candidate index the next search starts at
    int lastCandidate_ = -1;
    std::array<uint8_t, 8> answer_{};
    std::size_t answerLength_ = 0;
};

// This program's own folder and file name, from /proc/self/exe.
std::filesystem::path OwnExecutablePath();

} // namespace lumex
