// Which commands a poll cycle sends, by generation, letter, injector count
// and mode.
#include "SimLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

using Frames = std::vector<std::string>;

const char *kCorrMapCounters = "C0 40 28 28"; // word variable 40

Frames OneCycle(SimLink &s, int mode, bool expectOk = true)
{
    s.ClearTrace();
    EXPECT_EQ(s.Manager().PollCycle(mode), expectOk);
    s.Sync();
    return s.Requests();
}

} // namespace

TEST(PollCycle, FirstCycleAfterReconnectionReadsNothing)
{
    SimLink s(SimSetup::Controller(0x15, std::nullopt));
    const Frames first = OneCycle(s, pmReadings);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first.front(), "C0 01 01 C2");
    for (const auto &f : first)
        EXPECT_NE(f.substr(0, 5), "C0 05") << "live data read in the reconnecting cycle";
    EXPECT_FALSE(s.Manager().PreviousCycleFailed);
    EXPECT_EQ(OneCycle(s, pmReadings), (Frames{"C0 05 05 CA", "C0 22 22 04", kCorrMapCounters}));
}

TEST(PollCycle, Letter30GUsesTheSingleLiveBlock)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.Connect());
    EXPECT_EQ(OneCycle(s, pmReadings), (Frames{"C0 0B 0B D6", "C0 40 29 29", "C0 64 A5 C9", kCorrMapCounters}));
    EXPECT_NE(s.Data().SupplyRaw, 0);
}

TEST(PollCycle, Letter30FReadsBlocksAndTheWorkState)
{
    SimLink s(SimSetup::Controller(0x30, 'F'));
    ASSERT_TRUE(s.Connect());
    s.Data().InjSW = 4;
    EXPECT_EQ(OneCycle(s, pmReadings), (Frames{"C0 05 05 CA", "C0 22 22 04", "C0 53 05 18", kCorrMapCounters}));
}

TEST(PollCycle, FourInjectorsNeverAskForCylindersFiveToEight)
{
    SimLink s(SimSetup::Controller(0x15, std::nullopt));
    ASSERT_TRUE(s.Connect());
    s.Data().InjSW = 4;
    s.Data().PetrolTime[6] = 1234;
    s.Data().GasTime[6] = 1111;
    EXPECT_EQ(OneCycle(s, pmReadings), (Frames{"C0 05 05 CA", "C0 22 22 04", kCorrMapCounters}));
    EXPECT_EQ(s.Data().PetrolTime[6], 1234);
    EXPECT_EQ(s.Data().GasTime[6], 1111);
}

TEST(PollCycle, SixInjectorsReadTheSecondBlock)
{
    SimLink s(SimSetup::Controller(0x14, std::nullopt));
    ASSERT_TRUE(s.Connect());
    s.Data().InjSW = 6;
    EXPECT_EQ(OneCycle(s, pmReadings), (Frames{"C0 05 05 CA", "C0 06 06 CC", "C0 22 22 04", kCorrMapCounters}));
}

TEST(PollCycle, OtherModes)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.Connect());
    EXPECT_EQ(OneCycle(s, pmNone), (Frames{kCorrMapCounters}));

    // Without the calibration steps installed, modes 2 and 4 read only the counters.
    s.Manager().Extensions() = TLinkExtensions{};
    EXPECT_EQ(OneCycle(s, pmCalibration30), (Frames{kCorrMapCounters}));
    EXPECT_EQ(OneCycle(s, pmAdaptationBank1), (Frames{kCorrMapCounters}));
    std::vector<bool> calls;
    s.Manager().Extensions().ReadCalibrationState = [&calls](bool g3) {
        calls.push_back(g3);
        return true;
    };
    OneCycle(s, pmCalibration14);
    OneCycle(s, pmCalibration30);
    EXPECT_EQ(calls, (std::vector<bool>{false, true}));

    std::vector<int> banks;
    s.Manager().Extensions().ReadAdaptationBank = [&banks](int bank) {
        banks.push_back(bank);
        return true;
    };
    bool supported = false;
    s.Manager().Extensions().AdaptationSupported = [&supported] { return supported; };
    OneCycle(s, pmAdaptationBank1);
    supported = true;
    OneCycle(s, pmAdaptationBank1);
    OneCycle(s, pmAdaptationBank2);
    EXPECT_EQ(banks, (std::vector<int>{1, 2}));
}

TEST(PollCycle, CorrectionMapCountersAndLoadRow)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.Connect());
    s.Data().CorrMapCountA = 0xEE;
    s.Data().CorrMapCountB = 0xEE;
    ASSERT_TRUE(s.Manager().PollCycle(pmReadings));
    const uint16_t counters = s.Manager().ReadWordVar(40);
    EXPECT_EQ(s.Data().CorrMapCountA, counters & 0xFF);
    EXPECT_EQ(s.Data().CorrMapCountB, counters >> 8);
    EXPECT_TRUE(LoadRow(s.Data()).has_value());
}
