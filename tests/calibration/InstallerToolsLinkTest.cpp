// The injector test and the working-pressure determination against the
// simulated controller: the exact requests, a stop that needs no warm
// reducer, exact test results, and a pressure test that times out or is
// cancelled without writing anything.
#include "CalibSim.h"

#include "calibration/InjectorTest.h"
#include "calibration/WorkingPressure.h"
#include "calibration/WorkingPressureList.h"
#include "controller/DataManager.h"
#include "controller/LockState.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

using namespace lumex;
using namespace std::chrono_literals;
using calibtest::Frame;
using calibtest::Frames;
using linktest::SimLink;

namespace {

constexpr uint8_t kWarmTredRaw = 40; // 68 degrees C
constexpr uint8_t kColdTredRaw = 200;

std::string WorkType(unsigned t)
{
    return Frame({0x20, t});
}
std::string WordVar(unsigned index)
{
    return Frame({0x40, index});
}

class Tools : public SimLink
{
public:
    explicit Tools(char letter, const char *fixture = "30G") : SimLink(calibtest::Installed(fixture, letter))
    {
        EXPECT_TRUE(ConnectClean());
    }
    void Ctl(const std::string &line) { EXPECT_EQ(Control(line).substr(0, 2), "ok") << line; }
    Frames Sent()
    {
        Sync();
        return Requests();
    }
};

// A clock that moves only when the determination waits.
struct FakeClock
{
    TWorkPressIo::TClock::time_point now{};
    std::vector<std::chrono::milliseconds> waits;
    int polls = 0;
};

TWorkPressIo Io(FakeClock &clock, TAnswer answer = TAnswer::Yes)
{
    TWorkPressIo io;
    io.Ask = [answer](const TQuestion &) { return answer; };
    io.Wait = [&clock](std::chrono::milliseconds ms) {
        clock.waits.push_back(ms);
        clock.now += ms;
    };
    io.Now = [&clock] { return clock.now; };
    io.Text = [](std::string_view key) { return std::string(key); };
    return io;
}

// The reading changes with the car's next step.
void SetPcol(Tools &s, int raw)
{
    s.Ctl("set pcol " + std::to_string(raw));
    s.Ctl("step");
}

std::array<bool, kCylinders> AllTicked()
{
    std::array<bool, kCylinders> t;
    t.fill(true);
    return t;
}

} // namespace

TEST(WorkingPressure, PressureTestPollsUntilDoneAndWritesTheEntryBelow)
{
    Tools s('G');
    s.Ctl("regulator 1.2");
    s.Data().PressureSensorType = 1; // the low range: no extra channel reads
    s.Data().Power = 120;
    FakeClock clock;
    std::vector<std::string> busy;
    TWorkPressIo io = Io(clock);
    io.BeginBusy = [&busy] { busy.push_back("begin"); };
    io.EndBusy = [&busy] { busy.push_back("end"); };
    const TWorkPressResult r = DetermineWorkingPressure(s.Manager(), io);
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Outcome, TWorkPressOutcome::Written);
    ASSERT_TRUE(r.MeasuredBar);
    EXPECT_DOUBLE_EQ(*r.MeasuredBar, 1.2);
    ASSERT_TRUE(r.ChosenIndex);
    EXPECT_STREQ(WorkingPressureList()[*r.ChosenIndex].Text, "1,10");
    EXPECT_EQ(s.Data().WorkPress, 113);
    EXPECT_EQ(s.Sent(), (Frames{WorkType(2), WorkType(5), WorkType(9), WordVar(35), WordVar(35), WordVar(35),
                                WordVar(35), WordVar(34), Frame({0x08, 30, 113}), WorkType(5)}));
    EXPECT_EQ(clock.waits, (std::vector<std::chrono::milliseconds>{100ms, 200ms, 200ms, 200ms}));
    EXPECT_EQ(busy, (std::vector<std::string>{"begin", "end"}));
    EXPECT_EQ(s.Manager().RequestedWorkType, TWorkType::PetrolImmediately);
    EXPECT_TRUE(s.Violations().empty()) << ::testing::PrintToString(s.Violations());
}

TEST(WorkingPressure, AHeldTestTimesOutAndACancelStopsItBothWritingNothing)
{
    Tools s('G');
    s.Ctl("pressuretest hold");
    s.Data().PressureSensorType = 1;
    const uint8_t workPress = s.Data().WorkPress;
    {
        FakeClock clock;
        TWorkPressIo io = Io(clock);
        io.Timeout = 1000ms;
        const TWorkPressResult r = DetermineWorkingPressure(s.Manager(), io);
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Outcome, TWorkPressOutcome::TimedOut);
        // Polls at 0, 200, ... 1000 ms: the sixth sees the deadline.
        Frames want{WorkType(2), WorkType(5), WorkType(9)};
        for (int i = 0; i < 6; ++i)
            want.push_back(WordVar(35));
        want.push_back(WorkType(5));
        EXPECT_EQ(s.Sent(), want);
    }
    s.ClearTrace();
    {
        FakeClock clock;
        TWorkPressIo io = Io(clock);
        io.Cancelled = [&clock] { return ++clock.polls >= 2; };
        const TWorkPressResult r = DetermineWorkingPressure(s.Manager(), io);
        EXPECT_EQ(r.Outcome, TWorkPressOutcome::Cancelled);
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(s.Sent(), (Frames{WorkType(2), WorkType(5), WorkType(9), WordVar(35), WordVar(35), WorkType(5)}));
    }
    EXPECT_EQ(s.Data().WorkPress, workPress);
    EXPECT_EQ(s.Manager().RequestedWorkType, TWorkType::PetrolImmediately);
}

TEST(WorkingPressure, DeclinedRefusedAndTooLow)
{
    Tools s('G');
    s.Data().PressureSensorType = 1;
    FakeClock clock;
    EXPECT_EQ(DetermineWorkingPressure(s.Manager(), Io(clock, TAnswer::No)).Outcome, TWorkPressOutcome::Declined);
    EXPECT_EQ(s.Sent(), (Frames{WorkType(2), WorkType(5)}));
    s.ClearTrace();

    // Locked, or an autocalibration at work: nothing is sent at all.
    s.Data().LockState = kLockLocked;
    EXPECT_EQ(DetermineWorkingPressure(s.Manager(), Io(clock)).Outcome, TWorkPressOutcome::NotAllowed);
    s.Data().LockState = kLockUnlocked;
    s.Manager().RequestedWorkType = TWorkType::StartAutocalibration;
    EXPECT_EQ(DetermineWorkingPressure(s.Manager(), Io(clock)).Outcome, TWorkPressOutcome::NotAllowed);
    EXPECT_TRUE(s.Sent().empty());
    s.Manager().RequestedWorkType = TWorkType::Stop;

    // 0.6 bar: warned, the first entry written, and the result false.
    s.Ctl("regulator 0.6");
    std::vector<std::string> warnings;
    TWorkPressIo io = Io(clock);
    io.ShowWarning = [&warnings](const std::string &text) { warnings.push_back(text); };
    const TWorkPressResult r = DetermineWorkingPressure(s.Manager(), io);
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Outcome, TWorkPressOutcome::TooLow);
    EXPECT_EQ(warnings, std::vector<std::string>{"strWorkingPressToLow"});
    EXPECT_EQ(s.Data().WorkPress, 76);
    EXPECT_EQ(s.Sent().back(), WorkType(5));
}

TEST(WorkingPressure, BeforeRevisionDTheControllerGoesOnGasAndOutsideTheListNothingIsWritten)
{
    Tools c('C', "30C");
    c.Data().PressureSensorType = 1;
    c.Ctl("set psys 124"); // 1.204 bar
    FakeClock clock;
    const TWorkPressResult r = DetermineWorkingPressure(c.Manager(), Io(clock));
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(c.Data().WorkPress, 113);
    EXPECT_EQ(clock.waits, std::vector<std::chrono::milliseconds>{1500ms});
    EXPECT_EQ(c.Sent(), (Frames{WorkType(2), WorkType(4), Frame({0x05, 0x05}), Frame({0x08, 30, 113}), WorkType(5)}));
    c.ClearTrace();

    c.Ctl("set psys 240"); // 2.1 bar: not in the list
    const TWorkPressResult high = DetermineWorkingPressure(c.Manager(), Io(clock));
    EXPECT_FALSE(high.Ok);
    EXPECT_EQ(high.Outcome, TWorkPressOutcome::NoMatch);
    EXPECT_EQ(c.Sent(), (Frames{WorkType(2), WorkType(4), Frame({0x05, 0x05}), WorkType(5)}));
    EXPECT_EQ(c.Data().WorkPress, 113);
}

TEST(InjectorTest, ARunningTestCanBeStoppedWithAColdReducerButCannotStartCold)
{
    Tools s('G');
    std::vector<std::string> asked;
    TInjectorTest test(s.Manager(), [&asked](const TQuestion &q) {
        asked.push_back(q.Text);
        return TAnswer::Yes;
    });
    TNorviData &d = s.Data();
    d.TredRaw = kColdTredRaw;
    EXPECT_EQ(test.StartStop(AllTicked()), TInjTestStartStop::TooCold);
    EXPECT_TRUE(s.Sent().empty());

    d.TredRaw = kWarmTredRaw;
    ASSERT_EQ(test.StartStop(AllTicked()), TInjTestStartStop::Started);
    EXPECT_EQ(s.Sent(), (Frames{Frame({0x92, 0x0F}), Frame({0x22, 0x22})}));
    s.ClearTrace();
    const TInjTestSnapshot running = test.Refresh();
    EXPECT_TRUE(running.Running);
    EXPECT_EQ(running.Cylinders, 4u);
    EXPECT_EQ(running.UnderTest, 0u);
    EXPECT_GE(running.GaugePercent, 1);
    EXPECT_EQ(s.Sent(), (Frames{Frame({0x90, 0}), Frame({0x91, 0}), Frame({0x53, 5}), WordVar(36)}));
    s.ClearTrace();

    // The reducer cooled down meanwhile: the stop still goes out.
    d.TredRaw = kColdTredRaw;
    EXPECT_EQ(test.StartStop(AllTicked()), TInjTestStartStop::Stopped);
    EXPECT_EQ(s.Sent(), Frames{WorkType(0)});
    EXPECT_FALSE(test.Refresh().Running);
    EXPECT_TRUE(asked.empty());
}

TEST(InjectorTest, ExactResultsGiveTheVerdictAndTheCopiedCorrectionsAreWritten)
{
    Tools s('F', "30F"); // no change list, so leaving asks one plain question
    for (const char *line :
         {"injtest result 1 100", "injtest result 2 102", "injtest result 3 120", "injtest result 4 80"})
        s.Ctl(line);
    std::vector<std::string> asked;
    TInjectorTest test(
        s.Manager(),
        [&asked](const TQuestion &q) {
            asked.push_back(q.Text);
            return TAnswer::Yes;
        },
        [](std::string_view key) { return std::string(key); });
    ASSERT_TRUE(test.ReadCorrections());
    s.Data().TredRaw = kWarmTredRaw;
    ASSERT_EQ(test.StartStop(AllTicked()), TInjTestStartStop::Started);
    TInjTestSnapshot snap;
    for (int i = 0; i < 40; ++i) {
        snap = test.Refresh();
        if (!snap.Running)
            break;
    }
    ASSERT_FALSE(snap.Running);
    EXPECT_EQ(snap.Evaluation.Verdict, TInjTestVerdict::ToReplace);
    EXPECT_EQ(snap.Evaluation.Reference, 0u);
    EXPECT_DOUBLE_EQ(*snap.Evaluation.Deviation[2], 20.0);
    EXPECT_DOUBLE_EQ(snap.Bars[3].Flow, 12.5);

    test.ClearCorrections();
    test.CopyComputedCorrections();
    EXPECT_TRUE(test.CorrectionsModified());
    EXPECT_EQ(test.Corrections(), (std::array<int8_t, kCylinders>{0, 2, 20, -20, 0, 0, 0, 0}));
    s.Sync();
    s.ClearTrace();
    // Closing with the table unsaved: "Yes" writes it, then the test is told to stop.
    EXPECT_TRUE(test.Close());
    EXPECT_EQ(s.Sent(), (Frames{Frame({0x94, 0x00, 0x02, 0x14, 0xEC, 0, 0, 0, 0}), WorkType(0)}));
    EXPECT_FALSE(test.CorrectionsModified());
    EXPECT_EQ(asked.size(), 1u); // the leave question only; the test had ended
}

TEST(InjectorTest, WithoutALinkFourCylindersShowAndTheImageKeepsItsCount)
{
    Tools s('G');
    TInjectorTest test(s.Manager(), [](const TQuestion &) { return TAnswer::Cancel; });
    s.Data().InjSW = 6;
    EXPECT_EQ(test.Cylinders(), 6u);
    s.Manager().SetLinkUp(false);
    const TInjTestSnapshot snap = test.Refresh();
    EXPECT_EQ(snap.Cylinders, 4u);
    EXPECT_EQ(snap.GaugePercent, 0);
    EXPECT_EQ(s.Data().InjSW, 6);
    EXPECT_TRUE(s.Sent().empty());
    // An unsaved table and Cancel keep the window open.
    test.SetCorrection(0, 33);
    EXPECT_EQ(test.Corrections()[0], 20);
    EXPECT_FALSE(test.Close());
}

TEST(InjectorTest, ManifoldPressureDriftStopsTheTest)
{
    Tools s('G');
    TInjectorTest test(s.Manager(), [](const TQuestion &) { return TAnswer::Yes; });
    SetPcol(s, 100);
    s.Data().TredRaw = kWarmTredRaw;
    ASSERT_EQ(test.StartStop(AllTicked()), TInjTestStartStop::Started);
    EXPECT_FALSE(test.WatchPcol());
    SetPcol(s, 110); // exactly 10: still stable
    EXPECT_FALSE(test.WatchPcol());
    s.Sync();
    s.ClearTrace();
    SetPcol(s, 111);
    EXPECT_TRUE(test.WatchPcol());
    EXPECT_FALSE(test.Running());
    EXPECT_EQ(s.Sent(), (Frames{Frame({0x22, 0x22}), WorkType(0)}));
}

TEST(InjectorTest, AFailedBaselineReadLetsTheWatchTakeItsFirstGoodReading)
{
    Tools s('G');
    TInjectorTest test(s.Manager(), [](const TQuestion &) { return TAnswer::Yes; });
    SetPcol(s, 20);
    ASSERT_TRUE(s.Manager().ReadPcol()); // the image holds 20 from before the start
    SetPcol(s, 100);
    s.Data().TredRaw = kWarmTredRaw;
    s.AddFault("silence@22:1");
    ASSERT_EQ(test.StartStop(AllTicked()), TInjTestStartStop::Started);
    s.Manager().SetLinkUp(true); // as the polling tick's reconnect does
    // The stale 20 is no baseline: 100 is taken as one, and 110 is still stable.
    EXPECT_FALSE(test.WatchPcol());
    SetPcol(s, 110);
    EXPECT_FALSE(test.WatchPcol());
    EXPECT_TRUE(test.Running());
    SetPcol(s, 111);
    EXPECT_TRUE(test.WatchPcol());
    EXPECT_FALSE(test.Running());
}
