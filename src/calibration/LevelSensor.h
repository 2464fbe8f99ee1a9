// The fuel-level indicator's thresholds and the switch panel's LED colour:
// the factory settings and writing them.
#pragma once

#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <array>
#include <cstdint>

namespace lumex {

class TDataManager;

enum class TPanelLed : uint8_t
{
    Blue = 0,
    Red = 1
};

// ReserveType: 0 reserve switch only, 1 and 2 resistive indicators
// (PW0..PW3, 0x35/0x37), 3 the 0-90 ohm indicator ("0900".."0903", 0x36/0x38).
inline constexpr uint8_t kReserveSwitchOnly = 0;
inline constexpr uint8_t kReserveOhm90 = 3;

using TLevelThresholds = std::array<uint8_t, 4>;

// Factory thresholds, in threshold order 0..3.
TLevelThresholds FactoryLevelThresholds(uint8_t reserveType);
// Red on controllers of compatibility code 19, blue elsewhere.
TPanelLed FactoryPanelLed(uint8_t pcCompatCode);
// A slider position as the indicator voltage it stands for.
double LevelThresholdVolts(uint8_t position);

// The thresholds of the reserve type as the image holds them.
TLevelThresholds LevelThresholdsOf(uint8_t reserveType, const TNorviData &d);

// Save: the LED colour (byte parameter 22), then the four thresholds into
// the table of the reserve type and its write (0x37 or 0x38).
TWriteResult WriteLevelSensorSettings(TDataManager &manager, TPanelLed led, const TLevelThresholds &thresholds);
// The factory settings for the image's ReserveType and PcCompatCode, written
// as Save writes them.
TWriteResult WriteLevelSensorFactoryDefaults(TDataManager &manager);

} // namespace lumex
