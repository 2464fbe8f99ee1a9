// "Ustaw model" on 1.4/1.5: the line model's enrichment points moved onto
// the calculated points of calculation A, segment by segment.
#pragma once

#include "calibration/MapCalculation.h"
#include "calibration/ModelCurves.h"

#include <array>
#include <span>
#include <string>

namespace lumex {

struct TSegmentFitResult
{
    std::string Warning; // message key when nothing was fitted
    TLegacyModel Model;  // the new multiplier and enrichments
    // Gas times (ms) of the model line at 0, P1, P2, P3, P4 after the fit.
    std::array<double, 5> LineGas{};
};

// `offsetEdited`: the offset spinner and the model's offset disagree, so
// the multiplier is fitted to the calculated points for that offset first.
TSegmentFitResult FitSegments(const TLegacyModel &model, std::span<const TCalcPoint> calculated, bool offsetEdited);

} // namespace lumex
