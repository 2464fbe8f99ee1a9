// "Ustaw model" on 3.0: the controller's point model moved onto the
// calculated points of the map calculation.
#pragma once

#include "calibration/MapCalculation.h"
#include "controller/NorviData.h"

#include <optional>
#include <span>
#include <vector>

namespace lumex {

struct TModelFitResult
{
    // The new model: the used points in order, the rest of the slots empty.
    TModel2Set Model{};
    // Indexes (into the used points after any extension) whose gas time a
    // window fit set.
    std::vector<std::size_t> Fitted;
    // The page is marked modified: the model is to be written.
    bool Modified = false;
};

// `offsetMs` is the model offset; gas times above it are what the scaling
// of the points after the last fitted one changes.
TModelFitResult FitModel(const TModel2Set &model, double offsetMs, std::span<const TCalcPoint> calculated);

// The least-squares multiplier of a model's used points:
// (Σ gas − offset × n) / Σ petrol; nothing when the petrol times sum to 0.
std::optional<double> ModelMultiplier(const TModel2Set &model, double offsetMs);
// The multiplier spinner's position: [Mult × 100 − 100, rounded], shown "%d".
int MultiplierSpinnerPosition(double mult);

} // namespace lumex
