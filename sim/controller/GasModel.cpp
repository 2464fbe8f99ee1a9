#include "sim/controller/GasModel.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sim {

namespace {

constexpr uint16_t kModelLimit = 5610; // petrol times beyond 30 ms are not part of the model

uint16_t ClampTicks(double ticks)
{
    return static_cast<uint16_t>(std::clamp(std::lround(ticks), 0L, 65535L));
}

// The 1.4/1.5 line: (Mult x Tb + Offset) x (1 + E(Tb)/100), E linear through
// the four enrichment points and extended along the last segment.
double LegacyGas(const ParameterStore &s, double tb)
{
    const double mult = s.modelParams[1] / 1024.0;
    const double offset = static_cast<int16_t>(s.modelParams[2]);
    double px[5]{0, 0, 0, 0, 0};
    double ex[5]{0, 0, 0, 0, 0};
    for (int i = 0; i < 4; ++i) {
        px[i + 1] = s.modelParams[3 + i];
        ex[i + 1] = (s.modelParams[7 + i] / 4096.0 - 1.0) * 100.0;
    }
    double e = 0;
    int seg = 0;
    while (seg < 3 && tb > px[seg + 1])
        ++seg;
    const double dx = px[seg + 1] - px[seg];
    if (dx > 0)
        e = ex[seg] + (ex[seg + 1] - ex[seg]) * (tb - px[seg]) / dx;
    return (mult * tb + offset) * (1.0 + e / 100.0);
}

double Model2Gas(const ParameterStore &s, double tb, bool &usable)
{
    std::array<ModelPoint, 20> points{};
    std::size_t count = 0;
    for (const auto &p : s.model2A) {
        if (p.x != 0xFFFF && p.x <= kModelLimit)
            points[count++] = p;
    }
    std::sort(points.begin(), points.begin() + static_cast<long>(count),
              [](const ModelPoint &a, const ModelPoint &b) { return a.x < b.x; });
    usable = count >= 2;
    if (!usable)
        return 0;
    std::size_t k = 1;
    while (k + 1 < count && tb > points[k].x)
        ++k;
    const auto &a = points[k - 1];
    const auto &b = points[k];
    if (b.x == a.x)
        return b.y;
    return a.y + (static_cast<double>(b.y) - a.y) * (tb - a.x) / (static_cast<double>(b.x) - a.x);
}

} // namespace

uint16_t GasTicks(const ParameterStore &store, const ControllerIdentity &id, uint16_t petrolTicks, int cylinder)
{
    if (petrolTicks == 0)
        return 0;
    const double tb = petrolTicks;
    if (id.IsLegacy())
        return ClampTicks(LegacyGas(store, tb));
    bool usable = false;
    double gas = Model2Gas(store, tb, usable);
    if (!usable)
        gas = store.modelParams[1] / 1024.0 * tb + static_cast<int16_t>(store.modelParams[2]);
    if (id.LetterAtLeast('D') && cylinder >= 0 && cylinder < 8)
        gas *= 1.0 + store.injCorr[cylinder] / 100.0;
    return ClampTicks(gas);
}

} // namespace sim
