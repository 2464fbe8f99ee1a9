// The default gas models: the Model2 points and idle points a 3.0 controller
// starts from for its injector type, and the 1.4/1.5 line.
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

// The default points on the line Tg = Tb + offset (slope 1).
TModelPointList DefaultModel2Points(double offset);
// The default idle points on the same line.
TModelPoints DefaultIdlePoints(double offset);

} // namespace lumex
