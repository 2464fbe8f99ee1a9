// Autocalibration against the simulated controller: each path of the
// controller's states with the exact requests on the line, the error the
// controller reports, the installer's cancel, a failed write in the start
// and in the result, and the result rules (phase-1-only result, no idle
// point). The controller advances one step per read of its state.
#include "ConfigLine.h"
#include "ControllerFrames.h"

#include "calibration/AutoCalRun.h"
#include "calibration/AutoCalibration.h"
#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"
#include "documents/MessageKeys.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <memory>

using namespace lumex;
using configtest::ConfigLine;
using configtest::KeyText;

namespace {

using Ticks = std::vector<std::pair<uint16_t, uint16_t>>;

std::string Hex(const std::vector<uint8_t> &bytes)
{
    std::string out;
    for (uint8_t b : bytes) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b);
        if (!out.empty())
            out += ' ';
        out += buf;
    }
    return out;
}

std::string Req(std::initializer_list<uint8_t> body)
{
    return Hex(ctltest::Frame(body));
}

// A point-set half: the code, the half, then ten points (X, Y high byte
// first), empty slots 0xFFFF.
std::string SetHalf(uint8_t code, uint8_t half, const Ticks &points)
{
    std::vector<uint8_t> body{code, half};
    for (std::size_t i = 0; i < 10; ++i) {
        const std::size_t k = half * 10u + i;
        const auto p = k < points.size() ? points[k] : std::pair<uint16_t, uint16_t>{0xFFFF, 0xFFFF};
        for (uint16_t w : {p.first, p.second}) {
            body.push_back(static_cast<uint8_t>(w >> 8));
            body.push_back(static_cast<uint8_t>(w & 0xFF));
        }
    }
    return Hex(ctltest::FrameOf(body));
}

std::vector<std::string> PointSets(const Ticks &points)
{
    return {SetHalf(0xD5, 0, points), SetHalf(0xD5, 1, points), SetHalf(0x96, 0, points), SetHalf(0x96, 1, points)};
}

// The default model of gas injector code 5 (offset 0.8 ms): 0, 1.5, 4.5, 8,
// 15 and 25 ms on the line through the offset.
const Ticks kDefaultPoints{{0, 150}, {281, 430}, {842, 991}, {1496, 1646}, {2805, 2955}, {4675, 4825}};

// 2.40 ms on each of the four cylinders.
constexpr int kPetrolTicks = 449;
// A warm reducer (54 °C) and a cold one (28 °C).
constexpr int kTredWarm = 60;
constexpr int kTredCold = 120;

const std::string kReadState = Req({0x21, 0x21});
const std::string kStop = Req({0x20, 0x00});
const std::string kReadWorkState = Req({0x53, 0x05});

// START on a 3.0 "G" controller with the markers, flags and injector of the
// rig, up to and including WorkType 6.
std::vector<std::string> Start30Frames()
{
    std::vector<std::string> f{
        Req({0x52, 14, 0x00, 0x03}), // markers 0 and 1
        Req({0x16, 1, 0x04, 0x00}),  // multiplier 1.0
        Req({0x16, 2, 0x00, 0x96}),  // offset 0.8 ms
        Req({0x16, 11, 0x04, 0x00}), // correction multiplier 1.0
        Req({0x16, 12, 0x00, 0x00}), // correction offset
        Req({0x16, 13, 0x00, 0x00}), // correction mask
    };
    for (const auto &s : PointSets(kDefaultPoints))
        f.push_back(s);
    // Idle points (3.0, 3.8) and (6.0, 6.8) ms.
    f.push_back(Req({0xC1, 0x02, 0x31, 0x02, 0xC7, 0x04, 0x62, 0x04, 0xF8}));
    f.push_back(Req({0x08, 37, 0x01})); // the model used at idle
    // The idle time capture: petrol immediately, one live poll of a "G".
    f.push_back(Req({0x20, 0x05}));
    f.push_back(Req({0x0B, 0x0B}));
    f.push_back(Req({0x40, 41}));
    f.push_back(Req({0x64, 0xA5}));
    f.push_back(Req({0x40, 40}));
    f.push_back(Req({0x52, 14, 0x00, 0x03})); // marker 2 cleared
    f.push_back(Req({0x08, 31, 0x00}));       // adaptation off
    f.push_back(Req({0x52, 8, 0x01, 0xC1}));  // idle hot Tb 2.4 ms = 449 ticks
    f.push_back(Req({0x20, 0x03}));
    f.push_back(Req({0x20, 0x06}));
    return f;
}

// What the end of a 3.0 run reads before judging.
std::vector<std::string> ResultReadFrames()
{
    return {Req({0x12, 1}), Req({0x12, 2}), Req({0x07, 37}), Req({0xC0, 0x00}), Req({0xD4, 0x00}), Req({0xD4, 0x01})};
}

std::vector<std::string> Repeat(const std::string &frame, std::size_t n)
{
    return std::vector<std::string>(n, frame);
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> all;
    for (const auto &p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

uint8_t CodeOf(const std::string &frame)
{
    return static_cast<uint8_t>(std::stoul(frame.substr(3, 2), nullptr, 16));
}

struct Step
{
    TAutoCalPage page;
    int gaugeWithout, gaugeWith, bar;
};

// A controller with four injectors at idle, warm, the petrol times pinned,
// and the test's answers, waits and cancel wired into the run.
struct Rig
{
    explicit Rig(sim::SimulatorOptions options = testsupport::SimSetup::Controller(), double gasFactor = 1.0)
        : line(std::move(options))
    {
        TNorviData &d = line.Data();
        if (!ReadGenerationConfiguration(line.Manager()))
            throw std::runtime_error("no configuration from the simulator");
        d.InjSW = 4;
        d.InjMask = 15;
        d.FuelType = 0;
        if (d.VersionCode == 0x30)
            d.InjTypeName = 5;
        if (!WriteGenerationConfiguration(line.Manager()))
            throw std::runtime_error("the simulator did not take the configuration");
        line.Control("engine idle");
        for (int i = 1; i <= 4; ++i)
            line.Control("set petrol " + std::to_string(i) + " " + std::to_string(kPetrolTicks));
        line.Control("set tred " + std::to_string(kTredWarm));
        line.Control("gasfactor " + std::to_string(gasFactor));
        if (!ReadGenerationConfiguration(line.Manager()) || !line.Manager().PollCycle(pmReadings))
            throw std::runtime_error("no configuration and readings from the simulator");
        // Known flags, so the frames START sends are known.
        d.Markers = 0;
        d.Flags37 = d.UseOnIdleModel = d.TredBelowAndLoad = d.RPMWireNotConnect = d.FuelOverlap = d.GasInjHeating =
            d.PreinjectionProcessDuringCutOff = 0;
        d.Flags31 = d.RpmBelow = d.RpmAbove = d.LoadPAbove = d.PreinjMode = d.AlWorkOnGas = d.RisingT =
            d.AdaptationMode = d.TgasBelow = 0;
        d.Model_OBDAdaptCorrConfig = 0;
        line.NewRequests();

        io.Ask = [this](const TQuestion &q) {
            asked.push_back(q.Text);
            if (answers.empty())
                return TAnswer::Yes;
            const TAnswer a = answers.front();
            answers.pop_front();
            return a;
        };
        io.ShowError = [this](const std::string &text) { errors.push_back(text); };
        io.Wait = [this](std::chrono::milliseconds ms) { waits.push_back(ms); };
        io.Text = KeyText;
        run.Wait = io.Wait;
        run.CancelRequested = [this] { return cancelAfterReads >= 0 && reads >= cancelAfterReads; };
        run.ConfirmLoad = [this] {
            ++loadAsked;
            return loadAnswer;
        };
        run.OnStep = [this](const TAutoCalibration &cal) {
            const TAutoCalView &v = cal.View();
            steps.push_back({v.Page, v.GaugeWithoutLoad, v.GaugeWithLoad, v.Bar});
            if (onStep)
                onStep(cal, steps.size() - 1);
            ++reads; // the first step follows START, each later one a read
        };
    }

    TAutoCalOutcome Run()
    {
        cal = std::make_unique<TAutoCalibration>(line.Manager(), io);
        reads = -1;
        return RunAutoCalibration(*cal, line.Manager(), run);
    }

    std::vector<std::string> Frames() { return line.NewRequests(); }

    ConfigLine line;
    TAutoCalIo io;
    TAutoCalRunIo run;
    std::unique_ptr<TAutoCalibration> cal;
    std::deque<TAnswer> answers;
    TAnswer loadAnswer = TAnswer::Yes;
    int loadAsked = 0;
    std::vector<std::string> asked, errors;
    std::vector<std::chrono::milliseconds> waits;
    std::vector<Step> steps;
    std::function<void(const TAutoCalibration &, std::size_t)> onStep;
    int cancelAfterReads = -1;
    int reads = 0;
};

const char *kIdleQuestion = "<strSaveTb> <strContinue>";

// The car takes a pinned reading with its next step.
void SetTred(Rig &rig, int raw)
{
    rig.line.Control("set tred " + std::to_string(raw));
    rig.line.Control("step");
}

} // namespace

TEST(AutoCal30, AWholeRunWithAndWithoutLoadEndsInTheModelOfTheMeasuredIdlePoints)
{
    Rig rig;
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Completed);
    const TAutoCalView &v = rig.cal->View();
    const auto frames = rig.Frames();

    // 20 reads without load, the load step, 17 reads with it.
    const auto startAndRun = Concat({Start30Frames(),
                                     Repeat(kReadState, 20),
                                     {Req({0x20, 0x07})},
                                     Repeat(kReadState, 17),
                                     ResultReadFrames(),
                                     {Req({0x52, 14, 0x00, 0x0F}), kStop, kReadWorkState}});
    ASSERT_GT(frames.size(), startAndRun.size());
    EXPECT_EQ(std::vector<std::string>(frames.begin(), frames.begin() + startAndRun.size()), startAndRun);

    // Then the configuration, then the model: multiplier 0.9300 (952),
    // offset 0.8 ms and the points from the midpoint of (2.401, 3.203) and
    // (2.930, 3.733) ms, also as the adapted set.
    const Ticks model{{0, 150},     {249, 399},   {499, 649},   {997, 1216},
                      {1496, 1613}, {1994, 1952}, {2493, 2406}, {4675, 4346}};
    const auto modelFrames = Concat({{Req({0x16, 1, 0x03, 0xB8}), Req({0x16, 2, 0x00, 0x96})}, PointSets(model)});
    ASSERT_GT(frames.size(), startAndRun.size() + modelFrames.size());
    const auto tail =
        std::vector<std::string>(frames.end() - static_cast<std::ptrdiff_t>(modelFrames.size()), frames.end());
    EXPECT_EQ(tail, modelFrames);
    const auto config = std::vector<std::string>(frames.begin() + static_cast<std::ptrdiff_t>(startAndRun.size()),
                                                 frames.end() - static_cast<std::ptrdiff_t>(modelFrames.size()));
    EXPECT_GE(config.size(), 20u);
    EXPECT_EQ(std::count_if(config.begin(), config.end(), [](const auto &f) { return CodeOf(f) == 0xD9; }), 1);
    for (const auto &f : config)
        EXPECT_TRUE(CodeOf(f) == 0x08 || CodeOf(f) == 0x52 || CodeOf(f) == 0xD9 || CodeOf(f) == 0x15) << f;

    EXPECT_EQ(v.Page, TAutoCalPage::Result);
    EXPECT_EQ(v.Verdict, TNozzleVerdict::Good);
    EXPECT_NEAR(v.Ratio, 1.000802, 1e-6);
    EXPECT_EQ(v.Info1, msg::strNok);
    EXPECT_TRUE(v.Info2.empty());
    EXPECT_TRUE(v.FinishEnabled);
    EXPECT_FALSE(v.StopEnabled);
    ASSERT_TRUE(v.Model);
    EXPECT_EQ(v.Model->MultSpinner, -7);
    EXPECT_EQ(v.Model->OffsetSpinner, 8);
    EXPECT_EQ(v.IdleHotTbText, "2,40");
    EXPECT_EQ(rig.line.Data().Markers, 0x000F);
    EXPECT_FALSE(rig.cal->Active());
    EXPECT_EQ(rig.line.Manager().RequestedWorkType, TWorkType::Stop);

    // The page followed the controller step by step.
    ASSERT_EQ(rig.steps.size(), 1u + 37u);
    EXPECT_EQ(rig.steps[0].page, TAutoCalPage::Start);
    for (int i = 1; i <= 19; ++i) {
        EXPECT_EQ(rig.steps[i].page, TAutoCalPage::ProgressWithoutLoad) << i;
        EXPECT_EQ(rig.steps[i].gaugeWithout, i);
    }
    EXPECT_EQ(rig.steps[20].page, TAutoCalPage::WaitLoad);
    for (int i = 21; i <= 36; ++i) {
        EXPECT_EQ(rig.steps[i].page, TAutoCalPage::ProgressWithLoad) << i;
        EXPECT_EQ(rig.steps[i].gaugeWith, i - 20);
    }
    EXPECT_EQ(rig.steps[37].page, TAutoCalPage::Result);
    EXPECT_EQ(v.GaugeWithoutLoadMax, 20);
    EXPECT_EQ(v.GaugeWithLoadMax, 17);

    EXPECT_EQ(rig.asked, std::vector<std::string>{kIdleQuestion});
    EXPECT_EQ(rig.loadAsked, 1);
    ASSERT_EQ(rig.waits.size(), 1u + 37u);
    EXPECT_EQ(rig.waits[0], std::chrono::milliseconds(2000));
    EXPECT_EQ(rig.waits[1], kAutoCalPollInterval);
    EXPECT_TRUE(rig.line.Violations().empty()) << ::testing::PrintToString(rig.line.Violations());
}

TEST(AutoCal30, AColdReducerKeepsThePageOnTheConditionsUntilItWarms)
{
    Rig rig;
    rig.onStep = [&rig](const TAutoCalibration &, std::size_t step) {
        if (step == 0)
            SetTred(rig, kTredCold);
        if (step == 2)
            SetTred(rig, kTredWarm);
    };
    rig.cancelAfterReads = 4;
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Cancelled);
    ASSERT_GE(rig.steps.size(), 5u);
    EXPECT_EQ(rig.steps[1].page, TAutoCalPage::WaitConditions);
    EXPECT_EQ(rig.steps[2].page, TAutoCalPage::WaitConditions);
    EXPECT_EQ(rig.steps[3].page, TAutoCalPage::ProgressWithoutLoad);
    EXPECT_EQ(rig.steps[3].gaugeWithout, 1);
}

TEST(AutoCal30, AnErrorOfTheControllerAsksAndEndsWithTheErrorText)
{
    Rig rig;
    rig.onStep = [&rig](const TAutoCalibration &, std::size_t step) {
        if (step == 3)
            rig.line.Control("calibration fail");
    };
    // The first question about stopping is declined: the page goes on
    // following the controller, which asks again at the next read.
    rig.answers = {TAnswer::Yes, TAnswer::No, TAnswer::Yes};
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Error);
    const auto frames = rig.Frames();
    EXPECT_EQ(frames, Concat({Start30Frames(), Repeat(kReadState, 5), {kStop, kReadWorkState}}));
    EXPECT_EQ(rig.asked, (std::vector<std::string>{kIdleQuestion, "<strQAutocalCancel>", "<strQAutocalCancel>"}));
    const TAutoCalView &v = rig.cal->View();
    EXPECT_EQ(v.Page, TAutoCalPage::Result);
    EXPECT_EQ(v.Info1, msg::strCalInfo_ERR);
    EXPECT_FALSE(v.FinishEnabled);
    EXPECT_FALSE(v.Model);
    EXPECT_EQ(rig.loadAsked, 0);
}

TEST(AutoCal30, CancelStopsTheControllerWithoutAQuestion)
{
    Rig rig;
    rig.cancelAfterReads = 3;
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Cancelled);
    EXPECT_EQ(rig.Frames(), Concat({Start30Frames(), Repeat(kReadState, 3), {kStop, kReadWorkState}}));
    EXPECT_EQ(rig.asked, std::vector<std::string>{kIdleQuestion});
    EXPECT_EQ(rig.cal->View().Info1, msg::strCalInfo_ERR);
    EXPECT_NE(rig.line.Control("state").find("WorkState 0"), std::string::npos);
}

TEST(AutoCal30, DecliningTheLoadStepStopsTheRun)
{
    Rig rig;
    rig.loadAnswer = TAnswer::No;
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Cancelled);
    EXPECT_EQ(rig.Frames(), Concat({Start30Frames(), Repeat(kReadState, 20), {kStop, kReadWorkState}}));
}

TEST(AutoCal30, NozzlesOutOfReachEndAfterThePhaseWithoutLoadWithAModelFromTheFirstIdlePoint)
{
    Rig rig(testsupport::SimSetup::Controller(), 1.5);
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Completed);
    const TAutoCalView &v = rig.cal->View();
    EXPECT_EQ(v.Verdict, TNozzleVerdict::TooSmall);
    EXPECT_EQ(v.Info1, msg::strNToL);
    EXPECT_EQ(v.Info2, msg::strNChange);
    EXPECT_NEAR(v.Ratio, 1.502004, 1e-6);
    EXPECT_EQ(rig.loadAsked, 0);
    // P1 (2.401, 4.406) ms as measured; P2 one millisecond right on the line
    // through the offset: (3.401, 5.908) ms, written before the end.
    const auto expected =
        Concat({Start30Frames(),
                Repeat(kReadState, 20),
                ResultReadFrames(),
                {Req({0xC1, 0x01, 0xC1, 0x03, 0x38, 0x02, 0x7C, 0x04, 0x51}), kStop, kReadWorkState}});
    const auto frames = rig.Frames();
    ASSERT_GT(frames.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(expected.size())),
              expected);
    const Ticks model{{0, 150},     {271, 557},   {543, 964},   {1085, 1886},
                      {1628, 2542}, {2170, 3102}, {2712, 3844}, {4675, 6454}};
    const auto modelFrames = Concat({{Req({0x16, 1, 0x05, 0x98}), Req({0x16, 2, 0x00, 0x96})}, PointSets(model)});
    EXPECT_EQ(std::vector<std::string>(frames.end() - static_cast<std::ptrdiff_t>(modelFrames.size()), frames.end()),
              modelFrames);
    // The markers do not claim a completed autocalibration.
    EXPECT_EQ(rig.line.Data().Markers & 0x0C, 0);
    EXPECT_DOUBLE_EQ(rig.cal->IdlePoints().P2X, 449 / 187.0 + 1.0);
}

TEST(AutoCal30, NozzlesTooLargeAreJudgedSo)
{
    Rig rig(testsupport::SimSetup::Controller(), 0.5);
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Completed);
    EXPECT_EQ(rig.cal->View().Verdict, TNozzleVerdict::TooLarge);
    EXPECT_EQ(rig.cal->View().Info1, msg::strNToH);
}

TEST(AutoCal30, AResultWithoutAnIdlePointIsAnErrorAndWritesNothing)
{
    Rig rig;
    // While the controller waits for the load, the model is changed behind
    // the page: not used at idle, and its third point has no petrol time.
    rig.onStep = [&rig](const TAutoCalibration &cal, std::size_t) {
        if (cal.View().Page != TAutoCalPage::WaitLoad)
            return;
        TDataManager &m = rig.line.Manager();
        m.Data().Model2SetA[2] = {0, 300};
        if (!m.WriteByteParam(37, 0) || !m.WriteModel2SetA(0))
            throw std::runtime_error("the simulator did not take the model");
    };
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Error);
    const auto frames = rig.Frames();
    ASSERT_GE(frames.size(), 9u);
    // After the reads, only the end.
    EXPECT_EQ(std::vector<std::string>(frames.end() - 8, frames.end()),
              Concat({ResultReadFrames(), {kStop, kReadWorkState}}));
    EXPECT_EQ(rig.cal->View().Info1, msg::strCalInfo_ERR);
    EXPECT_FALSE(rig.cal->View().Model);
    EXPECT_EQ(rig.line.Data().Markers & 0x0C, 0);
}

TEST(AutoCal30, WithoutWritingTheResultOnlyTheEndIsSent)
{
    Rig rig;
    rig.io.WriteResult = false;
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Completed);
    EXPECT_EQ(rig.Frames(), Concat({Start30Frames(),
                                    Repeat(kReadState, 20),
                                    {Req({0x20, 0x07})},
                                    Repeat(kReadState, 17),
                                    ResultReadFrames(),
                                    {kStop, kReadWorkState}}));
    ASSERT_TRUE(rig.cal->View().Model);
    EXPECT_EQ(rig.cal->View().Verdict, TNozzleVerdict::Good);
}

TEST(AutoCal30, AFailedWriteInTheStartNamesItsStepAndSendsNothingAfterIt)
{
    Rig rig;
    rig.line.AddFault("silence@C1:1");
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::NotStarted);
    EXPECT_EQ(rig.cal->StartStop(), TAutoCalStartStop::WriteFailed);
    EXPECT_EQ(rig.cal->LastWrite().FailedStep, "WriteModelPoints");
    EXPECT_EQ(rig.cal->LastWrite().StepsDone, 9u);
    const auto start = Start30Frames();
    EXPECT_EQ(rig.Frames(), std::vector<std::string>(start.begin(), start.begin() + 11));
    EXPECT_FALSE(rig.cal->Active());
}

TEST(AutoCal30, AFailedWriteOfTheResultIsReported)
{
    Rig rig;
    rig.onStep = [&rig](const TAutoCalibration &cal, std::size_t) {
        if (cal.View().Page == TAutoCalPage::WaitLoad)
            rig.line.AddFault("silence@D5:1");
    };
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::WriteFailed);
    EXPECT_EQ(rig.cal->LastWrite().FailedStep, "WriteModel2SetA(0)");
    const auto frames = rig.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(CodeOf(frames.back()), 0xD5);
}

TEST(AutoCal30, ALockedControllerIsNotStartedAndNothingIsSent)
{
    Rig rig;
    rig.line.Control("lock 0F");
    ASSERT_TRUE(rig.line.Manager().ReadLockState());
    rig.Frames();
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::NotStarted);
    EXPECT_EQ(rig.cal->StartStop(), TAutoCalStartStop::NotReady);
    EXPECT_TRUE(rig.Frames().empty());
}

TEST(AutoCal30, DecliningTheIdleTimeStopsTheStartBeforeTheControllerIsStarted)
{
    Rig rig;
    rig.answers = {TAnswer::No};
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::NotStarted);
    EXPECT_EQ(rig.cal->StartStop(), TAutoCalStartStop::IdleTbRefused);
    const auto start = Start30Frames();
    // Markers, default model, then the petrol work type of the capture.
    EXPECT_EQ(rig.Frames(), std::vector<std::string>(start.begin(), start.begin() + 13));
}

TEST(AutoCal30, TheObdAdaptationIsSwitchedOffBeforeTheMeasurement)
{
    Rig rig;
    rig.line.Data().Model_OBDAdaptCorrConfig = 0x03;
    rig.cancelAfterReads = 0;
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Cancelled);
    const auto frames = rig.Frames();
    ASSERT_GT(frames.size(), 13u);
    EXPECT_EQ(frames[12], Req({0x16, 104, 0x00, 0x02}));
    EXPECT_EQ(frames[13], Req({0x20, 0x05}));
    EXPECT_EQ(rig.line.Data().Model_OBDAdaptCorrConfig, 0x02);
}

TEST(AutoCalLegacy, AFullBarStopsTheRunAndOffersTheMap)
{
    Rig rig(testsupport::SimSetup::Controller(0x15, 'E'));
    rig.onStep = [&rig](const TAutoCalibration &, std::size_t step) {
        if (step == 0)
            SetTred(rig, kTredCold);
        if (step == 2)
            SetTred(rig, kTredWarm);
    };
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Completed);
    // Two reads with a cold reducer, then 19 steps.
    EXPECT_EQ(rig.Frames(), Concat({{Req({0x20, 0x03})}, Repeat(kReadState, 2 + 19), {kStop, Req({0x20, 0x02})}}));
    const TAutoCalView &v = rig.cal->View();
    EXPECT_TRUE(rig.steps[1].page == TAutoCalPage::WaitConditions);
    EXPECT_EQ(rig.steps[3].bar, 1);
    EXPECT_EQ(rig.steps[20].bar, 18);
    EXPECT_EQ(v.Bar, kLegacyBarSteps);
    EXPECT_FALSE(v.BarVisible);
    EXPECT_EQ(v.Info1, msg::strCalInfo_OK);
    EXPECT_TRUE(v.OpenMapPage);
    EXPECT_EQ(rig.asked, std::vector<std::string>{"<strCalInfo_MAP1>\r\n\r\n<strCalInfo_MAP2>"});
    EXPECT_EQ(rig.line.Manager().RequestedWorkType, TWorkType::Petrol);
}

TEST(AutoCalLegacy, TheControllersErrorStopsTheRunWithoutTheMap)
{
    Rig rig(testsupport::SimSetup::Controller(0x15, 'E'));
    rig.onStep = [&rig](const TAutoCalibration &, std::size_t step) {
        if (step == 4)
            rig.line.Control("calibration fail");
    };
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Error);
    EXPECT_EQ(rig.Frames(), Concat({{Req({0x20, 0x03})}, Repeat(kReadState, 5), {kStop}}));
    EXPECT_EQ(rig.cal->View().Info1, msg::strCalInfo_ERR);
    EXPECT_FALSE(rig.cal->View().OpenMapPage);
    EXPECT_TRUE(rig.asked.empty());
}

TEST(AutoCalLegacy, CancelSendsTheStop)
{
    Rig rig(testsupport::SimSetup::Controller(0x14, std::nullopt));
    rig.cancelAfterReads = 2;
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::Cancelled);
    EXPECT_EQ(rig.Frames(), Concat({{Req({0x20, 0x03})}, Repeat(kReadState, 2), {kStop}}));
    EXPECT_EQ(rig.cal->View().Info1, msg::strCalInfo_ERR);
}

TEST(AutoCalLink, ASilentControllerEndsTheRunAsLost)
{
    Rig rig;
    rig.onStep = [&rig](const TAutoCalibration &, std::size_t step) {
        if (step == 2)
            rig.line.AddFault("silence@*");
    };
    EXPECT_EQ(rig.Run(), TAutoCalOutcome::LinkLost);
    EXPECT_FALSE(rig.cal->Active());
    EXPECT_EQ(rig.cal->View().Info1, msg::strCalInfo_ERR);
}
