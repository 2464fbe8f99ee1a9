#include "calibration/ModelCurves.h"

#include "calibration/Model1.h"
#include "controller/Conversions.h"

namespace lumex {

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
    return EnrichmentCurve(model.P, model.E, tbMs);
}

double LegacyGasAt(const TLegacyModel &model, double tbMs)
{
    return (model.Mult * tbMs + model.Offset) * (1 + EnrichmentAt(model, tbMs) / 100);
}

} // namespace lumex
