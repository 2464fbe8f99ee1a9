// The model pages' sequences against the simulated controller: byte-exact
// request frames of reading and writing Model2 and Model1 and of the model
// read after a connection on each generation, what the controller holds
// afterwards, and a write that fails on its k-th command. The expected frames
// are spelled out from the command layouts.
#include "RequestText.h"
#include "SilentOnWrite.h"
#include "SimLink.h"

#include "calibration/ModelSequences.h"
#include "controller/DataManager.h"
#include "controller/SequenceControl.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace lumex;
using linktest::SimLink;
using testsupport::SilentOnWrite;
using testsupport::SimSetup;

namespace {

using namespace reqtext;

// A Model2 half: code, half, then ten (X, Y) word pairs; missing points empty.
std::string Model2Half(unsigned code, unsigned half, const std::vector<std::pair<unsigned, unsigned>> &points)
{
    std::vector<unsigned> bytes{code, half};
    for (std::size_t i = 0; i < 10; ++i) {
        const auto [x, y] = i < points.size() ? points[i] : std::pair{0xFFFFu, 0xFFFFu};
        bytes.insert(bytes.end(), {x >> 8, x & 0xFF, y >> 8, y & 0xFF});
    }
    return Frame(bytes);
}

void Append(Frames &to, const Frames &more)
{
    to.insert(to.end(), more.begin(), more.end());
}

Frames Model2Read(bool fromD)
{
    Frames f;
    if (fromD)
        f = {Frame({0x95, 0}), Frame({0x95, 1}), B(45), B(46), B(31), W(14)};
    Append(f, {B(30), Frame({0xD4, 0}), Frame({0xD4, 1}), M(1), M(2), Frame({0xC0, 0}), M(11), M(12), M(13)});
    return f;
}

Frames CorrectionsRead(bool fromD, bool fromG)
{
    Frames f;
    if (fromG)
        f.push_back(M(74));
    Append(f, {Frame({0xD0, 0}), Frame({0xD2, 0}), Frame({0xDB, 0})});
    if (fromG)
        Append(f, {Frame({0x97, 0}), Frame({0x60, 0xA5}), Frame({0x61, 0x10}), Frame({0x61, 0x20}), Frame({0x61, 0x11}),
                   Frame({0x61, 0x21}), M(104)});
    Append(f, {M(13), M(11), M(12)});
    if (fromD)
        Append(f, {B(45), B(46)});
    return f;
}

Frames Model1Read()
{
    return {Frame({0x10, 0x10}), M(11), M(12), M(13)};
}

std::shared_ptr<sim::ControllerModel> Model(SimLink &s)
{
    return std::dynamic_pointer_cast<sim::ControllerModel>(s.Sim().Device());
}

// Connected, with the trace cleared.
// The image bits of the pages' flag bytes set to known values, so the
// frames below can be spelled out.
void KnownPageState(TNorviData &d)
{
    d.Markers = 0x000F;
    d.CMActive = 0x0B;
    d.WorkPress = 104;
    d.Flags31 = 0;
    d.RpmBelow = 1;
    d.RpmAbove = d.LoadPAbove = d.PreinjMode = d.AlWorkOnGas = d.RisingT = d.AdaptationMode = d.TgasBelow = 0;
    d.Flags37 = 0;
    d.TredBelowAndLoad = d.RPMWireNotConnect = d.FuelOverlap = d.GasInjHeating = d.PreinjectionProcessDuringCutOff = 0;
}

// The default model for injector code 5 (offset 0.8 ms) in ticks.
const std::vector<std::pair<unsigned, unsigned>> kDefault08{{0, 150},     {281, 430},   {842, 991},
                                                            {1496, 1646}, {2805, 2955}, {4675, 4825}};

// The frames of writing the default model (offset 0.8) on a 3.0 controller
// from revision D, with KnownPageState, working pressure unchanged and the
// idle hot Tb 2.5 ms.
Frames DefaultWriteFromD()
{
    return {SetW(14, 0x0007),
            SetB(31, 0x01),
            SetB(30, 104),
            SetW(8, 468),
            SetM(74, 0x0B),
            SetM(1, 1024),
            SetM(2, 150),
            SetM(11, 1024),
            SetM(12, 0),
            SetM(13, 0),
            Model2Half(0xD5, 0, kDefault08),
            Model2Half(0xD5, 1, {}),
            Model2Half(0x96, 0, kDefault08),
            Model2Half(0x96, 1, {}),
            Frame({0xC1, 561 >> 8, 561 & 0xFF, 711 >> 8, 711 & 0xFF, 1122 >> 8, 1122 & 0xFF, 1272 >> 8, 1272 & 0xFF}),
            SetB(37, 0x01)};
}

TModel2WriteOptions PlainOptions()
{
    TModel2WriteOptions o;
    o.WorkPress = 104;
    o.IdleHotTbMs = 2.5;
    o.Text = [](std::string_view key) { return std::string(key); };
    return o;
}

// The step name of a write frame, from its bytes.
std::string StepOf(const std::string &frame)
{
    const unsigned code = std::stoul(frame.substr(3, 2), nullptr, 16);
    const unsigned param = std::stoul(frame.substr(6, 2), nullptr, 16);
    const std::string p = "(" + std::to_string(param) + ")";
    switch (code) {
    case 0x08:
        return "WriteByteParam" + p;
    case 0x52:
        return "WriteWordParam" + p;
    case 0x16:
        return "WriteModelParam" + p;
    case 0xD5:
        return "WriteModel2SetA" + p;
    case 0x96:
        return "WriteModel2SetB" + p;
    case 0xC1:
        return "WriteModelPoints";
    default:
        return "?";
    }
}

} // namespace

TEST(ModelLink, Model2ReadFrames)
{
    for (const char letter : {'C', 'D', 'G'}) {
        SCOPED_TRACE(letter);
        SimLink s(SimSetup::Controller(0x30, static_cast<uint8_t>(letter)));
        ASSERT_TRUE(s.ConnectClean());
        TModelPoints idle;
        const TWriteResult r = ReadModel2(s.Manager(), idle);
        s.Sync();
        EXPECT_TRUE(r.Ok) << r.Message();
        EXPECT_EQ(s.Requests(), Model2Read(letter >= 'D'));
        // The image holds what the controller holds.
        const sim::ParameterStore store = Model(s)->Store();
        for (std::size_t i = 0; i < kModel2Points; ++i) {
            EXPECT_EQ(s.Data().Model2SetA[i].X, store.model2A[i].x) << i;
            EXPECT_EQ(s.Data().Model2SetA[i].Y, store.model2A[i].y) << i;
        }
        EXPECT_NEAR(idle.P1X, store.modelPoints[0] / 187.0, 1e-9);
        EXPECT_NEAR(idle.P2Y, store.modelPoints[3] / 187.0, 1e-9);
        EXPECT_TRUE(s.Violations().empty()) << ::testing::PrintToString(s.Violations());
    }
}

TEST(ModelLink, Model2DefaultWriteFramesAndWhatTheControllerHolds)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Model(s)->EditStore([](sim::ParameterStore &st) { st.ClearMap(2); });
    ASSERT_TRUE(s.ConnectClean());
    KnownPageState(s.Data());
    TModel2Editor editor;
    editor.LoadDefault(5);
    TModelPoints idle;
    const TModel2WriteReport r = WriteModel2(s.Manager(), editor, idle, PlainOptions());
    s.Sync();
    ASSERT_TRUE(r.Write.Ok) << r.Write.Message();
    EXPECT_TRUE(r.ReadBack);
    EXPECT_FALSE(r.PressureShifted);
    EXPECT_FALSE(r.GasMapCleared);
    Frames expected = DefaultWriteFromD();
    Append(expected, Model2Read(true));
    expected.push_back(Frame({0x31, 0x00, 0xC6})); // map counts: no LPG points, nothing asked
    EXPECT_EQ(s.Requests(), expected);

    const sim::ParameterStore store = Model(s)->Store();
    for (std::size_t i = 0; i < kModel2Points; ++i) {
        const auto [x, y] = i < kDefault08.size() ? kDefault08[i] : std::pair{0xFFFFu, 0xFFFFu};
        EXPECT_EQ(store.model2A[i].x, x) << i;
        EXPECT_EQ(store.model2A[i].y, y) << i;
        EXPECT_EQ(store.model2B[i], store.model2A[i]) << i;
    }
    EXPECT_EQ(store.modelParams[1], 1024);
    EXPECT_EQ(store.modelParams[2], 150);
    // The editor shows the model read back and is no longer modified.
    EXPECT_FALSE(editor.Modified());
    EXPECT_FALSE(editor.CopyToAdapted());
    EXPECT_EQ(editor.Points().size(), kDefault08.size());
    EXPECT_EQ(editor.OffsetPosition(), 8);
    EXPECT_TRUE(s.Violations().empty()) << ::testing::PrintToString(s.Violations());
}

TEST(ModelLink, Model2WriteBeforeRevisionDSendsNoAdaptedModelAndSetsTheRpmBit)
{
    SimLink s(SimSetup::Controller(0x30, 'C'));
    ASSERT_TRUE(s.ConnectClean());
    KnownPageState(s.Data());
    TModel2Editor editor;
    editor.LoadDefault(5);
    TModelPoints idle;
    TModel2WriteOptions o = PlainOptions();
    o.RpmCorrectionActive = false;
    const TModel2WriteReport r = WriteModel2(s.Manager(), editor, idle, o);
    s.Sync();
    ASSERT_TRUE(r.Write.Ok) << r.Write.Message();
    const Frames all = s.Requests();
    const Frames expected{
        SetW(14, 0x0007),
        SetB(30, 104),
        SetW(8, 468),
        SetM(74, 0x0B & ~0x04),
        SetM(1, 1024),
        SetM(2, 150),
        SetM(11, 1024),
        SetM(12, 0),
        SetM(13, 0),
        Model2Half(0xD5, 0, kDefault08),
        Model2Half(0xD5, 1, {}),
        Frame({0xC1, 561 >> 8, 561 & 0xFF, 711 >> 8, 711 & 0xFF, 1122 >> 8, 1122 & 0xFF, 1272 >> 8, 1272 & 0xFF}),
        SetB(37, 0x01)};
    ASSERT_GE(all.size(), expected.size());
    EXPECT_EQ(Frames(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
    EXPECT_TRUE(s.Violations().empty()) << ::testing::PrintToString(s.Violations());
}

TEST(ModelLink, ChangedWorkingPressureShiftsThePressureCorrectionOnYes)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.ConnectClean());
    KnownPageState(s.Data());
    TCorrectionTable c{};
    for (std::size_t i = 0; i < c.size(); ++i)
        c[i] = static_cast<int8_t>(10 - static_cast<int>(i));
    s.Data().CPS = c;
    s.Data().CMActive = 0x0A;
    TModel2Editor editor;
    editor.LoadDefault(5);
    TModelPoints idle;
    TModel2WriteOptions o = PlainOptions();
    o.WorkPress = 123; // "1,00" → "1,20": two positions up
    std::vector<std::string> asked;
    o.Ask = [&asked](const TQuestion &q) {
        asked.push_back(q.Text);
        return TAnswer::Yes;
    };
    const TModel2WriteReport r = WriteModel2(s.Manager(), editor, idle, o);
    s.Sync();
    ASSERT_TRUE(r.Write.Ok) << r.Write.Message();
    EXPECT_TRUE(r.PressureShifted);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), "strQCorrPressureChange");
    std::vector<unsigned> table{0xD1};
    for (std::size_t a = 0; a < 20; ++a)
        table.push_back(static_cast<uint8_t>(c[a < 2 ? 0 : a - 2]));
    const Frames all = s.Requests();
    ASSERT_GE(all.size(), 6u);
    EXPECT_EQ(all[2], SetB(30, 123));
    EXPECT_EQ(all[3], Frame(table));
    EXPECT_EQ(all[5], SetM(74, 0x0B)); // the pressure bit added to the others
    const sim::ParameterStore store = Model(s)->Store();
    EXPECT_EQ(store.cps[0], 10);
    EXPECT_EQ(store.cps[2], 10);
    EXPECT_EQ(store.cps[19], 10 - 17);
}

TEST(ModelLink, ModifiedWriteOffersToClearTheLpgMap)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    Model(s)->EditStore([](sim::ParameterStore &st) {
        st.ClearMap(2);
        st.AddMapPoint(true, 0x2C85);
    });
    ASSERT_TRUE(s.ConnectClean());
    KnownPageState(s.Data());
    TModel2Editor editor;
    editor.LoadDefault(5);
    TModelPoints idle;
    TModel2WriteOptions o = PlainOptions();
    std::vector<std::string> asked;
    o.Ask = [&asked](const TQuestion &q) {
        asked.push_back(q.Text);
        return TAnswer::Yes;
    };
    const TModel2WriteReport r = WriteModel2(s.Manager(), editor, idle, o);
    s.Sync();
    ASSERT_TRUE(r.Write.Ok);
    EXPECT_TRUE(r.GasMapCleared);
    EXPECT_EQ(asked, std::vector<std::string>{"strQGasMapClearAfterModelChange"});
    const Frames all = s.Requests();
    ASSERT_GE(all.size(), 3u);
    EXPECT_EQ(Frames(all.end() - 3, all.end()),
              (Frames{Frame({0x31, 0x00, 0xC6}), Frame({0xDE, 2}), Frame({0xDE, 4})}));
    EXPECT_EQ(Model(s)->Store().MapCount(true), 0);
    // An unmodified write asks nothing.
    s.ClearTrace();
    asked.clear();
    ASSERT_TRUE(WriteModel2(s.Manager(), editor, idle, o).Write.Ok);
    EXPECT_TRUE(asked.empty());
}

TEST(ModelLink, AWriteFailingAtItsKthCommandStopsThereAndStaysModified)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.ConnectClean());
    const Frames all = DefaultWriteFromD();
    auto silencer = SilentOnWrite::Install(s, {0x08, 0x52, 0x16, 0xD5, 0x96, 0xC1, 0xD1});
    for (const std::size_t k : {std::size_t{1}, std::size_t{2}, std::size_t{11}, all.size() - 1, all.size()}) {
        SCOPED_TRACE(k);
        s.Manager().SetLinkUp(false);
        ASSERT_TRUE(s.ConnectClean());
        KnownPageState(s.Data());
        TModel2Editor editor;
        editor.LoadDefault(5);
        TModelPoints idle;
        silencer->Arm(k);
        const TModel2WriteReport r = WriteModel2(s.Manager(), editor, idle, PlainOptions());
        s.Sync();
        EXPECT_FALSE(r.Write.Ok);
        EXPECT_EQ(r.Write.StepsDone, k - 1);
        EXPECT_EQ(r.Write.FailedStep, StepOf(all[k - 1]));
        EXPECT_FALSE(r.ReadBack);
        EXPECT_TRUE(editor.Modified());
        EXPECT_EQ(s.Requests(), Frames(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k)));
    }
}

TEST(ModelLink, ACancelStopsTheWriteBetweenTwoStepsAndItStaysModified)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    const Frames all = DefaultWriteFromD();
    for (const std::size_t k : {std::size_t{1}, std::size_t{5}, std::size_t{11}, all.size() - 1}) {
        SCOPED_TRACE(k);
        s.Manager().SetLinkUp(false);
        ASSERT_TRUE(s.ConnectClean());
        KnownPageState(s.Data());
        TModel2Editor editor;
        editor.LoadDefault(5);
        TModelPoints idle;
        TSequenceControl control;
        control.OnProgress = [&control, k](unsigned done, unsigned) {
            if (done == k)
                control.Cancel();
        };
        TModel2WriteReport r;
        {
            TSequenceScope scope(s.Manager(), &control);
            r = WriteModel2(s.Manager(), editor, idle, PlainOptions());
        }
        s.Sync();
        EXPECT_FALSE(r.Write.Ok);
        EXPECT_TRUE(r.Write.Cancelled);
        EXPECT_EQ(r.Write.StepsDone, k);
        // The step that would have come next is named and was not sent.
        EXPECT_EQ(r.Write.FailedStep, StepOf(all[k]));
        EXPECT_FALSE(r.ReadBack);
        EXPECT_TRUE(editor.Modified());
        EXPECT_EQ(s.Requests(), Frames(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(k)));
    }
}

TEST(ModelLink, Model1WriteReportsEachOfItsThirteenSteps)
{
    SimLink s(SimSetup::Controller(0x14));
    ASSERT_TRUE(s.ConnectClean());
    ASSERT_TRUE(ReadModel1(s.Manager()).Ok);
    TSequenceControl control;
    std::vector<std::pair<unsigned, unsigned>> seen;
    control.OnProgress = [&seen](unsigned done, unsigned total) { seen.emplace_back(done, total); };
    TWriteResult r;
    {
        TSequenceScope scope(s.Manager(), &control);
        r = WriteModel1(s.Manager(), Model1Of(s.Data()));
    }
    ASSERT_TRUE(r.Ok) << r.Message();
    ASSERT_EQ(seen.size(), 14u); // the total first, then every step
    EXPECT_EQ(seen.front(), std::make_pair(0u, 13u));
    EXPECT_EQ(seen.back(), std::make_pair(13u, 13u));
}

TEST(ModelLink, BusyAutocalibrationSendsNothing)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.ConnectClean());
    TModel2Editor editor;
    editor.LoadDefault(5);
    TModelPoints idle;
    TModel2WriteOptions o = PlainOptions();
    o.AutocalibrationWorkRunning = true;
    const TModel2WriteReport r = WriteModel2(s.Manager(), editor, idle, o);
    s.Sync();
    EXPECT_TRUE(r.Busy);
    EXPECT_FALSE(r.Write.Ok);
    EXPECT_TRUE(s.Requests().empty());
    EXPECT_TRUE(editor.Modified());
}

TEST(ModelLink, Model1ReadAndWriteFrames)
{
    SimLink s(SimSetup::Controller(0x14));
    ASSERT_TRUE(s.ConnectClean());
    ASSERT_TRUE(ReadModel1(s.Manager()).Ok);
    s.Sync();
    EXPECT_EQ(s.Requests(), Model1Read());
    s.ClearTrace();
    TModel1 m = DefaultModel1();
    m.E = {10, 0, -5, 20};
    m.Correction = {1.05, -0.5, 0x03};
    const TWriteResult w = WriteModel1(s.Manager(), m);
    s.Sync();
    ASSERT_TRUE(w.Ok) << w.Message();
    EXPECT_EQ(s.Requests(), (Frames{SetM(1, 1024), SetM(2, 187), SetM(11, 1075), SetM(12, 0xFFA2), SetM(13, 3),
                                    SetM(3, 935), SetM(4, 1870), SetM(5, 2805), SetM(6, 3740), SetM(7, 4506),
                                    SetM(8, 4096), SetM(9, 3891), SetM(10, 4915)}));
    // Read back, the controller gives the same model.
    TNorviData &d = s.Data();
    d.P2 = 0;
    d.E1 = 0;
    ASSERT_TRUE(ReadModel1(s.Manager()).Ok);
    EXPECT_EQ(Model1Of(d).P, m.P);
    EXPECT_EQ(Model1Of(d).E, m.E);
    EXPECT_EQ(Model1Of(d).Correction.Mask, 3);
}

TEST(ModelLink, ReadAfterConnectOnEachGeneration)
{
    struct Case
    {
        uint8_t generation;
        char letter;
        Frames expected;
    };
    const std::vector<Case> cases{
        {0x14, 'C', Model1Read()},
        {0x15, 'C', Model1Read()},
        {0x30, 'C',
         [] {
             Frames f = Model2Read(false);
             Append(f, CorrectionsRead(false, false));
             return f;
         }()},
        {0x30, 'D',
         [] {
             Frames f = Model2Read(true);
             Append(f, CorrectionsRead(true, false));
             return f;
         }()},
        {0x30, 'G',
         [] {
             Frames f = Model2Read(true);
             Append(f, CorrectionsRead(true, true));
             return f;
         }()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.generation) + c.letter);
        SimLink s(SimSetup::Controller(c.generation, static_cast<uint8_t>(c.letter)));
        ASSERT_TRUE(s.ConnectClean());
        TModelPoints idle;
        const TWriteResult r = ReadModelDataAfterConnect(s.Manager(), idle);
        s.Sync();
        EXPECT_TRUE(r.Ok) << r.Message();
        EXPECT_EQ(r.StepsDone, c.expected.size());
        EXPECT_EQ(s.Requests(), c.expected);
        EXPECT_TRUE(s.Violations().empty()) << ::testing::PrintToString(s.Violations());
    }
}

TEST(ModelLink, ReadAfterConnectStopsAtTheFirstFailedRead)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.ConnectClean());
    s.AddFault("silence@D4:1");
    TModelPoints idle;
    const TWriteResult r = ReadModelDataAfterConnect(s.Manager(), idle);
    s.Sync();
    EXPECT_FALSE(r.Ok);
    EXPECT_EQ(r.FailedStep, "ReadModel2SetA(0)");
    const Frames all = Model2Read(true);
    EXPECT_EQ(s.Requests(), Frames(all.begin(), all.begin() + 8));
}
