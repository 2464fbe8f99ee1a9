#include "documents/CustomParams.h"

#include "documents/ProductProfile.h"

#include <stdexcept>

namespace lumex {

TCustomParameters::TCustomParameters()
{
    // Red, maroon, green, olive, black.
    constexpr TColour fixed[FixedPaletteEntries] = {255, 128, 65280, 32896, 0};
    for (std::size_t i = 0; i < FixedPaletteEntries; ++i)
        palette_[i] = fixed[i];
}

static_assert(kProfilePaletteFirst == TCustomParameters::FixedPaletteEntries &&
              kProfilePaletteFirst + kProfilePaletteSize == TCustomParameters::PaletteSize);

TColour ColourFromRgb(uint32_t rgb)
{
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

uint16_t OfferedLanguagesOf(const TProductProfile &profile)
{
    return profile.Code == SelectedProductCode() ? 50 : 2;
}

void TCustomParameters::ApplyProfile(const TProductProfile &profile)
{
    for (std::size_t i = 0; i < kProfilePaletteSize; ++i)
        palette_[kProfilePaletteFirst + i] = ColourFromRgb(profile.Palette[i]);
    InjectorTypes.assign(profile.InjectorTypes.begin(), profile.InjectorTypes.end());
    PressureSensorTypes.assign(profile.PressureSensorTypes.begin(), profile.PressureSensorTypes.end());
    offeredLanguages_ = OfferedLanguagesOf(profile);
}

TColour TCustomParameters::PaletteColour(std::size_t index) const
{
    if (index >= PaletteSize)
        throw std::out_of_range("palette index " + std::to_string(index));
    return palette_[index];
}

void TCustomParameters::SetProfileColour(std::size_t index, TColour colour)
{
    if (index < FixedPaletteEntries || index >= PaletteSize)
        throw std::out_of_range("profile palette index " + std::to_string(index));
    palette_[index] = colour;
}

void TCustomParameters::RegisterDisplayColour(const void *display, TPaletteEvaluator evaluator)
{
    displayColours_.push_back({display, std::move(evaluator)});
}

void TCustomParameters::RegisterLabelColour(const void *label, TPaletteEvaluator evaluator)
{
    labelColours_.push_back({label, std::move(evaluator)});
}

TColour TCustomParameters::ColourOf(const std::vector<TColorInfo> &registry, const void *control) const
{
    for (const auto &info : registry) {
        if (info.Control != control)
            continue;
        int index = info.Evaluator ? info.Evaluator() : -1;
        if (index < 0 || static_cast<std::size_t>(index) >= PaletteSize)
            return UnregisteredColour;
        return palette_[static_cast<std::size_t>(index)];
    }
    return UnregisteredColour;
}

TColour TCustomParameters::DisplayColour(const void *display) const
{
    return ColourOf(displayColours_, display);
}

TColour TCustomParameters::LabelColour(const void *label) const
{
    return ColourOf(labelColours_, label);
}

} // namespace lumex
