// What the benchmarks against the paced simulator share: starting it on the
// tests' harness and pricing the requests it answered at the line's own speed.
#pragma once

#include "SimHarness.h"

#include <cstddef>
#include <memory>

namespace bench {

// Starts the simulator; null, with the reason on stderr, when it cannot.
std::unique_ptr<testsupport::SimHarness> StartSimulator(sim::SimulatorOptions options);

struct TWireTotal
{
    std::size_t transactions = 0;
    std::size_t bytes = 0;
    // Every request and answer byte at 9600 8N1 plus the turnaround of each
    // transaction.
    double wireMs = 0;
};

// Prices the whole requests among `frames` with their answers.
TWireTotal PriceRequests(const testsupport::SimTrace &frames, double turnaroundMs);

// Prices the requests in the simulator's trace from the last Start() on.
class TRequestCounter
{
public:
    explicit TRequestCounter(testsupport::SimHarness &simulator) : simulator_(simulator) {}

    void Start() { simulator_.ClearTrace(); }
    TWireTotal Total(double turnaroundMs) const;

private:
    testsupport::SimHarness &simulator_;
};

} // namespace bench
