#include "calibration/SegmentFit.h"
#include "documents/MessageKeys.h"

#include <cmath>

namespace lumex {

namespace {

constexpr double kSegmentReachMs = 2.0; // points up to this far past a segment's end count for it

} // namespace

TSegmentFitResult FitSegments(const TLegacyModel &model, std::span<const TCalcPoint> calculated, bool offsetEdited)
{
    TSegmentFitResult r;
    r.Model = model;
    if (calculated.empty()) {
        r.Warning = msg::strNotEnoughGasPoints;
        return r;
    }
    TLegacyModel &m = r.Model;
    if (offsetEdited) {
        double gas = 0, petrol = 0;
        for (const TCalcPoint &c : calculated) {
            gas += c.GasMs;
            petrol += c.PetrolMs;
        }
        const double mult = (gas - static_cast<double>(calculated.size()) * m.Offset) / petrol;
        if (std::isfinite(mult))
            m.Mult = mult;
    }
    const std::array<double, 5> x{0, m.P[0], m.P[1], m.P[2], m.P[3]};
    for (std::size_t k = 0; k < x.size(); ++k)
        r.LineGas[k] = LegacyGasAt(m, x[k]);

    for (std::size_t k = 0; k + 1 < x.size(); ++k) {
        if (!(x[k + 1] > x[k]))
            continue; // two points at one Tb make no segment
        double n = 0, gas = 0, petrol = 0;
        for (const TCalcPoint &c : calculated) {
            if (c.PetrolMs >= x[k] && c.PetrolMs <= x[k + 1] + kSegmentReachMs) {
                ++n;
                gas += c.GasMs;
                petrol += c.PetrolMs;
            }
        }
        const double run = petrol - n * x[k];
        if (n == 0 || !(std::abs(run) > 1e-9))
            continue; // every point sits on point k: no slope to take
        const double slope = (gas - n * r.LineGas[k]) / run;
        r.LineGas[k + 1] = r.LineGas[k] + slope * (x[k + 1] - x[k]);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const double base = m.Mult * x[i + 1] + m.Offset;
        const double e = (r.LineGas[i + 1] / base - 1) * 100;
        if (base > 0 && std::isfinite(e))
            m.E[i] = std::round(e);
    }
    return r;
}

} // namespace lumex
