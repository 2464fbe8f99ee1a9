#include "controller/Version.h"

#include <array>
#include <cstdio>

namespace lumex {

bool IsSupportedVersion(uint8_t code)
{
    return code == kVersion14 || code == kVersion15 || code == kVersion30;
}

bool LetterAtLeast(const std::string &letter, const char *minimum)
{
    return letter.compare(minimum) >= 0;
}

bool IsCompatibleLetter(const std::string &letter)
{
    return letter.compare("A") >= 0 && letter.compare("H") <= 0;
}

bool Is30From(const TNorviData &d, const char *minimum)
{
    return d.VersionCode == kVersion30 && LetterAtLeast(d.SoftwareLetter, minimum);
}

std::string VersionDigits(uint8_t code)
{
    if (code == 0)
        return "00";
    return std::to_string(code >> 4) + std::to_string(code & 0x0F);
}

std::string VariantName(uint8_t variant, bool shortForm)
{
    static constexpr std::array<const char *, 5> kShort{"STD", "TUR", "PWR", "MUL", "UPD"};
    static constexpr std::array<const char *, 5> kLong{"STAND", "TURBO", "POWER", "MULTI", "UPDATE"};
    if (variant >= kShort.size())
        return "-";
    return shortForm ? kShort[variant] : kLong[variant];
}

std::string VersionString(const TNorviData &d, bool shortForm)
{
    const std::string extra = d.ExtraVersion == 255 ? std::string() : "-" + std::to_string(d.ExtraVersion);
    const char *usa = d.UsaFlag != 0 ? "USA" : "";
    const char *format = shortForm ? "%d%d%d%d%d%s%s %s[%d%s]%s" : "%d%d%d%d%d%s%s %s [%d%s] %s";
    const std::string digits = VersionDigits(d.VersionCode);
    const std::string variant = VariantName(d.Variant, shortForm);
    char text[160];
    std::snprintf(text, sizeof text, format, d.UsaFlag, d.ReservedDigit, d.IdentByte3, d.Variant, d.IdentByte2,
                  digits.c_str(), d.SoftwareLetter.c_str(), variant.c_str(), d.PcCompatCode, extra.c_str(), usa);
    return text;
}

std::string ControllerSerialText(uint16_t word84, uint16_t word88, uint16_t word90, uint8_t pcCompatCode)
{
    char date[8];
    std::snprintf(date, sizeof date, "%02u%02u", static_cast<unsigned>(word84 & 0xFF),
                  static_cast<unsigned>(word84 >> 8));
    const uint32_t number = (static_cast<uint32_t>(word90) << 16) | word88;
    std::string serial = std::to_string(number);
    if (serial.size() < 5)
        serial.insert(0, 5 - serial.size(), '0');
    else if (serial.size() > 5)
        serial = serial.substr(serial.size() - 5);
    char compat[8];
    std::snprintf(compat, sizeof compat, "%02u", static_cast<unsigned>(pcCompatCode));
    return serial + compat + date;
}

} // namespace lumex
