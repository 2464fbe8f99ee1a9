#include "calibration/MapRanges.h"

#include <array>

namespace lumex {

namespace {

constexpr std::array<std::string_view, kMapRPMRanges> kRangeTexts{
    "~1500 (1250-1750)", "~2000 (1750-2250)", "~2500 (2250-2750)", "~3000 (2750-3250)", "~3500 (3250-3750)",
    "~4000 (3750-4250)", "~4500 (4250-4750)", "~5000 (4750-5250)", "R1500 (1250-2250)", "R2000 (1750-2750)",
    "R2500 (2250-3250)", "R3000 (2750-3750)", "R3500 (3250-4250)", "R4000 (3750-4750)", "R4500 (4250-5250)"};

constexpr double kLimitBar = 1.0;
constexpr double kTurboLimitBar = 2.5;

} // namespace

std::string_view MapRPMRangeText(uint8_t index)
{
    return index < kRangeTexts.size() ? kRangeTexts[index] : std::string_view{};
}

bool IsCurrentRangePoint(uint8_t selectedRange, uint8_t pointRange)
{
    if (selectedRange < kFirstWideRange)
        return pointRange == selectedRange;
    // A wide range spans the two narrow ranges it starts at.
    return pointRange == selectedRange - kFirstWideRange || pointRange == selectedRange - kFirstWideRange + 1;
}

double MapPressureLimit(bool turbo)
{
    return turbo ? kTurboLimitBar : kLimitBar;
}

} // namespace lumex
