// Trouble flags as the installer reads them: "E10" codes, each classed as
// information or error and named by its message key.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lumex {

inline constexpr int kTroubleGroups = 4;
inline constexpr int kTroubleDigits = 8;
// Bytes 0..3 hold the active codes of groups 1..4, bytes 8..11 the stored.
inline constexpr std::size_t kActiveTroubleByte = 0;
inline constexpr std::size_t kStoredTroubleByte = 8;

enum class TTroubleClass : uint8_t
{
    Info,
    Error
};

struct TTroubleCode
{
    int Group = 1; // 1..4
    int Digit = 1; // 1..8: bit Digit-1 of the group's byte
    TTroubleClass Class = TTroubleClass::Error;
};

struct TTroubleCodes
{
    std::vector<TTroubleCode> Active;
    std::vector<TTroubleCode> Stored;
};

// The configuration flags the class of some codes depends on.
struct TTroubleContext
{
    uint8_t HemiEngine = 0;
    uint8_t TuningMode = 0;
};

TTroubleClass TroubleClassOf(int group, int digit, const TTroubleContext &context);

// Active and stored codes of the 16 flag bytes, in group then digit order.
TTroubleCodes DecodeTroubleCodes(const std::array<uint8_t, 16> &flags, const TTroubleContext &context);

// "E1033".
std::string TroubleCodeName(const TTroubleCode &code);
// "err23": group - 1, digit - 1.
std::string TroubleMessageKey(const TTroubleCode &code);
// "INFO" or "ERROR".
const char *TroubleClassName(TTroubleClass troubleClass);
// "E1033: (ERROR) ".
std::string TroublePrefix(const TTroubleCode &code);

} // namespace lumex
