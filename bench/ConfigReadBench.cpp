// A full configuration read of an installed 3.0 G controller against the
// paced simulator, beside its wire time: every request and answer byte at
// 9600 8N1 (10 bits, 1.0417 ms) plus the controller's turnaround for each
// transaction. The goal is at most 1.05 times the wire time.
// Usage: lumex2-bench-config [RUNS] [STATE-FILE]
#include "BenchSupport.h"

#include "controller/ConfigurationIO.h"
#include "controller/ControllerLink.h"
#include "sim/Simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace {

struct Run
{
    double ms = 0;
    double wireMs = 0;
    std::size_t transactions = 0;
    std::size_t bytes = 0;
    bool ok = false;
};

bool Measure(const std::string &stateFile, double turnaroundMs, Run &r)
{
    sim::SimulatorOptions o;
    o.controller.generation = 0x30;
    o.controller.letter = 'G';
    o.stateFile = stateFile;
    o.pace = true;
    o.turnaroundMs = turnaroundMs;
    const auto simulator = bench::StartSimulator(o);
    if (!simulator)
        return false;
    bench::TRequestCounter requests(*simulator);
    lumex::TControllerLink link;
    link.Port.SetDevicePath(simulator->Path());
    link.Manager.PollCycle(lumex::pmNone);
    if (!link.Manager.LinkUp) {
        std::fprintf(stderr, "the controller did not come up\n");
        return false;
    }
    requests.Start();
    const auto start = std::chrono::steady_clock::now();
    r.ok = lumex::ReadFullConfiguration(link.Manager, link.Points, std::numeric_limits<double>::infinity());
    r.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    simulator->Stop();

    const bench::TWireTotal wire = requests.Total(turnaroundMs);
    r.wireMs = wire.wireMs;
    r.bytes = wire.bytes;
    r.transactions = wire.transactions;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const unsigned runs = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 3;
    const std::string state = argc > 2 ? argv[2] : std::string(LUMEX_SOURCE_DIR) + "/sim/states/installed-30G.json";
    if (runs == 0) {
        std::fprintf(stderr, "usage: %s [RUNS] [STATE-FILE]\n", argv[0]);
        return 2;
    }
    constexpr double kTurnaroundMs = 2.0;
    constexpr double kGoal = 1.05;
    std::printf("full configuration read, 3.0 G installed car, paced 9600 8N1, turnaround %.1f ms\n", kTurnaroundMs);
    std::printf("%4s %6s %7s %10s %10s %7s\n", "run", "tx", "bytes", "wire ms", "took ms", "ratio");
    std::vector<double> ratios;
    int status = 0;
    for (unsigned i = 0; i < runs; ++i) {
        Run r;
        if (!Measure(state, kTurnaroundMs, r) || !r.ok) {
            std::fprintf(stderr, "run %u: the read failed\n", i + 1);
            status = 1;
            continue;
        }
        const double ratio = r.ms / r.wireMs;
        ratios.push_back(ratio);
        std::printf("%4u %6zu %7zu %10.1f %10.1f %7.4f\n", i + 1, r.transactions, r.bytes, r.wireMs, r.ms, ratio);
    }
    if (ratios.empty())
        return 1;
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];
    std::printf("median ratio %.4f (goal at most %.2f): %s\n", median, kGoal, median <= kGoal ? "met" : "NOT met");
    return status;
}
