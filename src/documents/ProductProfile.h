// The fixed table of product brandings and the one row this program
// selects: the live displays' palette, the default language and the
// injector and pressure-sensor types the configuration offers.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace lumex {

inline constexpr int kProductProfileCount = 24;
// Palette entries 5..16 of the live displays come from the profile.
inline constexpr std::size_t kProfilePaletteSize = 12;
inline constexpr std::size_t kProfilePaletteFirst = 5;

struct TProductProfile
{
    int Code = 0;
    const char *Name = "";
    const char *NameSuffix = "";                         // appended for the long form of the name
    std::array<uint32_t, kProfilePaletteSize> Palette{}; // 0xRRGGBB, entries 5..16
    const char *DefaultLanguage = "";
    std::span<const uint8_t> InjectorTypes;       // offered, in this order
    std::span<const uint8_t> PressureSensorTypes; // offered
    bool ShowLogo = false;
    bool ShowVendorPanel = false;
};

// The row for a code; nullptr outside 0..23.
const TProductProfile *FindProductProfile(int code);
// "Unknown" for code 0, "ERROR" outside 0..23, otherwise the row's name.
std::string ProductName(int code);
// The name with its suffix.
std::string ProductLongName(int code);

// The code of the row this program selects at start-up, and that row.
int SelectedProductCode();
const TProductProfile &SelectedProductProfile();

} // namespace lumex
