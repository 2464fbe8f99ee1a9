// The receive step and the transaction around it, over a real pty against
// the simulated controller.
#include "SimLink.h"

#include "controller/Frame.h"

#include <gtest/gtest.h>

#include <array>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

// Under the controller's locking strategy a thread that does not hold the
// port lock cannot release it: this shows no transaction left it taken.
void ExpectLockFree(TComMultiPort &port)
{
    EXPECT_THROW(port.Unlock(), EComPortError);
}

} // namespace

TEST(ReceiveRule, GoodAnswerBringsTheLinkUp)
{
    SimLink s(SimSetup::Controller(0x15, std::nullopt));
    s.Link().Port.Open();
    EXPECT_TRUE(s.Manager().ReadVersionCode());
    EXPECT_TRUE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().VersionCode, 0x15);
    ExpectLockFree(s.Link().Port);
}

TEST(ReceiveRule, WrongStartByteStopsAfterTheFirstByte)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    s.AddFault("bad-start@01:1");
    TComMultiPort &port = s.Link().Port;
    port.Open();
    const auto request = BuildRequest(0x01, std::array<uint8_t, 1>{0x01});
    unsigned written = 0;
    port.Write(request.data(), static_cast<unsigned>(request.size()), written);
    std::array<uint8_t, 4> answer{};
    EXPECT_FALSE(s.Manager().ReceiveAnswer(answer));
    port.Unlock(); // the write's lock; normally the transaction does this
    EXPECT_FALSE(s.Manager().LinkUp);
    // The receive step read only the first byte; the other three wait.
    std::array<uint8_t, 8> rest{};
    unsigned got = 0;
    ASSERT_TRUE(port.Read(rest.data(), static_cast<unsigned>(rest.size()), got));
    EXPECT_EQ(got, 3u);
}

TEST(ReceiveRule, TheTransactionThrowsAwayTheRestOfAFailedAnswer)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    s.AddFault("bad-start@01:1");
    s.Link().Port.Open();
    EXPECT_FALSE(s.Manager().ReadVersionCode());
    EXPECT_FALSE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().VersionCode, 0);
    ExpectLockFree(s.Link().Port);
    // Nothing of that answer is left for the next request to take as its own.
    std::array<uint8_t, 8> rest{};
    unsigned got = 0;
    ASSERT_TRUE(s.Link().Port.Read(rest.data(), static_cast<unsigned>(rest.size()), got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(s.Manager().ReadVersionCode());
    EXPECT_EQ(s.Data().VersionCode, 0x30);
}

TEST(ReceiveRule, ChecksumOffByOneZeroesTheBufferAndDropsTheLink)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    TComMultiPort &port = s.Link().Port;
    port.Open();
    const auto request = BuildRequest(0x01, std::array<uint8_t, 1>{0x01});
    auto exchange = [&](std::array<uint8_t, 4> &answer) {
        unsigned written = 0;
        port.Write(request.data(), static_cast<unsigned>(request.size()), written);
        answer.fill(0xAA);
        const bool ok = s.Manager().ReceiveAnswer(answer);
        port.Unlock(); // the write's lock; normally the transaction does this
        return ok;
    };

    std::array<uint8_t, 4> answer{};
    ASSERT_TRUE(exchange(answer));
    EXPECT_EQ(answer[0], 0xD0);
    EXPECT_EQ(answer[2], 0x30);
    EXPECT_TRUE(s.Manager().LinkUp);

    s.AddFault("bad-checksum@01:1");
    EXPECT_FALSE(exchange(answer));
    EXPECT_EQ(answer, (std::array<uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_FALSE(s.Manager().LinkUp);
    ExpectLockFree(port);
}

TEST(ReceiveRule, ShortAnswerFails)
{
    SimLink s(SimSetup::Controller(0x15, std::nullopt));
    ASSERT_TRUE(s.Connect());
    s.Data().PsysRaw = 123;
    s.AddFault("short@05:1");
    s.Manager().CycleError = false;
    EXPECT_FALSE(s.Manager().ReadLiveData());
    EXPECT_FALSE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().PsysRaw, 123); // first failing cycle: nothing stored
    ExpectLockFree(s.Link().Port);
}

TEST(ReceiveRule, SilentControllerFailsWithinTheFirstByteTimeout)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    s.AddFault("silence@01");
    EXPECT_FALSE(s.Manager().PollCycle(pmReadings));
    EXPECT_FALSE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().VersionCode, 0);
    ExpectLockFree(s.Link().Port);
}

TEST(ReceiveRule, NothingIsSentWhileTheLinkIsDownAndADeviceIsKnown)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.Connect());
    s.Manager().SetLinkUp(false);
    s.ClearTrace();
    EXPECT_FALSE(s.Manager().ReadLiveDataFull());
    EXPECT_FALSE(s.Manager().ReadPcol());
    EXPECT_EQ(s.Manager().ReadWordVar(40), 0);
    EXPECT_EQ(s.Manager().ReadMemWord(84), 0);
    s.Sync();
    EXPECT_EQ(s.BytesReceived(), 0u);
    ExpectLockFree(s.Link().Port);
}

TEST(ReceiveRule, PortThatWillNotOpenIsAMissingDevice)
{
    TControllerLink link;
    link.Port.SetDevicePath("/nonexistent/lumex-tty");
    link.Data.VersionCode = 0x30;
    EXPECT_FALSE(link.Manager.PollCycle(pmReadings));
    EXPECT_EQ(link.Data.VersionCode, 0);
    EXPECT_FALSE(link.Manager.LinkUp);
    EXPECT_TRUE(link.Manager.PreviousCycleFailed);
    EXPECT_EQ(link.Manager.FailedCycles, 1u);
}
