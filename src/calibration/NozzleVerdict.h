// Judging the fitted gas nozzles from an autocalibration result: the ratio
// of gas to petrol time at the reference point, without the model offset,
// against the bands of the fuel.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumex {

enum class TFuel : uint8_t
{
    LPG,
    CNG
};

// FuelType 0 is LPG.
TFuel FuelOf(const TNorviData &d);

// The numbers are the ones the model page shows next to the model.
enum class TNozzleVerdict : uint8_t
{
    None = 0,       // not judged
    TooSmall = 1,   // the gas needs much longer than the petrol
    TooLarge = 2,   // the gas needs much less
    Acceptable = 3, // works, but not centred
    Good = 4
};

// A point of a model chart: petrol time and gas time in ms.
struct TTimePoint
{
    double X = 0;
    double Y = 0;
};

// k = (y - e) / x, and 0 when x is 0 (or the inputs are not numbers).
double NozzleRatio(double offset, TTimePoint reference);
TNozzleVerdict NozzleVerdictFor(TFuel fuel, double ratio);

// The two result lines: the verdict's key, and the advice to change the
// nozzles (empty when there is none). Both empty for None.
struct TNozzleKeys
{
    std::string_view Info1;
    std::string_view Info2;
};
TNozzleKeys NozzleVerdictKeys(TNozzleVerdict verdict);

// The reference point of the verdict: with the model used at idle, the first
// idle point after phase 1 and the midpoint of both idle points otherwise;
// without it, the third point of the model.
TTimePoint NozzleReferencePoint(bool useOnIdleModel, uint8_t phase, const TModelPoints &idle, const TModel2Set &model);

// The midpoint of the two idle points.
TTimePoint IdleMidpoint(const TModelPoints &idle);

// A model point of the point set in ms; nothing for an empty slot.
std::optional<TTimePoint> ModelPointMs(const TModel2Point &p);

} // namespace lumex
