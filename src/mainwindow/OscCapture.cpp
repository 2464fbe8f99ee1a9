#include "mainwindow/OscCapture.h"

#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "mainwindow/ReadingInputs.h"

namespace lumex {

namespace {

constexpr uint8_t kTestModeParam = 24;
constexpr uint8_t kTestModeOn = 1;

double InjectorTimeMs(const TNorviData &d, const std::array<int32_t, kCylinders> &times, int item, bool petrol)
{
    if (item == kInjectorAverage)
        return petrol ? AvgPetrolTimeMs(d) : AvgGasTimeMs(d);
    if (item < 1 || item > static_cast<int>(kCylinders))
        return 0;
    return TimeMs(times[static_cast<std::size_t>(item - 1)]);
}

} // namespace

TOscSample OscSampleFromImage(const TNorviData &d, int injectorItem, double psysBar, const TObdChannelSource &obd)
{
    TOscSample s;
    const bool onGas = d.SystemState == kSystemStateGas;
    s.Tb = InjectorTimeMs(d, d.PetrolTime, injectorItem, true);
    s.Tg = onGas ? InjectorTimeMs(d, d.GasTime, injectorItem, false) : 0;
    s.Psys = psysBar;
    s.Pcol = PcolBar(d.PcolRaw, d.PressureSensorType);
    s.TempG = TempC(d.TgasRaw);
    s.TempR = TempC(d.TredRaw);
    s.RPM = RpmFromPeriod(d.RpmPeriod);
    s.Lambda = LambdaVolts(d.LambdaRaw, d.LambdaType);
    s.Voltage = SupplyVolts(d.SupplyRaw);
    for (std::size_t c = 0; c < kObdChannels; ++c) {
        if (const auto v = obd.Value(c)) {
            s.Obd[c] = *v;
            s.ObdPresent |= 1u << c;
        }
    }
    s.SysState = d.SystemState;
    s.GasFlag = onGas ? -1 : 0;
    s.Taken = true;
    return s;
}

TOscSample TakeOscSample(TDataManager &manager, int injectorItem, const TObdChannelSource &obd)
{
    TNorviData image = manager.Data();
    uint8_t testMode = 0;
    if (manager.ReadByteParam(kTestModeParam, &testMode) && testMode == kTestModeOn)
        ApplyModelGasTimes(image);
    const double psys = PsysBar(image.PsysRaw, image.PressureSensorType,
                                [&manager](uint8_t index) { return manager.ReadWordVar(index); });
    return OscSampleFromImage(image, injectorItem, psys, obd);
}

} // namespace lumex
