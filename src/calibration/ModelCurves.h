// The two gas models as functions of the petrol time Tb, for the map
// calculations: the 3.0 point model (pairs in ticks) and the 1.4/1.5 line
// with four enrichment points.
#pragma once

#include "calibration/ModelPoints.h"
#include "controller/NorviData.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumex {

// Gas time (ms) of the 3.0 model at Tb (ms): the segment of the first used
// point whose Tb is above `tbMs`, or the last segment beyond the last point.
// Nothing when fewer than two points are used.
std::optional<double> Model2GasAt(const std::vector<TModel2Point> &used, double tbMs);

// The 1.4/1.5 model: gas = (Mult × Tb + Offset) × (1 + E(Tb)/100).
struct TLegacyModel
{
    double Mult = 1;
    double Offset = 0;         // ms
    std::array<double, 4> P{}; // ms, P1 <= P2 <= P3 <= P4
    std::array<double, 4> E{}; // percent

    static TLegacyModel From(const TNorviData &d);
};

// Enrichment (percent) at Tb: 0 at 0 ms rising to E1 at P1, linear between
// the points, beyond P3 along the P3-P4 segment. A segment of zero width
// takes the value of its end.
double EnrichmentAt(const TLegacyModel &model, double tbMs);
double LegacyGasAt(const TLegacyModel &model, double tbMs);

} // namespace lumex
