// Putting a controller back into its factory state, as data-level step
// lists per generation: the image's fields are set to the defaults and sent
// parameter by parameter, then the fixed controller memory is written.
// Every step runs whatever an earlier one did; the result names the steps
// that failed.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumex {

class TDataManager;

// The gas injector a controller of this compatibility code ships with.
uint8_t DefaultInjectorFor(uint8_t pcCompatCode);
// The injectors in use by default: the largest count of the injector count
// list the channels allow (3, 4, 5, 6 or 8); 0 below three channels.
uint8_t DefaultInjectorCount(uint8_t channels);

struct TFactoryResult
{
    bool Ran = false; // false: the generation has no factory settings, nothing was sent
    std::vector<std::string> FailedSteps;
    bool Ok() const { return Ran && FailedSteps.empty(); }
};

// The routine of the connected generation, then the configuration read back.
TFactoryResult WriteDefaultConfiguration(TDataManager &manager);
TFactoryResult WriteDefaultConfiguration_145(TDataManager &manager);
TFactoryResult WriteDefaultConfiguration_v30(TDataManager &manager);

} // namespace lumex
