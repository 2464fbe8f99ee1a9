// The main window's tests use the shared simulator harness under the names
// they grew up with. Several can run at once, one per "port".
#pragma once

#include "SimHarness.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace guitest {

using SimPort = testsupport::SimHarness;

inline sim::SimulatorOptions ControllerOptions(uint8_t generation = 0x30, std::optional<uint8_t> letter = 'G')
{
    return testsupport::SimSetup::Controller(generation, letter);
}

inline sim::SimulatorOptions PersonalityOptions(sim::Personality personality)
{
    return testsupport::SimSetup::Of(personality);
}

// Deadlines are at least the harness's generous one: a short one only makes
// a busy machine fail a correct program.
inline bool WaitFor(const std::function<bool()> &condition, int ms = 0)
{
    return testsupport::WaitFor(condition, std::max(testsupport::kGenerousDeadline, std::chrono::milliseconds(ms)));
}

} // namespace guitest
