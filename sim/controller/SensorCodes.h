// Engineering values to the raw codes the controller's sensors deliver:
// the inverse of the conversions a client applies to live readings.
#pragma once

#include <cstdint>

namespace sim {

// NTC temperature code: low codes are hot.
uint8_t TempRaw(double celsius);
double TempCelsius(uint8_t raw);
// System pressure (bar above manifold) to the 8-bit sensor code.
uint8_t PsysRaw(double bar);
// Manifold pressure (bar absolute); sensor type 1 has its own slope.
uint8_t PcolRaw(double bar, uint8_t pressureSensorType);
double PcolBar(uint8_t raw, uint8_t pressureSensorType);
uint8_t SupplyRaw(double volts);
uint16_t PeriodForRpm(double rpm);
uint16_t Ticks(double ms);

} // namespace sim
