#include "calibration/ModelPoints.h"

#include <cmath>

namespace lumex {

bool IsEmptySlot(const TModel2Point &p)
{
    return p.X == kModelEmptyTicks && p.Y == kModelEmptyTicks;
}

bool IsPointInUse(const TModel2Point &p)
{
    return !IsEmptySlot(p) && p.X >= 0 && p.X <= kModelTbLimitTicks;
}

TModelPointList PointsInUse(const TModel2Set &set)
{
    TModelPointList points;
    for (const TModel2Point &p : set) {
        if (IsPointInUse(p))
            points.push_back({p.X / kTicksPerMs, p.Y / kTicksPerMs});
    }
    return points;
}

std::vector<TModel2Point> UsedModelPoints(const TModel2Set &set)
{
    std::vector<TModel2Point> used;
    for (const TModel2Point &p : set) {
        if (!IsPointInUse(p) || (!used.empty() && p.X <= used.back().X))
            continue;
        used.push_back(p);
    }
    return used;
}

uint16_t PointTicks(double ms)
{
    const double ticks = std::round(ms * kTicksPerMs);
    if (!(ticks > 0)) // NaN and negatives
        return 0;
    if (ticks >= kModelMaxPointTicks)
        return kModelMaxPointTicks;
    return static_cast<uint16_t>(ticks);
}

TModel2Set SetFromPoints(const TModelPointList &points)
{
    TModel2Set set;
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (i < points.size())
            set[i] = {PointTicks(points[i].Tb), PointTicks(points[i].Tg)};
        else
            set[i] = {kModelEmptyTicks, kModelEmptyTicks};
    }
    return set;
}

} // namespace lumex
