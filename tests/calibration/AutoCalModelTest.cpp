// The arithmetic of autocalibration: the nozzle verdict's bands, the model
// built from the result with its worked numbers, the rules that keep the
// model sound for any reference point, and the default model.
#include "calibration/AutoCalModel.h"
#include "calibration/AutoCalibration.h"
#include "calibration/DefaultModel.h"
#include "calibration/NozzleVerdict.h"
#include "documents/MessageKeys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace lumex;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void ExpectPoints(const std::vector<TTimePoint> &got, const std::vector<TTimePoint> &want)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(got[i].X, want[i].X, 1e-9);
        EXPECT_NEAR(got[i].Y, want[i].Y, 1e-9);
    }
}

void ExpectSoundModel(const TResultModel &m)
{
    ASSERT_GE(m.Points.size(), 2u);
    EXPECT_LE(m.Points.size(), kModel2Points);
    EXPECT_EQ(m.Points.front().X, 0.0);
    EXPECT_EQ(m.Points.back().X, kModelEndMs);
    for (std::size_t i = 0; i < m.Points.size(); ++i) {
        EXPECT_TRUE(std::isfinite(m.Points[i].Y));
        EXPECT_GE(m.Points[i].Y, 0.0);
        if (i > 0) {
            EXPECT_LT(m.Points[i - 1].X, m.Points[i].X) << "points out of order at " << i;
        }
    }
    EXPECT_TRUE(std::isfinite(m.Multiplier));
    EXPECT_GE(m.MultSpinner, kMultSpinnerMin);
    EXPECT_LE(m.MultSpinner, kMultSpinnerMax);
    EXPECT_GE(m.OffsetSpinner, kOffsetSpinnerMin);
    EXPECT_LE(m.OffsetSpinner, kOffsetSpinnerMax);
}

} // namespace

TEST(AutoCalGauges, FourInjectorsGiveTwentyAndSeventeenSteps)
{
    EXPECT_EQ(GaugeWithoutLoadSteps(4), 20);
    EXPECT_EQ(GaugeWithLoadSteps(4), 17);
    EXPECT_EQ(GaugeWithoutLoadSteps(8), 36);
    EXPECT_EQ(GaugeWithLoadSteps(8), 33);
}

TEST(NozzleVerdict, BandEdgesBelongWhereTheTableSays)
{
    const struct
    {
        TFuel fuel;
        double k;
        TNozzleVerdict verdict;
    } cases[] = {
        {TFuel::LPG, 1.1, TNozzleVerdict::Good},       {TFuel::LPG, 1.3, TNozzleVerdict::Acceptable},
        {TFuel::LPG, 1.31, TNozzleVerdict::TooSmall},  {TFuel::LPG, 1.2, TNozzleVerdict::Acceptable},
        {TFuel::LPG, 0.9, TNozzleVerdict::Good},       {TFuel::LPG, 0.89, TNozzleVerdict::Acceptable},
        {TFuel::LPG, 0.7, TNozzleVerdict::Acceptable}, {TFuel::LPG, 0.69, TNozzleVerdict::TooLarge},
        {TFuel::LPG, 0.0, TNozzleVerdict::TooLarge},   {TFuel::LPG, -3.0, TNozzleVerdict::TooLarge},
        {TFuel::CNG, 1.3, TNozzleVerdict::Good},       {TFuel::CNG, 1.31, TNozzleVerdict::Acceptable},
        {TFuel::CNG, 1.5, TNozzleVerdict::Acceptable}, {TFuel::CNG, 1.51, TNozzleVerdict::TooSmall},
        {TFuel::CNG, 0.9, TNozzleVerdict::Good},       {TFuel::CNG, 0.7, TNozzleVerdict::Acceptable},
        {TFuel::CNG, 0.69, TNozzleVerdict::TooLarge},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << (c.fuel == TFuel::LPG ? "LPG " : "CNG ") << c.k);
        EXPECT_EQ(NozzleVerdictFor(c.fuel, c.k), c.verdict);
    }
    // A ratio from times that lands a hair above an edge keeps its band.
    EXPECT_EQ(NozzleVerdictFor(TFuel::LPG, NozzleRatio(1.0, {2.0, 3.2})), TNozzleVerdict::Good);
}

TEST(NozzleVerdict, RatioAndKeys)
{
    EXPECT_DOUBLE_EQ(NozzleRatio(1.0, {6.0, 7.6}), 1.1);
    EXPECT_EQ(NozzleRatio(1.0, {0.0, 7.6}), 0.0);
    EXPECT_EQ(NozzleRatio(kNaN, {2.0, 3.0}), 0.0);
    EXPECT_EQ(NozzleRatio(1.0, {kInf, 3.0}), 0.0);

    EXPECT_EQ(NozzleVerdictKeys(TNozzleVerdict::TooSmall).Info1, msg::strNToL);
    EXPECT_EQ(NozzleVerdictKeys(TNozzleVerdict::TooSmall).Info2, msg::strNChange);
    EXPECT_EQ(NozzleVerdictKeys(TNozzleVerdict::TooLarge).Info1, msg::strNToH);
    EXPECT_EQ(NozzleVerdictKeys(TNozzleVerdict::TooLarge).Info2, msg::strNChange);
    EXPECT_EQ(NozzleVerdictKeys(TNozzleVerdict::Acceptable).Info1, msg::strNnorm);
    EXPECT_TRUE(NozzleVerdictKeys(TNozzleVerdict::Acceptable).Info2.empty());
    EXPECT_EQ(NozzleVerdictKeys(TNozzleVerdict::Good).Info1, msg::strNok);
    EXPECT_TRUE(NozzleVerdictKeys(TNozzleVerdict::None).Info1.empty());
}

TEST(NozzleVerdict, ReferencePointFollowsTheIdleModelSettingAndThePhase)
{
    const TModelPoints idle{2.0, 3.0, 4.0, 5.0};
    TModel2Set model{};
    model.fill({0xFFFF, 0xFFFF});
    model[2] = {935, 1122}; // 5.0 ms, 6.0 ms
    const TTimePoint third = NozzleReferencePoint(false, 2, idle, model);
    EXPECT_DOUBLE_EQ(third.X, 5.0);
    EXPECT_DOUBLE_EQ(third.Y, 6.0);
    const TTimePoint first = NozzleReferencePoint(true, 1, idle, model);
    EXPECT_DOUBLE_EQ(first.X, 2.0);
    EXPECT_DOUBLE_EQ(first.Y, 3.0);
    const TTimePoint mid = NozzleReferencePoint(true, 2, idle, model);
    EXPECT_DOUBLE_EQ(mid.X, 3.0);
    EXPECT_DOUBLE_EQ(mid.Y, 4.0);
    // An empty third slot is no point at all.
    model[2] = {0xFFFF, 0xFFFF};
    EXPECT_EQ(NozzleReferencePoint(false, 2, idle, model).X, 0.0);
}

TEST(ResultModel, LpgWithSixMillisecondsHasThreeAndFourButNoFiveTimesPoint)
{
    const auto m = ModelFromResult(TFuel::LPG, 1.0, {6.0, 7.6});
    ASSERT_TRUE(m);
    // q = 1.1; 2x, 3x and 4x on the line scaled by 1.06, 0.98, 0.91; 5x = 30
    // is past the end; the end at 25 ms scaled by 0.90.
    ExpectPoints(m->Points, {{0, 1.0}, {3, 4.3}, {6, 7.6}, {12, 15.052}, {18, 20.384}, {24, 24.934}, {25, 25.65}});
    EXPECT_DOUBLE_EQ(m->Slope, 1.1);
    // (98.92 - 7 * 1.0) / 88
    EXPECT_NEAR(m->Multiplier, 91.92 / 88.0, 1e-12);
    EXPECT_EQ(m->MultSpinner, 4);
    EXPECT_EQ(m->OffsetSpinner, 10);
    EXPECT_DOUBLE_EQ(m->LineStart.Y, 1.0);
    EXPECT_NEAR(m->LineEnd.Y, 1.0 + 25 * 91.92 / 88.0, 1e-9);
    ExpectSoundModel(*m);
}

TEST(ResultModel, CngTakesItsOwnFactorsAndTheSlopeAsMultiplier)
{
    const auto m = ModelFromResult(TFuel::CNG, 1.0, {6.0, 7.6});
    ASSERT_TRUE(m);
    ExpectPoints(m->Points, {{0, 1.0}, {3, 4.3}, {6, 7.6}, {12, 13.49}, {18, 16.64}, {24, 19.18}, {25, 15.675}});
    EXPECT_DOUBLE_EQ(m->Multiplier, 1.1);
    EXPECT_EQ(m->MultSpinner, 10);
}

TEST(ResultModel, OnlyPointsBelowTheEndAreAddedSoTheyStayInOrder)
{
    // 2x = 40 would come after the end point at 25 ms.
    const auto wide = ModelFromResult(TFuel::LPG, 1.0, {20.0, 23.0});
    ASSERT_TRUE(wide);
    ExpectPoints(wide->Points, {{0, 1.0}, {10, 12.0}, {20, 23.0}, {25, 28.5 * 0.90}});
    ExpectSoundModel(*wide);
    // The reference itself past the end leaves only the half point.
    const auto past = ModelFromResult(TFuel::CNG, 1.0, {30.0, 31.0});
    ASSERT_TRUE(past);
    ExpectPoints(past->Points, {{0, 1.0}, {15, 16.0}, {25, 26.0 * 0.55}});
    // Short times: every rule fits.
    const auto shortTimes = ModelFromResult(TFuel::LPG, 1.0, {2.0, 3.0});
    ASSERT_TRUE(shortTimes);
    EXPECT_EQ(shortTimes->Points.size(), 8u);
    ExpectSoundModel(*shortTimes);
}

TEST(ResultModel, NoIdlePointIsAnErrorAndOddInputsStayFinite)
{
    EXPECT_FALSE(ModelFromResult(TFuel::LPG, 1.0, {0.0, 3.0}));
    EXPECT_FALSE(ModelFromResult(TFuel::LPG, 1.0, {-2.0, 3.0}));
    EXPECT_FALSE(ModelFromResult(TFuel::CNG, 1.0, {kNaN, 3.0}));
    EXPECT_FALSE(ModelFromResult(TFuel::LPG, 1.0, {2.0, kInf}));
    EXPECT_FALSE(ModelFromResult(TFuel::LPG, kNaN, {2.0, 3.0}));
    // A gas time below the offset gives a falling line: gas times stop at 0.
    const auto falling = ModelFromResult(TFuel::LPG, 2.0, {3.0, 0.5});
    ASSERT_TRUE(falling);
    ExpectSoundModel(*falling);
    EXPECT_EQ(falling->Points.back().Y, 0.0);
    // A huge ratio: gas times stay within what the tick words carry.
    const auto steep = ModelFromResult(TFuel::LPG, 0.0, {1e-6, 300.0});
    ASSERT_TRUE(steep);
    ExpectSoundModel(*steep);
    EXPECT_LE(steep->Points.back().Y * 187.0, 65535.0);
    EXPECT_EQ(steep->MultSpinner, kMultSpinnerMax);
}

TEST(ResultModel, MultiplierOfPoints)
{
    const std::vector<TTimePoint> pts{{0, 1.0}, {2, 3.0}, {4, 5.0}};
    EXPECT_DOUBLE_EQ(ModelMultiplier(TFuel::LPG, 1.0, 7.0, pts), 1.0);
    EXPECT_DOUBLE_EQ(ModelMultiplier(TFuel::CNG, 1.0, 7.0, pts), 7.0);
    EXPECT_EQ(ModelMultiplier(TFuel::LPG, 1.0, 7.0, std::vector<TTimePoint>{{0, 1.0}}), 0.0);
}

TEST(ResultModel, PhaseOneOnlyResultPutsTheSecondIdlePointOneMillisecondRight)
{
    const TModelPoints p = CompletedIdlePoints({2.5, 3.0, 0, 0}, 0.5, 1.7);
    EXPECT_DOUBLE_EQ(p.P1X, 2.5);
    EXPECT_DOUBLE_EQ(p.P1Y, 3.0);
    EXPECT_DOUBLE_EQ(p.P2X, 3.5);
    EXPECT_DOUBLE_EQ(p.P2Y, 0.5 + 3.5 * 1.0);
    // Without a first petrol time the current multiplier is the slope.
    const TModelPoints q = CompletedIdlePoints({0, 3.0, 0, 0}, 0.5, 1.2);
    EXPECT_DOUBLE_EQ(q.P2X, 1.0);
    EXPECT_DOUBLE_EQ(q.P2Y, 0.5 + 1.2);
    const TModelPoints r = CompletedIdlePoints({0, 3.0, 0, 0}, 0.5, kNaN);
    EXPECT_TRUE(std::isfinite(r.P2Y));
}

TEST(ResultModel, OffsetAsTheModelPageShowsIt)
{
    EXPECT_DOUBLE_EQ(ShownModelOffset(150 / 187.0), 0.8);
    EXPECT_DOUBLE_EQ(ShownModelOffset(-0.04), -0.0);
    EXPECT_DOUBLE_EQ(ShownModelOffset(kNaN), 1.0);
    EXPECT_DOUBLE_EQ(ShownModelOffset(kInf), 1.0);
}

TEST(ResultModel, StoredInTicksWithTheRestEmpty)
{
    TNorviData d;
    const auto m = ModelFromResult(TFuel::LPG, 1.0, {6.0, 7.6});
    ASSERT_TRUE(m);
    StoreResultModel(*m, d);
    EXPECT_EQ(d.Model2SetA[0].X, 0);
    EXPECT_EQ(d.Model2SetA[0].Y, 187);
    EXPECT_EQ(d.Model2SetA[2].X, 1122);
    EXPECT_EQ(d.Model2SetA[2].Y, 1421); // 7.6 ms = 1421.2 ticks
    EXPECT_EQ(d.Model2SetA[6].X, 4675);
    EXPECT_EQ(d.Model2SetA[6].Y, 4797); // 25.65 ms = 4796.55 ticks
    for (std::size_t i = 7; i < kModel2Points; ++i) {
        EXPECT_EQ(d.Model2SetA[i].X, 0xFFFF);
        EXPECT_EQ(d.Model2SetA[i].Y, 0xFFFF);
    }
    EXPECT_DOUBLE_EQ(d.Mult, m->Multiplier);
    EXPECT_DOUBLE_EQ(d.Offset, 1.0);
}

TEST(DefaultModel, OffsetByInjectorTypeAndPointsOnTheLine)
{
    EXPECT_DOUBLE_EQ(DefaultModelOffset(21), 1.1);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(0), 0.3);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(5), 0.8);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(10), 1.7);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(17), 1.5);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(24), 0.9);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(7), 0.7);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(3), 1.1);
    EXPECT_DOUBLE_EQ(DefaultModelOffset(255), 1.1);

    TNorviData d;
    d.AdaptationMode = 1;
    d.CorrectionMask = 0x0F;
    TModelPoints idle;
    StoreDefaultModel(5, d, idle);
    EXPECT_DOUBLE_EQ(d.Mult, 1.0);
    EXPECT_DOUBLE_EQ(d.Offset, 0.8);
    const int32_t x[] = {0, 281, 842, 1496, 2805, 4675};
    const int32_t y[] = {150, 430, 991, 1646, 2955, 4825};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(d.Model2SetA[i].X, x[i]);
        EXPECT_EQ(d.Model2SetA[i].Y, y[i]);
    }
    EXPECT_EQ(d.Model2SetA[6].X, 0xFFFF);
    EXPECT_EQ(d.Model2SetB[3].Y, 1646);
    EXPECT_DOUBLE_EQ(idle.P1X, 3.0);
    EXPECT_DOUBLE_EQ(idle.P1Y, 3.8);
    EXPECT_DOUBLE_EQ(idle.P2X, 6.0);
    EXPECT_DOUBLE_EQ(idle.P2Y, 6.8);
    EXPECT_DOUBLE_EQ(d.CorrectionMult, 1.0);
    EXPECT_EQ(d.CorrectionMask, 0);
    EXPECT_EQ(d.UseOnIdleModel, 1);
    EXPECT_EQ(d.AdaptationMode, 0);
}
