#include "calibration/NozzleVerdict.h"

#include "calibration/ModelPoints.h"
#include "controller/Conversions.h"
#include "documents/MessageKeys.h"

#include <array>
#include <cmath>

namespace lumex {

namespace {

// A ratio computed from times in ticks lands a hair off a band edge (1.1
// comes out as 1.1000000000000001); it belongs to the band it names.
constexpr double kEdgeTolerance = 1e-9;

// Read top down: the first row whose lower edge the ratio reaches wins.
struct TBand
{
    TFuel Fuel;
    double From;    // lower edge
    bool Inclusive; // whether the edge itself belongs to the band
    TNozzleVerdict Verdict;
};

constexpr std::array kBands{
    TBand{TFuel::LPG, 1.3, false, TNozzleVerdict::TooSmall}, TBand{TFuel::LPG, 1.1, false, TNozzleVerdict::Acceptable},
    TBand{TFuel::LPG, 0.9, true, TNozzleVerdict::Good},      TBand{TFuel::LPG, 0.7, true, TNozzleVerdict::Acceptable},
    TBand{TFuel::CNG, 1.5, false, TNozzleVerdict::TooSmall}, TBand{TFuel::CNG, 1.3, false, TNozzleVerdict::Acceptable},
    TBand{TFuel::CNG, 0.9, true, TNozzleVerdict::Good},      TBand{TFuel::CNG, 0.7, true, TNozzleVerdict::Acceptable},
};

bool Reaches(double ratio, const TBand &band)
{
    return band.Inclusive ? ratio >= band.From - kEdgeTolerance : ratio > band.From + kEdgeTolerance;
}

struct TVerdictKeys
{
    TNozzleVerdict Verdict;
    TNozzleKeys Keys;
};

constexpr std::array kVerdictKeys{
    TVerdictKeys{TNozzleVerdict::TooSmall, {msg::strNToL, msg::strNChange}},
    TVerdictKeys{TNozzleVerdict::TooLarge, {msg::strNToH, msg::strNChange}},
    TVerdictKeys{TNozzleVerdict::Acceptable, {msg::strNnorm, {}}},
    TVerdictKeys{TNozzleVerdict::Good, {msg::strNok, {}}},
};

} // namespace

TFuel FuelOf(const TNorviData &d)
{
    return d.FuelType == 0 ? TFuel::LPG : TFuel::CNG;
}

double NozzleRatio(double offset, TTimePoint reference)
{
    const double k = (reference.Y - offset) / reference.X;
    if (reference.X == 0 || !std::isfinite(k))
        return 0;
    return k;
}

TNozzleVerdict NozzleVerdictFor(TFuel fuel, double ratio)
{
    for (const TBand &band : kBands) {
        if (band.Fuel == fuel && Reaches(ratio, band))
            return band.Verdict;
    }
    return TNozzleVerdict::TooLarge;
}

TNozzleKeys NozzleVerdictKeys(TNozzleVerdict verdict)
{
    for (const TVerdictKeys &row : kVerdictKeys) {
        if (row.Verdict == verdict)
            return row.Keys;
    }
    return {};
}

TTimePoint IdleMidpoint(const TModelPoints &idle)
{
    return {(idle.P1X + idle.P2X) / 2, (idle.P1Y + idle.P2Y) / 2};
}

std::optional<TTimePoint> ModelPointMs(const TModel2Point &p)
{
    if (IsEmptySlot(p))
        return std::nullopt;
    return TTimePoint{TimeMs(p.X), TimeMs(p.Y)};
}

TTimePoint NozzleReferencePoint(bool useOnIdleModel, uint8_t phase, const TModelPoints &idle, const TModel2Set &model)
{
    if (!useOnIdleModel)
        return ModelPointMs(model[2]).value_or(TTimePoint{});
    if (phase == 1)
        return {idle.P1X, idle.P1Y};
    return IdleMidpoint(idle);
}

} // namespace lumex
