// The OBD data without a device: conversions, the "-----" gating, the state
// texts, the configuration block, answer decoding that refuses short
// answers; the AIO model curve and grid checks; the adaptation tab's rules.
#include "adapter/OBDData.h"
#include "adapter/AIOData.h"
#include "calibration/OBDAdaptCorrView.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace lumex;

namespace {

void SetByte(TVariable &v, uint8_t b)
{
    const std::array<uint8_t, 1> raw{b};
    v.SetRaw(raw, true);
}

void SetWord(TVariable &v, uint8_t a, uint8_t b)
{
    const std::array<uint8_t, 2> raw{a, b};
    v.SetRaw(raw, true);
}

struct ObdState
{
    TDeviceState aggregate;
    TDevStateOBD s{aggregate};
};

} // namespace

TEST(OBDConversions, RpmTrimsAndCodes)
{
    EXPECT_EQ(ObdRpm(0x1A, 0xF8), 1726);
    EXPECT_DOUBLE_EQ(ObdTrimPercent(0x80), 0.0);
    EXPECT_DOUBLE_EQ(ObdTrimPercent(0x00), -100.0);
    EXPECT_DOUBLE_EQ(ObdTrimPercent(0xFF), 99.21875);
    EXPECT_DOUBLE_EQ(ObdLambdaTrim(0xFF), 255.0);
    EXPECT_DOUBLE_EQ(ObdTimingAdvance(0x98), 12.0);
    EXPECT_DOUBLE_EQ(ObdUegoCurrent(0x80, 0x00), 0.0);
    EXPECT_EQ(TroubleCodeText(0x01, 0x23), "P0123");
    EXPECT_EQ(TroubleCodeText(0xC1, 0x00), "U0100");
    EXPECT_EQ(TroubleCodeText(0x40, 0xAB), "C00AB");
    EXPECT_EQ(TroubleCodeText(0xBF, 0xFF), "B3FFF");
    const TPidBit rpm = PidBitMask(0x0C);
    EXPECT_EQ(rpm.byte, 1u);
    EXPECT_EQ(rpm.mask, 0x10);
    EXPECT_EQ(PidBitMask(0x40).byte, 7u);
    EXPECT_EQ(PidBitMask(0x40).mask, 0x01);
    EXPECT_EQ(PidBitMask(0).mask, 0);
}

TEST(OBDConversions, LiveValuesShowDashesUnlessConnectedSupportedAndAllowed)
{
    ObdState o;
    TDevStateOBD &s = o.s;
    SetByte(s.StFtB1, 0xFF);
    SetWord(s.RPM, 0x1A, 0xF8);
    EXPECT_EQ(s.StFtB1.Text(), "-----");

    SetByte(s.ActionMain, 4);
    s.RefreshLiveTexts();
    EXPECT_EQ(s.StFtB1.Text(), "-----") << "connected, but the PID is neither supported nor allowed";
    SetByte(*s.Pids[0], 0x04);
    s.RefreshLiveTexts();
    EXPECT_EQ(s.StFtB1.Text(), "-----") << "supported, not allowed";
    SetByte(*s.Allows[0], 0x04);
    s.RefreshLiveTexts();
    EXPECT_EQ(s.StFtB1.Text(), "99.2");
    EXPECT_EQ(s.RPM.Text(), "-----") << "RPM has a bit of its own";
    SetByte(*s.Pids[1], 0x10);
    SetByte(*s.Allows[1], 0x10);
    s.RefreshLiveTexts();
    EXPECT_EQ(s.RPM.Text(), "1726");

    SetByte(s.ActionMain, 4 + 128); // the state is taken modulo 128
    s.RefreshLiveTexts();
    EXPECT_EQ(s.StFtB1.Text(), "99.2");
    SetByte(s.ActionMain, 24);
    s.RefreshLiveTexts();
    EXPECT_EQ(s.StFtB1.Text(), "-----");
    // The fuel system status is never gated.
    SetByte(s.FuelSystemStatusB1, 2);
    EXPECT_EQ(s.FuelSystemStatusB1.Text(), "Closed loop");
    SetByte(s.FuelSystemStatusB1, 3);
    EXPECT_EQ(s.FuelSystemStatusB1.Text(), "Unknown state");
}

TEST(OBDConversions, LinkAndDetectionStateTexts)
{
    EXPECT_EQ(ObdLinkStateText(0, "CAN"), "Unknown state");
    EXPECT_EQ(ObdLinkStateText(3, "CAN"), "Connecting (CAN)...");
    EXPECT_EQ(ObdLinkStateText(5, "KWP2000"), "Connected (KWP2000)");
    EXPECT_EQ(ObdLinkStateText(13, ""), "Disconnecting...");
    EXPECT_EQ(ObdLinkStateText(14, ""), "UNHANDLED");
    EXPECT_EQ(ObdLinkStateText(22, ""), "Disconnected");
    EXPECT_EQ(ObdLinkStateText(23, ""), "UNHANDLED");
    EXPECT_EQ(ObdLinkStateText(25 + 128, ""), "DelayConnect...");
    EXPECT_EQ(ObdDetectStateText(3, "KWP2000slow"), "Detecting (KWP2000slow)...");
    EXPECT_EQ(ObdDetectStateText(3, ""), "Detecting...");
    EXPECT_EQ(ObdDetectStateText(8, "CAN_11bitID_500kbps"), "Detected (CAN_11bitID_500kbps)");
    EXPECT_EQ(ObdDetectStateText(12, ""), "UNHANDLED");
    EXPECT_TRUE(ObdIdle(15));
    EXPECT_TRUE(ObdIdle(0));
    EXPECT_FALSE(ObdIdle(24));
    EXPECT_TRUE(ObdDetecting(24, 7));
    EXPECT_FALSE(ObdDetecting(24, 8));
    EXPECT_TRUE(ObdDisconnecting(14));
}

TEST(OBDConfigBlock, BytesOfTheBlockAndBack)
{
    ObdState o;
    TDevStateOBD &s = o.s;
    s.Protocol.SetAsInteger(4);
    s.AdaptType.SetAsInteger(5);
    s.Config2.SetAsInteger(0x0A);
    s.AdaptStFtBase.SetAsDouble(-5);
    s.AdaptLtFtBaseB1.SetAsDouble(3.4);
    s.AdaptMinRPM.SetAsInteger(1200);
    const auto b = BuildOBDConfigBlock(s);
    EXPECT_EQ(b[0], 4);
    EXPECT_EQ(b[1], 0x08) << "the default of the first config byte";
    EXPECT_EQ(b[2], 0x0D);
    EXPECT_EQ(b[3], 0xFB);
    EXPECT_EQ(b[5], 3);
    EXPECT_EQ(b[8], 25);
    EXPECT_EQ(b[9], 0x04);
    EXPECT_EQ(b[10], 0xB0);

    ObdState other;
    DecodeOBDConfigBlock(b, other.s);
    EXPECT_EQ(BuildOBDConfigBlock(other.s), b);
    EXPECT_DOUBLE_EQ(other.s.AdaptStFtBase.GetAsDouble(), -5.0);
    EXPECT_EQ(other.s.AdaptStFtBase.Text(), "-5");
    EXPECT_EQ(other.s.AdaptMinRPM.GetAsInteger(), 1200);
    EXPECT_EQ(other.s.AdaptType.GetAsInteger(), 5);
}

TEST(OBDAnswers, ShortAnswersAreRefusedAndStoreNothing)
{
    ObdState o;
    TDevStateOBD &s = o.s;
    const std::vector<uint8_t> ack{0xD2, 0x78, 0x00, 0x00};
    EXPECT_FALSE(DecodeOBDStatus(ack, s));
    EXPECT_FALSE(DecodeOBDLive(ack, s));
    EXPECT_FALSE(DecodeOBDCodes(ack, false, s));
    EXPECT_FALSE(DecodeOBDFreezeFrames(ack, s));
    EXPECT_FALSE(DecodeOBDConfigAnswer(ack, s));

    std::vector<uint8_t> codes(24, 0);
    codes[2] = 0x10, codes[3] = 0x01, codes[4] = 0x23;
    codes[8] = 0x10, codes[9] = 0xC1, codes[10] = 0x00;
    ASSERT_TRUE(DecodeOBDCodes(codes, true, s));
    EXPECT_EQ(s.TroubleCodeRecords[7].Code, 0x0123);
    EXPECT_EQ(s.TroubleCodeRecords[8].Code, 0);
    EXPECT_EQ(s.TroubleCodeRecords[9].Code, 0xC100);
    EXPECT_EQ(s.TroubleCodeRecords[0].Code, 0) << "pending records are the second seven";
}

TEST(OBDAnswers, AnItemThatDoesNotFitItsVariableIsRejected)
{
    ObdState o;
    TVariable &counter = *o.s.DelayConnectCounter;
    const std::vector<uint8_t> fits{0xD2, 0x87, 0x00, 0x00, 0x01, 0xF4, 0x00};
    ASSERT_TRUE(DecodeOBDItem(fits, counter));
    EXPECT_DOUBLE_EQ(counter.GetAsDouble(), 1.0) << "500 × 2 ms";
    const std::vector<uint8_t> tooLarge{0xD2, 0x87, 0x00, 0x01, 0x00, 0x00, 0x00};
    EXPECT_FALSE(DecodeOBDItem(tooLarge, counter));
    EXPECT_DOUBLE_EQ(counter.GetAsDouble(), 1.0) << "the previous value stays";
}

TEST(OBDAnswers, CorrectionHalvesCarryTheirRows)
{
    ObdState o;
    o.s.CorrectionsBank2[5][0]->SetAsDouble(-3);
    o.s.CorrectionsBank2[9][9]->SetAsDouble(7);
    o.s.CorrectionsBank1[5][0]->SetAsDouble(1);
    const auto half = OBDCorrectionHalf(o.s, 2, 1);
    EXPECT_EQ(half[0], 0xFD);
    EXPECT_EQ(half[49], 7);
    EXPECT_EQ(OBDCorrectionHalf(o.s, 2, 0)[0], 0);
}

TEST(AIOModel, InterpolationAndEqualX)
{
    const std::array<double, 3> xs{0, 500, 1000}, ys{0, 500, 1000};
    EXPECT_DOUBLE_EQ(InterpolateModel(xs, ys, 250), 250);
    EXPECT_DOUBLE_EQ(InterpolateModel(xs, ys, -10), 0);
    EXPECT_DOUBLE_EQ(InterpolateModel(xs, ys, 2000), 1000);
    const std::array<double, 3> flat{0, 500, 500}, steps{0, 100, 900};
    EXPECT_DOUBLE_EQ(InterpolateModel(flat, steps, 500), 100) << "the first point at or above x wins";
    const std::array<double, 3> same{200, 200, 200};
    EXPECT_DOUBLE_EQ(InterpolateModel(same, steps, 200), 0);
    EXPECT_DOUBLE_EQ(InterpolateModel(same, steps, 300), 900);
}

TEST(AIOModel, StepsAndGridChecks)
{
    EXPECT_EQ(AioStepCell("950", 100), 1000);
    EXPECT_EQ(AioStepCell("5", -10), 0);
    EXPECT_EQ(AioStepCell("x", 5), 5);
    // An empty cell stores 0; text that is no whole number is refused.
    const auto ok = CheckAioCells({"1", "", "  ", " 7 "}, 0, 1000);
    ASSERT_TRUE(ok.Values);
    EXPECT_EQ(*ok.Values, (std::vector<int>{1, 0, 0, 7}));
    const auto bad = CheckAioCells({"1", "1001", "2"}, 0, 1000);
    EXPECT_FALSE(bad.Values);
    EXPECT_EQ(bad.BadIndex, 1u);
    EXPECT_FALSE(bad.NotANumber);
    for (const char *text : {"abc", "12abc", "1,5", "99999999999999999999"}) {
        const auto word = CheckAioCells({"1", "2", text}, 0, 1000);
        EXPECT_FALSE(word.Values) << text;
        EXPECT_EQ(word.BadIndex, 2u) << text;
        EXPECT_TRUE(word.NotANumber) << text;
    }
}

TEST(AdaptCorrView, CurrentCellColoursAndEditing)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = "G";
    for (std::size_t i = 0; i < 10; ++i) {
        d.AdaptInfoBytes[i] = static_cast<uint8_t>(10 * (i + 1));
        d.AdaptInfoWords[i] = static_cast<uint16_t>(1000 * (i + 1));
    }
    TOBDAdaptCorrView v(d);
    int marks = 0;
    v.MarkModified = [&] { ++marks; };
    EXPECT_FALSE(v.SetActualLoadAndRpm(5, 500)) << "(0, 0) is where it starts";
    EXPECT_TRUE(v.SetActualLoadAndRpm(25, 2500));
    EXPECT_EQ(v.Current(), (std::pair<std::size_t, std::size_t>{2, 2}));
    v.SetActualLoadAndRpm(200, 99999);
    EXPECT_EQ(v.Current(), (std::pair<std::size_t, std::size_t>{9, 9}));

    EXPECT_EQ(AdaptCorrColour(0), (TRgb{255, 255, 0}));
    EXPECT_EQ(AdaptCorrColour(127), (TRgb{255, 1, 0}));
    EXPECT_EQ(AdaptCorrColour(-127), (TRgb{3, 255, 0}));
    EXPECT_EQ(v.CellColour(1, 9, 9), kAdaptCurrentColour);

    v.FillFromImage();
    EXPECT_FALSE(v.Edit(1, {0, 0, 1, 2}, TAdaptEdit::Zero, false)) << "zero on zeros changes nothing";
    EXPECT_EQ(marks, 0);
    d.AdaptCorrBank1[0][0] = 126;
    d.AdaptCorrBank1[1][2] = 126;
    v.FillFromImage();
    EXPECT_TRUE(v.Edit(1, {0, 0, 1, 2}, TAdaptEdit::Plus5, false));
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(d.AdaptCorrBank1[0][0], 127);
    EXPECT_EQ(d.AdaptCorrBank1[1][2], 127);
    EXPECT_EQ(d.AdaptCorrBank1[1][1], 5);
    EXPECT_EQ(v.Grid(1)[1][2], "127");
    EXPECT_FALSE(v.Edit(2, {0, 0, 0, 0}, TAdaptEdit::Minus1, true)) << "no edits while the adapter adapts";
    EXPECT_EQ(d.AdaptCorrBank2[0][0], 0);
}

TEST(AdaptCorrView, RevisionRules)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = "F";
    TOBDAdaptCorrView v(d);
    int writes = 0;
    v.WriteEnableBit = [&] {
        ++writes;
        return true;
    };
    v.FillFromImage();
    v.Refresh(true, 1);
    EXPECT_EQ(v.Grid(1)[0][0], "") << "before revision G the grids stay empty";
    EXPECT_FALSE(v.Editable());

    d.SoftwareLetter = "G";
    v.Refresh(true, 1);
    EXPECT_TRUE(v.Editable());
    EXPECT_FALSE(v.ActiveTextVisible());
    EXPECT_EQ(writes, 0);

    d.SoftwareLetter = "h"; // upper-cased before the comparison
    v.Refresh(true, 1);
    EXPECT_FALSE(v.Editable());
    EXPECT_TRUE(v.ActiveTextVisible());
    EXPECT_EQ(d.Model_OBDAdaptCorrConfig & kAdaptCorrEnabledBit, kAdaptCorrEnabledBit);
    v.Refresh(true, 1);
    EXPECT_EQ(writes, 1) << "written once";
    v.Refresh(false, 1);
    EXPECT_TRUE(v.Editable());
}
