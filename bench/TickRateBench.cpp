// Live readings per second through the device thread against the paced
// simulated demo controller (3.0 G): the tick's interval on the measure
// page is 200 ms, so the most there can be is five a second, whatever a
// poll cycle costs as long as it fits in the interval.
// Usage: lumex2-bench-tick [SECONDS]
#include "BenchSupport.h"

#include "controller/ControllerLink.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/TickRules.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>

using namespace lumex;

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    sim::SimulatorOptions o = testsupport::SimSetup::Controller(0x30, 'G');
    o.pace = true;
    const auto simulator = bench::StartSimulator(o);
    if (!simulator)
        return 1;

    TControllerLink link;
    link.Port.SetDevicePath(simulator->Path());
    TTickHooks hooks;
    TDeviceWorker worker(link, nullptr, hooks);
    using Clock = std::chrono::steady_clock;
    std::mutex mutex;
    std::condition_variable changed;
    bool up = false;
    unsigned readings = 0;
    Clock::time_point first{}, last{};
    worker.OnSnapshot = [&](const TDeviceSnapshot &s) {
        std::lock_guard g(mutex);
        up = s.LinkUp;
        if (s.Report.ReadingsFresh) {
            last = Clock::now();
            if (readings++ == 0)
                first = last;
        }
        changed.notify_all();
    };
    TWorkerStartup startup;
    startup.SavedPort = link.Port.ComDevice();
    startup.NoAutoSearch = true;
    startup.FixedDevice = true;
    worker.Start(startup);
    {
        std::unique_lock g(mutex);
        if (!changed.wait_for(g, std::chrono::seconds(10), [&] { return up && readings >= 3; })) {
            std::fprintf(stderr, "the controller did not come up\n");
            return 1;
        }
        readings = 0;
        changed.wait_for(g, std::chrono::seconds(seconds), [] { return false; });
    }
    worker.Stop();
    simulator->Stop();
    std::lock_guard g(mutex);
    const double span = std::chrono::duration<double>(last - first).count();
    const double rate = readings > 1 && span > 0 ? (readings - 1) / span : 0;
    std::printf("live readings through the device thread (3.0 G, paced, %d ms interval): %u in %.1f s, "
                "%.2f readings/s (at most %.2f)\n",
                kIntervalConnected, readings, span, rate, 1000.0 / kIntervalConnected);
    return rate > 0 ? 0 : 1;
}
