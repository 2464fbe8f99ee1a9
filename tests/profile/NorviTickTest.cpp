// The legacy program's tick against the simulated controller, with the
// legacy profile on the link: it connects, polls readings on the command
// list only, and stops for a controller made for another PC program.
#include "../controller/SimLink.h"

#include "legacy/NorviTick.h"
#include "profile/ProgramProfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

void UseNorviProfile(SimLink &s)
{
    s.Manager().SetProfile(NorviProfile());
    s.Link().Port.ApplyControllerSettings(NorviProfile().Port);
}

uint8_t CodeOf(const std::string &request)
{
    return static_cast<uint8_t>(std::stoul(request.substr(3, 2), nullptr, 16));
}

TEST(NorviTick, ConnectsThenPollsReadingsOnTheCommandList)
{
    SimLink s(SimSetup::Controller(0x15, 'E'));
    UseNorviProfile(s);
    TNorviTick tick(s.Manager());
    int postConnection = 0;
    tick.PostConnectionReads = [&] { ++postConnection; };

    EXPECT_EQ(tick.Interval(), TNorviTick::kIntervalDisconnected);
    TNorviTickReport first = tick.Run();
    EXPECT_TRUE(first.Ran);
    EXPECT_TRUE(s.Manager().LinkUp);
    EXPECT_FALSE(first.CommunicationError);
    EXPECT_FALSE(first.VersionIncompatible);

    TNorviTickReport second = tick.Run();
    EXPECT_TRUE(second.JustConnected);
    EXPECT_TRUE(second.CycleOk);
    EXPECT_EQ(postConnection, 1);
    EXPECT_EQ(tick.Interval(), TNorviTick::kIntervalConnected);
    EXPECT_FALSE(tick.Run().JustConnected);
    EXPECT_EQ(postConnection, 1);

    s.Sync();
    const auto requests = s.Requests();
    EXPECT_GT(requests.size(), 10u);
    for (const auto &r : requests)
        EXPECT_TRUE(NorviProfile().AllowsCommand(CodeOf(r))) << r;
    // Each connected tick reads the lock state and the live block.
    EXPECT_NE(std::find(requests.begin(), requests.end(), "C0 3F 00 FF"), requests.end());
    EXPECT_NE(std::find(requests.begin(), requests.end(), "C0 05 05 CA"), requests.end());
}

TEST(NorviTick, BusyTickSendsNothing)
{
    SimLink s(SimSetup::Controller(0x15, 'E'));
    UseNorviProfile(s);
    TNorviTick tick(s.Manager());
    ASSERT_TRUE(s.ConnectClean());
    tick.Busy = true;
    EXPECT_FALSE(tick.Run().Ran);
    s.Sync();
    EXPECT_EQ(s.BytesReceived(), 0u);
}

TEST(NorviTick, ForeignCompatibilityCodeEndsPolling)
{
    SimLink s(SimSetup::Controller(0x15, 'E'));
    UseNorviProfile(s);
    TNorviTick tick(s.Manager());
    ASSERT_TRUE(s.ConnectClean());
    s.Data().PcCompatCode = 2;
    const TNorviTickReport report = tick.Run();
    ASSERT_TRUE(report.FatalPcCompatCode.has_value());
    EXPECT_EQ(*report.FatalPcCompatCode, 2);
    EXPECT_TRUE(tick.Stopped());
    EXPECT_FALSE(tick.Run().Ran);
    s.Sync();
    EXPECT_EQ(s.BytesReceived(), 0u);
}

TEST(NorviTick, A30ShowsTheIncompatibilityPanelAndStaysDown)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    UseNorviProfile(s);
    TNorviTick tick(s.Manager());
    TNorviTickReport report = tick.Run();
    report = tick.Run();
    EXPECT_TRUE(report.VersionIncompatible);
    EXPECT_TRUE(report.CommunicationError);
    EXPECT_EQ(tick.Interval(), TNorviTick::kIntervalDisconnected);
    s.Sync();
    for (const auto &r : s.Requests())
        EXPECT_TRUE(r == "C0 01 01 C2" || r == "C0 53 00 13") << r;
}

} // namespace
