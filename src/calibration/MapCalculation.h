// "Oblicz nastawy": corrected model points from the petrol and LPG map
// points. Calculation A serves 1.4/1.5, B and C serve 3.0 (C from the G3
// map); ChooseCalculation picks one the way the map page does.
#pragma once

#include "calibration/LeastSquares.h"
#include "calibration/ModelCurves.h"
#include "controller/NorviData.h"
#include "documents/MessageKeys.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumex {

enum class TMapCalculation : uint8_t
{
    A,
    B,
    C
};
char CalculationLetter(TMapCalculation c);

// Everything a calculation looks at, taken from the data image or a file.
struct TMapCalcInput
{
    uint8_t VersionCode = 0;
    std::string SoftwareLetter;
    bool Turbo = false;
    std::vector<TMapPoint> Petrol;
    std::vector<TMapPoint> Gas;
    TLegacyModel Legacy; // 1.4/1.5
    TModel2Set Model{};  // 3.0, ticks
    TMapG3 MapG3{};      // 3.0 from revision D

    static TMapCalcInput From(const TNorviData &d, const TImagePoints &points);
};

// A calculated point: the petrol time expected at the LPG point's pressure
// and the gas time the model should give there.
struct TCalcPoint
{
    double PetrolMs = 0;
    double GasMs = 0;
};

struct TMapCalcResult
{
    TMapCalculation Calculation = TMapCalculation::A;
    // Message key of the warning when nothing was computed; empty otherwise.
    std::string Warning;
    std::vector<TCalcPoint> Points;
    // Calculation B: the band lines the chart draws (bands with a line only).
    std::vector<TLine> BandLines;

    bool Computed() const { return Warning.empty(); }
};

// The check every calculation starts with: the warning key, or empty.
std::string CheckMapPoints(const TMapCalcInput &in);

TMapCalculation ChooseCalculation(const TMapCalcInput &in);

TMapCalcResult CalculationA(const TMapCalcInput &in);
TMapCalcResult CalculationB(const TMapCalcInput &in);
TMapCalcResult CalculationC(const TMapCalcInput &in);

// The point check, then the chosen calculation.
TMapCalcResult CalculateMap(const TMapCalcInput &in);

// Warnings of the calculations beyond the point check.
namespace mapwarn {
// The petrol points do not spread over pressure: no line through them.
inline constexpr const char *kOnePressure = msg::strMapPointsOnePressure;
// The controller's model has fewer than two usable points.
inline constexpr const char *kNoModel = msg::strMapNoModel;
} // namespace mapwarn

} // namespace lumex
