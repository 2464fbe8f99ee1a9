// How the simulated controller ends the phase of an autocalibration without
// load: when the gas time it found is far from what fitting nozzles give,
// it stops there with state 11 instead of waiting for the load, and keeps
// only the first idle point.
#pragma once

#include <cstdint>

namespace sim {

// 3.0 state codes around the end of a run.
inline constexpr uint8_t kCalStateWaitLoad = 2;
inline constexpr uint8_t kCalStateFinished = 9;
inline constexpr uint8_t kCalStateNozzles = 11;

// The gas per petrol time beyond which no model can make the nozzles fit.
inline constexpr double kNozzleFactorLow = 0.7;
inline constexpr double kNozzleFactorHigh = 1.3;

bool NozzlesOutOfReach(double gasFactor);

// The state after the last step of the phase without load.
uint8_t StateAfterPhase1(double gasFactor);

} // namespace sim
