// The fault matrix: many lanes, each a simulated controller served by the
// program's device thread, inject every fault kind the simulator knows at
// random points of polling, configuration reads and writes, map reads,
// adapter polling and firmware upgrades. Every fault must end with the link
// back by itself, no value of a corrupted frame in the image, a failed
// write naming its step and an upgrade that completes afterwards with the
// settings restored.
//
// LUMEX_FAULTS (default 5000) is how many faults must fire,
// LUMEX_FAULT_SEED replays a run (the seed is printed), LUMEX_FAULT_LANES
// sets how many lanes run side by side and LUMEX_FAULT_SECONDS bounds the
// run. `make soak` runs it longer.
#include "FaultLane.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

using namespace faultmatrix;
namespace fs = std::filesystem;

unsigned long EnvNumber(const char *name, unsigned long fallback)
{
    const char *text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return *end == '\0' ? value : fallback;
}

std::string Summary(const TTally &t, uint64_t seed, double seconds)
{
    std::string out = "fault matrix, seed " + std::to_string(seed) + ": " + std::to_string(t.Fired()) + " faults in " +
                      std::to_string(static_cast<int>(seconds)) + " s, " + std::to_string(t.Recovered) +
                      " recovered, " + std::to_string(t.Failures.size()) + " failures; writes met " +
                      std::to_string(t.WritesMet) + ", named " + std::to_string(t.WritesNamed) + "; upgrades met " +
                      std::to_string(t.UpgradesMet) + ", completed and restored " +
                      std::to_string(t.UpgradesCompleted) + "; rules unused " + std::to_string(t.Unfired) +
                      "; steps retried after a missed time-out " + std::to_string(t.Retried) + "\n";
    for (const auto &[key, count] : t.Injected)
        out += "  " + key + ": " + std::to_string(count) + "\n";
    return out;
}

} // namespace

TEST(FaultMatrix, EveryFaultRecoversAndStoresNoWrongValue)
{
    const uint64_t seed = EnvNumber("LUMEX_FAULT_SEED", std::random_device{}());
    const unsigned target = static_cast<unsigned>(EnvNumber("LUMEX_FAULTS", 5000));
    const unsigned lanes = static_cast<unsigned>(std::max(2UL, EnvNumber("LUMEX_FAULT_LANES", 80)));
    const auto budget = std::chrono::seconds(EnvNumber("LUMEX_FAULT_SECONDS", 450));
    std::cout << "fault matrix seed " << seed << " (LUMEX_FAULT_SEED replays it)" << std::endl;

    const fs::path scratch = fs::temp_directory_path() / ("fault-matrix-" + std::to_string(::getpid()));
    fs::remove_all(scratch);
    std::mt19937_64 seeds(seed);
    std::vector<std::unique_ptr<TLane>> all;
    // One lane in eight upgrades firmware; the rest poll with the adapter.
    for (unsigned i = 0; i < lanes; ++i)
        all.push_back(std::make_unique<TLane>(i, seeds(), i % 8 == 7, scratch / std::to_string(i)));

    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + budget;
    std::atomic<unsigned> fired{0};
    std::vector<std::thread> threads;
    for (auto &lane : all)
        threads.emplace_back([&, l = lane.get()] {
            if (l->WarmUp())
                l->Run(fired, target, deadline);
        });
    for (auto &t : threads)
        t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    TTally total;
    for (const auto &lane : all)
        total.Merge(lane->Tally());
    all.clear();
    fs::remove_all(scratch);
    std::cout << Summary(total, seed, seconds);

    for (const auto &f : total.Failures)
        ADD_FAILURE() << f;
    EXPECT_GE(total.Fired(), target) << "the run ended before enough faults fired";
    EXPECT_EQ(total.Recovered, total.Fired());
    EXPECT_EQ(total.WritesNamed, total.WritesMet);
    EXPECT_EQ(total.UpgradesCompleted, total.UpgradesMet);
    for (const auto &kind : FaultKinds())
        for (const TPhase phase : {TPhase::Polling, TPhase::AdapterPolling, TPhase::ConfigRead, TPhase::ConfigWrite,
                                   TPhase::MapRead, TPhase::Upgrade})
            EXPECT_GT(total.Injected[std::string(PhaseName(phase)) + "/" + kind], 0U)
                << PhaseName(phase) << " never met " << kind;
}
