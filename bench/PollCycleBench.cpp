// Readings-mode poll cycles against the paced simulator: cycles per second
// beside what the line itself allows, i.e. every request and answer byte at
// 9600 8N1 (10 bits, 1.0417 ms) plus the controller's turnaround for each
// transaction. Usage: lumex2-bench-poll [CYCLES]
#include "BenchSupport.h"

#include "controller/ControllerLink.h"
#include "sim/Simulator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

struct Scenario
{
    const char *name;
    uint8_t generation;
    std::optional<uint8_t> letter;
    uint8_t injectors;
};

struct Result
{
    double cyclesPerSecond = 0;
    double limitPerSecond = 0;
    std::size_t transactions = 0;
    std::size_t bytes = 0;
    unsigned failed = 0;
};

bool Run(const Scenario &s, unsigned cycles, double turnaroundMs, Result &r)
{
    sim::SimulatorOptions o;
    o.controller.generation = s.generation;
    o.controller.letter = s.letter;
    o.pace = true;
    o.turnaroundMs = turnaroundMs;
    const auto simulator = bench::StartSimulator(o);
    if (!simulator)
        return false;
    bench::TRequestCounter requests(*simulator);

    lumex::TControllerLink link;
    link.Port.SetDevicePath(simulator->Path());
    // Connect, then one cycle so that the measured ones all read.
    link.Manager.PollCycle(lumex::pmReadings);
    if (!link.Manager.LinkUp) {
        std::fprintf(stderr, "%s: the controller did not come up\n", s.name);
        return false;
    }
    link.Data.InjSW = s.injectors;
    link.Manager.PollCycle(lumex::pmReadings);

    requests.Start();
    const auto start = std::chrono::steady_clock::now();
    for (unsigned i = 0; i < cycles; ++i) {
        if (!link.Manager.PollCycle(lumex::pmReadings))
            ++r.failed;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    simulator->Stop();

    const bench::TWireTotal wire = requests.Total(turnaroundMs);
    r.bytes = wire.bytes;
    r.transactions = wire.transactions;
    r.cyclesPerSecond = cycles / seconds;
    r.limitPerSecond = wire.wireMs > 0 ? cycles / (wire.wireMs / 1000.0) : 0;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const unsigned cycles = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 40;
    if (cycles == 0) {
        std::fprintf(stderr, "usage: %s [CYCLES]\n", argv[0]);
        return 2;
    }
    constexpr double kTurnaroundMs = 2.0;
    const Scenario scenarios[] = {
        {"3.0 G, live block 0x0B", 0x30, 'G', 4},
        {"3.0 F, 0x05 + 0x22 + work state", 0x30, 'F', 4},
        {"1.5, 4 injectors", 0x15, std::nullopt, 4},
        {"1.4, 8 injectors (0x05 + 0x06)", 0x14, std::nullopt, 8},
    };
    std::printf("readings-mode poll cycles, paced 9600 8N1, turnaround %.1f ms, %u cycles each\n", kTurnaroundMs,
                cycles);
    std::printf("%-34s %8s %8s %10s %10s %7s\n", "scenario", "tx/cyc", "B/cyc", "cycles/s", "limit/s", "ratio");
    int status = 0;
    for (const auto &s : scenarios) {
        Result r;
        if (!Run(s, cycles, kTurnaroundMs, r)) {
            status = 1;
            continue;
        }
        const double ratio = r.limitPerSecond > 0 ? r.cyclesPerSecond / r.limitPerSecond : 0;
        std::printf("%-34s %8.1f %8.1f %10.3f %10.3f %6.1f%%%s\n", s.name, double(r.transactions) / cycles,
                    double(r.bytes) / cycles, r.cyclesPerSecond, r.limitPerSecond, ratio * 100,
                    r.failed ? "  (failed cycles!)" : "");
        if (r.failed)
            status = 1;
    }
    return status;
}
