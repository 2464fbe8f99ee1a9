#include "documents/ProductProfile.h"

namespace lumex {

namespace {

constexpr uint8_t kLumexInjectors[] = {5, 0, 19, 28, 2, 24, 12, 11, 23, 13, 21, 22};
constexpr uint8_t kAllSensors[] = {1, 2, 3, 4};
constexpr uint8_t kBasicInjectors[] = {0, 2, 5, 11, 12, 13};
constexpr uint8_t kBasicSensors[] = {1, 2};

// Entries 5..16: blue, window grey, yellow (normal), white, silver, red
// (alarm), lime, aqua, light blue, navy, red, maroon.
constexpr std::array<uint32_t, kProfilePaletteSize> kLumexPalette{
    0x0000FF, 0xF0F0F0, 0xFFFF00, 0xFFFFFF, 0xC0C0C0, 0xFF0000,
    0x00FF00, 0x00FFFF, 0x2020FF, 0x000080, 0xFF0000, 0x800000,
};

constexpr int kLumexCode = 1;

constexpr TProductProfile Row(int code, const char *name)
{
    TProductProfile p;
    p.Code = code;
    p.Name = name;
    p.Palette = kLumexPalette;
    p.DefaultLanguage = "EN";
    p.InjectorTypes = kBasicInjectors;
    p.PressureSensorTypes = kBasicSensors;
    return p;
}

constexpr TProductProfile LumexRow()
{
    TProductProfile p = Row(kLumexCode, "Lumex2");
    p.NameSuffix = " Configurator";
    p.DefaultLanguage = "CZ";
    p.InjectorTypes = kLumexInjectors;
    p.PressureSensorTypes = kAllSensors;
    p.ShowLogo = true;
    p.ShowVendorPanel = true;
    return p;
}

// Only the selected row is used at run time; the others keep plain names.
const std::array<TProductProfile, kProductProfileCount> kProfiles{
    Row(0, "Unknown"), LumexRow(),      Row(2, "Alder"),   Row(3, "Birch"),     Row(4, "Cedar"),    Row(5, "Elm"),
    Row(6, "Fir"),     Row(7, "Hazel"), Row(8, "Juniper"), Row(9, "Larch"),     Row(10, "Linden"),  Row(11, "Maple"),
    Row(12, "Oak"),    Row(13, "Pine"), Row(14, "Poplar"), Row(15, "Rowan"),    Row(16, "Spruce"),  Row(17, "Willow"),
    Row(18, "Yew"),    Row(19, "Ash"),  Row(20, "Beech"),  Row(21, "Chestnut"), Row(22, "Cypress"), Row(23, "Hornbeam"),
};

} // namespace

const TProductProfile *FindProductProfile(int code)
{
    if (code < 0 || code >= kProductProfileCount)
        return nullptr;
    return &kProfiles[static_cast<std::size_t>(code)];
}

std::string ProductName(int code)
{
    const TProductProfile *p = FindProductProfile(code);
    return p ? p->Name : "ERROR";
}

std::string ProductLongName(int code)
{
    const TProductProfile *p = FindProductProfile(code);
    return p ? std::string(p->Name) + p->NameSuffix : "ERROR";
}

int SelectedProductCode()
{
    return kLumexCode;
}

const TProductProfile &SelectedProductProfile()
{
    return kProfiles[kLumexCode];
}

} // namespace lumex
