#include "mainwindow/ReadingInputs.h"

#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "controller/Version.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lumex {

TReadingExtras GatherReadingExtras(TDataManager &manager)
{
    TNorviData &d = manager.Data();
    const TWordVarReader read = [&manager](uint8_t index) { return manager.ReadWordVar(index); };
    TReadingExtras x;
    x.PsysBar = PsysBar(d.PsysRaw, d.PressureSensorType, read);
    x.NominalTredRaw = NominalTredRaw(d, read);
    if (d.RpmPeriod != 0 && !HasLiveBlock(d)) {
        if (d.VersionCode == kVersion30)
            x.WordVar31 = manager.ReadWordVar(31);
        x.WordVar9 = manager.ReadWordVar(9);
        x.WordVar10 = manager.ReadWordVar(10);
    }
    return x;
}

void ApplyModelGasTimes(TNorviData &data)
{
    for (std::size_t k = 0; k < kCylinders; ++k) {
        double gas = std::round(data.PetrolTime[k] * data.Mult + data.Offset * kTicksPerMs);
        // A model read from the controller may be anything; the cast must stay defined.
        if (!std::isfinite(gas))
            gas = 0;
        gas = std::clamp(gas, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX));
        data.GasTime[k] = static_cast<int32_t>(gas);
    }
}

} // namespace lumex
