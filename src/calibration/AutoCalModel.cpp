#include "calibration/AutoCalModel.h"

#include "calibration/DefaultModel.h"
#include "controller/Conversions.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lumex {

namespace {

// A point at `Multiple` times the reference petrol time, its gas time on the
// line scaled by `Factor`; the reference point itself is taken as measured.
struct TPointRule
{
    double Multiple;
    double Factor;
};

constexpr std::array kLpgRules{TPointRule{0.5, 1.0},  TPointRule{1.0, 1.0},  TPointRule{2.0, 1.06},
                               TPointRule{3.0, 0.98}, TPointRule{4.0, 0.91}, TPointRule{5.0, 0.91}};
constexpr std::array kCngRules{TPointRule{0.5, 1.0}, TPointRule{1.0, 1.0}, TPointRule{2.0, 0.95}, TPointRule{3.0, 0.80},
                               TPointRule{4.0, 0.70}};
constexpr double kLpgEndFactor = 0.90;
constexpr double kCngEndFactor = 0.55;

std::span<const TPointRule> RulesFor(TFuel fuel)
{
    return fuel == TFuel::LPG ? std::span<const TPointRule>(kLpgRules) : std::span<const TPointRule>(kCngRules);
}

// The largest time the 16-bit tick words carry.
constexpr double kMaxWireMs = kModelMaxPointTicks / kTicksPerMs;

double WireTime(double ms)
{
    return std::isfinite(ms) ? std::clamp(ms, 0.0, kMaxWireMs) : 0.0;
}

int Spinner(double value, int low, int high)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(std::clamp(std::round(value), static_cast<double>(low), static_cast<double>(high)));
}

} // namespace

double ShownModelOffset(double offset)
{
    if (!std::isfinite(offset))
        return 1.0;
    return std::round(offset * 10.0) / 10.0;
}

double ModelMultiplier(TFuel fuel, double offset, double slope, std::span<const TTimePoint> points)
{
    if (fuel == TFuel::CNG)
        return std::isfinite(slope) ? slope : 0.0;
    double gas = 0, petrol = 0;
    for (const TTimePoint &p : points) {
        gas += p.Y;
        petrol += p.X;
    }
    const double m = (gas - offset * static_cast<double>(points.size())) / petrol;
    return petrol > 0 && std::isfinite(m) ? m : 0.0;
}

std::optional<TResultModel> ModelFromResult(TFuel fuel, double offset, TTimePoint reference)
{
    const double x = reference.X, y = reference.Y;
    if (!(x > 0) || !std::isfinite(x) || !std::isfinite(y) || !std::isfinite(offset))
        return std::nullopt;
    TResultModel m;
    const double e = offset;
    const double q = (y - e) / x;
    m.Offset = e;
    m.Slope = q;
    m.Points.push_back({0.0, WireTime(e)});
    for (const TPointRule &rule : RulesFor(fuel)) {
        const double tb = rule.Multiple * x;
        if (tb >= kModelEndMs)
            break; // the rules grow, so every later point lies further right
        const double tg = rule.Multiple == 1.0 ? y : (e + rule.Multiple * q * x) * rule.Factor;
        m.Points.push_back({tb, WireTime(tg)});
    }
    const double endFactor = fuel == TFuel::LPG ? kLpgEndFactor : kCngEndFactor;
    m.Points.push_back({kModelEndMs, WireTime((e + kModelEndMs * q) * endFactor)});

    m.Multiplier = ModelMultiplier(fuel, e, q, m.Points);
    m.MultSpinner = Spinner(m.Multiplier * 100.0 - 100.0, kMultSpinnerMin, kMultSpinnerMax);
    m.OffsetSpinner = Spinner(e * 10.0, kOffsetSpinnerMin, kOffsetSpinnerMax);
    m.LineStart = {0.0, e};
    m.LineEnd = {kModelEndMs, e + kModelEndMs * m.Multiplier};
    return m;
}

TModelPoints CompletedIdlePoints(const TModelPoints &idle, double offset, double currentMultiplier)
{
    double slope = idle.P1X != 0 ? (idle.P1Y - offset) / idle.P1X : currentMultiplier;
    if (!std::isfinite(slope))
        slope = 0;
    TModelPoints out = idle;
    out.P2X = idle.P1X + kIdlePointStepMs;
    out.P2Y = offset + out.P2X * slope;
    return out;
}

void StoreResultModel(const TResultModel &model, TNorviData &d)
{
    d.Model2SetA.fill({kModelEmptyTicks, kModelEmptyTicks});
    const std::size_t n = std::min(model.Points.size(), kModel2Points);
    for (std::size_t i = 0; i < n; ++i)
        d.Model2SetA[i] = {PointTicks(model.Points[i].X), PointTicks(model.Points[i].Y)};
    d.Mult = model.Multiplier;
    d.Offset = model.Offset;
}

void StoreDefaultModel(uint8_t injectorCode, TNorviData &d, TModelPoints &idle)
{
    const double o = DefaultModelOffset(injectorCode);
    d.Mult = 1.0;
    d.Offset = o;
    d.Model2SetA = DefaultModel2Set(o);
    d.Model2SetB = d.Model2SetA;
    idle = DefaultIdlePoints(o);
    d.CorrectionMult = 1.0;
    d.CorrectionOffset = 0;
    d.CorrectionMask = 0;
    d.UseOnIdleModel = 1;
    d.AdaptationMode = 0;
}

} // namespace lumex
