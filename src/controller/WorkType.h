// The working states the controller is switched to with SetWorkType.
#pragma once

#include <cstdint>

namespace lumex {

enum class TWorkType : uint8_t
{
    Stop = 0,                   // stop autocalibration or the injector test
    Gas = 1,                    // standard switch-over to gas
    Petrol = 2,                 // standard switch-over to petrol
    StartAutocalibration = 3,   // RequestedWorkType stays at this while it runs
    GasImmediately = 4,         // gas without waiting for the switch-over conditions
    PetrolImmediately = 5,      // also before defaults, map switches, pressure checks, upgrades
    AutocalibrationRunning = 6, // sent right after the start
    ContinueWithLoad = 7,       // autocalibration goes on to the phase with load
    WorkingPressureTest = 9,
    PetrolSequential = 10
};

// Whether an acknowledged work type becomes RequestedWorkType. The two
// autocalibration follow-ups do not, so the start stays visible to the tick.
constexpr bool BecomesRequestedWorkType(TWorkType t)
{
    return t != TWorkType::AutocalibrationRunning && t != TWorkType::ContinueWithLoad;
}

constexpr int WorkTypeNumber(TWorkType t)
{
    return static_cast<int>(t);
}

} // namespace lumex
