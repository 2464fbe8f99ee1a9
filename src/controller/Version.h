// Controller generations, firmware letters and the version texts built from
// the identification fields of the data image.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <string>

namespace lumex {

inline constexpr uint8_t kVersion14 = 0x14;
inline constexpr uint8_t kVersion15 = 0x15;
inline constexpr uint8_t kVersion30 = 0x30;

// 0x14, 0x15 and 0x30 are served by this program.
bool IsSupportedVersion(uint8_t code);

// Firmware letters compare as plain, case-sensitive strings: "h" is above
// "Z", and an empty letter is below every letter.
bool LetterAtLeast(const std::string &letter, const char *minimum);
// A 0x30 letter from "A" to "H" inclusive.
bool IsCompatibleLetter(const std::string &letter);

// Generation 0x30 with at least the given letter.
bool Is30From(const TNorviData &d, const char *minimum);
// ExtraVersion exists (0x30 from "D").
inline bool HasExtraVersion(const TNorviData &d)
{
    return Is30From(d, "D");
}
// The single live block 0x0B and the load index exist (0x30 from "G").
inline bool HasLiveBlock(const TNorviData &d)
{
    return Is30From(d, "G");
}

// "00" without a device, otherwise the two nibbles as decimal numbers.
std::string VersionDigits(uint8_t code);
// "STD".."UPD" (short) or "STAND".."UPDATE"; "-" for other values.
std::string VariantName(uint8_t variant, bool shortForm);
// The identification in one line, short (status bar) or long (about box,
// configuration file).
std::string VersionString(const TNorviData &d, bool shortForm);

// The controller serial from memory words 84, 88 and 90 and PcCompatCode:
// serial number (five digits), compatibility code, production date part.
std::string ControllerSerialText(uint16_t word84, uint16_t word88, uint16_t word90, uint8_t pcCompatCode);

} // namespace lumex
