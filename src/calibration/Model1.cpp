#include "calibration/Model1.h"

#include <cmath>

namespace lumex {

namespace {

constexpr std::array<int32_t, 4> kDefaultP{5, 10, 15, 20};
constexpr double kDefaultOffsetMs = 1.0;

} // namespace

TModel1 DefaultModel1()
{
    TModel1 m;
    m.P = kDefaultP;
    m.Offset = kDefaultOffsetMs;
    return m;
}

double EnrichmentCurve(const std::array<double, 4> &p, const std::array<double, 4> &en, double tbMs)
{
    if (!std::isfinite(tbMs))
        return 0.0;
    const std::array<double, 5> x{0, p[0], p[1], p[2], p[3]};
    const std::array<double, 5> e{0, en[0], en[1], en[2], en[3]};
    std::size_t k = 1;
    while (k < 4 && tbMs > x[k])
        ++k;
    const double dx = x[k] - x[k - 1];
    if (!(dx > 0))
        return e[k];
    return e[k - 1] + (e[k] - e[k - 1]) * (tbMs - x[k - 1]) / dx;
}

double Model1Enrichment(const TModel1 &model, double tbMs)
{
    std::array<double, 4> p{}, e{};
    for (std::size_t i = 0; i < 4; ++i) {
        p[i] = model.P[i];
        e[i] = model.E[i];
    }
    return EnrichmentCurve(p, e, tbMs);
}

double Model1GasTime(const TModel1 &model, double tbMs)
{
    return (model.Mult * tbMs + model.Offset) * (1.0 + Model1Enrichment(model, tbMs) / 100.0);
}

TModel1 Model1Of(const TNorviData &d)
{
    TModel1 m;
    m.Mult = d.Mult;
    m.Offset = d.Offset;
    m.P = {d.P1, d.P2, d.P3, d.P4};
    m.E = {d.E1, d.E2, d.E3, d.E4};
    m.Correction = CorrectionLineOf(d);
    return m;
}

void StoreModel1(const TModel1 &model, TNorviData &d)
{
    d.Mult = model.Mult;
    d.Offset = model.Offset;
    d.P1 = model.P[0];
    d.P2 = model.P[1];
    d.P3 = model.P[2];
    d.P4 = model.P[3];
    d.E1 = model.E[0];
    d.E2 = model.E[1];
    d.E3 = model.E[2];
    d.E4 = model.E[3];
    StoreCorrectionLine(model.Correction, d);
}

} // namespace lumex
