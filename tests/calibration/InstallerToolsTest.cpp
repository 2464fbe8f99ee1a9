// The installer tools' rules without a device: the injector test verdict
// and bars, copying deviations into the corrections, the working pressure
// chosen for a measurement, and the level sensor's factory settings.
#include "calibration/InjectorTestEval.h"
#include "calibration/LevelSensor.h"
#include "calibration/WorkingPressure.h"
#include "calibration/WorkingPressureList.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace lumex;

namespace {

std::array<uint16_t, kCylinders> Values(std::initializer_list<uint16_t> v)
{
    std::array<uint16_t, kCylinders> out{};
    std::copy(v.begin(), v.end(), out.begin());
    return out;
}

std::string ChosenText(double bar, unsigned kw, bool test)
{
    const auto c = ChooseWorkingPressure(bar, kw, test);
    return c.Index ? WorkingPressureList()[*c.Index].Text : "none";
}

} // namespace

TEST(InjectorTestVerdict, WorkedExampleAndTheNoMeasurementCase)
{
    const TInjTestEvaluation e = EvaluateInjectorTest(Values({100, 102, 120, 80}), 4, true);
    ASSERT_TRUE(e.Reference);
    EXPECT_EQ(*e.Reference, 0u); // mean 100.5: cylinder 1 is closest
    const double want[] = {0, 2, 20, -20};
    for (std::size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(e.Deviation[i]) << i;
        EXPECT_DOUBLE_EQ(*e.Deviation[i], want[i]) << i;
    }
    EXPECT_FALSE(e.Deviation[4]);
    EXPECT_EQ(e.Verdict, TInjTestVerdict::ToReplace);
    EXPECT_STREQ(InjTestVerdictKey(e.Verdict), "strGasInjToReplaced");

    const TInjTestEvaluation dead = EvaluateInjectorTest(Values({350, 350, 350, 350, 7}), 4, true);
    EXPECT_EQ(dead.Verdict, TInjTestVerdict::ValveMayBeCorrupted);
    EXPECT_STREQ(InjTestVerdictKey(dead.Verdict), "strValveMayBeCorrupted");
    EXPECT_FALSE(dead.Reference);
    for (const auto &d : dead.Deviation)
        EXPECT_FALSE(d);

    // No result yet: no verdict, whatever the counts.
    EXPECT_EQ(EvaluateInjectorTest(Values({100, 50}), 2, false).Verdict, TInjTestVerdict::None);
    EXPECT_STREQ(InjTestVerdictKey(TInjTestVerdict::None), "");
}

TEST(InjectorTestVerdict, ClassLimitsTiesAndDegenerateCounts)
{
    // 4.9 % is in the norm, 5 % needs a correction, 19.9 % still does.
    EXPECT_EQ(EvaluateInjectorTest(Values({1000, 1049, 1000}), 3, true).Verdict, TInjTestVerdict::InNorm);
    EXPECT_EQ(EvaluateInjectorTest(Values({100, 105, 100}), 3, true).Verdict, TInjTestVerdict::ToCorrect);
    EXPECT_EQ(EvaluateInjectorTest(Values({1000, 1199, 1000}), 3, true).Verdict, TInjTestVerdict::ToCorrect);
    // 90 and 110 are equally far from the mean 100: the lower cylinder wins.
    const auto tie = EvaluateInjectorTest(Values({90, 110}), 2, true);
    EXPECT_EQ(tie.Reference, 0u);
    EXPECT_NEAR(*tie.Deviation[1], 22.22, 0.01);
    // A reference of 0 gives deviations of 0, never a division by zero.
    const auto zero = EvaluateInjectorTest(Values({0, 0, 1}), 3, true);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(std::isfinite(*zero.Deviation[i]));
    EXPECT_EQ(*zero.Deviation[2], 0.0);
    // Counts of more than eight cylinders are never read.
    const auto wide = EvaluateInjectorTest(Values({100, 100}), 99, true);
    EXPECT_EQ(wide.Reference, 2u);
    EXPECT_EQ(wide.Verdict, TInjTestVerdict::InNorm);
    EXPECT_EQ(EvaluateInjectorTest(Values({100}), 0, true).Verdict, TInjTestVerdict::None);
}

TEST(InjectorTestBars, FlowAndTimeValues)
{
    const TInjTestBar a = InjTestBarOf(20000, 100);
    EXPECT_DOUBLE_EQ(a.Flow, 10.0);
    EXPECT_DOUBLE_EQ(a.Time, 50.0);
    const TInjTestBar b = InjTestBarOf(30000, 349);
    EXPECT_DOUBLE_EQ(b.Time, 33.3);
    EXPECT_NEAR(b.Flow, 2.865, 0.001);
    const TInjTestBar none = InjTestBarOf(0, 350);
    EXPECT_EQ(none.Flow, 0.0);
    EXPECT_EQ(none.Time, 0.0);
    EXPECT_EQ(InjTestBarOf(-5, 0).Flow, 0.0);
    EXPECT_TRUE(std::isfinite(InjTestBarOf(-1, 1).Time));
}

TEST(InjectorTestCopy, DeviationsAreAddedRoundedAndLimited)
{
    TInjTestEvaluation e;
    e.Deviation[0] = 7.6;
    e.Deviation[1] = -2.4;
    e.Deviation[2] = -30.0;
    const std::array<int8_t, kCylinders> current{15, 3, 0, 4, 9, 9, 9, 9};
    const auto out = CopiedInjCorrections(current, e, 4);
    EXPECT_EQ(out[0], 20); // 15 + 7.6 = 22.6, limited, not 23
    EXPECT_EQ(out[1], 1);  // 3 - 2.4 = 0.6 -> 1
    EXPECT_EQ(out[2], -20);
    EXPECT_EQ(out[3], 4); // no deviation: kept
    for (std::size_t i = 4; i < kCylinders; ++i)
        EXPECT_EQ(out[i], 0) << i;

    EXPECT_EQ(InjTestCylinderMask({true, false, true, true, true, true, true, true}, 4), 0x0D);
    EXPECT_EQ(InjTestCylinderMask({true, true, true, true, true, true, true, true}, 8), 0xFF);
    EXPECT_TRUE(ReducerWarmForInjectorTest(60.0));
    EXPECT_FALSE(ReducerWarmForInjectorTest(59.9));
}

TEST(WorkingPressureChoice, OneStepBelowTheMeasurementAndTheEnds)
{
    // Letter D or later: one step below, one more above 150 kW.
    EXPECT_EQ(ChosenText(1.2, 120, true), "1,10");
    EXPECT_EQ(ChosenText(1.2, 160, true), "1,00");
    EXPECT_EQ(ChosenText(1.2, 150, true), "1,10");
    // 0,70 bar: the first entry without the warning; 0,60 bar: with it.
    EXPECT_EQ(ChosenText(0.7, 100, true), "0,70");
    EXPECT_FALSE(ChooseWorkingPressure(0.7, 100, true).TooLow);
    EXPECT_EQ(ChosenText(0.6, 100, true), "0,70");
    EXPECT_TRUE(ChooseWorkingPressure(0.6, 100, true).TooLow);
    EXPECT_EQ(ChosenText(0.0, 100, true), "0,70");
    // Above the list: the last entry.
    EXPECT_EQ(ChosenText(2.5, 100, true), "2,00");
    EXPECT_EQ(ChosenText(2.0, 100, true), "1,90");

    // Before D: one step below, nothing outside the list.
    EXPECT_EQ(ChosenText(1.2, 300, false), "1,10");
    EXPECT_EQ(ChosenText(0.7, 100, false), "0,70");
    EXPECT_EQ(ChosenText(0.6, 100, false), "none");
    EXPECT_EQ(ChosenText(2.1, 100, false), "none");
}

TEST(LevelSensorFactory, ThresholdsColourAndVolts)
{
    EXPECT_EQ(FactoryLevelThresholds(1), (TLevelThresholds{200, 143, 92, 40}));
    EXPECT_EQ(FactoryLevelThresholds(2), (TLevelThresholds{200, 143, 92, 40}));
    EXPECT_EQ(FactoryLevelThresholds(3), (TLevelThresholds{21, 47, 61, 72}));
    EXPECT_EQ(FactoryPanelLed(19), TPanelLed::Red);
    EXPECT_EQ(FactoryPanelLed(4), TPanelLed::Blue);
    EXPECT_DOUBLE_EQ(LevelThresholdVolts(255), 5.0);
    EXPECT_DOUBLE_EQ(LevelThresholdVolts(51), 1.0);
}
