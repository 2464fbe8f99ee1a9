// Raw controller units to engineering units, and how readings are shown.
// These are the only place where raw image values become volts, bar,
// degrees, milliseconds or revolutions per minute.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <functional>
#include <string>

namespace lumex {

// Reads a word variable (command 0x40) of the controller; 0 when it fails.
using TWordVarReader = std::function<uint16_t(uint8_t index)>;

inline constexpr double kTicksPerMs = 187.0;

// Injection time or engine period raw (1/187 ms) in ms.
double TimeMs(double raw);
// Engine speed from the period, in steps of 10 rpm; 0 for a zero period.
int RpmFromPeriod(uint16_t raw);
// Temperature-table value of a raw temperature byte, °C.
double TempC(uint8_t raw);
double SupplyVolts(uint8_t raw);
double LevelVolts(uint8_t raw);
// Lambda probe input for lambda types 1..6; 0 for other types.
double LambdaVolts(uint8_t raw, uint8_t lambdaType);
// Manifold pressure, bar, never negative.
double PcolBar(uint8_t raw, uint8_t pressureSensorType);
// Gas system pressure, bar, never negative. For sensor types other than 1
// the high range needs word variables 13 and 15 of the controller: two
// transactions through `readWordVar` each time it is evaluated.
double PsysBar(uint8_t raw, uint8_t pressureSensorType, const TWordVarReader &readWordVar);

// Mean petrol or gas time over the first InjSW cylinders, ms; 0 for none.
double AvgPetrolTimeMs(const TNorviData &d);
double AvgGasTimeMs(const TNorviData &d);

// Nominal reducer temperature as a temperature-table raw value. Version
// 0x30 before "G" reads word variable 33 through `readWordVar`.
uint8_t NominalTredRaw(const TNorviData &d, const TWordVarReader &readWordVar);

// Display texts: pressures and times "%.2f", temperatures "%.1f", engine
// speed "%d".
std::string FormatPressure(double bar);
std::string FormatTime(double ms);
std::string FormatTemperature(double celsius);
std::string FormatVolts(double volts);
std::string FormatRpm(int rpm);

// Shown readings with the zero rule: a raw 0 shows "0" for the system
// pressure, both temperatures and the engine speed. The manifold pressure
// is always converted.
std::string ShowPsys(uint8_t raw, double bar);
std::string ShowTemperature(uint8_t raw);
std::string ShowRpm(uint16_t period);
std::string ShowPcol(uint8_t raw, uint8_t pressureSensorType);

} // namespace lumex
