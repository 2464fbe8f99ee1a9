// The gas model built from an autocalibration result: a straight line
// through the model offset and the reference point, bent down at long petrol
// times by the fuel's factors, and the default model the procedure starts
// from. Pure arithmetic on times in ms; the image holds ticks.
#pragma once

#include "calibration/NozzleVerdict.h"
#include "controller/NorviData.h"

#include <optional>
#include <span>
#include <vector>

namespace lumex {

// The longest petrol time the model reaches.
inline constexpr double kModelEndMs = 25.0;
// The next idle point lies this far right of the first after a run that
// measured without load only.
inline constexpr double kIdlePointStepMs = 1.0;
// Spinner ranges of the model page: percent of multiplier, tenths of ms.
inline constexpr int kMultSpinnerMin = -40, kMultSpinnerMax = 70;
inline constexpr int kOffsetSpinnerMin = -40, kOffsetSpinnerMax = 60;

struct TResultModel
{
    std::vector<TTimePoint> Points; // ascending petrol time, from (0, offset) to 25 ms
    double Offset = 0;              // e, ms
    double Slope = 0;               // q = (y - e) / x
    double Multiplier = 0;          // m, the model multiplier sent as parameter 1
    int MultSpinner = 0;            // [m * 100 - 100], within the spinner's range
    int OffsetSpinner = 0;          // [e * 10], within the spinner's range
    TTimePoint LineStart, LineEnd;  // (0, e) to (25, e + 25 m)
};

// The model for the reference point (x, y) and offset e. Nothing when x is
// not above 0: the controller found no idle point, and the run is an error.
// Only points below 25 ms are added, so the points stay in ascending order
// for any x; gas times stay within what the controller can hold.
std::optional<TResultModel> ModelFromResult(TFuel fuel, double offset, TTimePoint reference);

// The multiplier of model points around an offset: for LPG the one that
// fits the points best, (sum of gas - e * n) / sum of petrol; for CNG the
// slope q itself. 0 when the points have no petrol time.
double ModelMultiplier(TFuel fuel, double offset, double slope, std::span<const TTimePoint> points);

// The second idle point from the first when only the phase without load was
// measured: P2 is 1 ms right of P1 on the line through the offset and P1
// (with `currentMultiplier` as its slope when P1 has no petrol time).
TModelPoints CompletedIdlePoints(const TModelPoints &idle, double offset, double currentMultiplier);

// The model offset as the model page shows it (tenths of a ms), 1.0 when it
// is not a number.
double ShownModelOffset(double offset);

// Stores the model's points (in ticks, the rest of the 20 slots empty),
// multiplier and offset in the image.
void StoreResultModel(const TResultModel &model, TNorviData &d);

// The default model for a gas injector type (its element code), see
// DefaultModel.h, stored in both point sets with multiplier 1, no correction
// line, the model used at idle and the adaptation off.
void StoreDefaultModel(uint8_t injectorCode, TNorviData &d, TModelPoints &idle);

} // namespace lumex
