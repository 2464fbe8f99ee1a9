// The map's RPM ranges, the chart's pressure limit and the point counts.
#pragma once

#include "controller/NorviData.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumex {

inline constexpr std::size_t kMapRPMRanges = 15;
// The first wide ("R") range.
inline constexpr uint8_t kFirstWideRange = 8;
// Each kind keeps at most this many points.
inline constexpr unsigned kMaxMapPointsPerKind = 127;

// The list entry of a range index, e.g. "R2500 (2250-3250)"; empty outside 0..14.
std::string_view MapRPMRangeText(uint8_t index);

// Whether a point collected in range `pointRange` belongs to the selected
// range: the same index, or for a wide range i either of i - 8 and i - 7.
bool IsCurrentRangePoint(uint8_t selectedRange, uint8_t pointRange);

// Points above this manifold pressure (bar) are dropped: 1 bar, 2.5 for a turbo engine.
double MapPressureLimit(bool turbo);
inline bool IsTurbo(const TNorviData &d)
{
    return d.EngineType != 0;
}

// A count the controller can hold no more points after (shown in bold).
inline bool IsFullCount(unsigned count)
{
    return count >= kMaxMapPointsPerKind;
}

} // namespace lumex
