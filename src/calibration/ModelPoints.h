// Model2 points as the controller keeps them and as the editor works on them.
// The controller holds 20 slots of (Tb, Tg) in ticks (187 per ms); 65535 in
// both halves marks an empty slot, and only points up to 30 ms belong to the
// model. The editor works in ms on the points in use, in slot order.
#pragma once

#include "controller/Conversions.h"
#include "controller/NorviData.h"

#include <cstdint>
#include <vector>

namespace lumex {

inline constexpr uint16_t kModelEmptyTicks = 65535;
// A real point never encodes as the empty mark.
inline constexpr uint16_t kModelMaxPointTicks = 65534;
// Points with a larger petrol time are not part of the model.
inline constexpr int32_t kModelTbLimitTicks = 5610;
inline constexpr double kModelTbLimitMs = kModelTbLimitTicks / kTicksPerMs;

struct TModelPointMs
{
    double Tb = 0; // petrol time, ms
    double Tg = 0; // gas time, ms

    bool operator==(const TModelPointMs &) const = default;
};

using TModelPointList = std::vector<TModelPointMs>;

bool IsEmptySlot(const TModel2Point &p);
// Not empty and with a petrol time inside the model's range.
bool IsPointInUse(const TModel2Point &p);

// The points in use, in slot order, in ms.
TModelPointList PointsInUse(const TModel2Set &set);
// The points in use as a curve, in ticks: a point whose Tb does not advance
// past the one before is skipped, so no segment has zero width.
std::vector<TModel2Point> UsedModelPoints(const TModel2Set &set);

// Ticks of a time in ms: rounded, never below 0 and never the empty mark
// (a bad value, NaN included, must not empty or wrap a real point).
uint16_t PointTicks(double ms);

// The slots a write sends: the points in order, the remaining slots empty.
// Points beyond the 20 slots are not sent.
TModel2Set SetFromPoints(const TModelPointList &points);

} // namespace lumex
