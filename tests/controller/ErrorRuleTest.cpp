// The two-cycle error rule over a real pty against the simulated controller.
#include "SimLink.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

struct Readings
{
    uint8_t psys, tred, supply;
    uint16_t period;
    std::array<int32_t, 8> petrol;
};

Readings Take(const TNorviData &d)
{
    return {d.PsysRaw, d.TredRaw, d.SupplyRaw, d.RpmPeriod, d.PetrolTime};
}

bool Same(const Readings &a, const Readings &b)
{
    return a.psys == b.psys && a.tred == b.tred && a.supply == b.supply && a.period == b.period && a.petrol == b.petrol;
}

// Connects and runs cycles until one has read live data.
void ConnectAndRead(SimLink &s)
{
    ASSERT_TRUE(s.Connect());
    ASSERT_TRUE(s.Manager().PollCycle(pmReadings));
    ASSERT_NE(s.Data().SupplyRaw, 0) << "the simulated engine should report a supply voltage";
}

} // namespace

TEST(ErrorRule, ValuesKeptInFirstFailingCycleAndZeroInTheSecond)
{
    SimLink s(SimSetup::Controller(0x15, std::nullopt));
    ConnectAndRead(s);
    const Readings before = Take(s.Data());

    // First failing cycle: the live block fails, everything keeps its value.
    s.AddFault("bad-checksum@05:1");
    EXPECT_FALSE(s.Manager().PollCycle(pmReadings));
    EXPECT_EQ(s.Manager().FailedCycles, 1u);
    EXPECT_TRUE(Same(Take(s.Data()), before));

    // Second: the reconnection fails too, and a reading taken now (a user
    // action between cycles counts toward this cycle) stores zeros.
    s.AddFault("silence@01:1");
    s.AddFault("silence@05:1");
    EXPECT_FALSE(s.Manager().PollCycle(pmReadings));
    EXPECT_EQ(s.Manager().FailedCycles, 2u);
    EXPECT_FALSE(s.Manager().ReadLiveData());
    const Readings after = Take(s.Data());
    EXPECT_EQ(after.psys, 0);
    EXPECT_EQ(after.supply, 0);
    EXPECT_EQ(after.period, 0);
    EXPECT_EQ(after.petrol, (std::array<int32_t, 8>{}));

    // A good cycle resets the count.
    EXPECT_TRUE(s.Manager().PollCycle(pmReadings));
    EXPECT_EQ(s.Manager().FailedCycles, 0u);
    EXPECT_TRUE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().VersionCode, 0x15);
}

TEST(ErrorRule, RestOfAFailingCycleNeitherWaitsNorSends)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ConnectAndRead(s);
    s.ClearTrace();
    s.AddFault("silence@0B:1");
    EXPECT_FALSE(s.Manager().PollCycle(pmReadings));
    // The failed live read is the last frame of the cycle.
    s.Sync();
    EXPECT_EQ(s.Requests(), (std::vector<std::string>{"C0 0B 0B D6"}));
}

TEST(ErrorRule, AbandonCountsEachCycleOnce)
{
    TControllerLink link;
    TDataManager &m = link.Manager;
    EXPECT_FALSE(m.AbandonOnFailure(true));
    EXPECT_FALSE(m.CycleError);
    EXPECT_TRUE(m.AbandonOnFailure(false));
    EXPECT_TRUE(m.AbandonOnFailure(false));
    EXPECT_EQ(m.FailedCycles, 1u);
    m.CycleError = false; // next cycle
    EXPECT_FALSE(m.AbandonOnFailure(false));
    EXPECT_EQ(m.FailedCycles, 2u);
}
