// How responsive the main window stays while the device thread works: the
// longest gap between two passes of the window's event loop while polling a
// paced simulated controller and while searching three silent ports, and
// the time from start-up to the first live readings in demo mode.
#include "BenchSupport.h"
#include "controller/ControllerLink.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/StartOptions.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <vector>

using namespace lumex;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Records the gaps between consecutive passes of the event loop: a 2 ms
// timer fires on the first pass after it is due, so a gap well above 2 ms
// means the loop was held up. (A zero timer would spin a core and measure
// the scheduler of a loaded machine instead of the window.)
class TLoopGapMeter
{
public:
    TLoopGapMeter()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            if (last_ != Clock::time_point{}) {
                gaps_.push_back(Ms(now - last_));
            }
            last_ = now;
        });
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.start(2);
    }
    void Reset()
    {
        gaps_.clear();
        last_ = {};
    }
    double Max() const { return gaps_.empty() ? 0 : *std::max_element(gaps_.begin(), gaps_.end()); }
    double Percentile(double p) const
    {
        if (gaps_.empty())
            return 0;
        std::vector<double> sorted = gaps_;
        std::sort(sorted.begin(), sorted.end());
        return sorted[static_cast<std::size_t>(p * (sorted.size() - 1))];
    }
    std::size_t Count() const { return gaps_.size(); }
    std::size_t Over(double ms) const
    {
        return static_cast<std::size_t>(std::count_if(gaps_.begin(), gaps_.end(), [ms](double g) { return g > ms; }));
    }

private:
    QTimer timer_;
    Clock::time_point last_{};
    std::vector<double> gaps_;
};

void RunFor(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::unique_ptr<testsupport::SimHarness> StartSim(bool silent)
{
    auto o = testsupport::SimSetup::Controller(0x30, 'G');
    o.pace = true;
    if (silent) {
        std::string error;
        o.faults.push_back(*sim::ParseFault("silence@*", error));
    }
    return bench::StartSimulator(o);
}

} // namespace

int main(int argc, char **argv)
{
    const auto processStart = Clock::now();
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    // 1. Demo start-up: window, simulated controller, first live readings.
    auto demo = StartSim(false);
    if (!demo)
        return 1;
    TControllerLink &link = Link();
    link.Port.SetDevicePath(demo->Path());
    TStartOptions options;
    options.Demo = true;
    TFormMain window(options, link, nullptr, nullptr);
    window.SetSaveSettingsOnClose(false);
    Clock::time_point firstPoll{};
    window.OnSnapshotApplied = [&](const TDeviceSnapshot &s) {
        if (s.Report.ReadingsFresh && firstPoll == Clock::time_point{})
            firstPoll = Clock::now();
    };
    window.resize(1180, 800);
    window.show();
    window.StartDevice();
    TLoopGapMeter meter;
    while (firstPoll == Clock::time_point{} && Ms(Clock::now() - processStart) < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("start-up to first live readings (--demo): %.1f ms\n", Ms(firstPoll - processStart));

    // 2. Polling the paced controller (after the first layout of the live page).
    RunFor(1000);
    meter.Reset();
    const uint64_t ticksBefore = window.Worker().TicksRun();
    RunFor(5000);
    std::printf("polling a paced controller for 5 s: %llu ticks, %zu loop passes, longest gap %.2f ms, "
                "99.9th percentile %.2f ms, %zu gaps over 16 ms\n",
                static_cast<unsigned long long>(window.Worker().TicksRun() - ticksBefore), meter.Count(), meter.Max(),
                meter.Percentile(0.999), meter.Over(16));

    // 3. Searching three silent ports.
    std::vector<std::unique_ptr<testsupport::SimHarness>> silent;
    std::map<int, std::string> paths;
    for (int n = 3; n <= 5; ++n) {
        silent.push_back(StartSim(true));
        if (!silent.back())
            return 1;
        paths[n] = silent.back()->Path();
    }
    // Written by the device thread's callback, read by the window's loop.
    std::atomic<bool> finished{false};
    std::atomic<TSearchOutcome> outcome{TSearchOutcome::Busy};
    Clock::time_point searchStart{};
    // A port picked by number leaves the simulated device's path behind.
    window.Worker().SelectPort(9);
    window.Worker().Call([&] {
        link.Port.SetPortResolver([paths](int n) {
            const auto it = paths.find(n);
            return it == paths.end() ? std::string("/nonexistent") : it->second;
        });
        link.Manager.Data().VersionCode = 0;
        link.Manager.SetLinkUp(false);
        // The device thread reads its callbacks: they change on it too.
        window.Worker().PortLister = [] { return std::vector<std::string>{"COM3", "COM4", "COM5"}; };
        auto previousFinished = window.Worker().OnSearchFinished;
        window.Worker().OnSearchFinished = [&, previousFinished](const TSearchResult &r) {
            outcome = r.Outcome;
            finished = true;
            if (previousFinished)
                previousFinished(r);
        };
    });
    meter.Reset();
    searchStart = Clock::now();
    window.Worker().SearchPorts();
    while (!finished && Ms(Clock::now() - searchStart) < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("searching three silent ports (%s): %.0f ms, %zu loop passes, longest gap %.2f ms, "
                "99.9th percentile %.2f ms, %zu gaps over 16 ms\n",
                outcome == TSearchOutcome::NotFound ? "nothing found" : "unexpected outcome",
                Ms(Clock::now() - searchStart), meter.Count(), meter.Max(), meter.Percentile(0.999), meter.Over(16));

    window.close();
    demo->Stop();
    for (auto &s : silent)
        s->Stop();
    return 0;
}
