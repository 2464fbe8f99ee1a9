// The least-squares line the map calculations fit to their points.
#pragma once

#include <optional>
#include <span>

namespace lumex {

struct TXY
{
    double X = 0;
    double Y = 0;
};

struct TLine
{
    double Slope = 0;
    double Intercept = 0;
    double At(double x) const { return Slope * x + Intercept; }
};

// Slope (nΣxy − ΣxΣy) / (nΣx² − (Σx)²), intercept Σy/n − slope·Σx/n.
// Nothing for no points or when the x values do not spread (all points at
// one pressure): that denominator is zero and the line is undefined.
std::optional<TLine> FitLine(std::span<const TXY> points);

} // namespace lumex
