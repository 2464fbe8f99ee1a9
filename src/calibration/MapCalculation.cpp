#include "calibration/MapCalculation.h"
#include "documents/MessageKeys.h"

#include "calibration/MapG3.h"
#include "controller/Version.h"

namespace lumex {

namespace {

constexpr std::size_t kMinPointsPerKind = 4; // three or fewer are not enough
constexpr std::size_t kMaxGasPointsForCoverage = 19;

} // namespace

char CalculationLetter(TMapCalculation c)
{
    static constexpr char kLetters[] = {'A', 'B', 'C'};
    return kLetters[static_cast<std::size_t>(c)];
}

TMapCalcInput TMapCalcInput::From(const TNorviData &d, const TImagePoints &points)
{
    TMapCalcInput in;
    in.VersionCode = d.VersionCode;
    in.SoftwareLetter = d.SoftwareLetter;
    in.Turbo = d.EngineType != 0;
    const auto copy = [](const TMapPointList &list) {
        const std::size_t n = std::min<std::size_t>(list.Count, list.Points.size());
        return std::vector<TMapPoint>(list.Points.begin(), list.Points.begin() + static_cast<std::ptrdiff_t>(n));
    };
    in.Petrol = copy(points.PetrolPoints);
    in.Gas = copy(points.GasPoints);
    in.Legacy = TLegacyModel::From(d);
    in.Model = d.Model2SetA;
    in.MapG3 = d.MapG3;
    return in;
}

std::string CheckMapPoints(const TMapCalcInput &in)
{
    if (in.Petrol.empty() && in.Gas.empty())
        return msg::strNoPoints;
    if (in.Petrol.size() < kMinPointsPerKind)
        return msg::strNotEnoughPetrolPoints;
    if (in.Gas.size() < kMinPointsPerKind)
        return msg::strNotEnoughGasPoints;
    return {};
}

TMapCalculation ChooseCalculation(const TMapCalcInput &in)
{
    if (in.VersionCode != kVersion30)
        return TMapCalculation::A;
    if (!LetterAtLeast(in.SoftwareLetter, "E"))
        return TMapCalculation::B;
    const TG3Coverage g3 = EvaluateG3(in.MapG3, in.Turbo);
    if (g3.Complete || (g3.CoversAllLoads() && in.Gas.size() <= kMaxGasPointsForCoverage))
        return TMapCalculation::C;
    return TMapCalculation::B;
}

TMapCalcResult CalculateMap(const TMapCalcInput &in)
{
    const TMapCalculation which = ChooseCalculation(in);
    if (std::string warning = CheckMapPoints(in); !warning.empty()) {
        TMapCalcResult r;
        r.Calculation = which;
        r.Warning = std::move(warning);
        return r;
    }
    switch (which) {
    case TMapCalculation::A:
        return CalculationA(in);
    case TMapCalculation::B:
        return CalculationB(in);
    case TMapCalculation::C:
        return CalculationC(in);
    }
    return {};
}

} // namespace lumex
