#include "sim/controller/SensorCodes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sim {

namespace {

// Every sixteenth point of the sensor curve; interpolation between them is
// well within the sensor's tolerance.
constexpr std::array<double, 17> kCurve{272.8, 99.73, 76.07, 61.92, 51.87,  43.86,  36.91,  30.70, 24.92,
                                        19.33, 13.71, 7.863, 1.428, -5.489, -14.06, -27.95, -65.56};

uint8_t Clamp8(double value)
{
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

double TempCelsius(uint8_t raw)
{
    const int seg = std::min(raw / 16, 15);
    const double span = seg == 15 ? 15.0 : 16.0;
    const double f = (raw - seg * 16) / span;
    return kCurve[seg] + (kCurve[seg + 1] - kCurve[seg]) * f;
}

uint8_t TempRaw(double celsius)
{
    if (celsius >= kCurve[0])
        return 0;
    if (celsius <= kCurve.back())
        return 255;
    for (int seg = 0; seg < 16; ++seg) {
        if (celsius <= kCurve[seg] && celsius >= kCurve[seg + 1]) {
            const double span = seg == 15 ? 15.0 : 16.0;
            const double f = (kCurve[seg] - celsius) / (kCurve[seg] - kCurve[seg + 1]);
            return Clamp8(seg * 16 + f * span);
        }
    }
    return 255;
}

uint8_t PsysRaw(double bar)
{
    return Clamp8((bar * 0.369 + 0.04) * 256.0);
}

uint8_t PcolRaw(double bar, uint8_t pressureSensorType)
{
    if (pressureSensorType == 1)
        return Clamp8((bar * 0.369 + 0.04) * 256.0);
    return Clamp8((bar * 0.242 - 0.00842) * 256.0);
}

double PcolBar(uint8_t raw, uint8_t pressureSensorType)
{
    const double b = raw / 256.0;
    const double bar = pressureSensorType == 1 ? (b - 0.04) / 0.369 : (b + 0.00842) / 0.242;
    return std::max(bar, 0.0);
}

uint8_t SupplyRaw(double volts)
{
    return Clamp8(volts * 0.215 * 256.0 / 5.0);
}

uint16_t PeriodForRpm(double rpm)
{
    if (rpm <= 0)
        return 0;
    return static_cast<uint16_t>(std::clamp(std::lround(22'440'000.0 / rpm), 1L, 65535L));
}

uint16_t Ticks(double ms)
{
    return static_cast<uint16_t>(std::clamp(std::lround(ms * 187.0), 0L, 65535L));
}

} // namespace sim
