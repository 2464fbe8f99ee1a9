// Capturing the idle hot petrol time: the arithmetic, and the sequence
// against the simulated controller with pinned petrol times and reducer
// temperature.
#include "ConfigLine.h"

#include "configuration/IdleTbCapture.h"
#include "controller/ConfigurationIO.h"
#include "controller/Conversions.h"
#include "controller/LockState.h"

#include <gtest/gtest.h>

using namespace lumex;
using configtest::ConfigLine;
using configtest::KeyText;

namespace {

// SetWorkType(5): C0 20 05, checksum E5.
const std::string kPetrolImmediately = "C0 20 05 E5";
// The 3.0 "G" live block request.
const std::string kReadLiveFull = "C0 0B 0B D6";

// Petrol times in ticks for 2.34, 2.38, 2.41 and 2.45 ms.
constexpr int kPetrolTicks[] = {438, 445, 451, 458};

// Raw reducer codes around 50 degrees: 50.29 and 49.77.
constexpr int kTred50_3 = 67;
constexpr int kTred49_8 = 68;

// Four petrol injectors configured, written through the link as the pages do.
void ConfigureFourInjectors(ConfigLine &line)
{
    if (!ReadGenerationConfiguration(line.Manager()))
        throw std::runtime_error("the simulator did not give its configuration");
    line.Data().InjSW = 4;
    line.Data().InjMask = 15;
    if (!WriteGenerationConfiguration(line.Manager()))
        throw std::runtime_error("the simulator did not take the configuration");
}

struct Capture
{
    explicit Capture(int tredRaw)
    {
        ConfigureFourInjectors(line);
        line.Control("engine idle");
        for (int i = 0; i < 4; ++i)
            line.Control("set petrol " + std::to_string(i + 1) + " " + std::to_string(kPetrolTicks[i]));
        line.Control("set tred " + std::to_string(tredRaw));
        if (!ReadGenerationConfiguration(line.Manager()) || !line.Manager().PollCycle(pmReadings))
            throw std::runtime_error("the simulator did not give its configuration and readings");
        line.Data().IdleHotTb = 999;
        line.NewRequests();

        io.Ask = [this](const TQuestion &q) {
            asked.push_back(q);
            return answer;
        };
        io.ShowError = [this](const std::string &text) { errors.push_back(text); };
        io.Wait = [this](std::chrono::milliseconds ms) { waits.push_back(ms); };
        io.BeginBusy = [this] { ++busyBegun; };
        io.EndBusy = [this] { ++busyEnded; };
        io.DecimalSeparator = ',';
        io.Text = KeyText;
    }

    TIdleTbResult Run() { return CaptureIdleHotTb(line.Manager(), text, io); }

    ConfigLine line;
    TIdleTbCaptureIo io;
    TAnswer answer = TAnswer::Yes;
    std::string text = "9,99";
    std::vector<TQuestion> asked;
    std::vector<std::string> errors;
    std::vector<std::chrono::milliseconds> waits;
    int busyBegun = 0, busyEnded = 0;
};

} // namespace

TEST(IdleHotTbArithmetic, TruncatesToTenthsBeforeConvertingToTicks)
{
    EXPECT_EQ(IdleHotTbTicks(2.395), 430);
    EXPECT_EQ(IdleHotTbTicks(2.4), 449); // 448.8, and 2.4 must not drop to 2.3
    EXPECT_EQ(IdleHotTbTicks(2.3999), 430);
    EXPECT_EQ(IdleHotTbTicks(0.0), 0);
    EXPECT_EQ(IdleHotTbText(430, ','), "2,30");
    EXPECT_EQ(IdleHotTbText(430, '.'), "2.30");
    EXPECT_TRUE(ReducerWarmForIdleTb(50.0));
    EXPECT_FALSE(ReducerWarmForIdleTb(49.9));
}

TEST(IdleHotTbCapture, AveragesThePetrolTimesOfTheConfiguredInjectors)
{
    Capture c(kTred50_3);
    ASSERT_EQ(c.line.Data().InjSW, 4);
    const TIdleTbResult r = c.Run();
    EXPECT_TRUE(r.Ok);
    EXPECT_EQ(r.Outcome, TIdleTbOutcome::Captured);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(c.line.Data().PetrolTime[i], kPetrolTicks[i]);
    EXPECT_EQ(c.line.Data().IdleHotTb, 430);
    EXPECT_EQ(c.text, "2,30");

    ASSERT_EQ(c.asked.size(), 1u);
    EXPECT_EQ(c.asked[0].Text, "<strSaveTb> <strContinue>");
    EXPECT_EQ(c.asked[0].Caption, "<strContinueNow>");
    EXPECT_EQ(c.waits, std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(2000)});
    EXPECT_EQ(c.busyBegun, 1);
    EXPECT_EQ(c.busyEnded, 1);
    const auto frames = c.line.NewRequests();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0], kPetrolImmediately);
    EXPECT_EQ(frames[1], kReadLiveFull);
    EXPECT_TRUE(c.line.Violations().empty());
}

TEST(IdleHotTbCapture, ACoolOrSilentReducerIsRefusedAndChangesNothing)
{
    const struct
    {
        int raw;
        TIdleTbOutcome outcome;
    } cases[] = {{kTred49_8, TIdleTbOutcome::TredTooLow}, {0, TIdleTbOutcome::NoTredReading}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.raw);
        Capture c(k.raw);
        const TIdleTbResult r = c.Run();
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.Outcome, k.outcome);
        EXPECT_EQ(c.errors, std::vector<std::string>{"<strTredLow> <strNoSaveTryAgain>"});
        EXPECT_EQ(c.line.Data().IdleHotTb, 999);
        EXPECT_EQ(c.text, "9,99");
        EXPECT_TRUE(c.waits.empty());
        EXPECT_EQ(c.busyEnded, 1);
        EXPECT_EQ(c.line.NewRequests(), std::vector<std::string>{kPetrolImmediately});
    }
}

TEST(IdleHotTbCapture, DeclinedQuestionChangesNothing)
{
    Capture c(kTred50_3);
    c.answer = TAnswer::No;
    const TIdleTbResult r = c.Run();
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Outcome, TIdleTbOutcome::Declined);
    EXPECT_EQ(c.line.Data().IdleHotTb, 999);
    EXPECT_EQ(c.text, "9,99");
    EXPECT_TRUE(c.errors.empty());
    EXPECT_TRUE(c.waits.empty());
    EXPECT_EQ(c.busyEnded, 1);
    EXPECT_EQ(c.line.NewRequests(), std::vector<std::string>{kPetrolImmediately});
}

TEST(IdleHotTbCapture, ALockedControllerGetsNothing)
{
    Capture c(kTred50_3);
    c.line.Control("lock 0F");
    ASSERT_TRUE(c.line.Manager().ReadLockState());
    ASSERT_EQ(c.line.Data().LockState, kLockLocked);
    c.line.NewRequests();
    const TIdleTbResult r = c.Run();
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Outcome, TIdleTbOutcome::Locked);
    EXPECT_TRUE(c.asked.empty());
    EXPECT_EQ(c.busyBegun, 0);
    EXPECT_TRUE(c.line.NewRequests().empty());
}

TEST(IdleHotTbCapture, AFailedPollStoresNothing)
{
    Capture c(kTred50_3);
    c.line.AddFault("silence@0B:1");
    const TIdleTbResult r = c.Run();
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.Outcome, TIdleTbOutcome::PollFailed);
    EXPECT_EQ(c.line.Data().IdleHotTb, 999);
    EXPECT_EQ(c.text, "9,99");
    EXPECT_EQ(c.busyEnded, 1);
}
