// The recorder without a window: the ring, resizing, the OBD zoom, the
// cursor drag, the clock and the CSV it writes.
#include "mainwindow/OscRecorder.h"
#include "controller/LockState.h"
#include "mainwindow/OscCsv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace lumex {
namespace {

using namespace std::chrono_literals;
using TTime = std::chrono::steady_clock::time_point;

// A clock the test moves by hand.
struct ManualClock
{
    TTime now{};
    TOscClock Clock()
    {
        return [this] { return now; };
    }
};

TOscSample Sample(double tb, bool gas = false)
{
    TOscSample s;
    s.Tb = tb;
    s.GasFlag = gas ? -1 : 0;
    s.SysState = gas ? kSystemStateGas : 3;
    return s;
}

TEST(OscRecorder, RingOfWidthPlusOneWrapsAndOverwritesSlotZero)
{
    ManualClock clock;
    TOscRecorder r(clock.Clock());
    r.Resize(453);
    ASSERT_TRUE(r.Start(kLockUnlocked));
    for (int i = 0; i < 454; ++i)
        r.Append(Sample(i), clock.now);
    EXPECT_EQ(r.Position(), 0);
    EXPECT_EQ(r.Slot(453).Tb, 453);
    r.Append(Sample(1000), clock.now);
    EXPECT_EQ(r.Slot(0).Tb, 1000);
    EXPECT_EQ(r.Position(), 1);
    // The whole recording stays for export, also what the ring overwrote.
    EXPECT_EQ(r.History().size(), 455u);
    EXPECT_EQ(r.History().front().Tb, 0);
}

TEST(OscRecorder, StartNeedsAnUnlockedControllerStopAlwaysWorks)
{
    ManualClock clock;
    TOscRecorder r(clock.Clock());
    r.Resize(10);
    EXPECT_FALSE(r.Start(kLockLocked));
    EXPECT_FALSE(r.Start(kLockNoAnswer));
    EXPECT_FALSE(r.Recording());
    EXPECT_FALSE(r.Append(Sample(1), clock.now));
    EXPECT_FALSE(r.Slot(0).Taken);
    ASSERT_TRUE(r.Start(kLockUnlocked));
    // The controller locked while recording: stopping must still work.
    r.Stop();
    EXPECT_FALSE(r.Recording());
}

TEST(OscRecorder, SampleTimeComesFromTheInjectedMonotonicClock)
{
    ManualClock clock;
    clock.now = TTime{} + 86399s; // one second before a midnight of the time of day
    TOscRecorder r(clock.Clock());
    r.Resize(10);
    ASSERT_TRUE(r.Start(kLockUnlocked));
    r.Append(Sample(1), clock.now + 500ms);
    r.Append(Sample(1), clock.now + 2500ms);
    EXPECT_DOUBLE_EQ(r.Slot(0).Time, 0.5);
    EXPECT_DOUBLE_EQ(r.Slot(1).Time, 2.5);
    // Reset starts the time again and empties the ring and the recording.
    clock.now += 10s;
    r.Reset();
    EXPECT_EQ(r.Position(), 0);
    EXPECT_FALSE(r.Slot(1).Taken);
    EXPECT_TRUE(r.History().empty());
    r.Append(Sample(1), clock.now + 200ms);
    EXPECT_DOUBLE_EQ(r.Slot(0).Time, 0.2);
}

TEST(OscRecorder, ResizeKeepsSlotsThatRemainAndTheRecording)
{
    ManualClock clock;
    TOscRecorder r(clock.Clock());
    r.Resize(20);
    ASSERT_TRUE(r.Start(kLockUnlocked));
    for (int i = 0; i < 15; ++i)
        r.Append(Sample(i), clock.now);
    EXPECT_TRUE(r.Resize(30));
    EXPECT_EQ(r.Slots(), 31u);
    EXPECT_EQ(r.Slot(14).Tb, 14);
    EXPECT_FALSE(r.Slot(20).Taken);
    EXPECT_TRUE(r.Resize(10));
    EXPECT_EQ(r.Slots(), 11u);
    EXPECT_EQ(r.Slot(10).Tb, 10);
    EXPECT_EQ(r.Position(), 10);
    // A minimised window reports no drawing area: nothing changes.
    EXPECT_FALSE(r.Resize(0));
    EXPECT_FALSE(r.Resize(-1));
    EXPECT_EQ(r.Slots(), 11u);
    EXPECT_EQ(r.History().size(), 15u);
}

TEST(OscRecorder, PixelRowsStayInsideThePane)
{
    EXPECT_EQ(PixelRow(0, 0, 35, 100), 100);
    EXPECT_EQ(PixelRow(35, 0, 35, 100), 0);
    EXPECT_EQ(PixelRow(17.5, 0, 35, 100), 50);
    EXPECT_EQ(PixelRow(80, 0, 35, 100), 0);
    EXPECT_EQ(PixelRow(-3, 0, 35, 100), 100);
    EXPECT_EQ(PixelRow(-5, -5, 100, 105), 105);
}

TEST(OscRecorder, ObdZoomFollowsTheLargestValueHeld)
{
    // Channel 4 (engine speed from OBD): 0..8000, level 0 is 0..500.
    EXPECT_EQ(ObdZoomLevel(400, 0, 8000), 0);
    EXPECT_EQ(ObdZoomLevel(900, 0, 8000), 1);
    EXPECT_EQ(ObdZoomLevel(7000, 0, 8000), 4);
    EXPECT_EQ(ObdZoomLevel(90000, 0, 8000), 4); // outside the full range
    EXPECT_EQ(ObdZoomLevel(-1, 0, 8000), 4);

    ManualClock clock;
    TOscRecorder r(clock.Clock());
    r.Resize(2); // three slots
    ASSERT_TRUE(r.Start(kLockUnlocked));
    auto obd = [](double v) {
        TOscSample s;
        s.Obd[4] = v;
        s.ObdPresent = 1u << 4;
        return s;
    };
    EXPECT_FALSE(r.Append(obd(300), clock.now));
    EXPECT_EQ(r.ObdDisplayLevel(4), 0);
    EXPECT_TRUE(r.Append(obd(7000), clock.now)); // zooms out
    EXPECT_EQ(r.ObdDisplayLevel(4), 4);
    EXPECT_EQ(r.ObdRange(4), (std::pair<double, double>{0, 8000}));
    EXPECT_FALSE(r.Append(obd(300), clock.now));
    EXPECT_FALSE(r.Append(obd(300), clock.now)); // slot 0 again
    EXPECT_TRUE(r.Append(obd(300), clock.now));  // the large one is overwritten: zooms back in
    EXPECT_EQ(r.ObdDisplayLevel(4), 0);
    EXPECT_EQ(r.ObdLevelCount(4, 0), 3);
}

TEST(OscRecorder, DragMovesByTheDistanceSincePressClamped)
{
    ManualClock clock;
    TOscRecorder r(clock.Clock());
    r.Resize(100);
    r.SetPosition(50);
    r.BeginDrag(200);
    // Several moves in one direction: the cursor follows the mouse, it
    // does not add up the deltas of every move.
    r.DragTo(210);
    r.DragTo(220);
    r.DragTo(230);
    EXPECT_EQ(r.Position(), 80);
    r.DragTo(190);
    EXPECT_EQ(r.Position(), 40);
    r.DragTo(-500);
    EXPECT_EQ(r.Position(), 0);
    r.DragTo(5000);
    EXPECT_EQ(r.Position(), 100);
    r.EndDrag();
    // No dragging while recording.
    ASSERT_TRUE(r.Start(kLockUnlocked));
    r.BeginDrag(0);
    r.DragTo(-50);
    EXPECT_EQ(r.Position(), 100);
}

TEST(OscRecorder, TimeLabelsShowSlotsHundredApart)
{
    ManualClock clock;
    TOscRecorder r(clock.Clock());
    r.Resize(250);
    ASSERT_TRUE(r.Start(kLockUnlocked));
    for (int i = 0; i <= 250; ++i)
        r.Append(Sample(1), clock.now + std::chrono::milliseconds(200 * i));
    EXPECT_DOUBLE_EQ(*r.LabelTime(1), 20.0);
    EXPECT_DOUBLE_EQ(*r.LabelTime(2), 40.0);
    EXPECT_FALSE(r.LabelTime(3)); // beyond the ring
}

TEST(OscCsv, HeaderNamesEveryColumnAndRowsUseADecimalPoint)
{
    // The windows run under the user's locale; a comma there would break the columns.
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    TOscSample s = Sample(3.25, true);
    s.Taken = true;
    s.Psys = 1.2;
    s.Time = 0.4;
    s.Obd[0] = -12.5;
    s.ObdPresent = 1;
    const std::string header = OscCsvHeader();
    const std::string row = OscCsvRow(s);
    std::setlocale(LC_NUMERIC, saved.c_str());

    auto fields = [](const std::string &line) {
        std::vector<std::string> out;
        std::stringstream ss(line.substr(0, line.size() - 1));
        std::string f;
        while (std::getline(ss, f, ','))
            out.push_back(f);
        if (!line.empty() && line[line.size() - 2] == ',')
            out.push_back("");
        return out;
    };
    const auto h = fields(header);
    const auto r = fields(row);
    ASSERT_EQ(h.size(), 1 + kOscFixedChannels + 2 + kObdChannels);
    ASSERT_EQ(r.size(), h.size());
    EXPECT_EQ(h[0], "Time [s]");
    EXPECT_EQ(h[1], "Tb [ms]");
    EXPECT_EQ(h[3], "Psys [kPa]");
    EXPECT_EQ(r[0], "0.400");
    EXPECT_EQ(r[1], "3.250");
    EXPECT_EQ(r[3], "120.000"); // 1.2 bar
    EXPECT_EQ(r[10], "1");      // on gas
    EXPECT_EQ(r[11], "5");
    EXPECT_EQ(r[12], "-12.500");
    EXPECT_EQ(r[13], ""); // an absent OBD channel
}

TEST(OscCsv, StreamAppearsUnderItsNameOnlyWhenClosed)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("osc-csv-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "drive.csv").string();
    {
        TOscCsvStream csv;
        std::string error;
        ASSERT_TRUE(csv.Open(path, error)) << error;
        TOscSample s = Sample(1);
        s.Taken = true;
        EXPECT_TRUE(csv.Append(s));
        EXPECT_TRUE(csv.Append(s));
        EXPECT_FALSE(fs::exists(path));
        EXPECT_TRUE(fs::exists(path + ".part"));
        ASSERT_TRUE(csv.Close(error)) << error;
    }
    std::ifstream in(path);
    std::string line;
    int lines = 0;
    while (std::getline(in, line))
        ++lines;
    EXPECT_EQ(lines, 3);
    EXPECT_FALSE(fs::exists(path + ".part"));
    TOscCsvStream bad;
    std::string error;
    EXPECT_FALSE(bad.Open((dir / "missing" / "x.csv").string(), error));
    EXPECT_FALSE(error.empty());
    fs::remove_all(dir);
}

} // namespace
} // namespace lumex
