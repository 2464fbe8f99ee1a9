// The state a controller leaves the factory with, per generation.
#pragma once

#include "sim/controller/ControllerIdentity.h"
#include "sim/controller/ParameterStore.h"

namespace sim {

ParameterStore FactoryStore(const ControllerIdentity &id);

// Injector class (bits 0-1 of the first flag byte) of a gas injector code.
uint8_t InjectorClass(uint8_t injectorCode);
// The gas injector a board of this compatibility code ships with.
uint8_t DefaultInjector(uint8_t pcCompatCode);
// Model offset in ms that suits a gas injector code.
double DefaultModelOffsetMs(uint8_t injectorCode);

// Correction presets used by the factory state.
extern const CorrTable kTgasStandard;
extern const CorrTable kTgasBig;
extern const CorrTable kRpmStandard;
extern const CorrTable kPressureStandard;

} // namespace sim
