#include "calibration/ModelCurves.h"

#include "controller/Conversions.h"

namespace lumex {

std::vector<TModel2Point> UsedModelPoints(const TModel2Set &set)
{
    std::vector<TModel2Point> used;
    for (const TModel2Point &p : set) {
        if (p.X == kModelEmptyHalf || p.Y == kModelEmptyHalf || p.X < 0 || p.X > kModelMaxTbTicks)
            continue;
        if (!used.empty() && p.X <= used.back().X)
            continue;
        used.push_back(p);
    }
    return used;
}

std::optional<double> Model2GasAt(const std::vector<TModel2Point> &used, double tbMs)
{
    if (used.size() < 2)
        return std::nullopt;
    std::size_t k = 1;
    while (k + 1 < used.size() && TimeMs(used[k].X) <= tbMs)
        ++k;
    const TModel2Point &a = used[k - 1];
    const TModel2Point &b = used[k];
    const double slope = static_cast<double>(b.Y - a.Y) / static_cast<double>(b.X - a.X);
    const double intercept = (a.Y - a.X * slope) / kTicksPerMs;
    return slope * tbMs + intercept;
}

TLegacyModel TLegacyModel::From(const TNorviData &d)
{
    TLegacyModel m;
    m.Mult = d.Mult;
    m.Offset = d.Offset;
    m.P = {double(d.P1), double(d.P2), double(d.P3), double(d.P4)};
    m.E = {double(d.E1), double(d.E2), double(d.E3), double(d.E4)};
    return m;
}

double EnrichmentAt(const TLegacyModel &model, double tbMs)
{
    const std::array<double, 5> x{0, model.P[0], model.P[1], model.P[2], model.P[3]};
    const std::array<double, 5> e{0, model.E[0], model.E[1], model.E[2], model.E[3]};
    std::size_t k = 1;
    while (k < 4 && tbMs > x[k])
        ++k; // beyond P3 the last segment (P3, P4) goes on
    const double width = x[k] - x[k - 1];
    if (!(width > 0))
        return e[k];
    return e[k - 1] + (e[k] - e[k - 1]) * (tbMs - x[k - 1]) / width;
}

double LegacyGasAt(const TLegacyModel &model, double tbMs)
{
    return (model.Mult * tbMs + model.Offset) * (1 + EnrichmentAt(model, tbMs) / 100);
}

} // namespace lumex
