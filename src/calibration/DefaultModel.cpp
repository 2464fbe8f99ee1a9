#include "calibration/DefaultModel.h"

#include <algorithm>
#include <initializer_list>

namespace lumex {

namespace {

struct TOffsetRow
{
    double offset;
    std::initializer_list<uint8_t> codes;
};

// Injector element codes by the offset their nozzles need.
const std::array<TOffsetRow, 7> kOffsetRows{{
    {1.1, {21, 22}},
    {0.3, {0, 19, 28}},
    {0.8, {5, 12, 13, 15, 16, 18}},
    {1.7, {2, 10}},
    {1.5, {4, 8, 9, 11, 14, 17}},
    {0.9, {1, 6, 23, 24}},
    {0.7, {7}},
}};

constexpr double kOtherInjectorOffset = 1.1;
// The default model's slope.
constexpr double kDefaultSlope = 1.0;

} // namespace

double DefaultModelOffset(uint8_t injectorCode)
{
    for (const TOffsetRow &row : kOffsetRows) {
        if (std::find(row.codes.begin(), row.codes.end(), injectorCode) != row.codes.end())
            return row.offset;
    }
    return kOtherInjectorOffset;
}

TModelPointList DefaultModel2Points(double offset, double slope)
{
    TModelPointList points;
    for (const double tb : kDefaultModelTbMs)
        points.push_back({tb, tb * slope + offset});
    return points;
}

TModel2Set DefaultModel2Set(double offset, double slope)
{
    return SetFromPoints(DefaultModel2Points(offset, slope));
}

TModelPoints DefaultIdlePoints(double offset)
{
    return {kDefaultIdle1Ms, kDefaultIdle1Ms * kDefaultSlope + offset, kDefaultIdle2Ms,
            kDefaultIdle2Ms * kDefaultSlope + offset};
}

} // namespace lumex
