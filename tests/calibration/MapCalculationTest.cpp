// The map calculations on small hand-computed cases: which calculation the
// rule picks, the band lines of A and B (a band of two petrol points takes
// the line of all points), the G3 bins of C with its outlier left out, the
// 3.0 model fit and the 1.4/1.5 segment fit, and inputs that leave no line
// to fit, which must warn or keep values but never produce NaN.
#include "calibration/MapCalculation.h"
#include "calibration/ModelFit.h"
#include "calibration/SegmentFit.h"
#include "controller/Version.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace lumex;

namespace {

constexpr double kTol = 1e-6;

TMapPoint P(double bar, double ms, uint8_t kind = 0)
{
    return {bar, ms, kind};
}

// Petrol points: three in the first 5 ms band on Tb = 5p + 2, two above it.
std::vector<TMapPoint> BandedPetrol()
{
    return {P(0.2, 3), P(0.4, 4), P(0.6, 5), P(0.7, 8), P(0.9, 9)};
}
// The line of all five: slope 13.3 / 1.46, intercept 5.8 - slope * 0.56.
const double kAllSlope = 13.3 / 1.46;
const double kAllIntercept = 5.8 - kAllSlope * 0.56;

// A 3.0 model in ticks: (0, 1), (5, 6), (10, 12), (20, 25) ms, with an empty
// slot and a point that repeats a Tb in between (both ignored).
TModel2Set Model30()
{
    TModel2Set m;
    for (auto &p : m)
        p = {kModelEmptyTicks, kModelEmptyTicks};
    m[0] = {0, 187};
    m[1] = {935, 1122};
    m[2] = {kModelEmptyTicks, kModelEmptyTicks};
    m[3] = {1870, 2244};
    m[4] = {1870, 9999};
    m[5] = {3740, 4675};
    return m;
}

TMapCalcInput Input30(char letter)
{
    TMapCalcInput in;
    in.VersionCode = kVersion30;
    in.SoftwareLetter = std::string(1, letter);
    in.Petrol = BandedPetrol();
    in.Gas = {P(0.5, 4.5), P(0.8, 9.0), P(0.3, 3.5), P(0.95, 35)};
    in.Model = Model30();
    return in;
}

void ExpectPoints(const std::vector<TCalcPoint> &got, const std::vector<TCalcPoint> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].PetrolMs, want[i].PetrolMs, kTol) << "point " << i;
        EXPECT_NEAR(got[i].GasMs, want[i].GasMs, kTol) << "point " << i;
    }
}

void ExpectFinite(const TMapCalcResult &r)
{
    for (const TCalcPoint &p : r.Points) {
        EXPECT_TRUE(std::isfinite(p.PetrolMs));
        EXPECT_TRUE(std::isfinite(p.GasMs));
    }
}

// A standard engine's G3 map: bin j holds Tb = 2 + j ms, bins 0, 3 and 4 invalid.
TMapG3 G3WithGaps()
{
    TMapG3 g{};
    for (std::size_t j = 0; j < 17; ++j)
        g[j][0] = static_cast<uint16_t>(0x8000 | (187 * (2 + j)));
    for (std::size_t j : {0, 3, 4})
        g[j][0] = 0;
    return g;
}

} // namespace

TEST(MapCalculationChoice, FollowsGenerationRevisionAndG3Coverage)
{
    TMapCalcInput in = Input30('D');
    in.MapG3 = G3WithGaps();
    EXPECT_EQ(ChooseCalculation(in), TMapCalculation::B); // before E the G3 map is not used
    in.VersionCode = kVersion15;
    EXPECT_EQ(ChooseCalculation(in), TMapCalculation::A);

    in = Input30('E');
    EXPECT_EQ(ChooseCalculation(in), TMapCalculation::B); // no G3 map
    in.MapG3 = G3WithGaps();                              // 14 valid: not complete, covers all loads
    EXPECT_EQ(ChooseCalculation(in), TMapCalculation::C);
    in.Gas.assign(20, P(0.5, 5));
    EXPECT_EQ(ChooseCalculation(in), TMapCalculation::B); // too many LPG points for a partial map
    in.MapG3[3][0] = 0x8000 | 935;
    in.MapG3[4][0] = 0x8000 | 1122; // 16 valid: complete
    EXPECT_EQ(ChooseCalculation(in), TMapCalculation::C);
}

TEST(MapCalculationChoice, PointCheckWarnsBeforeAnyCalculation)
{
    TMapCalcInput in = Input30('G');
    in.Petrol.clear();
    in.Gas.clear();
    EXPECT_EQ(CalculateMap(in).Warning, "strNoPoints");
    in = Input30('G');
    in.Petrol.resize(3);
    EXPECT_EQ(CalculateMap(in).Warning, "strNotEnoughPetrolPoints");
    in = Input30('G');
    in.Gas.resize(3);
    const TMapCalcResult r = CalculateMap(in);
    EXPECT_EQ(r.Warning, "strNotEnoughGasPoints");
    EXPECT_TRUE(r.Points.empty());
}

TEST(MapCalculationB, BandLinesAndModelSegments)
{
    const TMapCalcResult r = CalculationB(Input30('D'));
    ASSERT_TRUE(r.Computed()) << r.Warning;
    // 4.5 ms in band 1 (its own line 5p + 2); 9.0 ms in band 2, which has
    // two petrol points and so takes the line of all; 35 ms is in no band.
    // Gas: segment (0,1)-(5,6) slope 1; (5,6)-(10,12) slope 1.2; beyond the
    // last point the (10,12)-(20,25) segment, slope 1.3, intercept -1.
    ExpectPoints(
        r.Points,
        {{4.5, 5.5}, {kAllSlope * 0.8 + kAllIntercept, 10.8}, {3.5, 4.5}, {kAllSlope * 0.95 + kAllIntercept, 44.5}});
    ASSERT_EQ(r.BandLines.size(), 1u);
    EXPECT_NEAR(r.BandLines[0].Slope, 5, kTol);
    EXPECT_NEAR(r.BandLines[0].Intercept, 2, kTol);
}

TEST(MapCalculationA, EnrichmentFollowsTheExpectedPetrolTime)
{
    TMapCalcInput in = Input30('D');
    in.VersionCode = kVersion14;
    in.Legacy.Mult = 1.2;
    in.Legacy.Offset = 0.5;
    in.Legacy.P = {5, 10, 15, 20};
    in.Legacy.E = {10, 20, 30, 40};
    const TMapCalcResult r = CalculateMap(in);
    ASSERT_EQ(r.Calculation, TMapCalculation::A);
    ASSERT_TRUE(r.Computed()) << r.Warning;
    const double tp2 = kAllSlope * 0.8 + kAllIntercept, tp4 = kAllSlope * 0.95 + kAllIntercept;
    ExpectPoints(r.Points, {{4.5, 5.9 * 1.09},
                            {tp2, 11.3 * (1 + (10 + 2 * (tp2 - 5)) / 100)},
                            {3.5, 4.7 * 1.07},
                            {tp4, 42.5 * (1 + (10 + 2 * (tp4 - 5)) / 100)}});
}

TEST(MapCalculationA, EnrichmentRisesFromZeroAndExtendsPastP3)
{
    TLegacyModel m;
    m.P = {5, 10, 15, 20};
    m.E = {10, 20, 30, 40};
    EXPECT_DOUBLE_EQ(EnrichmentAt(m, 0), 0);
    EXPECT_DOUBLE_EQ(EnrichmentAt(m, 2.5), 5);
    EXPECT_DOUBLE_EQ(EnrichmentAt(m, 12.5), 25);
    EXPECT_DOUBLE_EQ(EnrichmentAt(m, 25), 50);
    m.P = {0, 0, 0, 0}; // a model of zero-width segments stays finite
    EXPECT_TRUE(std::isfinite(EnrichmentAt(m, 3)));
}

TEST(MapCalculationC, G3BinsFilledAndTheOutlierLeftOut)
{
    TMapCalcInput in = Input30('G');
    in.MapG3 = G3WithGaps();
    in.Gas = {P(0.3, 3.5), P(0.4, 4.0), P(0.52, 4.6), P(0.6, 5.0), P(0.45, 15.0), P(0.21, 3.0)};
    ASSERT_EQ(ChooseCalculation(in), TMapCalculation::C);
    const TMapCalcResult r = CalculateMap(in);
    ASSERT_TRUE(r.Computed()) << r.Warning;
    // Bins 2, 4 (filled between 2 and 5), 6 (0.52 bar) and 8; 0.45 bar is
    // the outlier and 0.21 bar falls into bin 0, before the first valid one.
    ExpectPoints(r.Points, {{4, 4.5}, {6, 5.0}, {8, 5.6}, {10, 6.0}});
}

TEST(MapCalculationDegenerate, PointsAtOnePressureWarnInsteadOfNaN)
{
    TMapCalcInput in = Input30('D');
    for (auto &p : in.Petrol)
        p.Pressure = 0.5;
    TMapCalcResult r = CalculateMap(in);
    EXPECT_EQ(r.Warning, mapwarn::kOnePressure);
    EXPECT_TRUE(r.Points.empty());
    in.VersionCode = kVersion15;
    EXPECT_EQ(CalculateMap(in).Warning, mapwarn::kOnePressure);

    // A band at one pressure falls back to the line of all points.
    in = Input30('D');
    in.Petrol = {P(0.5, 3), P(0.5, 4), P(0.5, 5), P(0.7, 8), P(0.9, 9)};
    r = CalculateMap(in);
    ASSERT_TRUE(r.Computed());
    ExpectFinite(r);
    EXPECT_TRUE(r.BandLines.empty());

    // LPG points at one pressure: no outlier can be told, none is dropped.
    in = Input30('G');
    in.MapG3 = G3WithGaps();
    for (auto &p : in.Gas)
        p.Pressure = 0.5;
    r = CalculateMap(in);
    ASSERT_TRUE(r.Computed());
    EXPECT_EQ(r.Points.size(), in.Gas.size());
    ExpectFinite(r);

    // No usable model: a warning, not a division by a zero-width segment.
    in = Input30('D');
    for (auto &p : in.Model)
        p = {kModelEmptyTicks, kModelEmptyTicks};
    in.Model[0] = {935, 187};
    in.Model[1] = {935, 300};
    EXPECT_EQ(CalculateMap(in).Warning, mapwarn::kNoModel);
}

namespace {

TModel2Set ModelTicks(std::initializer_list<std::pair<double, double>> ms)
{
    TModel2Set m;
    for (auto &p : m)
        p = {kModelEmptyTicks, kModelEmptyTicks};
    std::size_t i = 0;
    for (const auto &[tb, tg] : ms)
        m[i++] = {static_cast<int32_t>(std::lround(tb * 187)), static_cast<int32_t>(std::lround(tg * 187))};
    return m;
}

std::vector<TCalcPoint> Along(double mult, double offset, double from, double to, double step)
{
    std::vector<TCalcPoint> pts;
    for (double t = from; t <= to + 1e-9; t += step)
        pts.push_back({t, mult * t + offset});
    return pts;
}

} // namespace

TEST(ModelFit, WindowsFitNearPointsAndScaleTheTail)
{
    const TModel2Set model = ModelTicks({{0, 1}, {2, 3}, {4, 5}, {6, 7}, {8, 9}, {10, 11}});
    const TModelFitResult r = FitModel(model, 1.0, Along(1.1, 1.0, 1.0, 7.0, 0.5));
    EXPECT_TRUE(r.Modified);
    // Point 1 needs a widened window; points 4 and 5 never see calculated
    // points at or above their Tb and are scaled by point 3's change
    // (7 -> 7.6 above the offset 1: factor 1.1).
    EXPECT_EQ(r.Fitted, (std::vector<std::size_t>{1, 2, 3}));
    const std::vector<std::pair<int32_t, int32_t>> want{{0, 187},     {374, 598},   {748, 1010},
                                                        {1122, 1421}, {1496, 1833}, {1870, 2244}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(r.Model[i].X, want[i].first) << i;
        EXPECT_EQ(r.Model[i].Y, want[i].second) << i;
    }
    EXPECT_EQ(r.Model[6].X, kModelEmptyTicks);
}

TEST(ModelFit, ExtendsTheModelToTheLargestCalculatedTime)
{
    const auto calc = Along(1.0, 1.0, 1.0, 9.0, 0.5); // Tmax 9 ms
    // A point beyond Tmax that is not the last moves to Tmax - 0.5.
    TModelFitResult r = FitModel(ModelTicks({{0, 1}, {2, 3}, {4, 5}, {6, 7}, {12, 13}, {14, 15}}), 1.0, calc);
    EXPECT_EQ(r.Model[4].X, std::lround(8.5 * 187));
    EXPECT_EQ(r.Model[5].X, 14 * 187);
    // When it is the last, a point is inserted in front of it.
    r = FitModel(ModelTicks({{0, 1}, {2, 3}, {4, 5}, {6, 7}, {12, 13}}), 1.0, calc);
    EXPECT_EQ(r.Model[4].X, std::lround(8.5 * 187));
    EXPECT_EQ(r.Model[5].X, 12 * 187);
    // The inserted point sits on the line, and the fit keeps it there.
    EXPECT_EQ(r.Model[4].Y, std::lround(9.5 * 187));
    // A point already just below Tmax: nothing moves.
    r = FitModel(ModelTicks({{0, 1}, {2, 3}, {4, 5}, {8, 9}, {12, 13}}), 1.0, calc);
    EXPECT_EQ(r.Model[3].X, 8 * 187);
    EXPECT_EQ(r.Model[4].X, 12 * 187);
}

TEST(ModelFit, DegenerateCalculatedPointsKeepTheModelFinite)
{
    const TModel2Set model = ModelTicks({{0, 1}, {2, 3}, {4, 5}, {6, 7}});
    std::vector<TCalcPoint> same(5, TCalcPoint{4.0, 5.5});
    TModelFitResult r = FitModel(model, 1.0, same);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(r.Model[i].Y, model[i].Y) << i; // no line through one Tb
    r = FitModel(model, 1.0, {});
    EXPECT_EQ(r.Model[3].Y, model[3].Y);
    const auto m = ModelMultiplier(model, 1.0);
    ASSERT_TRUE(m);
    EXPECT_NEAR(*m, 1.0, 0.01);
    EXPECT_FALSE(ModelMultiplier(ModelTicks({{0, 1}}), 1.0));
    EXPECT_EQ(MultiplierSpinnerPosition(1.234), 23);
    EXPECT_EQ(MultiplierSpinnerPosition(0.8), -20);
}

TEST(SegmentFit, EachSegmentTakesTheMeanSlopeOfItsPoints)
{
    TLegacyModel m;
    m.Mult = 1;
    m.Offset = 1;
    m.P = {5, 10, 15, 20};
    const auto calc = Along(1.2, 1.0, 1.0, 22.0, 1.0);
    TSegmentFitResult r = FitSegments(m, calc, false);
    ASSERT_TRUE(r.Warning.empty());
    const std::array<double, 5> gas{1, 7, 13, 19, 25};
    for (std::size_t k = 0; k < gas.size(); ++k)
        EXPECT_NEAR(r.LineGas[k], gas[k], kTol) << k;
    // 7/6, 13/11, 19/16, 25/21 above the unenriched line, in whole percent.
    EXPECT_EQ(r.Model.E, (std::array<double, 4>{17, 18, 19, 19}));
    EXPECT_DOUBLE_EQ(r.Model.Mult, 1);

    // With the offset edited the multiplier is fitted first; the points then
    // lie on the line and need no enrichment.
    r = FitSegments(m, calc, true);
    EXPECT_NEAR(r.Model.Mult, 1.2, kTol);
    EXPECT_EQ(r.Model.E, (std::array<double, 4>{0, 0, 0, 0}));

    EXPECT_EQ(FitSegments(m, {}, false).Warning, "strNotEnoughGasPoints");
    // All points on a segment's start point: no slope, the point stays.
    r = FitSegments(m, std::vector<TCalcPoint>(3, TCalcPoint{10, 14}), false);
    EXPECT_NEAR(r.LineGas[3], 16, kTol);
    for (double e : r.Model.E)
        EXPECT_TRUE(std::isfinite(e));
}
