// The trouble-code and advanced pages' device side against the simulator:
// what is read, what is shown, and what a locked or silent controller gets.
#include "../controller/SimLink.h"

#include "controller/LockState.h"
#include "controller/TroubleCodes.h"
#include "mainwindow/AdvancedDiagnostics.h"
#include "mainwindow/TroubleCodeRead.h"

#include <gtest/gtest.h>

namespace lumex {
namespace {

using linktest::SimLink;

std::string Key(std::string_view key)
{
    return "<" + std::string(key) + ">";
}

std::vector<std::string> Lines(const std::vector<TTroubleLine> &from)
{
    std::vector<std::string> out;
    for (const auto &l : from)
        out.push_back(l.Line);
    return out;
}

TEST(TroubleCodes, ClassesFollowTheTableAndTheConfigurationFlags)
{
    std::array<uint8_t, 16> flags{};
    flags[2] = 0x41; // group 3: E1031 and E1037
    const auto codes = DecodeTroubleCodes(flags, {});
    ASSERT_EQ(codes.Active.size(), 2u);
    EXPECT_EQ(TroublePrefix(codes.Active[0]), "E1031: (ERROR) ");
    EXPECT_EQ(TroubleMessageKey(codes.Active[0]), "err20");
    EXPECT_EQ(TroublePrefix(codes.Active[1]), "E1037: (INFO) ");
    EXPECT_EQ(TroubleMessageKey(codes.Active[1]), "err26");
    EXPECT_TRUE(codes.Stored.empty());

    EXPECT_EQ(TroubleClassOf(1, 2, {1, 0}), TTroubleClass::Info);
    EXPECT_EQ(TroubleClassOf(1, 2, {0, 0}), TTroubleClass::Error);
    EXPECT_EQ(TroubleClassOf(1, 2, {2, 0}), TTroubleClass::Error); // only 1 means a hemi engine
    EXPECT_EQ(TroubleClassOf(4, 4, {0, 1}), TTroubleClass::Info);
    EXPECT_EQ(TroubleClassOf(4, 4, {0, 0}), TTroubleClass::Error);
    EXPECT_EQ(TroubleClassOf(4, 3, {1, 1}), TTroubleClass::Error);
    EXPECT_EQ(TroubleClassOf(4, 5, {}), TTroubleClass::Info);
    EXPECT_EQ(TroubleClassOf(2, 8, {1, 1}), TTroubleClass::Error);

    flags = {};
    flags[8 + 3] = 0x80; // stored E1048
    const auto stored = DecodeTroubleCodes(flags, {});
    ASSERT_EQ(stored.Stored.size(), 1u);
    EXPECT_EQ(TroubleCodeName(stored.Stored[0]), "E1048");
    EXPECT_EQ(TroubleMessageKey(stored.Stored[0]), "err37");
}

TEST(TroubleCodes, FreezeFrameCodeAndLines)
{
    TFreezeFrame f;
    f.Group = 2;
    f.Bit = 0x08;
    EXPECT_EQ(FreezeFrameCode(f), "E1034");
    f.Bit = 0x03;
    EXPECT_EQ(FreezeFrameCode(f), "E1030"); // not a single bit: digit 0
    f.Bit = 0x01;
    f.RpmPeriod = 0;
    f.PetrolTime = 187 * 4;
    f.SupplyRaw = 0;
    const auto lines = FreezeFrameLines(f);
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "Kod/Code= E1031");
    EXPECT_EQ(lines[1], "Rpm=0 rpm");
    EXPECT_EQ(lines[2], "Tb=4.00 ms");
    EXPECT_EQ(lines[6], "Tred=0 C");
}

TEST(TroubleCodePage, CodesRaisedInTheControllerAreListedWithTheirFreezeFrame)
{
    SimLink link(testsupport::SimSetup::Controller());
    ASSERT_TRUE(link.ConnectClean());
    link.Control("trouble 3 4");
    link.Control("trouble 4 5");
    const TTroubleCodeRead read = ReadTroubleCodePage(link.Manager());
    ASSERT_TRUE(read.FlagsRead);
    const TTroubleLines lines = TroubleLines(read, Key);
    EXPECT_EQ(Lines(lines.Active), (std::vector<std::string>{"E1034: (ERROR) <err23>", "E1045: (INFO) <err34>"}));
    EXPECT_EQ(Lines(lines.Stored), Lines(lines.Active));
    ASSERT_EQ(read.FreezeFrame.Outcome, TFreezeFrameOutcome::Present);
    ASSERT_FALSE(lines.FreezeFrame.empty());
    EXPECT_EQ(lines.FreezeFrame[0], "Kod/Code= E1045"); // the last code raised

    // The active codes go, the stored stay; the lines follow the flags read.
    link.Control("trouble clear-active");
    const TTroubleLines after = TroubleLines(ReadTroubleCodePage(link.Manager()), Key);
    EXPECT_TRUE(after.Active.empty());
    EXPECT_EQ(after.Stored.size(), 2u);
}

TEST(TroubleCodePage, AFailedMemoryReadShowsNoFreezeFrame)
{
    SimLink link(testsupport::SimSetup::Controller());
    ASSERT_TRUE(link.ConnectClean());
    link.Control("trouble 2 1");
    // The code byte reads fine; the engine-speed word gets no answer.
    link.AddFault("silence@31:1");
    const TTroubleCodeRead read = ReadTroubleCodePage(link.Manager());
    EXPECT_EQ(read.FreezeFrame.Outcome, TFreezeFrameOutcome::Failed);
    EXPECT_TRUE(TroubleLines(read, Key).FreezeFrame.empty());
}

TEST(TroubleCodePage, ClearedControllerHasNoFreezeFrameAndLockedOneGetsNoClear)
{
    SimLink link(testsupport::SimSetup::Controller());
    ASSERT_TRUE(link.ConnectClean());
    link.Control("trouble 1 1");
    link.Control("lock 0F");
    link.Manager().ReadLockState();
    link.Sync();
    link.ClearTrace();
    EXPECT_FALSE(link.Manager().ClearTroubleCodes());
    link.Sync();
    EXPECT_TRUE(link.Requests().empty());

    link.Control("lock F0");
    link.Manager().ReadLockState();
    ASSERT_TRUE(link.Manager().ClearTroubleCodes());
    const TTroubleCodeRead read = ReadTroubleCodePage(link.Manager());
    EXPECT_EQ(read.FreezeFrame.Outcome, TFreezeFrameOutcome::Absent);
    const TTroubleLines lines = TroubleLines(read, Key);
    EXPECT_TRUE(lines.Active.empty());
    EXPECT_TRUE(lines.Stored.empty());
    EXPECT_TRUE(lines.FreezeFrame.empty());
}

TEST(AdvancedPage, SwitchesWriteTheMaskAndAFailedWriteReadsThePageBack)
{
    SimLink link(testsupport::SimSetup::Controller());
    ASSERT_TRUE(link.ConnectClean());
    link.Manager().ReadLockState();
    link.Control("emulators 00");
    link.Control("valve off");
    const uint8_t mask = EmulatorMaskOf({true, false, true, false, false, false, false, false});
    EXPECT_EQ(mask, 5);
    link.Sync();
    link.ClearTrace();
    const TAdvancedResult written = RunAdvancedAction(link.Manager(), TAdvancedAction::EmulatorMask, mask);
    EXPECT_TRUE(written.Written);
    EXPECT_FALSE(written.PageRead);
    link.Sync();
    ASSERT_FALSE(link.Requests().empty());
    EXPECT_EQ(link.Requests().front(), "C0 39 05 FE");
    const TAdvancedPage page = ReadAdvancedPage(link.Manager());
    EXPECT_TRUE(page.Read);
    EXPECT_EQ(page.EmulatorMask, 5);
    EXPECT_FALSE(page.ValveOn);

    // The valve command goes unanswered: the page is read back, and what
    // the switches show is the controller's state, never the flipped switch.
    link.AddFault("silence@18:1");
    const TAdvancedResult failed = RunAdvancedAction(link.Manager(), TAdvancedAction::ValveOn);
    EXPECT_FALSE(failed.Written);
    EXPECT_TRUE(failed.PageRead);
    TAdvancedPage flipped = page;
    flipped.ValveOn = true;
    const TAdvancedPage shown = PageShownAfter(failed, page, flipped);
    EXPECT_FALSE(shown.ValveOn);
    EXPECT_EQ(shown.EmulatorMask, 5);
    // The unanswered command may still have reached the valve: once the
    // link is back, a read shows what the controller really has.
    ASSERT_TRUE(link.Connect());
    EXPECT_TRUE(ReadAdvancedPage(link.Manager()).Read);
}

TEST(AdvancedPage, LockedControllerGetsNoWrite)
{
    SimLink link(testsupport::SimSetup::Controller());
    ASSERT_TRUE(link.ConnectClean());
    link.Control("lock 0F");
    link.Manager().ReadLockState();
    link.Sync();
    link.ClearTrace();
    for (auto action : {TAdvancedAction::EmulatorMask, TAdvancedAction::ValveOn, TAdvancedAction::ValveOff,
                        TAdvancedAction::ResetEmergencyStarts}) {
        const TAdvancedResult r = RunAdvancedAction(link.Manager(), action, 0xFF);
        EXPECT_FALSE(r.Written);
        EXPECT_EQ(r.Refusal, TWriteRefusal::Locked);
    }
    link.Sync();
    EXPECT_TRUE(link.Requests().empty());
}

} // namespace
} // namespace lumex
