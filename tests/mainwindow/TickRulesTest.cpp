#include "mainwindow/TickRules.h"
#include "mainwindow/StartOptions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <vector>

using namespace lumex;

TEST(TickInterval, FollowsLinkAndPage)
{
    EXPECT_EQ(TickInterval(true, TPage::Measure), 200);
    EXPECT_EQ(TickInterval(true, TPage::Config), 500);
    EXPECT_EQ(TickInterval(false, TPage::Config), 1500);
    EXPECT_EQ(TickInterval(false, TPage::Measure), 1500);
    EXPECT_EQ(TickInterval(true, TPage::Calibration), 200);
}

TEST(PollPlan, PerPage)
{
    EXPECT_EQ(PollPlanFor({TPage::Measure}).Modes, std::vector<int>({1}));
    const TPollPlan config = PollPlanFor({TPage::Config});
    EXPECT_EQ(config.Modes, std::vector<int>({1}));
    EXPECT_FALSE(config.ResultUsed);
    EXPECT_EQ(PollPlanFor({TPage::Configurator, TSubPage::ConfVerify}).Modes, std::vector<int>({1}));
    EXPECT_EQ(PollPlanFor({TPage::Configurator, TSubPage::ConfAutoCal}).Modes, std::vector<int>({1}));
    EXPECT_EQ(PollPlanFor({TPage::Configurator, TSubPage::ConfFinish}).Modes, std::vector<int>({0, 1}));
}

TEST(Accessibility, LockByteAndConnection)
{
    EXPECT_TRUE(IsAccessible(0xF0, true));
    EXPECT_FALSE(IsAccessible(0x0F, false));
    EXPECT_FALSE(IsAccessible(0, false));
    EXPECT_TRUE(IsAccessible(0x55, false));
    EXPECT_FALSE(IsAccessible(0x55, true));
    EXPECT_TRUE(LockPanelVisible(0x0F));
    EXPECT_TRUE(LockPanelVisible(0x55));
    EXPECT_FALSE(LockPanelVisible(0xF0));
    EXPECT_FALSE(LockPanelVisible(0));
}

TEST(ClearImage, KeepsVersionAndInjectorCount)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.InjSW = 6;
    d.T = 90;
    d.PsysRaw = 100;
    d.TroubleFlags[3] = 1;
    d.SoftwareLetter = "G";
    ClearImageExceptIdentity(d);
    EXPECT_EQ(d.VersionCode, 0x30);
    EXPECT_EQ(d.InjSW, 6);
    EXPECT_EQ(d.T, 0);
    EXPECT_EQ(d.PsysRaw, 0);
    EXPECT_EQ(d.TroubleFlags[3], 0);
    EXPECT_TRUE(d.SoftwareLetter.empty());
}

TEST(FuelSwitch, DisplayClicksAndMenu)
{
    EXPECT_EQ(FuelShown(3), TFuelShown::Petrol);
    EXPECT_EQ(FuelShown(4), TFuelShown::Waiting);
    EXPECT_EQ(FuelShown(5), TFuelShown::Gas);
    EXPECT_EQ(FuelShown(0), TFuelShown::Petrol);
    EXPECT_EQ(WorkTypeNumber(FuelClickWorkType(3, false)), 1);
    EXPECT_EQ(WorkTypeNumber(FuelClickWorkType(3, true)), 4);
    EXPECT_EQ(WorkTypeNumber(FuelClickWorkType(5, false)), 2);
    EXPECT_EQ(WorkTypeNumber(FuelClickWorkType(5, true)), 5);
    // Ctrl never sends; a running calibration ignores the press.
    EXPECT_EQ(FuelPress(true, false, true), TFuelPress::OpenMenu);
    EXPECT_EQ(FuelPress(false, true, true), TFuelPress::OpenMenu);
    EXPECT_EQ(FuelPress(true, true, false), TFuelPress::Ignore);
    EXPECT_EQ(FuelPress(true, false, false), TFuelPress::SendWorkType);
    std::vector<int> types;
    for (const auto &e : FuelMenuEntries())
        types.push_back(WorkTypeNumber(e.WorkType));
    EXPECT_EQ(types, std::vector<int>({2, 1, 10, 4}));
}

TEST(GenerationLayout, ByVersionCode)
{
    const auto l14 = GenerationLayout(0x14, 0);
    EXPECT_TRUE(l14.ConfigPages);
    EXPECT_FALSE(l14.ConfiguratorPages);
    EXPECT_FALSE(l14.G15Controls);
    EXPECT_EQ(F3Page(l14), TPage::Config);
    const auto l15 = GenerationLayout(0x15, 1);
    EXPECT_TRUE(l15.ConfigPages);
    EXPECT_TRUE(l15.G15Controls);
    EXPECT_TRUE(l15.AdvancedDiagnostic);
    for (uint8_t code : {uint8_t{0x30}, uint8_t{0}}) {
        const auto l = GenerationLayout(code, 0);
        EXPECT_FALSE(l.ConfigPages);
        EXPECT_TRUE(l.ConfiguratorPages);
        EXPECT_TRUE(l.G15Controls);
        EXPECT_FALSE(l.AdvancedDiagnostic);
        EXPECT_EQ(F3Page(l), TPage::Configurator);
    }
}

TEST(StartOptions, SwitchesAnyCaseAndOptions)
{
    const auto o = ParseStartOptions({"-offline", "-LowResolution", "-NOCONNECT", "/nologo", "--page", "readings",
                                      "--after", "1500", "--screenshot", "x.png", "--port", "/dev/ttyX"});
    EXPECT_TRUE(o.Offline);
    EXPECT_TRUE(o.LowResolutionAllowed);
    EXPECT_TRUE(o.NoAutoSearch);
    EXPECT_EQ(o.Page, "readings");
    EXPECT_EQ(o.AfterMs, 1500);
    EXPECT_EQ(o.ScreenshotFile, "x.png");
    EXPECT_EQ(o.PortPath, "/dev/ttyX");
    EXPECT_TRUE(o.Problems.empty());
    const auto bad = ParseStartOptions({"--after", "soon", "--port"});
    EXPECT_EQ(bad.Problems.size(), 2u);
    EXPECT_FALSE(ParseStartOptions({"OFFLINE"}).Offline);
}

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Tick start times, in ms from the first, of a tick that costs `cost(n)`
// for the n-th tick, scheduled by NextTickStart on a clock the test moves.
std::vector<long> TickStarts(int count, milliseconds interval, const std::function<milliseconds(int)> &cost)
{
    const Clock::time_point origin{};
    Clock::time_point start = origin;
    std::vector<long> starts;
    for (int n = 0; n < count; ++n) {
        starts.push_back(static_cast<long>(std::chrono::duration_cast<milliseconds>(start - origin).count()));
        const Clock::time_point end = start + cost(n);
        start = NextTickStart(start, interval, end);
    }
    return starts;
}

} // namespace

TEST(TickSchedule, TicksStartOnTheIntervalWhateverTheCycleCosts)
{
    // 200 ms ticks whose poll cycle takes 100 ms: five a second, not three.
    const auto starts = TickStarts(6, milliseconds(200), [](int) { return milliseconds(100); });
    EXPECT_EQ(starts, (std::vector<long>{0, 200, 400, 600, 800, 1000}));
    // A cycle that takes the whole interval still keeps the grid.
    EXPECT_EQ(TickStarts(3, milliseconds(200), [](int) { return milliseconds(200); }),
              (std::vector<long>{0, 200, 400}));
}

TEST(TickSchedule, AnOverrunStartsTheNextTickAtOnceWithoutCatchingUp)
{
    // The second tick takes 650 ms (a slow answer): the third starts as it
    // ends, and the ones after go on an interval apart, with no burst for
    // the three that a fixed grid would have missed.
    const auto starts = TickStarts(5, milliseconds(200), [](int n) { return milliseconds(n == 1 ? 650 : 50); });
    EXPECT_EQ(starts, (std::vector<long>{0, 200, 850, 1050, 1250}));
}
