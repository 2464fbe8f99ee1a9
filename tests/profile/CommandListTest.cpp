// A program with a command list against the simulated controller: what is
// not on the list never reaches the line, and a generation the program does
// not serve is refused once it has identified itself.
#include "../controller/SimLink.h"

#include "controller/CommandCodes.h"
#include "controller/CommandTable.h"
#include "profile/ProgramProfile.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

SimLink &AsNorvi(SimLink &s)
{
    s.Manager().SetProfile(NorviProfile());
    s.Link().Port.ApplyControllerSettings(NorviProfile().Port);
    return s;
}

uint8_t CodeOf(const std::string &request)
{
    // "C0 17 00 D7": the code is the second byte.
    return static_cast<uint8_t>(std::stoul(request.substr(3, 2), nullptr, 16));
}

std::vector<std::string> RequestsOutside(const std::vector<std::string> &requests, const TProgramProfile &profile)
{
    std::vector<std::string> outside;
    for (const auto &r : requests)
        if (!profile.AllowsCommand(CodeOf(r)))
            outside.push_back(r);
    return outside;
}

TEST(CommandList, RefusedCommandSendsNothingAndLeavesTheLinkUp)
{
    SimLink s(SimSetup::Controller(0x15, 'E'));
    AsNorvi(s);
    ASSERT_TRUE(s.ConnectClean());

    // The injector parameters (0x17) exist on the controller but not for
    // this program.
    EXPECT_THROW(s.Manager().ReadInjectorParams(), ECommandNotAllowed);
    try {
        s.Manager().Transact(cmd::ReadInjectorParams, {0x00}, nullptr);
        FAIL() << "no refusal";
    } catch (const ECommandNotAllowed &e) {
        EXPECT_EQ(e.Code(), cmd::ReadInjectorParams);
        EXPECT_NE(std::string(e.what()).find("0x17"), std::string::npos);
    }
    s.Sync();
    EXPECT_TRUE(s.Requests().empty());
    EXPECT_EQ(s.BytesReceived(), 0u);

    // The link is untouched: the next allowed request goes out and succeeds.
    EXPECT_TRUE(s.Manager().LinkUp);
    EXPECT_TRUE(s.Manager().ReadLockState());
    s.Sync();
    EXPECT_EQ(s.Requests(), std::vector<std::string>{"C0 3F 00 FF"});
}

TEST(CommandList, EveryCommandOffTheListIsRefused)
{
    SimLink s(SimSetup::Controller(0x15, 'E'));
    AsNorvi(s);
    ASSERT_TRUE(s.ConnectClean());
    std::size_t refused = 0;
    for (const CommandInfo &entry : CommandTable()) {
        if (NorviProfile().AllowsCommand(entry.code))
            continue;
        const std::vector<uint8_t> params(entry.requestLength - 3, 0);
        EXPECT_THROW(s.Manager().Transact(entry.code, params, nullptr), ECommandNotAllowed) << int(entry.code);
        ++refused;
    }
    EXPECT_GT(refused, 30u);
    s.Sync();
    EXPECT_EQ(s.BytesReceived(), 0u);
}

TEST(CommandList, ConnectingToA15StaysOnTheList)
{
    SimLink s(SimSetup::Controller(0x15, 'E'));
    AsNorvi(s);
    ASSERT_TRUE(s.Connect());
    EXPECT_TRUE(s.Manager().PollCycle(pmReadings));
    s.Sync();
    EXPECT_GT(s.Requests().size(), 8u);
    EXPECT_EQ(RequestsOutside(s.Requests(), NorviProfile()), std::vector<std::string>{});
}

TEST(CommandList, A30IsRefusedAfterIdentificationOnly)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    AsNorvi(s);
    EXPECT_FALSE(s.Connect());
    EXPECT_FALSE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().VersionCode, 0x30);
    s.Sync();
    // The version code and the version check's identification byte, nothing
    // after them.
    EXPECT_EQ(s.Requests(), (std::vector<std::string>{"C0 01 01 C2", "C0 53 00 13"}));

    // The same controller is served by the main configurator.
    SimLink other(SimSetup::Controller(0x30, 'G'));
    EXPECT_TRUE(other.Connect());
}

TEST(CommandList, UnsupportedVersionIsReportedWithItsDigits)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    AsNorvi(s);
    std::optional<std::string> reported;
    s.Manager().OnUnsupportedVersion = [&](const std::string &digits) { reported = digits; };
    ASSERT_FALSE(s.Connect());
    s.Manager().SetLinkUp(true);
    EXPECT_FALSE(s.Manager().CheckVersion(true));
    EXPECT_EQ(reported, std::optional<std::string>("30"));
}

TEST(PortProfile, NorviTimeoutsLockAndOpenFailureText)
{
    TComMultiPort port;
    port.ApplyControllerSettings(NorviProfile().Port);
    EXPECT_FALSE(port.ThreadSafe());
    EXPECT_EQ(port.Timeouts().IntervalTimeout(), 100u);
    EXPECT_EQ(port.Timeouts().ReadMultiplier(), 20u);
    EXPECT_EQ(port.Timeouts().ReadConstant(), 40u);
    EXPECT_EQ(port.Timeouts().WriteMultiplier(), 20u);
    EXPECT_EQ(port.Timeouts().WriteConstant(), 40u);

    port.SetDevicePath("/nonexistent/tty-for-norvi");
    try {
        port.Open();
        FAIL() << "opened a missing device";
    } catch (const EComPortError &e) {
        EXPECT_EQ(std::string(e.what()), "Error while opening port [code 2]");
    }

    TComMultiPort main;
    main.ApplyControllerSettings();
    EXPECT_TRUE(main.ThreadSafe());
    main.SetDevicePath("/nonexistent/tty-for-norvi");
    try {
        main.Open();
        FAIL() << "opened a missing device";
    } catch (const EComPortError &e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/tty-for-norvi [code 2]:\r\n"), std::string::npos);
    }
}

} // namespace
