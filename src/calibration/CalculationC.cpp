// Calculation C (3.0 with a G3 map): the petrol Tb of each LPG point's
// pressure bin comes from the controller's own petrol map instead of a line
// through the petrol points; the LPG point farthest from the LPG line is
// left out as an outlier.
#include "calibration/MapCalculation.h"
#include "calibration/MapG3.h"
#include "documents/MessageKeys.h"

#include <algorithm>

namespace lumex {

namespace {

constexpr std::size_t kMinGasPoints = 4;

// The LPG points without the one farthest (squared vertical distance) from
// their own line. All of them when they share one pressure: no line, no outlier.
std::vector<TMapPoint> WithoutOutlier(const std::vector<TMapPoint> &gas)
{
    std::vector<TXY> xy;
    for (const TMapPoint &p : gas)
        xy.push_back({p.Pressure, p.TimeMs});
    const auto line = FitLine(xy);
    if (!line)
        return gas;
    const auto distance = [&line](const TMapPoint &p) {
        const double d = p.TimeMs - line->At(p.Pressure);
        return d * d;
    };
    const auto worst = std::max_element(gas.begin(), gas.end(), [&distance](const TMapPoint &a, const TMapPoint &b) {
        return distance(a) < distance(b);
    });
    std::vector<TMapPoint> kept;
    for (auto it = gas.begin(); it != gas.end(); ++it) {
        if (it != worst)
            kept.push_back(*it);
    }
    return kept;
}

} // namespace

TMapCalcResult CalculationC(const TMapCalcInput &in)
{
    TMapCalcResult r;
    r.Calculation = TMapCalculation::C;
    if (in.Gas.empty()) {
        r.Warning = msg::strNoGasPoints;
        return r;
    }
    if (in.Gas.size() < kMinGasPoints) {
        r.Warning = msg::strNotEnoughGasPoints;
        return r;
    }
    const std::vector<TModel2Point> model = UsedModelPoints(in.Model);
    if (model.size() < 2) {
        r.Warning = mapwarn::kNoModel;
        return r;
    }
    const auto petrol = G3PetrolTimes(in.MapG3, in.Turbo);
    for (const TMapPoint &lpg : WithoutOutlier(in.Gas)) {
        const auto bin = G3BinOf(lpg.Pressure);
        if (!bin || !petrol[*bin])
            continue;
        r.Points.push_back({*petrol[*bin], *Model2GasAt(model, lpg.TimeMs)});
    }
    return r;
}

} // namespace lumex
