#include "legacy/NorviRpmRanges.h"

namespace lumex {

namespace {
constexpr int kCalibrationLow = 2200;
constexpr int kCalibrationHigh = 2800;

TRpmShade StrictlyInside(int rpm, int low, int high)
{
    return rpm > low && rpm < high ? TRpmShade::Green : TRpmShade::Yellow;
}
} // namespace

const std::array<TNorviRpmRange, kNorviRpmRangeCount> &NorviRpmRanges()
{
    static constexpr std::array<TNorviRpmRange, kNorviRpmRangeCount> ranges{{
        {"~1500 (1250-1750)", 1250, 1750},
        {"~2000 (1750-2250)", 1750, 2250},
        {"~2500 (2250-2750)", 2250, 2750},
        {"~3000 (2750-3250)", 2750, 3250},
        {"~3500 (3250-3750)", 3250, 3750},
    }};
    return ranges;
}

const TNorviRpmRange &NorviRpmRange(int index)
{
    if (index < 0 || index >= kNorviRpmRangeCount)
        index = kNorviDefaultRpmRange;
    return NorviRpmRanges()[static_cast<std::size_t>(index)];
}

TRpmShade MapRpmShade(int rangeIndex, int rpm)
{
    const TNorviRpmRange &range = NorviRpmRange(rangeIndex);
    return StrictlyInside(rpm, range.Low, range.High);
}

TRpmShade CalibrationRpmShade(int rpm)
{
    return StrictlyInside(rpm, kCalibrationLow, kCalibrationHigh);
}

} // namespace lumex
