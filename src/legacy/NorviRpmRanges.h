// The legacy program's multiplier-map RPM ranges and the colours of its RPM
// displays: the map page's display is green while the engine speed lies
// strictly inside the chosen range, the calibration page's strictly between
// 2200 and 2800 RPM; yellow otherwise.
#pragma once

#include <array>
#include <string_view>

namespace lumex {

struct TNorviRpmRange
{
    std::string_view Text;
    int Low;
    int High;
};

inline constexpr int kNorviRpmRangeCount = 5;
inline constexpr int kNorviDefaultRpmRange = 2;

const std::array<TNorviRpmRange, kNorviRpmRangeCount> &NorviRpmRanges();
// The range of a list index; the default range for an index outside the list.
const TNorviRpmRange &NorviRpmRange(int index);

enum class TRpmShade
{
    Green,
    Yellow
};

TRpmShade MapRpmShade(int rangeIndex, int rpm);
TRpmShade CalibrationRpmShade(int rpm);

} // namespace lumex
