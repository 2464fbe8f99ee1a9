// The command line of lumex2-sim.
#pragma once

#include "sim/Simulator.h"

#include <string>
#include <vector>

namespace sim {

extern const char *const kSimUsage;

// False with `error` set on a usage mistake.
bool ParseSimArgs(const std::vector<std::string> &args, SimulatorOptions &options, std::string &error);

} // namespace sim
