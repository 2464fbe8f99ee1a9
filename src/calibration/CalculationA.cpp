// Calculation A (1.4/1.5): for each LPG point, the petrol time expected at
// its pressure and the gas time the line model with enrichment gives for
// the petrol time the ECU commanded on gas.
#include "calibration/MapBands.h"
#include "calibration/MapCalculation.h"

namespace lumex {

TMapCalcResult CalculationA(const TMapCalcInput &in)
{
    TMapCalcResult r;
    r.Calculation = TMapCalculation::A;
    const TLegacyModel &model = in.Legacy;
    const TMapBands bands(in.Petrol, 4, [&model](double tb) -> std::optional<std::size_t> {
        std::size_t band = 0;
        while (band < 3 && tb > model.P[band])
            ++band;
        return band;
    });
    if (!bands.All()) {
        r.Warning = mapwarn::kOnePressure;
        return r;
    }
    for (const TMapPoint &lpg : in.Gas) {
        const TLine line = *bands.LineFor(lpg.TimeMs);
        const double tp = line.At(lpg.Pressure);
        const double gas = (model.Mult * lpg.TimeMs + model.Offset) * (1 + EnrichmentAt(model, tp) / 100);
        r.Points.push_back({tp, gas});
    }
    return r;
}

} // namespace lumex
