#include "calibration/ModelFit.h"

#include "calibration/ModelCurves.h"
#include "controller/Conversions.h"

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

constexpr std::size_t kMaxPoints = kModel2Points;
constexpr double kNearTmaxMs = 1.5; // a point this close below Tmax needs no extension
constexpr double kExtendToMs = 0.5; // the extension lands this far below Tmax
constexpr double kWindowLow = 0.8;
constexpr double kWindowHigh = 1.2;
constexpr double kWidenMs = 1.0;
constexpr int kWindows = 10;
constexpr double kMaxGasTicks = kModelMaxPointTicks;

double OnLine(const TXY &a, const TXY &b, double x)
{
    return a.Y + (b.Y - a.Y) * (x - a.X) / (b.X - a.X);
}

// Moves or adds a point just below the largest calculated petrol time, so
// the window fits reach as far as the calculated points do.
void ExtendToTmax(std::vector<TXY> &pts, double tmax)
{
    if (pts.size() < 3 || !(pts[2].X < tmax))
        return;
    const std::size_t last = pts.size() - 1;
    for (std::size_t i = 1; i <= last; ++i) {
        if (pts[i].X > tmax - kNearTmaxMs && pts[i].X <= tmax)
            return;
        if (pts[i].X <= tmax)
            continue;
        const double x = tmax - kExtendToMs;
        if (i != last) {
            pts[i] = {x, OnLine(pts[i - 1], pts[i + 1], x)};
        } else if (pts.size() < kMaxPoints) {
            pts.insert(pts.begin() + static_cast<std::ptrdiff_t>(i), TXY{x, OnLine(pts[i - 1], pts[i], x)});
        }
        return;
    }
}

// The gas time of the line through the calculated points around `t`, when
// a window with points on both sides of `t` is found.
std::optional<double> WindowFit(double t, std::span<const TCalcPoint> calculated)
{
    double low = kWindowLow * t, high = kWindowHigh * t;
    for (int attempt = 0; attempt < kWindows; ++attempt, low -= kWidenMs, high += kWidenMs) {
        std::vector<TXY> inside;
        bool below = false, above = false;
        for (const TCalcPoint &c : calculated) {
            if (!(c.PetrolMs > low && c.PetrolMs < high))
                continue;
            inside.push_back({c.PetrolMs, c.GasMs});
            below = below || c.PetrolMs < t;
            above = above || c.PetrolMs >= t;
        }
        if (!below || !above)
            continue;
        if (const auto line = FitLine(inside))
            return line->At(t);
    }
    return std::nullopt;
}

} // namespace

TModelFitResult FitModel(const TModel2Set &model, double offsetMs, std::span<const TCalcPoint> calculated)
{
    TModelFitResult r;
    std::vector<TXY> pts;
    for (const TModel2Point &p : UsedModelPoints(model))
        pts.push_back({TimeMs(p.X), TimeMs(p.Y)});
    if (pts.size() > kMaxPoints)
        pts.resize(kMaxPoints);

    double tmax = 0;
    bool any = false;
    for (const TCalcPoint &c : calculated) {
        if (std::isfinite(c.PetrolMs) && std::isfinite(c.GasMs)) {
            tmax = any ? std::max(tmax, c.PetrolMs) : c.PetrolMs;
            any = true;
        }
    }
    if (any && !pts.empty()) {
        ExtendToTmax(pts, tmax);
        std::optional<std::size_t> lastSet;
        double oldGas = 0;
        for (std::size_t i = 1; i < pts.size(); ++i) {
            if (const auto gas = WindowFit(pts[i].X, calculated)) {
                oldGas = pts[i].Y;
                pts[i].Y = *gas;
                lastSet = i;
                r.Fitted.push_back(i);
            }
        }
        // The unfitted tail keeps its shape: the same relative change above the offset.
        if (lastSet && std::abs(oldGas - offsetMs) > 1e-9) {
            const double factor = (pts[*lastSet].Y - oldGas) / (oldGas - offsetMs) + 1;
            for (std::size_t j = *lastSet + 1; j < pts.size(); ++j)
                pts[j].Y = offsetMs + (pts[j].Y - offsetMs) * factor;
        }
    }

    for (auto &slot : r.Model)
        slot = {kModelEmptyTicks, kModelEmptyTicks};
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const double gasTicks = std::clamp(pts[i].Y * kTicksPerMs, 0.0, kMaxGasTicks);
        r.Model[i] = {static_cast<int32_t>(std::lround(pts[i].X * kTicksPerMs)),
                      static_cast<int32_t>(std::lround(std::isfinite(gasTicks) ? gasTicks : 0.0))};
    }
    r.Modified = true;
    return r;
}

std::optional<double> ModelMultiplier(const TModel2Set &model, double offsetMs)
{
    double gas = 0, petrol = 0;
    const std::vector<TModel2Point> used = UsedModelPoints(model);
    for (const TModel2Point &p : used) {
        gas += TimeMs(p.Y);
        petrol += TimeMs(p.X);
    }
    if (!(petrol > 0))
        return std::nullopt;
    return (gas - offsetMs * static_cast<double>(used.size())) / petrol;
}

int MultiplierSpinnerPosition(double mult)
{
    return static_cast<int>(std::lround(mult * 100 - 100));
}

} // namespace lumex
