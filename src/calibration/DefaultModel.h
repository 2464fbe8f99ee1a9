// The default gas model a 3.0 controller starts from: the offset its gas
// injector type needs, the Model2 points on the line Tg = slope x Tb + offset
// and the idle points on the same line. The one place these numbers live.
#pragma once

#include "calibration/ModelPoints.h"
#include "controller/NorviData.h"

#include <array>
#include <cstdint>

namespace lumex {

// Default model offset (ms) for a gas injector element code; codes without a
// row of their own get 1.1 ms.
double DefaultModelOffset(uint8_t injectorCode);

// Petrol times (ms) of the default Model2 points.
inline constexpr std::array<double, 6> kDefaultModelTbMs{0.0, 1.5, 4.5, 8.0, 15.0, 25.0};
// Petrol times (ms) of the default idle points P1 and P2.
inline constexpr double kDefaultIdle1Ms = 3.0;
inline constexpr double kDefaultIdle2Ms = 6.0;

// The default points on the line Tg = slope x Tb + offset.
TModelPointList DefaultModel2Points(double offset, double slope = 1.0);
// The same points as the controller holds them: ticks, the rest of the 20
// slots empty.
TModel2Set DefaultModel2Set(double offset, double slope = 1.0);
// The default idle points on the line with slope 1.
TModelPoints DefaultIdlePoints(double offset);

} // namespace lumex
