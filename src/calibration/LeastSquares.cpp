#include "calibration/LeastSquares.h"

#include <cmath>

namespace lumex {

namespace {

// Relative to nΣx²: below this the x values count as one value, and the
// quotient would only amplify rounding noise.
constexpr double kSpreadEpsilon = 1e-12;

} // namespace

std::optional<TLine> FitLine(std::span<const TXY> points)
{
    if (points.empty())
        return std::nullopt;
    const double n = static_cast<double>(points.size());
    double sx = 0, sy = 0, sxy = 0, sxx = 0;
    for (const TXY &p : points) {
        sx += p.X;
        sy += p.Y;
        sxy += p.X * p.Y;
        sxx += p.X * p.X;
    }
    const double denominator = n * sxx - sx * sx;
    if (!(denominator > kSpreadEpsilon * n * sxx))
        return std::nullopt;
    TLine line;
    line.Slope = (n * sxy - sx * sy) / denominator;
    line.Intercept = sy / n - line.Slope * sx / n;
    if (!std::isfinite(line.Slope) || !std::isfinite(line.Intercept))
        return std::nullopt;
    return line;
}

} // namespace lumex
