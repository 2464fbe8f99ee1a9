// The corrections read and write and the correction operations against the
// simulated controller: the exact requests of each revision, the values the
// controller ends up holding, and a write that fails at its k-th command.
#include "CalibSim.h"

#include "calibration/CorrectionOperations.h"
#include "calibration/CorrectionTables.h"
#include "calibration/CorrectionsIO.h"
#include "configuration/ConfigModified.h"
#include "controller/DataManager.h"
#include "controller/SequenceControl.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

using namespace lumex;
using calibtest::Frame;
using calibtest::Frames;
using calibtest::TableFrame;
using linktest::SimLink;

namespace {

std::string M(unsigned index)
{
    return Frame({0x12, index});
}
std::string B(unsigned index)
{
    return Frame({0x07, index});
}
std::string SetM(unsigned index, unsigned wire)
{
    return Frame({0x16, index, wire >> 8, wire & 0xFF});
}
std::string SetB(unsigned index, unsigned value)
{
    return Frame({0x08, index, value});
}
std::string SetW(unsigned index, unsigned value)
{
    return Frame({0x52, index, value >> 8, value & 0xFF});
}

const TCorrectionTable kTgasSmall{-6, -6, -5, -5, -4, -4, -3, -3, -2, -1, 0, 1, 1, 2, 2, 2, 3, 3, 4, 5};

Frames ReadG()
{
    return {M(74),
            Frame({0xD0, 0}),
            Frame({0xD2, 0}),
            Frame({0xDB, 0}),
            Frame({0x97, 0}),
            Frame({0x60, 0xA5}),
            Frame({0x61, 0x10}),
            Frame({0x61, 0x20}),
            Frame({0x61, 0x11}),
            Frame({0x61, 0x21}),
            M(104),
            M(13),
            M(11),
            M(12),
            B(45),
            B(46)};
}

// Five rows of an adaptation table after its selector.
std::string AdaptFrame(unsigned bank, unsigned half, const TAdaptTable &t)
{
    std::vector<int8_t> rows;
    for (std::size_t r = half * 5; r < half * 5 + 5; ++r)
        rows.insert(rows.end(), t[r].begin(), t[r].end());
    return TableFrame(0x62, rows, {bank * 16 + half});
}

TCorrectionTable Ramp(int from)
{
    TCorrectionTable t{};
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = static_cast<int8_t>(from + static_cast<int>(i));
    return t;
}

class Corrections : public SimLink
{
public:
    explicit Corrections(char letter, const char *fixture = "30G") : SimLink(calibtest::Installed(fixture, letter)) {}
    sim::ParameterStore Store() { return std::dynamic_pointer_cast<sim::ControllerModel>(Sim().Device())->Store(); }
    void Ready() { ASSERT_TRUE(ConnectClean()); }
    Frames Sent()
    {
        Sync();
        return Requests();
    }
};

TCorrectionsForm ChangedForm()
{
    TCorrectionsForm f;
    f.ActivePsys = true;
    f.ActiveTgas = false;
    f.ActiveRpm = true;
    f.ActivePcol = true;
    f.Psys = Ramp(-30);
    f.Pcol = Ramp(-10);
    f.Tgas = Ramp(0);
    f.Rpm = Ramp(10);
    f.CorrectionMultPercent = 25; // 1.25 x 1024 = 1280
    f.CorrectionOffsetMs = 1.0;   // 187 ticks
    f.CorrectionMask = 0x81;
    f.MaxTbForLoad = 2805;
    return f;
}

} // namespace

TEST(CorrectionsRead, RevisionGReadsEverythingInWireOrderAndMatchesTheController)
{
    Corrections s('G');
    s.Ready();
    const TCorrectionsReadResult r = ReadCorrections(s.Manager());
    EXPECT_TRUE(r.Ok) << r.FailedStep;
    EXPECT_EQ(s.Sent(), ReadG());
    const sim::ParameterStore store = s.Store();
    const TNorviData &d = s.Data();
    EXPECT_TRUE(std::equal(d.CTG.begin(), d.CTG.end(), store.ctg.begin()));
    EXPECT_TRUE(std::equal(d.CRPM.begin(), d.CRPM.end(), store.crpm.begin()));
    EXPECT_TRUE(std::equal(d.CPCOL.begin(), d.CPCOL.end(), store.cpcol.begin()));
    EXPECT_EQ(d.CMActive, 15);
    EXPECT_EQ(d.TgasCorType, 4);
    EXPECT_EQ(d.RPMCorType, 5);
    EXPECT_NEAR(d.CorrectionMult, 1.05, 1.0 / 1024); // the wire carries 1/1024ths
    const TCorrectionsForm f = FormFromImage(d);
    EXPECT_TRUE(f.ActivePsys && f.ActiveTgas && f.ActiveRpm && f.ActivePcol);
    EXPECT_EQ(f.CorrectionMultPercent, 5);
    EXPECT_EQ(f.MaxTbForLoad, 3740);
    EXPECT_TRUE(s.Violations().empty()) << ::testing::PrintToString(s.Violations());
}

TEST(CorrectionsRead, EarlierRevisionsSkipTheFlagsPcolAdaptationAndTypes)
{
    Corrections c('C');
    c.Ready();
    c.Data().CPCOL.fill(5);
    EXPECT_TRUE(ReadCorrections(c.Manager()).Ok);
    EXPECT_EQ(c.Sent(), (Frames{Frame({0xD0, 0}), Frame({0xD2, 0}), Frame({0xDB, 0}), M(13), M(11), M(12)}));
    // Before G the Pcol edits are empty and its box unticked.
    const TCorrectionsForm f = FormFromImage(c.Data());
    EXPECT_FALSE(f.ActivePcol);
    EXPECT_EQ(f.Pcol, TCorrectionTable{});
    EXPECT_FALSE(f.MaxTbForLoad);

    Corrections f2('F');
    f2.Ready();
    EXPECT_TRUE(ReadCorrections(f2.Manager()).Ok);
    EXPECT_EQ(f2.Sent(),
              (Frames{Frame({0xD0, 0}), Frame({0xD2, 0}), Frame({0xDB, 0}), M(13), M(11), M(12), B(45), B(46)}));
    EXPECT_TRUE(c.Violations().empty() && f2.Violations().empty());
}

TEST(CorrectionsWrite, RevisionGSendsEveryStepInOrderThenReadsBack)
{
    Corrections s('G');
    s.Ready();
    ASSERT_TRUE(ReadCorrections(s.Manager()).Ok);
    s.Sync();
    s.ClearTrace();
    const TNorviData before = s.Data();
    const TCorrectionsForm form = ChangedForm();
    const TWriteResult r = WriteCorrections(s.Manager(), form);
    EXPECT_TRUE(r.Ok) << r.Message();
    EXPECT_EQ(r.StepsDone, 19u);

    Frames want{SetM(74, 0x0D), // Psys + RPM + Pcol
                SetM(13, before.CorrectionMask),
                TableFrame(0xD1, form.Psys),
                TableFrame(0x98, form.Pcol),
                SetM(104, before.Model_OBDAdaptCorrConfig),
                AdaptFrame(1, 0, before.AdaptCorrBank1),
                AdaptFrame(1, 1, before.AdaptCorrBank1),
                AdaptFrame(2, 0, before.AdaptCorrBank2),
                AdaptFrame(2, 1, before.AdaptCorrBank2),
                SetW(22, 2805),
                TableFrame(0xD3, form.Tgas),
                TableFrame(0xDA, form.Rpm),
                SetM(11, 1280),
                SetM(12, 187),
                SetM(13, 0x81),
                SetB(45, before.TgasCorType),
                TableFrame(0xD3, form.Tgas),
                SetB(46, before.RPMCorType),
                TableFrame(0xDA, form.Rpm)};
    const Frames read = ReadG();
    want.insert(want.end(), read.begin(), read.end());
    EXPECT_EQ(s.Sent(), want);

    const sim::ParameterStore store = s.Store();
    EXPECT_TRUE(std::equal(form.Psys.begin(), form.Psys.end(), store.cps.begin()));
    EXPECT_TRUE(std::equal(form.Rpm.begin(), form.Rpm.end(), store.crpm.begin()));
    // The read-back shows what the controller now holds.
    const TCorrectionsForm back = FormFromImage(s.Data());
    EXPECT_EQ(back.Psys, form.Psys);
    EXPECT_EQ(back.Pcol, form.Pcol);
    EXPECT_EQ(back.Tgas, form.Tgas);
    EXPECT_EQ(back.CorrectionMultPercent, 25);
    EXPECT_EQ(back.CorrectionMask, 0x81);
    EXPECT_EQ(back.MaxTbForLoad, 2805);
    EXPECT_EQ(s.Data().CMActive, 0x0D);
    EXPECT_TRUE(s.Violations().empty()) << ::testing::PrintToString(s.Violations());
}

TEST(CorrectionsWrite, BeforeRevisionDTheRpmBitIsSetOnTheFlagsReadAgain)
{
    Corrections c('C');
    c.Ready();
    ASSERT_TRUE(ReadCorrections(c.Manager()).Ok);
    c.Sync();
    c.ClearTrace();
    const uint8_t maskBefore = c.Data().CorrectionMask;
    TCorrectionsForm form = ChangedForm();
    form.ActivePcol = true; // ignored before G
    const TWriteResult r = WriteCorrections(c.Manager(), form);
    EXPECT_TRUE(r.Ok) << r.Message();
    const Frames want{SetM(74, 0x05),
                      SetM(13, maskBefore),
                      TableFrame(0xD1, form.Psys),
                      TableFrame(0xD3, form.Tgas),
                      TableFrame(0xDA, form.Rpm),
                      SetM(11, 1280),
                      SetM(12, 187),
                      SetM(13, 0x81),
                      M(74),
                      SetM(74, 0x05), // as read back, with the RPM bit from the box
                      Frame({0xD0, 0}),
                      Frame({0xD2, 0}),
                      Frame({0xDB, 0}),
                      M(13),
                      M(11),
                      M(12)};
    EXPECT_EQ(c.Sent(), want);
    EXPECT_EQ(c.Store().modelParams[74], 0x05);
    EXPECT_TRUE(c.Violations().empty()) << ::testing::PrintToString(c.Violations());
}

TEST(CorrectionsWrite, AFailedKthWriteIsReportedAndNothingFollowsIt)
{
    Corrections s('G');
    s.Ready();
    ASSERT_TRUE(ReadCorrections(s.Manager()).Ok);
    const TCorrectionsForm form = ChangedForm();
    s.Sync();
    s.ClearTrace();
    // The second of two equal writes: the image then holds what the form sends.
    ASSERT_TRUE(WriteCorrections(s.Manager(), form).Ok);
    s.Sync();
    s.ClearTrace();
    ASSERT_TRUE(WriteCorrections(s.Manager(), form).Ok);
    const Frames all = s.Sent();
    const std::vector<std::string> steps{
        "WriteModelParam(74)",      "WriteModelParam(13)",      "WriteCorrTable(CPS)",      "WriteCorrTable(CPCOL)",
        "WriteModelParam(104)",     "WriteAdaptationCorr(1,0)", "WriteAdaptationCorr(1,1)", "WriteAdaptationCorr(2,0)",
        "WriteAdaptationCorr(2,1)", "WriteWordParam(22)",       "WriteCorrTable(CTG)",      "WriteCorrTable(CRPM)",
        "WriteModelParam(11)",      "WriteModelParam(12)",      "WriteModelParam(13)",      "WriteByteParam(45)",
        "WriteCorrTable(CTG)",      "WriteByteParam(46)",       "WriteCorrTable(CRPM)"};
    ASSERT_GE(all.size(), steps.size());

    auto silencer = calibtest::SilentOnWrite::Install(s, {0x08, 0x16, 0x52, 0x62, 0x98, 0xD1, 0xD3, 0xDA});
    for (const std::size_t k : {std::size_t{1}, std::size_t{3}, std::size_t{9}, std::size_t{16}, steps.size()}) {
        SCOPED_TRACE(k);
        s.Manager().SetLinkUp(false);
        ASSERT_TRUE(s.ConnectClean());
        silencer->Arm(k);
        const TWriteResult r = WriteCorrections(s.Manager(), form);
        EXPECT_FALSE(r.Ok);
        EXPECT_EQ(r.StepsDone, k - 1);
        EXPECT_EQ(r.FailedStep, steps[k - 1]);
        EXPECT_NE(r.Message().find(steps[k - 1]), std::string::npos) << r.Message();
        // The k-th frame went out and nothing after it, no read-back either.
        EXPECT_EQ(s.Sent(), Frames(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k)));
    }
}

// A cancel asked for after the k-th step: the write and the read stop before
// the next one, with nothing of the rest on the line.
TEST(CorrectionsWrite, ACancelStopsTheWriteAndTheReadBetweenTwoSteps)
{
    Corrections s('G');
    s.Ready();
    ASSERT_TRUE(ReadCorrections(s.Manager()).Ok);
    const TCorrectionsForm form = ChangedForm();
    ASSERT_TRUE(WriteCorrections(s.Manager(), form).Ok);
    s.Sync();
    s.ClearTrace();
    ASSERT_TRUE(WriteCorrections(s.Manager(), form).Ok);
    const Frames all = s.Sent(); // the write's 19 steps, then the read-back
    ASSERT_EQ(all.size(), 19u + ReadG().size());

    for (const unsigned k : {1u, 10u, 18u, 19u, 22u}) {
        SCOPED_TRACE(k);
        s.Sync();
        s.ClearTrace();
        TSequenceControl control;
        control.OnProgress = [&control, k](unsigned done, unsigned) {
            if (done == k)
                control.Cancel();
        };
        TWriteResult r;
        {
            TSequenceScope scope(s.Manager(), &control);
            r = WriteCorrections(s.Manager(), form);
        }
        EXPECT_FALSE(r.Ok);
        EXPECT_TRUE(r.Cancelled);
        EXPECT_EQ(control.Done(), k);
        EXPECT_EQ(s.Sent(), Frames(all.begin(), all.begin() + k));
    }

    // The read alone, stopped after its third read.
    s.Sync();
    s.ClearTrace();
    TSequenceControl control;
    control.OnProgress = [&control](unsigned done, unsigned) {
        if (done == 3)
            control.Cancel();
    };
    TCorrectionsReadResult read;
    {
        TSequenceScope scope(s.Manager(), &control);
        read = ReadCorrections(s.Manager());
    }
    EXPECT_TRUE(read.Cancelled);
    EXPECT_FALSE(read.Ok);
    EXPECT_EQ(read.StepsDone, 3u);
    const Frames reads = ReadG();
    EXPECT_EQ(s.Sent(), Frames(reads.begin(), reads.begin() + 3));
    // Out of the scope nothing stops the next write.
    s.ClearTrace();
    EXPECT_TRUE(WriteCorrections(s.Manager(), form).Ok);
    EXPECT_EQ(s.Sent(), all);
}

TEST(CorrectionsWrite, TheModifiedMarkStaysUntilAWriteSucceeds)
{
    Corrections s('F', "30F");
    s.Ready();
    ASSERT_TRUE(ReadCorrections(s.Manager()).Ok);
    TModifiedFlag modified;
    TWriteConfirmation confirm(
        s.Manager(), modified, [](const TQuestion &) { return TAnswer::Yes; },
        [](std::string_view key) { return std::string(key); });
    modified.SetModified(true);
    const TCorrectionsForm form = ChangedForm();
    auto silencer = calibtest::SilentOnWrite::Install(s, {0xD3});
    silencer->Arm(1);
    TWriteResult last;
    const auto write = [&] {
        last = WriteCorrections(s.Manager(), form);
        return last.Ok;
    };
    EXPECT_EQ(confirm.Write(write), TWriteOutcome::Failed);
    EXPECT_EQ(last.FailedStep, "WriteCorrTable(CTG)");
    EXPECT_TRUE(modified.IsModified());
    s.Manager().SetLinkUp(false);
    ASSERT_TRUE(s.Connect());
    EXPECT_EQ(confirm.Write(write), TWriteOutcome::Written);
    EXPECT_FALSE(modified.IsModified());
}

TEST(CorrectionOperations, StandardPressureAndShiftAreSentOnlyWhenAsked)
{
    Corrections s('G');
    s.Ready();
    TNorviData &d = s.Data();
    d.WorkPress = 76;
    EXPECT_TRUE(ApplyStandardPressureCorrection(s.Manager(), false).Ok);
    EXPECT_TRUE(s.Sent().empty());
    EXPECT_EQ(d.CPS, StandardPressureCorrection(76));
    d.WorkPress = 104;
    EXPECT_TRUE(ApplyStandardPressureCorrection(s.Manager(), true).Ok);
    EXPECT_EQ(s.Sent(), Frames{TableFrame(0xD1, kStandardPressureShape)});
    s.ClearTrace();
    EXPECT_TRUE(ShiftPressureCorrection(s.Manager(), 2, true).Ok);
    const TCorrectionTable shifted{102, 102, 102, 80,  60,  47,  33,  23,  15,  9,
                                   0,   -6,  -10, -12, -16, -18, -22, -24, -26, -28};
    EXPECT_EQ(s.Sent(), Frames{TableFrame(0xD1, shifted)});
    const sim::ParameterStore store = s.Store();
    EXPECT_TRUE(std::equal(shifted.begin(), shifted.end(), store.cps.begin()));
}

TEST(CorrectionOperations, SensorMovedOutOfTheFlowGetsTheSmallTableAndTheFlags)
{
    Corrections s('G');
    s.Ready();
    s.Data().CMActive = 0x0D;
    const TWriteResult r = ResetTgasCorrectionForPlacement(s.Manager(), false);
    EXPECT_TRUE(r.Ok) << r.Message();
    EXPECT_EQ(r.StepsDone, 3u);
    EXPECT_EQ(s.Sent(), (Frames{SetB(45, 3), TableFrame(0xD3, kTgasSmall), SetM(74, 0x0F)}));
    const sim::ParameterStore store = s.Store();
    EXPECT_EQ(store.byteParams[45], 3);
    EXPECT_TRUE(std::equal(kTgasSmall.begin(), kTgasSmall.end(), store.ctg.begin()));
    EXPECT_EQ(store.modelParams[74], 0x0F);

    // Before revision D there is no type byte to send.
    Corrections c('C');
    c.Ready();
    c.Data().CMActive = 0x01;
    EXPECT_TRUE(ResetTgasCorrectionForPlacement(c.Manager(), true, false, true).Ok);
    const Frames sent = c.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].substr(0, 5), "C0 D3");
    EXPECT_EQ(sent[1], SetM(74, 0x03)); // no Pcol bit before G
    EXPECT_EQ(c.Data().TgasCorType, 0);
}
