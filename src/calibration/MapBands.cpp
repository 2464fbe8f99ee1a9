#include "calibration/MapBands.h"

namespace lumex {

namespace {

constexpr std::size_t kMinBandPoints = 3;

} // namespace

TMapBands::TMapBands(std::span<const TMapPoint> petrol, std::size_t bandCount, TBandOf bandOf)
    : bandOf_(std::move(bandOf)), bands_(bandCount)
{
    std::vector<TXY> all;
    std::vector<std::vector<TXY>> perBand(bandCount);
    for (const TMapPoint &p : petrol) {
        all.push_back({p.Pressure, p.TimeMs});
        if (const auto band = bandOf_(p.TimeMs); band && *band < bandCount)
            perBand[*band].push_back({p.Pressure, p.TimeMs});
    }
    all_ = FitLine(all);
    for (std::size_t k = 0; k < bandCount; ++k) {
        if (perBand[k].size() >= kMinBandPoints)
            bands_[k] = FitLine(perBand[k]);
    }
}

std::optional<TLine> TMapBands::LineFor(double tbMs) const
{
    if (const auto band = bandOf_(tbMs); band && *band < bands_.size() && bands_[*band])
        return bands_[*band];
    return all_;
}

std::vector<TLine> TMapBands::BandLines() const
{
    std::vector<TLine> lines;
    for (const auto &l : bands_) {
        if (l)
            lines.push_back(*l);
    }
    return lines;
}

} // namespace lumex
