// The 1.4/1.5 gas model: a straight line Tg = multiplier × Tb + offset,
// raised by an enrichment that runs through four (Tb, percent) points.
#pragma once

#include "calibration/CorrectionLine.h"
#include "controller/NorviData.h"

#include <array>
#include <cstdint>

namespace lumex {

struct TModel1
{
    double Mult = 1.0;
    double Offset = 0.0;        // ms
    std::array<int32_t, 4> P{}; // Tb points P1..P4, ms
    std::array<int32_t, 4> E{}; // enrichments E1..E4, percent
    TCorrectionLine Correction;

    bool operator==(const TModel1 &) const = default;
};

// P1..P4 at 5, 10, 15, 20 ms without enrichment, offset 1.0 ms, the
// multiplier at its neutral 1.
TModel1 DefaultModel1();

// The enrichment in percent at a petrol time: 0 at 0 ms rising to E1 at P1,
// then straight between the points, and beyond P4 along the last segment.
// A segment without width takes its end value; 0 for a time that is not a
// number. The map calculation runs the same curve on its own copy of P, E.
double EnrichmentCurve(const std::array<double, 4> &p, const std::array<double, 4> &e, double tbMs);
double Model1Enrichment(const TModel1 &model, double tbMs);
// Gas time (ms) for a petrol time (ms).
double Model1GasTime(const TModel1 &model, double tbMs);

TModel1 Model1Of(const TNorviData &d);
void StoreModel1(const TModel1 &model, TNorviData &d);

} // namespace lumex
