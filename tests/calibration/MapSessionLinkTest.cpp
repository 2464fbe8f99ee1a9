// The map page's sequences against the simulated controller: the exact
// requests of each clear, the range change and a file load; a write that
// fails on its k-th request is reported as that step with nothing sent
// after it; nothing is sent while the controller is not running or is
// locked; the 5-second automatic read runs on a test clock; and map points
// collected from the simulated car give back the gas model error it has.
#include "SilentOnWrite.h"
#include "SimLink.h"

#include "calibration/MapAutoRead.h"
#include "calibration/MapCalculation.h"
#include "calibration/MapSession.h"
#include "controller/DataManager.h"
#include "controller/LockState.h"
#include "controller/SequenceControl.h"

#include <gtest/gtest.h>

#include <memory>

using namespace lumex;
using linktest::SimLink;

namespace {

using Frames = std::vector<std::string>;

// The 40 row reads of the G3 map, "C0 DC rr sum".
Frames G3RowReads()
{
    Frames f;
    for (unsigned r = 0; r < 40; ++r) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "C0 DC %02X %02X", r, (0xC0 + 0xDC + r) & 0xFF);
        f.push_back(hex);
    }
    return f;
}

Frames Concat(Frames a, const Frames &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class MapSessionLink : public ::testing::Test
{
protected:
    void Start(uint8_t generation, char letter)
    {
        link_ = std::make_unique<SimLink>(testsupport::SimSetup::Controller(generation, static_cast<uint8_t>(letter)));
        ASSERT_TRUE(link_->Connect());
        session_ = std::make_unique<TMapSession>(
            link_->Manager(), points_, modified_,
            [this](const TQuestion &q) {
                questions_.push_back(q.Text);
                return answer_;
            },
            [](std::string_view key) { return std::string(key); });
    }
    // Runs `op` and returns the requests it sent.
    template <typename Op> Frames Sent(Op op)
    {
        link_->Sync();
        link_->ClearTrace();
        op();
        link_->Sync();
        return link_->Requests();
    }

    std::unique_ptr<SimLink> link_;
    TImagePoints points_;
    TModifiedFlag modified_;
    TAnswer answer_ = TAnswer::Yes;
    std::vector<std::string> questions_;
    std::unique_ptr<TMapSession> session_;
};

} // namespace

TEST_F(MapSessionLink, ClearingOn30SendsTheMapCodesThenReads)
{
    Start(0x30, 'G');
    ASSERT_NE(link_->Data().PressureSensorType, 1);
    link_->Control("map fill 5 10");
    TMapOpResult r;
    // Petrol points cleared, then the counts (0 petrol, 5 LPG), one LPG block, the G3 map.
    EXPECT_EQ(Sent([&] { r = session_->ClearPetrolMap(); }),
              Concat({"C0 DE 01 9F", "C0 31 00 C6 B7", "C0 D7 00 97"}, G3RowReads()));
    EXPECT_TRUE(r.Ran && r.Write.Ok && r.ReadOk);
    EXPECT_EQ(questions_, Frames{"strQuestMapPetrolClear"});
    EXPECT_EQ(points_.PetrolPoints.Count, 0);
    EXPECT_EQ(points_.GasPoints.Count, 5);

    // With "MapG3" ticked the LPG clear leaves out the point list (code 2).
    session_->MapG3Ticked = true;
    EXPECT_EQ(Sent([&] { r = session_->ClearGasMap(); }),
              Concat({"C0 DE 04 A2", "C0 31 00 C6 B7", "C0 D7 00 97"}, G3RowReads()));
    session_->MapG3Ticked = false;
    EXPECT_EQ(Sent([&] { r = session_->ClearGasMap(); }),
              Concat({"C0 DE 02 A0", "C0 DE 04 A2", "C0 31 00 C6 B7"}, G3RowReads()));
    EXPECT_EQ(points_.GasPoints.Count, 0);

    // "No" sends nothing.
    answer_ = TAnswer::No;
    EXPECT_TRUE(Sent([&] { r = session_->ClearPetrolMap(); }).empty());
    EXPECT_TRUE(r.Declined);
    EXPECT_TRUE(link_->Violations().empty()) << ::testing::PrintToString(link_->Violations());
}

TEST_F(MapSessionLink, ClearingOn14ZeroesTheCountInMemory)
{
    Start(0x14, 'A');
    link_->Control("map fill 2 0");
    TMapOpResult r;
    // Both counts read back: no petrol points left, two LPG points read word by word.
    EXPECT_EQ(Sent([&] { r = session_->ClearPetrolMap(); }),
              (Frames{"C0 34 00 C6 00 BA", "C0 31 00 C6 B7", "C0 31 01 C8 BA", "C0 31 01 CA BC"}));
    EXPECT_TRUE(r.Write.Ok);
    EXPECT_EQ(points_.GasPoints.Count, 2);
    EXPECT_TRUE(link_->Violations().empty()) << ::testing::PrintToString(link_->Violations());
}

TEST_F(MapSessionLink, RangeChangeWritesTheParameterAndAsksToClear)
{
    Start(0x30, 'G');
    TMapOpResult r;
    EXPECT_EQ(Sent([&] { r = session_->ChangeRPMRange(10); }),
              Concat({"C0 08 13 0A E5", "C0 DE 03 A1", "C0 DE 04 A2", "C0 31 00 C6 B7"}, G3RowReads()));
    EXPECT_TRUE(r.Write.Ok);
    EXPECT_EQ(questions_, Frames{"strQuestMapsClear"});
    EXPECT_FALSE(modified_.IsModified());

    answer_ = TAnswer::No;
    EXPECT_EQ(Sent([&] { r = session_->ChangeRPMRange(2); }), (Frames{"C0 08 13 02 DD"}));
    EXPECT_EQ(r.Information, "strMapClear");

    // A refused parameter write stops the sequence and keeps the page modified.
    link_->Control("lock 0F");
    link_->Data().LockState = kLockLocked;
    EXPECT_TRUE(Sent([&] { r = session_->ChangeRPMRange(3); }).empty());
    EXPECT_FALSE(r.Write.Ok);
    EXPECT_EQ(r.Write.FailedStep, "WriteByteParam(19)");
    EXPECT_EQ(r.Write.Refusal, TWriteRefusal::Locked);
    EXPECT_TRUE(modified_.IsModified());
}

TEST_F(MapSessionLink, TemplateClearSwitchesAdaptationOffFirst)
{
    Start(0x30, 'G');
    link_->Data().Flags31 |= 0x40;
    TMapOpResult r;
    const Frames sent = Sent([&] { r = session_->ClearTemplate(); });
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(Frames(sent.begin(), sent.begin() + 3), (Frames{"C0 08 1F 20 07", "C0 DE 03 A1", "C0 31 00 C6 B7"}));
    EXPECT_EQ(questions_, Frames{"strAdaptationOffTemplateClear strQuestAdaptationTemplateClear"});
    EXPECT_EQ(link_->Data().Flags31 & 0x40, 0);
}

TEST_F(MapSessionLink, FileLoadSendsEachKindAndStopsAtTheFailedWrite)
{
    Start(0x30, 'G');
    link_->Control("map fill 4 0");
    // Only LPG points: the petrol points stay on the controller.
    const TMapFileParse parsed = ParseMapFile("LPG\nLp\tPoinX\tPoinY\tRPM>4000\n0\t0.50\t4.28\t1\n1\t0.60\t5.13\t1\n");
    ASSERT_TRUE(parsed.File) << parsed.Error;
    const TMapFile &file = *parsed.File;
    TMapOpResult r;
    const Frames sent = Sent([&] { r = session_->LoadFile(file); });
    ASSERT_TRUE(r.Write.Ok) << r.Write.Message();
    // Bin of 0.5 bar on sensor 2: round(256 × (0.121 − 0.00842)) = 29 → 9;
    // 4.28 ms → 25; range 1: 0x2000 | 9 << 7 | 25 = 0x2499. 0.6 bar, 5.13 ms: 0x261E.
    const Frames writes{"C0 34 00 C7 00 BB", "C0 32 01 C8 24 99 78", "C0 32 01 CA 26 1E 01", "C0 34 00 C7 02 BD"};
    ASSERT_GE(sent.size(), writes.size());
    EXPECT_EQ(Frames(sent.begin(), sent.begin() + 4), writes);
    EXPECT_TRUE(r.ReadOk);
    EXPECT_EQ(points_.PetrolPoints.Count, 4);
    ASSERT_EQ(points_.GasPoints.Count, 2);
    EXPECT_NEAR(points_.GasPoints.Points[1].Pressure, 0.6, 0.02);
    EXPECT_NEAR(points_.GasPoints.Points[1].TimeMs, 5.13, 0.09);

    // The k-th write of a petrol and LPG file fails: that step is reported,
    // nothing follows it, and there is no read.
    const TMapFileParse both = ParseMapFile(FormatMapFile({{0.3, 3, 0}, {0.5, 5, 0}}, {{0.4, 4, 0}}));
    ASSERT_TRUE(both.File);
    const Frames all = Sent([&] { r = session_->LoadFile(*both.File); });
    ASSERT_TRUE(r.Write.Ok);
    const Frames allWrites(all.begin(), all.begin() + 7);
    // The map's writes: memory bytes and words, the model parameter and the map block.
    auto silencer = testsupport::SilentOnWrite::Install(*link_, {0x32, 0x34, 0x08, 0xDE});
    const std::vector<std::string> steps{"WriteMemByte(198)", "WriteMemByte(199)", "WriteMemWord(200)",
                                         "WriteMemWord(202)", "WriteMemByte(198)", "WriteMemWord(456)",
                                         "WriteMemByte(199)"};
    for (std::size_t k = 1; k <= steps.size(); ++k) {
        SCOPED_TRACE(k);
        link_->Manager().SetLinkUp(false);
        ASSERT_TRUE(link_->Connect());
        silencer->Arm(k);
        const Frames got = Sent([&] { r = session_->LoadFile(*both.File); });
        EXPECT_FALSE(r.Write.Ok);
        EXPECT_EQ(r.Write.FailedStep, steps[k - 1]);
        EXPECT_EQ(r.Write.StepsDone, k - 1);
        EXPECT_FALSE(r.ReadOk);
        EXPECT_EQ(got, Frames(allWrites.begin(), allWrites.begin() + static_cast<std::ptrdiff_t>(k)));
    }
}

TEST_F(MapSessionLink, NothingIsSentForABadFileOrWithoutAController)
{
    Start(0x30, 'G');
    const TMapFileParse parsed = ParseMapFile("PETROL\n0\t0.5\t30\t0\n"); // 30 ms does not fit a word
    ASSERT_TRUE(parsed.File);
    TMapOpResult r;
    EXPECT_TRUE(Sent([&] { r = session_->LoadFile(*parsed.File); }).empty());
    EXPECT_NE(r.Error.find("line 2"), std::string::npos) << r.Error;
    EXPECT_FALSE(r.Ran);

    link_->Manager().SetLinkUp(false);
    link_->Data().VersionCode = 0;
    EXPECT_TRUE(Sent([&] {
                    session_->Read();
                    session_->ClearPetrolMap();
                    session_->ChangeRPMRange(1);
                }).empty());
    EXPECT_TRUE(questions_.empty());
}

TEST(MapAutoRead, ReadsEveryFiveSecondsWhileShownAndTicked)
{
    using namespace std::chrono_literals;
    std::chrono::steady_clock::time_point now{};
    int reads = 0;
    TMapAutoRead timer([&reads] { ++reads; }, [&now] { return now; });
    timer.SetAutoRefresh(true);
    now += 10s;
    EXPECT_FALSE(timer.Tick()); // page not shown
    timer.SetPageShown(true);
    now += 4999ms;
    EXPECT_FALSE(timer.Tick());
    now += 1ms;
    EXPECT_TRUE(timer.Tick());
    EXPECT_FALSE(timer.Tick());
    now += 7s; // a late tick: the next read is 5 s after this one
    EXPECT_TRUE(timer.Tick());
    now += 4s;
    EXPECT_FALSE(timer.Tick());
    timer.SetAutoRefresh(false);
    now += 10s;
    EXPECT_FALSE(timer.Tick());
    EXPECT_EQ(reads, 2);
}

TEST_F(MapSessionLink, CollectedPointsShowTheCarsGasModelError)
{
    Start(0x30, 'G');
    for (const auto &[count, which] : {std::pair{20, TMapCalculation::B}, std::pair{10, TMapCalculation::C}}) {
        SCOPED_TRACE(count);
        TMapCalcResult r;
        link_->Control("map fill " + std::to_string(count) + " 10");
        const TMapReadResult read = session_->Read();
        ASSERT_TRUE(read.Ok && read.G3Read);
        EXPECT_TRUE(read.Coverage.CoversAllLoads());
        const Frames sent = Sent([&] {
            const auto calc = session_->Calculate();
            ASSERT_TRUE(calc);
            r = *calc;
        });
        // The model's two halves are read first.
        EXPECT_EQ(sent, (Frames{"C0 D4 00 94", "C0 D4 01 95"}));
        const TMapCalcInput in = TMapCalcInput::From(link_->Data(), points_);
        ASSERT_EQ(in.Gas.size(), static_cast<std::size_t>(count));
        ASSERT_TRUE(r.Computed()) << r.Warning;
        EXPECT_EQ(r.Calculation, which);
        ASSERT_GE(r.Points.size(), static_cast<std::size_t>(count) - 1);
        // Each calculated point pairs the petrol time the car needs with the
        // model's gas time for the trimmed LPG time: 10 % apart, within the
        // 32-tick steps of the map words.
        if (which == TMapCalculation::B) {
            double ratio = 0;
            for (std::size_t i = 0; i < in.Gas.size(); ++i) {
                EXPECT_NEAR(r.Points[i].PetrolMs, 1.1 * in.Gas[i].TimeMs, 0.3) << i;
                ratio += r.Points[i].PetrolMs / in.Gas[i].TimeMs / static_cast<double>(in.Gas.size());
            }
            EXPECT_NEAR(ratio, 1.1, 0.02);
        }
        for (const TCalcPoint &p : r.Points)
            EXPECT_GT(p.PetrolMs, 1.5);
    }
}

// The map read counts its frames once it knows the point counts, and a
// cancel stops it between two frames.
TEST_F(MapSessionLink, ReadShowsItsFramesAndACancelStopsItBetweenTwo)
{
    Start(0x30, 'G');
    link_->Control("map fill 20 10");
    TSequenceControl full;
    std::pair<unsigned, unsigned> last;
    full.OnProgress = [&last](unsigned done, unsigned total) { last = {done, total}; };
    const Frames all = Sent([&] {
        TSequenceScope scope(link_->Manager(), &full);
        EXPECT_TRUE(session_->Read().Ok);
    });
    // The counts, two blocks of each list and the 40 rows of the G3 map.
    ASSERT_EQ(all.size(), 45u);
    EXPECT_EQ(last, std::make_pair(45u, 45u));
    EXPECT_EQ(Frames(all.end() - 40, all.end()), G3RowReads());

    for (const unsigned k : {1u, 3u, 44u}) {
        SCOPED_TRACE(k);
        TSequenceControl control;
        control.OnProgress = [&control, k](unsigned done, unsigned) {
            if (done == k)
                control.Cancel();
        };
        TMapReadResult r;
        const Frames sent = Sent([&] {
            TSequenceScope scope(link_->Manager(), &control);
            r = session_->Read();
        });
        EXPECT_FALSE(r.Ok);
        EXPECT_TRUE(r.Cancelled);
        EXPECT_EQ(sent, Frames(all.begin(), all.begin() + k));
    }
}
