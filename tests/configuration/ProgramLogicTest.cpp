// The wizard's progress, its markers and Next/Back, headless and against
// the simulated controller.
#include "ConfigLine.h"

#include "configuration/ProgramLogic.h"
#include "controller/LockState.h"

#include <gtest/gtest.h>

using namespace lumex;
using configtest::ConfigLine;

TEST(WizardMarkers, PassingTheAdvancedAndVerifyPagesSetsBitsZeroAndOneKeepingTheOthers)
{
    struct Case
    {
        uint16_t before;
        TWizardPage progress;
        uint16_t after;
    } const cases[] = {
        {0x0000, TWizardPage::GasElements, 0x0000}, {0x0000, TWizardPage::Advanced, 0x0000},
        {0x0000, TWizardPage::Verify, 0x0001},      {0x0000, TWizardPage::AutoCal, 0x0003},
        {0x000C, TWizardPage::Verify, 0x000D},      {0x8004, TWizardPage::Finish, 0x8007},
        {0x0002, TWizardPage::Engine, 0x0002}, // nothing is ever cleared
    };
    for (const auto &c : cases)
        EXPECT_EQ(MarkersForProgress(c.before, c.progress), c.after) << std::hex << c.before;
}

TEST(WizardMarkers, FinishPageWarnsWithoutAutocalibrationAndProgressFollowsTheMarkers)
{
    EXPECT_TRUE(ShowNotAutocalibratedWarning(0x0003));
    EXPECT_FALSE(ShowNotAutocalibratedWarning(0x0004));
    EXPECT_EQ(ProgressFromMarkers(0x0000), TWizardPage::Engine);
    EXPECT_EQ(ProgressFromMarkers(0x0004), TWizardPage::Engine);
    EXPECT_EQ(ProgressFromMarkers(0x0001), TWizardPage::Verify);
    EXPECT_EQ(ProgressFromMarkers(0x0003), TWizardPage::AutoCal);
}

TEST(WizardPages, CounterTextNamesAndInspectionDistance)
{
    EXPECT_EQ(PageCounterText(TWizardPage::Engine), "(1/7)");
    EXPECT_EQ(PageCounterText(TWizardPage::Switching), "(3/7)");
    EXPECT_EQ(PageCounterText(TWizardPage::Finish), "(7/7)");
    EXPECT_STREQ(WizardPageTabName(TWizardPage::GasElements), "TbSConfGasElements");
    EXPECT_STREQ(WizardPageTabName(TWizardPage::Finish), "TbSConfFinish");
    EXPECT_TRUE(PageShowsLiveReadings(TWizardPage::Verify));
    EXPECT_FALSE(PageShowsLiveReadings(TWizardPage::Advanced));
    // 120 five-minute steps are 10 h; at 50 km/h, 500 km.
    EXPECT_EQ(InspectionDistanceKm(120, 50), 500);
    // 7 steps at 30 km/h: 17.5 km, rounded up; 1 step at 20 km/h: 1.67 km.
    EXPECT_EQ(InspectionDistanceKm(7, 30), 18);
    EXPECT_EQ(InspectionDistanceKm(1, 20), 2);
    EXPECT_EQ(InspectionDistanceKm(0xFFFF, 70), 382288);
}

TEST(WizardProgress, NextOnTheProgressPageRaisesItAndPagesAfterItStayHidden)
{
    TProgramLogic logic;
    EXPECT_TRUE(logic.PageVisible(TWizardPage::Engine));
    EXPECT_FALSE(logic.PageVisible(TWizardPage::GasElements));

    uint16_t markers = 0x0004;
    TWizardPage page = TWizardPage::Engine;
    const uint16_t expected[] = {0x4, 0x4, 0x4, 0x5, 0x7, 0x7};
    for (uint16_t want : expected) {
        const TNextPlan plan = logic.PlanNext(page, markers, true);
        EXPECT_TRUE(plan.RaisesProgress);
        EXPECT_TRUE(plan.WriteConfiguration);
        EXPECT_EQ(plan.Markers, want) << PageNumber(page);
        EXPECT_EQ(plan.WriteMarkers, want != markers) << PageNumber(page);
        logic.SetProgress(plan.To);
        markers = plan.Markers;
        page = plan.To;
    }
    EXPECT_EQ(page, TWizardPage::Finish);
    EXPECT_TRUE(logic.PageVisible(TWizardPage::Finish));

    // The last page has no Next.
    const TNextPlan last = logic.PlanNext(TWizardPage::Finish, markers, true);
    EXPECT_EQ(last.To, TWizardPage::Finish);
    EXPECT_FALSE(last.RaisesProgress);
    EXPECT_FALSE(last.WriteConfiguration);
}

TEST(WizardProgress, NextBelowTheProgressOnlyMovesAndWritesWithoutMarkers)
{
    TProgramLogic logic;
    logic.SetProgress(TWizardPage::AutoCal);
    const TNextPlan plan = logic.PlanNext(TWizardPage::Advanced, 0x0000, true);
    EXPECT_EQ(plan.To, TWizardPage::Verify);
    EXPECT_FALSE(plan.RaisesProgress);
    EXPECT_EQ(plan.Markers, 0x0000);
    EXPECT_FALSE(plan.WriteMarkers);
    EXPECT_TRUE(plan.WriteConfiguration);
}

TEST(WizardProgress, WithoutAControllerOrDuringAutocalibrationNextMovesWithoutWriting)
{
    for (const bool busy : {false, true}) {
        TProgramLogic logic;
        logic.SetProgress(TWizardPage::Advanced);
        logic.AutocalibrationBusy = busy;
        const TNextPlan plan = logic.PlanNext(TWizardPage::Advanced, 0, /*controllerReady=*/busy);
        EXPECT_EQ(plan.To, TWizardPage::Verify);
        EXPECT_TRUE(plan.RaisesProgress);
        EXPECT_EQ(plan.Markers, 0x0001);
        EXPECT_FALSE(plan.WriteMarkers);
        EXPECT_FALSE(plan.WriteConfiguration);
    }
}

TEST(WizardProgress, BackMovesOnePageAndStopsAtTheFirst)
{
    EXPECT_EQ(TProgramLogic::Back(TWizardPage::Verify), TWizardPage::Advanced);
    EXPECT_EQ(TProgramLogic::Back(TWizardPage::GasElements), TWizardPage::Engine);
    EXPECT_EQ(TProgramLogic::Back(TWizardPage::Engine), TWizardPage::Engine);
}

// Word parameter 14 := 0x0001: C0 52 0E 00 01, checksum 0x21.
const std::string kWriteMarkers1 = "C0 52 0E 00 01 21";

TEST(WizardNext, WritesTheMarkersThenTheConfigurationAndMoves)
{
    ConfigLine line;
    line.Data().Markers = 0;
    TProgramLogic logic;
    logic.SetProgress(TWizardPage::Advanced);
    line.NewRequests();

    std::vector<std::string> beforeConfigWrite;
    const TWizardPage to = logic.Next(TWizardPage::Advanced, line.Manager(), [&] {
        beforeConfigWrite = line.NewRequests();
        return TWriteOutcome::Written;
    });
    EXPECT_EQ(to, TWizardPage::Verify);
    EXPECT_EQ(logic.Progress(), TWizardPage::Verify);
    EXPECT_EQ(line.Data().Markers, 0x0001);
    EXPECT_EQ(beforeConfigWrite, std::vector<std::string>{kWriteMarkers1});
    EXPECT_TRUE(line.Violations().empty());
}

TEST(WizardNext, StaysWhenTheWriteIsCancelledOrFails)
{
    ConfigLine line;
    for (const TWriteOutcome outcome : {TWriteOutcome::Cancelled, TWriteOutcome::Failed}) {
        TProgramLogic logic;
        logic.SetProgress(TWizardPage::Engine);
        EXPECT_EQ(logic.Next(TWizardPage::Engine, line.Manager(), [&] { return outcome; }), TWizardPage::Engine);
        // The progress went on before the write was tried.
        EXPECT_EQ(logic.Progress(), TWizardPage::GasElements);
    }
}

TEST(WizardNext, ALockedControllerGetsNothingAndTheWizardMovesOn)
{
    ConfigLine line;
    line.Control("lock 0F");
    ASSERT_TRUE(line.Manager().ReadLockState());
    ASSERT_EQ(line.Data().LockState, kLockLocked);
    line.Data().Markers = 0;
    line.NewRequests();

    TProgramLogic logic;
    logic.SetProgress(TWizardPage::Advanced);
    bool writerCalled = false;
    const TWizardPage to = logic.Next(TWizardPage::Advanced, line.Manager(), [&] {
        writerCalled = true;
        return TWriteOutcome::Written;
    });
    EXPECT_EQ(to, TWizardPage::Verify);
    EXPECT_FALSE(writerCalled);
    EXPECT_EQ(line.Data().Markers, 0x0001); // kept in the image for a later write
    EXPECT_TRUE(line.NewRequests().empty());
}
