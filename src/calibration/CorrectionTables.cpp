#include "calibration/CorrectionTables.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace lumex {

namespace {

using T = TCorrectionTable;

constexpr T kTgasStandard{-14, -12, -10, -9, -8, -5, -4, -2, -1, 0, 1, 1, 1, 2, 2, 2, 3, 3, 4, 5};
constexpr T kTgasSmall{-6, -6, -5, -5, -4, -4, -3, -3, -2, -1, 0, 1, 1, 2, 2, 2, 3, 3, 4, 5};
constexpr T kTgasBig{-14, -12, -10, -9, -8, -5, -4, -2, -1, 0, 0, 2, 3, 4, 6, 8, 10, 12, 14, 15};
constexpr T kRpmStandard{0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 8, 10, 11, 12, 13, 14, 15, 16, 17};
constexpr T kRpmSmall{0, 0, 0, 0, 0, 0, 1, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8};
constexpr T kRpmBig{0, 0, 0, 0, 0, 0, 1, 3, 4, 5, 6, 9, 11, 12, 13, 15, 18, 20, 23, 25};
constexpr T kZero{};

struct TPresetRow
{
    TCorrPreset Preset;
    const T *Tgas;
    const T *Rpm;
};

constexpr std::array<TPresetRow, 4> kPresets{{
    {TCorrPreset::Zero, &kZero, &kZero},
    {TCorrPreset::Standard, &kTgasStandard, &kRpmStandard},
    {TCorrPreset::Small, &kTgasSmall, &kRpmSmall},
    {TCorrPreset::Big, &kTgasBig, &kRpmBig},
}};

const TPresetRow *PresetRow(uint8_t typeByte)
{
    const auto it = std::find_if(kPresets.begin(), kPresets.end(),
                                 [typeByte](const TPresetRow &r) { return CorrPresetCode(r.Preset) == typeByte; });
    return it == kPresets.end() ? nullptr : &*it;
}

// The user-change check compares against the three shaped presets only.
bool DiffersFromShapedPreset(const T &table, uint8_t typeByte, const T *TPresetRow::*which)
{
    if (typeByte == CorrPresetCode(TCorrPreset::Zero))
        return false;
    const TPresetRow *row = PresetRow(typeByte);
    return row != nullptr && table != *(row->*which);
}

constexpr std::size_t kShapeZero = 9; // 1-based position of S's zero (1.0 bar)
constexpr int kRpmAxis[19]{500,  800,  1100, 1400, 1700, 2000, 2300, 2600, 2900, 3200,
                           3500, 3800, 4100, 4400, 4700, 5000, 5300, 5700, 6000};

} // namespace

const std::array<uint8_t, kCorrectionPoints> kPressureAxisCodes{29,  38,  47,  57,  66,  76,  85,  94,  104, 113,
                                                                123, 132, 141, 151, 160, 170, 179, 188, 198, 207};
const TCorrectionTable kStandardPressureShape{102, 80,  60,  47,  33,  23,  15,  9,   0,   -6,
                                              -10, -12, -16, -18, -22, -24, -26, -28, -31, -32};

std::optional<TCorrPreset> CorrPresetOf(uint8_t typeByte)
{
    if (typeByte >= CorrPresetCode(TCorrPreset::Zero) && typeByte <= CorrPresetCode(TCorrPreset::User))
        return static_cast<TCorrPreset>(typeByte);
    return std::nullopt;
}

std::optional<TCorrectionTable> TgasPresetTable(uint8_t typeByte)
{
    if (const TPresetRow *row = PresetRow(typeByte))
        return *row->Tgas;
    return std::nullopt;
}

std::optional<TCorrectionTable> RpmPresetTable(uint8_t typeByte)
{
    if (const TPresetRow *row = PresetRow(typeByte))
        return *row->Rpm;
    return std::nullopt;
}

bool CheckTgasCorrForUserChanges(const TCorrectionTable &ctg, uint8_t typeByte)
{
    return DiffersFromShapedPreset(ctg, typeByte, &TPresetRow::Tgas);
}

bool CheckRpmCorrForUserChanges(const TCorrectionTable &crpm, uint8_t typeByte)
{
    return DiffersFromShapedPreset(crpm, typeByte, &TPresetRow::Rpm);
}

std::array<std::string, kCorrectionPoints> CorrAxisLabels(TCorrAxis axis)
{
    std::array<std::string, kCorrectionPoints> labels;
    for (std::size_t i = 0; i + 1 < kCorrectionPoints; ++i) {
        switch (axis) {
        case TCorrAxis::Pressure: {
            const unsigned tenths = static_cast<unsigned>(2 + i);
            labels[i] = std::to_string(tenths / 10) + "," + std::to_string(tenths % 10);
            break;
        }
        case TCorrAxis::GasTemp:
            labels[i] = std::to_string(-10 + 5 * static_cast<int>(i));
            break;
        case TCorrAxis::Rpm:
            labels[i] = std::to_string(kRpmAxis[i]);
            break;
        }
    }
    labels.back() = axis == TCorrAxis::Rpm ? "   > " : " > ";
    return labels;
}

TCorrectionTable StandardPressureCorrection(uint8_t workPress)
{
    const auto found = std::find(kPressureAxisCodes.begin(), kPressureAxisCodes.end(), workPress);
    // 1-based position of the working pressure; one past the end when it is
    // not an axis point.
    const long i = std::distance(kPressureAxisCodes.begin(), found) + 1;
    TCorrectionTable out{};
    for (long a = 1; a <= static_cast<long>(kCorrectionPoints); ++a) {
        const long b = std::clamp<long>(a - i + static_cast<long>(kShapeZero), 1, kCorrectionPoints);
        out[static_cast<std::size_t>(a - 1)] = kStandardPressureShape[static_cast<std::size_t>(b - 1)];
    }
    return out;
}

TCorrectionTable ShiftedPressureCorrection(const TCorrectionTable &table, int steps)
{
    TCorrectionTable out{};
    const long n = static_cast<long>(kCorrectionPoints);
    for (long a = 0; a < n; ++a) {
        const long from = std::clamp<long>(a - steps, 0, n - 1);
        out[static_cast<std::size_t>(a)] = table[static_cast<std::size_t>(from)];
    }
    return out;
}

int8_t ClampCorrection(long long value)
{
    return static_cast<int8_t>(
        std::clamp<long long>(value, std::numeric_limits<int8_t>::min(), std::numeric_limits<int8_t>::max()));
}

namespace {

// The number part of a typed correction: blanks around it and a leading
// plus sign go.
std::string_view CorrectionDigits(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    return text;
}

} // namespace

int8_t CorrectionFromText(std::string_view text)
{
    text = CorrectionDigits(text);
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range)
        return text.front() == '-' ? std::numeric_limits<int8_t>::min() : std::numeric_limits<int8_t>::max();
    if (ec != std::errc() || ptr != text.data() + text.size())
        return 0;
    return ClampCorrection(value);
}

std::optional<int8_t> CheckedCorrectionFromText(std::string_view text)
{
    text = CorrectionDigits(text);
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        return std::nullopt;
    if (value < std::numeric_limits<int8_t>::min() || value > std::numeric_limits<int8_t>::max())
        return std::nullopt;
    return static_cast<int8_t>(value);
}

TCorrectionTable TgasTableForPlacement(bool inFlow, uint8_t pcCompatCode)
{
    if (!inFlow)
        return kTgasSmall;
    return pcCompatCode == kBigTgasCompatCode ? kTgasBig : kTgasStandard;
}

TCorrPreset TgasPresetForPlacement(bool inFlow)
{
    return inFlow ? TCorrPreset::Standard : TCorrPreset::Small;
}

} // namespace lumex
