#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "documents/AppConfig.h"
#include "documents/LangManager.h"
#include "documents/LanguagePack.h"
#include "documents/Languages.h"
#include "mainwindow/DeviceWorker.h"

#include <atomic>
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace lumex;
using testsupport::SimHarness;
using testsupport::WaitFor;
using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

// A device thread over simulated ports: "COM n" resolves to the n-th
// simulator's pty, and the settings live in a temporary folder.
class WorkerBench
{
public:
    WorkerBench()
    {
        char pattern[] = "/tmp/lumex-worker-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        TAppFolders folders;
        folders.LocalAppData = folder_.string();
        folders.Personal = folder_.string();
        folders.ProgramFolder = folder_.string() + "/";
        folders.ProgramFile = "Lumex2";
        config.InitPaths(&link.Port, folders);
        link.Port.SetPortResolver([this](int n) {
            std::lock_guard g(mutex_);
            const auto it = paths_.find(n);
            return it == paths_.end() ? std::string("/nonexistent/port") : it->second;
        });
        worker = std::make_unique<TDeviceWorker>(link, &config, hooks);
        worker->PortLister = [this] {
            std::lock_guard g(mutex_);
            std::vector<std::string> names;
            for (const auto &[n, path] : paths_)
                names.push_back("COM" + std::to_string(n));
            return names;
        };
        worker->OnSnapshot = [this](const TDeviceSnapshot &s) {
            std::lock_guard g(mutex_);
            last_ = s;
            if (s.Report.ImageCleared)
                cleared_ = s;
        };
        worker->OnSearchStatus = [this](const TSearchStatus &status) {
            std::lock_guard g(mutex_);
            statuses_.push_back(status);
        };
        worker->OnSearchFinished = [this](const TSearchResult &r) {
            std::lock_guard g(mutex_);
            results_.push_back(r);
        };
    }
    ~WorkerBench()
    {
        worker->Stop();
        worker.reset();
        fs::remove_all(folder_);
    }

    SimHarness &AddPort(int n, sim::SimulatorOptions options, std::vector<std::string> faults = {})
    {
        sims_.push_back(std::make_unique<SimHarness>(std::move(options), faults));
        std::lock_guard g(mutex_);
        paths_[n] = sims_.back()->Path();
        return *sims_.back();
    }
    TDeviceSnapshot Last()
    {
        std::lock_guard g(mutex_);
        return last_;
    }
    std::optional<TDeviceSnapshot> Cleared()
    {
        std::lock_guard g(mutex_);
        return cleared_;
    }
    std::vector<TSearchResult> Results()
    {
        std::lock_guard g(mutex_);
        return results_;
    }
    // The statuses as the wait window words them, by default with no
    // language loaded.
    std::vector<std::string> Statuses(const std::function<std::string(std::string_view)> &language = {})
    {
        std::lock_guard g(mutex_);
        std::vector<std::string> texts;
        for (const TSearchStatus &s : statuses_)
            texts.push_back(SearchStatusText(s, language));
        return texts;
    }
    std::string Folder() const { return folder_.string() + "/"; }
    void Start(int savedPort, bool offline = false, bool noSearch = false)
    {
        config.SetPortNumber(savedPort, false);
        TWorkerStartup s;
        s.Offline = offline;
        s.NoAutoSearch = noSearch;
        s.SavedPort = savedPort;
        worker->Start(s);
    }
    std::string SettingsText()
    {
        std::ifstream in(config.SettingsFile());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TControllerLink link;
    TAppConfig config;
    TTickHooks hooks;
    std::unique_ptr<TDeviceWorker> worker;

private:
    fs::path folder_;
    std::mutex mutex_;
    std::map<int, std::string> paths_;
    std::vector<std::unique_ptr<SimHarness>> sims_;
    TDeviceSnapshot last_;
    std::optional<TDeviceSnapshot> cleared_;
    std::vector<TSearchResult> results_;
    std::vector<TSearchStatus> statuses_;
};

} // namespace

TEST(DeviceWorker, OfflineSendsNoByte)
{
    WorkerBench bench;
    SimHarness &controller = bench.AddPort(3, testsupport::SimSetup::Controller());
    bench.Start(3, true);
    ASSERT_TRUE(WaitFor([&] { return bench.worker->TicksRun() >= 2; }));
    EXPECT_EQ(controller.BytesReceived(), 0u);
    const auto s = bench.Last();
    EXPECT_TRUE(s.Offline);
    EXPECT_EQ(s.Panels.DeviceText, "----");
    EXPECT_TRUE(s.Panels.NotConnected);
    EXPECT_EQ(s.Data.VersionCode, 0);
    EXPECT_TRUE(bench.Results().empty());
}

TEST(DeviceWorker, NoConnectTriesOnlyTheSavedPort)
{
    WorkerBench bench;
    SimHarness &saved = bench.AddPort(4, testsupport::SimSetup::Controller(), {"silence@*"});
    SimHarness &other = bench.AddPort(3, testsupport::SimSetup::Controller());
    bench.Start(4, false, true);
    ASSERT_TRUE(WaitFor([&] { return bench.worker->TicksRun() >= 1; }));
    EXPECT_GT(saved.BytesReceived(), 0u);
    EXPECT_EQ(other.BytesReceived(), 0u);
    EXPECT_TRUE(bench.Results().empty());
    EXPECT_EQ(bench.Last().Data.VersionCode, 0);
}

TEST(DeviceWorker, SearchSkipsSilentAndGarbagePortsAndSavesTheControllersPort)
{
    WorkerBench bench;
    bench.AddPort(3, testsupport::SimSetup::Controller(), {"silence@*"});
    bench.AddPort(4, testsupport::SimSetup::Controller(), {"garbage@*"});
    SimHarness &controller = bench.AddPort(5, testsupport::SimSetup::Controller());
    bench.Start(7);
    ASSERT_TRUE(WaitFor([&] { return !bench.Results().empty(); }, 15s));
    const TSearchResult r = bench.Results().front();
    EXPECT_EQ(r.Outcome, TSearchOutcome::Connected);
    EXPECT_EQ(r.PortNumber, 5);
    EXPECT_EQ(bench.config.PortNumber(), 5);
    EXPECT_GT(controller.BytesReceived(), 0u);
    const auto statuses = bench.Statuses();
    EXPECT_EQ(statuses, std::vector<std::string>({"COM3", "COM4", "COM5", ">>> COM5"}));
    ASSERT_TRUE(WaitFor([&] { return bench.Last().LinkUp && bench.Last().Panels.DeviceText == "30 G"; }));
    ASSERT_TRUE(bench.config.SaveSettings());
    EXPECT_NE(bench.SettingsText().find("ComMultiPort=5"), std::string::npos);
}

TEST(DeviceWorker, SearchThatFindsNothingKeepsThePreviousPort)
{
    WorkerBench bench;
    bench.AddPort(3, testsupport::SimSetup::Controller(), {"silence@*"});
    bench.Start(9);
    ASSERT_TRUE(WaitFor([&] { return !bench.Results().empty(); }));
    EXPECT_EQ(bench.Results().front().Outcome, TSearchOutcome::NotFound);
    EXPECT_EQ(bench.config.PortNumber(), 9);
    EXPECT_FALSE(bench.Last().ConnectBusy);
}

TEST(DeviceWorker, CancelEndsTheSearchAndGoesOffline)
{
    WorkerBench bench;
    for (int n = 3; n <= 6; ++n)
        bench.AddPort(n, testsupport::SimSetup::Controller(), {"silence@*"});
    bench.Start(8);
    ASSERT_TRUE(WaitFor([&] { return !bench.Statuses().empty(); }));
    // What the window does on cancel.
    bench.worker->CancelSearch();
    bench.worker->SetOffline(true);
    ASSERT_TRUE(WaitFor([&] { return !bench.Results().empty(); }));
    EXPECT_EQ(bench.Results().front().Outcome, TSearchOutcome::Cancelled);
    EXPECT_LT(bench.Statuses().size(), 4u);
    EXPECT_EQ(bench.config.PortNumber(), 8);
    ASSERT_TRUE(WaitFor([&] { return bench.Last().Offline; }));
    EXPECT_FALSE(bench.Last().ConnectBusy);
}

TEST(ConnectionWorkflow, SecondSearchWhileOneRunsDoesNothing)
{
    SimHarness silent(testsupport::SimSetup::Controller(), {"silence@*"});
    TControllerLink link;
    link.Port.SetPortResolver([&](int) { return silent.Path(); });
    TTickHooks hooks;
    TBootInfo boot;
    TConnectionWorkflow workflow(link.Manager, nullptr, hooks, boot);
    std::optional<TSearchOutcome> inner;
    TSearchCallbacks callbacks;
    callbacks.Status = [&](const TSearchStatus &) {
        if (!inner)
            inner = workflow.SearchPorts({"COM3"}, {}).Outcome;
    };
    const TSearchResult outer = workflow.SearchPorts({"COM3"}, callbacks);
    ASSERT_TRUE(inner.has_value());
    EXPECT_EQ(*inner, TSearchOutcome::Busy);
    EXPECT_EQ(outer.Outcome, TSearchOutcome::NotFound);
    EXPECT_FALSE(workflow.ConnectBusy());
    link.Port.Close();
}

TEST(ConnectionWorkflow, UnusablePortNamesAreSkipped)
{
    EXPECT_EQ(UsablePortNumber("COM3"), 3);
    EXPECT_EQ(UsablePortNumber("COM255"), 255);
    EXPECT_FALSE(UsablePortNumber("COM256").has_value());
    EXPECT_FALSE(UsablePortNumber("COM").has_value());
    EXPECT_FALSE(UsablePortNumber("COM0").has_value());
    EXPECT_FALSE(UsablePortNumber("COMx1").has_value());
    EXPECT_FALSE(UsablePortNumber("COM99999999999999999999").has_value());
    // The search goes past them without opening anything.
    TControllerLink link;
    std::vector<int> resolved;
    link.Port.SetPortResolver([&](int n) {
        resolved.push_back(n);
        return std::string("/nonexistent/port");
    });
    const int previous = link.Port.ComDevice();
    TTickHooks hooks;
    TBootInfo boot;
    TConnectionWorkflow workflow(link.Manager, nullptr, hooks, boot);
    const TSearchResult r = workflow.SearchPorts({"COM", "COM300", "LPT1"}, {});
    EXPECT_EQ(r.Outcome, TSearchOutcome::NotFound);
    // Only the port in use before the search was ever looked up: COM300
    // did not wrap round to COM44.
    for (int n : resolved)
        EXPECT_EQ(n, previous);
    EXPECT_EQ(link.Port.ComDevice(), previous);
}

TEST(DeviceWorker, LockedControllerClearsTheImageOnceAndShowsTheLockPanel)
{
    WorkerBench bench;
    SimHarness &controller = bench.AddPort(3, testsupport::SimSetup::Controller());
    bench.Start(3, false, true);
    ASSERT_TRUE(WaitFor([&] { return bench.Last().LinkUp && bench.Last().Accessible; }));
    const TDeviceSnapshot before = bench.Last();
    ASSERT_NE(before.Data.T, 0) << "the configuration was read at connection";
    ASSERT_NE(before.Data.InjSW, 0);
    controller.Control("lock 0F");
    ASSERT_TRUE(WaitFor([&] { return bench.Cleared().has_value(); }));
    const TDeviceSnapshot cleared = *bench.Cleared();
    EXPECT_TRUE(cleared.Panels.Locked);
    EXPECT_FALSE(cleared.Accessible);
    EXPECT_EQ(cleared.Data.VersionCode, before.Data.VersionCode);
    EXPECT_EQ(cleared.Data.InjSW, before.Data.InjSW);
    EXPECT_EQ(cleared.Data.T, 0);
    EXPECT_EQ(cleared.Data.TroubleFlags, (std::array<uint8_t, 16>{}));
    // Cleared once: later ticks of the same lock clear nothing more.
    const uint64_t ticks = bench.worker->TicksRun();
    ASSERT_TRUE(WaitFor([&] { return bench.worker->TicksRun() >= ticks + 3; }));
    EXPECT_FALSE(bench.Last().Report.ImageCleared);
    EXPECT_TRUE(bench.Last().Panels.Locked);
}

TEST(DeviceWorker, OneFailedAnswerKeepsTheImage)
{
    WorkerBench bench;
    SimHarness &controller = bench.AddPort(3, testsupport::SimSetup::Controller());
    bench.Start(3, false, true);
    ASSERT_TRUE(WaitFor([&] { return bench.Last().LinkUp && bench.Last().Accessible; }));
    const uint8_t t = bench.Last().Data.T;
    ASSERT_NE(t, 0);
    controller.Control("trouble clear");
    std::string error;
    controller.Sim().AddFault(*sim::ParseFault("silence@0B:1", error));
    ASSERT_TRUE(WaitFor([&] { return !bench.Last().LinkUp; }));
    ASSERT_TRUE(WaitFor([&] { return bench.Last().LinkUp; }));
    EXPECT_FALSE(bench.Cleared().has_value());
    EXPECT_EQ(bench.Last().Data.T, t);
}

TEST(DeviceWorker, UnacknowledgedWorkTypeIsReported)
{
    WorkerBench bench;
    SimHarness &controller = bench.AddPort(3, testsupport::SimSetup::Controller());
    std::atomic<int> failures{0};
    std::string reportedKey;
    std::mutex keyMutex;
    bench.worker->OnOperationFailed = [&](const char *key) {
        std::lock_guard g(keyMutex);
        reportedKey = key;
        ++failures;
    };
    bench.Start(3, false, true);
    ASSERT_TRUE(WaitFor([&] { return bench.Last().LinkUp && bench.Last().Accessible; }));
    bench.worker->SetWorkType(TWorkType::Gas);
    // An acknowledged switch reports nothing.
    const uint64_t ticks = bench.worker->TicksRun();
    ASSERT_TRUE(WaitFor([&] { return bench.worker->TicksRun() >= ticks + 2; }));
    EXPECT_EQ(failures.load(), 0);
    std::string error;
    controller.Sim().AddFault(*sim::ParseFault("silence@20:1", error));
    bench.worker->SetWorkType(TWorkType::Gas);
    ASSERT_TRUE(WaitFor([&] { return failures.load() == 1; }));
    std::lock_guard g(keyMutex);
    EXPECT_EQ(reportedKey, "strWriteFailed");
}

namespace {

// Faults that reach the device thread's boundary, as the window gets them.
class FaultLog
{
public:
    explicit FaultLog(TDeviceWorker &worker)
    {
        worker.OnInternalError = [this](TDeviceFault where, const std::string &what) {
            std::lock_guard g(mutex_);
            faults_.emplace_back(where, what);
        };
    }
    std::vector<std::pair<TDeviceFault, std::string>> Faults()
    {
        std::lock_guard g(mutex_);
        return faults_;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<TDeviceFault, std::string>> faults_;
};

// A job that holds the device thread until released, so the test can line
// requests up behind it.
class BlockingJob
{
public:
    void Post(TDeviceWorker &worker)
    {
        worker.Post([this] {
            std::unique_lock g(mutex_);
            entered_ = true;
            cv_.notify_all();
            cv_.wait(g, [this] { return released_; });
        });
        std::unique_lock g(mutex_);
        cv_.wait(g, [this] { return entered_; });
    }
    void Release()
    {
        std::lock_guard g(mutex_);
        released_ = true;
        cv_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool entered_ = false;
    bool released_ = false;
};

} // namespace

TEST(DeviceWorker, ExceptionOfAJobIsReportedAndTheThreadGoesOn)
{
    WorkerBench bench;
    FaultLog log(*bench.worker);
    bench.Start(3, true);
    bench.worker->Post([] { throw std::logic_error("table row missing"); });
    ASSERT_TRUE(WaitFor([&] { return !log.Faults().empty(); }));
    EXPECT_EQ(log.Faults().front(), std::make_pair(TDeviceFault::Job, std::string("table row missing")));
    // Jobs and ticks still run.
    bool ran = false;
    EXPECT_TRUE(bench.worker->Call([&] { ran = true; }));
    EXPECT_TRUE(ran);
    const uint64_t ticks = bench.worker->TicksRun();
    ASSERT_TRUE(WaitFor([&] { return bench.worker->TicksRun() > ticks; }));
    // A caller that waits gets its job's exception back instead.
    EXPECT_THROW(bench.worker->Call([] { throw std::runtime_error("bad"); }), std::runtime_error);
    EXPECT_EQ(log.Faults().size(), 1u);
}

// A wrong request length is a fault of our own command use: it must not
// pass for a lost controller, and the link stays up.
TEST(DeviceWorker, ProgrammingErrorInTheTickIsReportedNotTakenForALostLink)
{
    WorkerBench bench;
    bench.AddPort(3, testsupport::SimSetup::Controller());
    std::atomic<bool> armed{false};
    TDataManager &manager = bench.link.Manager;
    manager.Extensions().ReadCalibrationState = [&](bool) {
        if (!armed)
            return true;
        return manager.Transact(0x21, {0x21, 0x00}, {}); // 0x21 takes one parameter byte
    };
    FaultLog log(*bench.worker);
    std::atomic<int> lostWhileArmed{0};
    auto onSnapshot = bench.worker->OnSnapshot;
    bench.worker->OnSnapshot = [&](const TDeviceSnapshot &s) {
        if (armed && !s.LinkUp)
            ++lostWhileArmed;
        onSnapshot(s);
    };
    bench.Start(3, false, true);
    ASSERT_TRUE(WaitFor([&] { return bench.Last().LinkUp && bench.Last().Accessible; }));
    // A calibration running makes every tick read the calibration state.
    bench.worker->Post([&] {
        manager.RequestedWorkType = TWorkType::StartAutocalibration;
        armed = true;
    });
    ASSERT_TRUE(WaitFor([&] { return !log.Faults().empty(); }));
    ASSERT_TRUE(bench.worker->Call([&] { armed = false; }));
    const auto fault = log.Faults().front();
    EXPECT_EQ(fault.first, TDeviceFault::Tick);
    EXPECT_NE(fault.second.find("wrong length"), std::string::npos) << fault.second;
    EXPECT_EQ(lostWhileArmed.load(), 0);
    const uint64_t ticks = bench.worker->TicksRun();
    ASSERT_TRUE(WaitFor([&] { return bench.worker->TicksRun() >= ticks + 2; }));
    EXPECT_TRUE(bench.Last().LinkUp);
}

TEST(DeviceWorker, CallFromTheDeviceThreadRunsAtOnce)
{
    WorkerBench bench;
    bench.Start(3, true);
    bool inner = false;
    bool nested = false;
    ASSERT_TRUE(bench.worker->Call([&] { nested = bench.worker->Call([&] { inner = true; }); }));
    EXPECT_TRUE(nested);
    EXPECT_TRUE(inner);
}

// Whether the Call's job was queued before Stop dropped the queue or posted
// after, the caller comes back, told the job did not run.
TEST(DeviceWorker, CallRacingWithStopReturnsWithoutTheJob)
{
    WorkerBench bench;
    bench.Start(3, true);
    BlockingJob blocker;
    blocker.Post(*bench.worker);
    std::atomic<bool> ran{false};
    std::atomic<int> called{-1};
    std::thread caller([&] { called = bench.worker->Call([&] { ran = true; }) ? 1 : 0; });
    std::thread stopper([&] { bench.worker->Stop(); });
    caller.join();
    blocker.Release();
    stopper.join();
    EXPECT_EQ(called.load(), 0);
    EXPECT_FALSE(ran);
    // Stopped: a job runs on the caller.
    EXPECT_TRUE(bench.worker->Call([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(DeviceWorker, CancelGivenBeforeTheSearchBeginsEndsIt)
{
    WorkerBench bench;
    SimHarness &controller = bench.AddPort(3, testsupport::SimSetup::Controller());
    bench.Start(9, false, true);
    BlockingJob blocker;
    blocker.Post(*bench.worker);
    bench.worker->SearchPorts();
    bench.worker->CancelSearch();
    blocker.Release();
    ASSERT_TRUE(WaitFor([&] { return !bench.Results().empty(); }));
    EXPECT_EQ(bench.Results().front().Outcome, TSearchOutcome::Cancelled);
    EXPECT_EQ(controller.BytesReceived(), 0u);
    // The cancel belonged to that search only.
    bench.worker->SearchPorts();
    ASSERT_TRUE(WaitFor([&] { return bench.Results().size() == 2; }));
    EXPECT_EQ(bench.Results().back().Outcome, TSearchOutcome::Connected);
    EXPECT_EQ(bench.Results().back().PortNumber, 3);
}

TEST(ConnectionWorkflow, WindowWordsTheSearchStatus)
{
    const TSearchStatus trying{TSearchStatus::TStep::TryingPort, "COM7", 0};
    const TSearchStatus connected{TSearchStatus::TStep::Connected, {}, 5};
    auto language = [](std::string_view key) {
        return key == "strDevConnectPort" ? std::string("Connecting on port") : "!_" + std::string(key);
    };
    EXPECT_EQ(SearchStatusText(trying, language), "COM7");
    EXPECT_EQ(SearchStatusText(connected, language), "Connecting on port COM5");
    // A language without the text.
    EXPECT_EQ(SearchStatusText(connected, [](std::string_view key) { return "!_" + std::string(key); }), ">>> COM5");
    EXPECT_EQ(SearchStatusText(connected, {}), ">>> COM5");
}

// The window reloads its language whenever the user picks one; the search
// meanwhile reports only states, which the window words with the texts in
// force. (The data-race tree fails this test if the device thread reads a
// language text.)
TEST(DeviceWorker, SearchReadsNoLanguageTextWhileTheWindowReloadsIt)
{
    WorkerBench bench;
    bench.AddPort(3, testsupport::SimSetup::Controller());
    std::ofstream(bench.Folder() + "_EN.lng", std::ios::binary) << PackLanguageText(
        "FileVersion=3.0.5.1\n[Strings]\nstrDevConnectPort=Connecting on port\n", CharsetOf("EN"), std::nullopt);
    TLM lm(bench.Folder(), "3.0.5.1");
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    bench.Start(9);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (bench.Results().empty() && std::chrono::steady_clock::now() < deadline)
        ASSERT_TRUE(lm.LoadLanguage("EN"));
    ASSERT_FALSE(bench.Results().empty());
    EXPECT_EQ(bench.Results().front().Outcome, TSearchOutcome::Connected);
    const auto shown = bench.Statuses([&](std::string_view key) { return lm.MessageText(key); });
    EXPECT_EQ(shown, std::vector<std::string>({"COM3", "Connecting on port COM3"}));
    bench.worker->Stop();
}
