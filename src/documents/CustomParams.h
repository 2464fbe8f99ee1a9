// The product-profile holder: palette, offered languages, offered injector
// and pressure-sensor codes, shown and hidden main-window controls, and the
// colour registrations of displays and labels.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lumex {

struct TProductProfile;

// A colour in the platform's blue-green-red encoding (0x00BBGGRR).
using TColour = uint32_t;

// Gives a palette index for the control's current state.
using TPaletteEvaluator = std::function<int()>;

struct TColorInfo
{
    const void *Control = nullptr;
    TPaletteEvaluator Evaluator; // bound to the data manager it reads
};

class TCustomParameters
{
public:
    static constexpr std::size_t PaletteSize = 17;
    static constexpr std::size_t FixedPaletteEntries = 5;
    // The colour of a control without registration.
    static constexpr TColour UnregisteredColour = 16476411;

    TCustomParameters();

    // Takes over a product row: palette entries 5 to 16, the offered
    // injector and pressure-sensor types and the offered languages.
    void ApplyProfile(const TProductProfile &profile);

    TColour PaletteColour(std::size_t index) const;
    // Entries 5 to 16 belong to the profile; the first five are fixed.
    void SetProfileColour(std::size_t index, TColour colour);

    uint16_t OfferedLanguages() const { return offeredLanguages_; }
    void SetOfferedLanguages(uint16_t set) { offeredLanguages_ = set; }
    bool IsLanguageOffered(unsigned index) const { return index < 16 && (offeredLanguages_ >> index) & 1U; }

    std::vector<int> InjectorTypes;
    std::vector<int> PressureSensorTypes;
    std::vector<std::string> ShownControls;
    std::vector<std::string> HiddenControls;

    void RegisterDisplayColour(const void *display, TPaletteEvaluator evaluator);
    void RegisterLabelColour(const void *label, TPaletteEvaluator evaluator);
    // The evaluator with the data manager it is given, as one registration.
    template <class TManager>
    void RegisterDisplayColour(const void *display, int (*evaluator)(TManager &), TManager &manager)
    {
        RegisterDisplayColour(display, [evaluator, &manager] { return evaluator(manager); });
    }
    template <class TManager>
    void RegisterLabelColour(const void *label, int (*evaluator)(TManager &), TManager &manager)
    {
        RegisterLabelColour(label, [evaluator, &manager] { return evaluator(manager); });
    }
    // palette[evaluator()] of the first registration of the control;
    // UnregisteredColour without one, and for an index outside the palette.
    TColour DisplayColour(const void *display) const;
    TColour LabelColour(const void *label) const;

private:
    TColour ColourOf(const std::vector<TColorInfo> &registry, const void *control) const;

    std::array<TColour, PaletteSize> palette_{};
    uint16_t offeredLanguages_ = 2; // English only until a profile is applied
    std::vector<TColorInfo> displayColours_;
    std::vector<TColorInfo> labelColours_;
};

// The offered-language set of a product row. The table carries none: this
// program's own row offers English, Czech and German (50), any other row
// English only (2).
uint16_t OfferedLanguagesOf(const TProductProfile &profile);

// 0xRRGGBB to the platform's blue-green-red encoding.
TColour ColourFromRgb(uint32_t rgb);

} // namespace lumex
