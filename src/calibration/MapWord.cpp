#include "calibration/MapWord.h"

#include "controller/Conversions.h"

#include <cmath>

namespace lumex {

namespace {

constexpr unsigned kTicksPerTimeCode = 32;
constexpr double kBinOrigin = 10;

// The inverse of the manifold pressure conversion, as a sensor count.
double SensorCount(double bar, uint8_t pressureSensorType)
{
    const double b = pressureSensorType == 1 ? 0.369 * bar + 0.04 : 0.242 * bar - 0.00842;
    return 256.0 * b;
}

} // namespace

std::optional<unsigned> MapPressureBin(double bar, uint8_t pressureSensorType)
{
    if (!std::isfinite(bar))
        return std::nullopt;
    const double count = std::round(SensorCount(bar, pressureSensorType));
    // Toward zero, so counts 9 and 10 both land in bin 0.
    const double bin = std::trunc((count - kBinOrigin) / 2.0);
    if (bin < 0 || bin >= kMapBinCount)
        return std::nullopt;
    return static_cast<unsigned>(bin);
}

std::optional<unsigned> MapTimeCode(double ms)
{
    if (!std::isfinite(ms))
        return std::nullopt;
    const double code = std::round(ms * kTicksPerMs / kTicksPerTimeCode);
    if (code < 0 || code >= kMapTimeCodes)
        return std::nullopt;
    return static_cast<unsigned>(code);
}

std::optional<uint16_t> EncodeMapWord(const TMapPoint &point, uint8_t pressureSensorType)
{
    const auto bin = MapPressureBin(point.Pressure, pressureSensorType);
    const auto time = MapTimeCode(point.TimeMs);
    if (!bin || !time || point.Kind >= kMapRangeCodes)
        return std::nullopt;
    return static_cast<uint16_t>(point.Kind << 13 | *bin << 7 | *time);
}

} // namespace lumex
