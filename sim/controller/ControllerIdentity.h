// Who the simulated controller claims to be: generation, firmware letter,
// variant and the other identification bytes, compile stamp, hardware
// injector channels. Everything that gates the command set hangs off this.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

inline constexpr uint8_t kGen14 = 0x14;
inline constexpr uint8_t kGen15 = 0x15;
inline constexpr uint8_t kGen30 = 0x30;

struct ControllerIdentity
{
    uint8_t versionCode = kGen30;
    // Identification byte 0. A raw byte on purpose: 'I', 'h' and 0 are
    // legal answers a client must cope with.
    uint8_t letter = 'G';
    uint8_t variant = 0; // 0 standard, 1 turbo, 2 power, 3 multi, 4 update
    uint8_t identByte2 = 0;
    uint8_t identByte3 = 1; // not 0: the board has the advanced diagnostic panel
    uint8_t pcCompatCode = 4;
    uint8_t extraVersion = 255; // identification byte 6; 255 = none
    std::string compileTime = "10:42:17";
    std::string compileDate = "Mar 15 2010";
    // Word variable 28: 1 four, 2 six, 3 eight hardware injector channels.
    uint8_t injectorChannelCode = 3;
    // Word variable 26: market code; below 95 marks a US-market board.
    uint16_t marketCode = 120;

    // Hardware channel count (4, 6 or 8) from injectorChannelCode.
    int HardwareInjectors() const;
    bool IsLegacy() const { return versionCode != kGen30; }
    // The firmware letter compared as a one-character string: an empty
    // letter (byte 0) is below every gate, 'h' above 'H'.
    bool LetterAtLeast(char gate) const;
    // "30G", "15E", "30" for an empty letter, "30\x68" shows as "30h".
    std::string Text() const;

    static ControllerIdentity Gen30(uint8_t letter);
    static ControllerIdentity Gen15(uint8_t letter = 'E');
    static ControllerIdentity Gen14(uint8_t letter = 'C');
    // Parses "30G", "30h", "30I", "30" (empty letter), "15", "15E", "14".
    static bool Parse(const std::string &text, ControllerIdentity &out, std::string &error);
};

} // namespace sim
