#include "calibration/LevelSensor.h"

#include "calibration/CorrectionTables.h"
#include "controller/CommandCodes.h"
#include "controller/DataManager.h"
#include "controller/WriteSequence.h"

namespace lumex {

namespace {

constexpr uint8_t kPanelLedParam = 22;
constexpr TLevelThresholds kResistiveFactory{200, 143, 92, 40};
constexpr TLevelThresholds kOhm90Factory{21, 47, 61, 72};

} // namespace

TLevelThresholds FactoryLevelThresholds(uint8_t reserveType)
{
    return reserveType == kReserveOhm90 ? kOhm90Factory : kResistiveFactory;
}

TPanelLed FactoryPanelLed(uint8_t pcCompatCode)
{
    return pcCompatCode == kBigTgasCompatCode ? TPanelLed::Red : TPanelLed::Blue;
}

double LevelThresholdVolts(uint8_t position)
{
    return position * 5.0 / 255.0;
}

TLevelThresholds LevelThresholdsOf(uint8_t reserveType, const TNorviData &d)
{
    if (reserveType == kReserveOhm90)
        return {d.Level0900, d.Level0901, d.Level0902, d.Level0903};
    return {d.PW0, d.PW1, d.PW2, d.PW3};
}

TWriteResult WriteLevelSensorSettings(TDataManager &m, TPanelLed led, const TLevelThresholds &t)
{
    TNorviData &d = m.Data();
    TWriteSequence s(m);
    d.PanelLED = static_cast<uint8_t>(led);
    s.Byte(kPanelLedParam);
    if (d.ReserveType == kReserveOhm90) {
        d.Level0900 = t[0], d.Level0901 = t[1], d.Level0902 = t[2], d.Level0903 = t[3];
        s.Step("WriteLevelSensorB", cmd::WriteLevelSensorB, [&m] { return m.WriteLevelSensorB(); });
    } else if (d.ReserveType != kReserveSwitchOnly) {
        d.PW0 = t[0], d.PW1 = t[1], d.PW2 = t[2], d.PW3 = t[3];
        s.Step("WriteLevelSensorA", cmd::WriteLevelSensorA, [&m] { return m.WriteLevelSensorA(); });
    }
    return s.Result();
}

TWriteResult WriteLevelSensorFactoryDefaults(TDataManager &m)
{
    const TNorviData &d = m.Data();
    return WriteLevelSensorSettings(m, FactoryPanelLed(d.PcCompatCode), FactoryLevelThresholds(d.ReserveType));
}

} // namespace lumex
