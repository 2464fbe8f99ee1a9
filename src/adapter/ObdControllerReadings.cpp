#include "adapter/ObdControllerReadings.h"

#include "controller/Conversions.h"

namespace lumex {

namespace {

constexpr const char *kNoValue = "-----";
// The controller reports running on gas with this system state.
constexpr uint8_t kStateOnGas = 5;

} // namespace

TObdControllerReadings TakeObdControllerReadings(const TNorviData &d, double psysBar, bool linkUp)
{
    TObdControllerReadings r;
    if (!linkUp) {
        r = {kNoValue, kNoValue, kNoValue, kNoValue, kNoValue, kNoValue, kNoValue};
        return r;
    }
    r.Rpm = ShowRpm(d.RpmPeriod);
    r.PetrolTime = FormatTime(AvgPetrolTimeMs(d));
    // The gas times mean something only while the engine runs on gas.
    r.GasTime = FormatTime(d.SystemState == kStateOnGas ? AvgGasTimeMs(d) : 0.0);
    r.Pmap = ShowPcol(d.PcolRaw, d.PressureSensorType);
    r.Psys = ShowPsys(d.PsysRaw, psysBar);
    r.Tred = ShowTemperature(d.TredRaw);
    r.Tgas = ShowTemperature(d.TgasRaw);
    return r;
}

} // namespace lumex
