// Map points as a drive across the whole load range would leave them: the
// petrol ECU's injection time rises linearly with manifold pressure; on gas
// it trims that time by the gas model's error, so the LPG cloud sits off
// the petrol cloud by exactly the error the map calculations should find.
#include "sim/controller/ControllerModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kTbAtZeroMs = 1.5; // petrol time with the throttle closed
constexpr double kTbPerBarMs = 8.0; // petrol time per bar of manifold pressure
constexpr double kFirstBar = 0.25;  // the lowest load that is driven
constexpr double kTicksPerMs = 187.0;

int SensorCount(double bar, uint8_t sensorType)
{
    const double b = sensorType == 1 ? 0.369 * bar + 0.04 : 0.242 * bar - 0.00842;
    return static_cast<int>(std::lround(256 * b));
}

uint16_t PointWord(double bar, double ms, uint8_t sensorType, int kind)
{
    const int bin = std::clamp((SensorCount(bar, sensorType) - 10) / 2, 0, 63);
    const int time = std::clamp(static_cast<int>(std::lround(ms * kTicksPerMs / 32)), 0, 127);
    return static_cast<uint16_t>((kind & 7) << 13 | bin << 7 | time);
}

} // namespace

void ControllerModel::FillMapFromLoadModel(int count, double errorPercent)
{
    const EngineSettings s = Settings();
    const double limit = s.turbo ? 2.5 : 1.0;
    const double last = limit - 0.05;
    const uint8_t range = store_.byteParams[19];
    const int kind = range < 8 ? range : range - 8;
    const auto tb = [](double bar) { return kTbAtZeroMs + kTbPerBarMs * bar; };
    std::vector<uint16_t> petrol, gas;
    for (int i = 0; i < count; ++i) {
        const double bar = count == 1 ? kFirstBar : kFirstBar + (last - kFirstBar) * i / (count - 1);
        petrol.push_back(PointWord(bar, tb(bar), s.pressureSensorType, kind));
        // A gas model that gives error% too much gas: the ECU shortens its time.
        gas.push_back(PointWord(bar, tb(bar) / (1 + errorPercent / 100), s.pressureSensorType, kind));
    }
    store_.SetMapPoints(false, petrol);
    store_.SetMapPoints(true, gas);
    if (id_.IsLegacy() || !id_.LetterAtLeast('D'))
        return;
    for (std::size_t j = 0; j < store_.mapG3.size(); ++j) {
        const double bar = 0.2 + 0.05 * static_cast<double>(j);
        const bool driven = count > 0 && bar >= kFirstBar - 0.025 && bar <= last + 0.025;
        const auto ticks = static_cast<uint16_t>(std::lround(tb(bar) * kTicksPerMs));
        store_.mapG3[j][0] = driven ? static_cast<uint16_t>(0x8000 | std::min<uint16_t>(ticks, 0x0FFF)) : 0;
    }
}

} // namespace sim
