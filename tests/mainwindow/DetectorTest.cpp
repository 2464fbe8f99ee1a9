#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "mainwindow/Detector.h"
#include "mainwindow/PollingTick.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace lumex;
using testsupport::SimHarness;

namespace {

namespace fs = std::filesystem;

// A folder with sibling "programs": shell scripts that write their
// arguments and working folder to a file.
class SiblingFolder
{
public:
    SiblingFolder()
    {
        char pattern[] = "/tmp/lumex-siblings-XXXXXX";
        folder_ = ::mkdtemp(pattern);
    }
    ~SiblingFolder() { fs::remove_all(folder_); }
    fs::path Path() const { return folder_; }
    fs::path Report() const { return folder_ / "started.txt"; }

    void AddProgram(const std::string &name)
    {
        const fs::path file = folder_ / name;
        std::ofstream out(file);
        out << "#!/bin/sh\necho \"$0 $*\" > " << Report().string() << ".part\npwd >> " << Report().string()
            << ".part\nmv " << Report().string() << ".part " << Report().string() << "\n";
        out.close();
        ::chmod(file.c_str(), 0755);
    }
    std::string Started()
    {
        std::ifstream in(Report());
        std::string all, line;
        while (std::getline(in, line))
            all += line + "\n";
        return all;
    }

private:
    fs::path folder_;
};

class TestLink
{
public:
    explicit TestLink(SimHarness &sim)
    {
        link.Port.SetDevicePath(sim.Path());
        link.Port.Open();
    }
    ~TestLink() { link.Port.Close(); }
    TControllerLink link;
};

} // namespace

TEST(Detector, ProbesAlternateBetweenControllerAndBootloader)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    TestLink t(sim);
    TDetector detector;
    detector.DetectedDevices = {TDetectedDevice::ddNorvi30, TDetectedDevice::ddBootloader40};
    std::vector<int> candidates;
    for (int i = 0; i < 4; ++i) {
        detector.Detect(t.link.Port);
        candidates.push_back(detector.LastCandidate());
    }
    EXPECT_EQ(candidates, std::vector<int>({0, 3, 0, 3}));
    EXPECT_EQ(detector.DetectionResult(), 0); // nothing answers the 0xBC probe
    ASSERT_TRUE(testsupport::WaitFor([&] { return sim.Received().size() >= 4; }));
    const auto rx = sim.Received();
    EXPECT_EQ(rx[0], "C0 01 01 C2");
    EXPECT_EQ(rx[1], "BC E1 E1 7E");
    EXPECT_EQ(rx[2], "C0 01 01 C2");
    EXPECT_EQ(rx[3], "BC E1 E1 7E");
}

TEST(Detector, ResultCodesAndFamilies)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    TestLink t(sim);
    TDetector detector;
    detector.DetectedDevices = {TDetectedDevice::ddNorvi30};
    EXPECT_EQ(detector.Detect(t.link.Port), 4);
    EXPECT_EQ(detector.Family(), 2);
    // The only candidate was probed; the next search finds none before index 4.
    EXPECT_EQ(detector.Detect(t.link.Port), 0);
    EXPECT_EQ(detector.Detect(t.link.Port), 4);
    const uint8_t a14[] = {0xD0, 0x01, 0x14, 0xE5};
    EXPECT_EQ(FamilyOfResult(ProbeResult(0, a14)), 2);
    const uint8_t a13[] = {0xD0, 0x01, 0x13, 0xE4};
    EXPECT_EQ(FamilyOfResult(ProbeResult(0, a13)), 1);
    const uint8_t a35[] = {0xD1, 0x01, 0x35, 0x07};
    EXPECT_EQ(ProbeResult(2, a35), 5);
    EXPECT_EQ(FamilyOfResult(8), 3);
    EXPECT_EQ(FamilyOfResult(0), 0);
}

TEST(Detector, FindProgramNeverReturnsThisProgram)
{
    SiblingFolder folder;
    folder.AddProgram("Lumex2-3.0.exe");
    folder.AddProgram("gas-1.3-tool");
    TDetector detector;
    detector.ProgramFolder = folder.Path();
    detector.ProgramFileName = "lumex2-3.0.EXE";
    EXPECT_EQ(detector.FindProgram(2), "");
    EXPECT_EQ(detector.FindProgram(1), (folder.Path() / "gas-1.3-tool").string());
    EXPECT_EQ(detector.FindProgram(3), "");
    detector.UseDevelopmentExeNames = true;
    folder.AddProgram("Norvi4");
    EXPECT_EQ(detector.FindProgram(3), (folder.Path() / "Norvi4").string());
    EXPECT_TRUE(MatchesPattern("abc-4.0-x", "*-4.0*"));
    EXPECT_FALSE(MatchesPattern("abc-4.1", "*-4.0*"));
}

TEST(PollingTick, ProbesStillGoOutWhileTheLinkIsDown)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    TestLink t(sim);
    TDataManager &m = t.link.Manager;
    ASSERT_TRUE(m.PollCycle(0) && m.LinkUp);
    TDetector detector;
    detector.DetectedDevices = {TDetectedDevice::ddNorvi30, TDetectedDevice::ddBootloader40};
    detector.Detect(t.link.Port); // candidate 0: the controller answers
    TTickHooks hooks;
    TPollingTick tick(m, detector, hooks);
    tick.TimerReady = true;
    // A lost answer: the link is down while the controller stays known, so
    // the protocol object sends nothing; the detector must still probe.
    m.SetLinkUp(false);
    ASSERT_NE(m.Data().VersionCode, 0);
    sim.ClearTrace();
    tick.Run();
    ASSERT_TRUE(testsupport::WaitFor([&] { return !sim.Received().empty(); }));
    EXPECT_EQ(sim.Received().front(), "BC E1 E1 7E");
    EXPECT_EQ(detector.LastCandidate(), 3);
    // The same tick reconnected through the poll cycle.
    EXPECT_TRUE(m.LinkUp);
}

TEST(PollingTick, HandsA13ControllerToItsSiblingProgram)
{
    SimHarness sim(testsupport::SimSetup::Of(sim::Personality::Controller13));
    TestLink t(sim);
    SiblingFolder folder;
    folder.AddProgram("gas-1.3-test");
    folder.AddProgram("Lumex2-3.0");
    TDetector detector;
    detector.DetectedDevices = {TDetectedDevice::ddNorvi30, TDetectedDevice::ddBootloader40};
    detector.ProgramFolder = folder.Path();
    detector.ProgramFileName = "Lumex2-3.0";
    TTickHooks hooks;
    TPollingTick tick(t.link.Manager, detector, hooks);
    tick.TimerReady = true;
    const TTickReport report = tick.Run();
    EXPECT_EQ(detector.DetectionResult(), 1);
    EXPECT_EQ(report.HandedOverTo, (folder.Path() / "gas-1.3-test").string());
    EXPECT_FALSE(tick.TimerReady);
    ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(folder.Report()); }));
    const std::string started = folder.Started();
    EXPECT_EQ(started, (folder.Path() / "gas-1.3-test").string() + " /nologo\n" + folder.Path().string() + "\n");
}

namespace {

// A line with a bootloader of the given family on the 0xBC protocol.
struct BootLine
{
    explicit BootLine(uint8_t family) : sim(Options(family)), t(sim) {}
    static sim::SimulatorOptions Options(uint8_t family)
    {
        auto o = testsupport::SimSetup::Of(sim::Personality::Bootloader);
        o.boot.major = 4;
        o.boot.minor = 6;
        o.boot.family = family;
        return o;
    }
    SimHarness sim;
    TestLink t;
};

} // namespace

TEST(PollingTick, BootloaderOfThisProgramsFamiliesIsNotHandedOver)
{
    for (uint8_t family : {uint8_t{3}, uint8_t{40}}) {
        BootLine line(family);
        SiblingFolder folder;
        folder.AddProgram("gas-4.0-test");
        TDetector detector;
        detector.DetectedDevices = {TDetectedDevice::ddNorvi30, TDetectedDevice::ddBootloader40};
        detector.ProgramFolder = folder.Path();
        detector.ProgramFileName = "Lumex2";
        TTickHooks hooks;
        TPollingTick tick(line.t.link.Manager, detector, hooks);
        int started = 0;
        tick.StartProgram = [&](const std::string &) { return ++started, true; };
        tick.TimerReady = true;
        tick.Run();                            // candidate 0: nothing answers
        const TTickReport report = tick.Run(); // candidate 3: the bootloader
        EXPECT_EQ(detector.DetectionResult(), 8);
        EXPECT_EQ(started, 0) << "family " << int(family);
        EXPECT_TRUE(report.HandedOverTo.empty());
        EXPECT_EQ(tick.Boot().BootFamily, family);
        ASSERT_TRUE(report.BootloaderOffer.has_value());
        EXPECT_EQ(*report.BootloaderOffer, family);
    }
}

TEST(PollingTick, BootloaderOfAnotherFamilyIsHandedOver)
{
    BootLine line(4);
    SiblingFolder folder;
    folder.AddProgram("gas-4.0-test");
    TDetector detector;
    detector.DetectedDevices = {TDetectedDevice::ddNorvi30, TDetectedDevice::ddBootloader40};
    detector.ProgramFolder = folder.Path();
    detector.ProgramFileName = "Lumex2";
    TTickHooks hooks;
    TPollingTick tick(line.t.link.Manager, detector, hooks);
    std::string started;
    tick.StartProgram = [&](const std::string &path) {
        started = path;
        return true;
    };
    tick.TimerReady = true;
    tick.Run();
    const TTickReport report = tick.Run();
    EXPECT_EQ(started, (folder.Path() / "gas-4.0-test").string());
    EXPECT_EQ(report.HandedOverTo, started);
}
