// The gas controller's own readings that the OBD live page shows beside the
// car's: engine speed, injection times, pressures and temperatures, so the
// installer sees at a glance whether both sides agree.
#pragma once

#include "controller/NorviData.h"

#include <string>

namespace lumex {

struct TObdControllerReadings
{
    std::string Rpm;
    std::string PetrolTime;
    std::string GasTime;
    std::string Pmap;
    std::string Psys;
    std::string Tred;
    std::string Tgas;
};

// The texts the readings page would show for the same image; "-----" for
// every value while the controller's link is down. `psysBar` is the gas
// pressure the tick already converted.
TObdControllerReadings TakeObdControllerReadings(const TNorviData &d, double psysBar, bool linkUp);

} // namespace lumex
