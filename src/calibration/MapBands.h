// Petrol points grouped into Tb bands with a least-squares line (pressure
// to Tb) for each band and for all points; the line an LPG point uses.
#pragma once

#include "calibration/LeastSquares.h"
#include "controller/NorviData.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace lumex {

class TMapBands
{
public:
    // `bandOf` gives a Tb's band, or nothing for a Tb in no band.
    using TBandOf = std::function<std::optional<std::size_t>(double tbMs)>;

    TMapBands(std::span<const TMapPoint> petrol, std::size_t bandCount, TBandOf bandOf);

    // The line through all petrol points; nothing when they share one pressure.
    const std::optional<TLine> &All() const { return all_; }
    // The band's line when it has at least three petrol points and they
    // spread over pressure; otherwise the line of all points.
    std::optional<TLine> LineFor(double tbMs) const;
    // The bands that have a line of their own.
    std::vector<TLine> BandLines() const;

private:
    TBandOf bandOf_;
    std::optional<TLine> all_;
    std::vector<std::optional<TLine>> bands_;
};

} // namespace lumex
