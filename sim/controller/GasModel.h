// How the controller turns a petrol injection time into a gas injection
// time with the model it holds.
#pragma once

#include "sim/controller/ControllerIdentity.h"
#include "sim/controller/ParameterStore.h"

#include <cstdint>

namespace sim {

// Gas ticks for petrol ticks on a cylinder (0-based).
uint16_t GasTicks(const ParameterStore &store, const ControllerIdentity &id, uint16_t petrolTicks, int cylinder);

} // namespace sim
