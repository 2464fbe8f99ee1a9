// Calculation B (3.0): for each LPG point, the petrol time expected at its
// pressure (the line of its 5 ms Tb band) and the gas time the controller's
// point model gives for the petrol time the ECU commanded on gas.
#include "calibration/MapBands.h"
#include "calibration/MapCalculation.h"

#include <array>

namespace lumex {

namespace {

constexpr std::array<double, 6> kBandTops{5, 10, 15, 20, 25, 30};

std::optional<std::size_t> TbBand(double tb)
{
    for (std::size_t k = 0; k < kBandTops.size(); ++k) {
        if (tb <= kBandTops[k])
            return k;
    }
    return std::nullopt; // above 30 ms
}

} // namespace

TMapCalcResult CalculationB(const TMapCalcInput &in)
{
    TMapCalcResult r;
    r.Calculation = TMapCalculation::B;
    const TMapBands bands(in.Petrol, kBandTops.size(), TbBand);
    const std::vector<TModel2Point> model = UsedModelPoints(in.Model);
    if (!bands.All()) {
        r.Warning = mapwarn::kOnePressure;
        return r;
    }
    if (model.size() < 2) {
        r.Warning = mapwarn::kNoModel;
        return r;
    }
    r.BandLines = bands.BandLines();
    for (const TMapPoint &lpg : in.Gas) {
        const double tp = bands.LineFor(lpg.TimeMs)->At(lpg.Pressure);
        r.Points.push_back({tp, *Model2GasAt(model, lpg.TimeMs)});
    }
    return r;
}

} // namespace lumex
