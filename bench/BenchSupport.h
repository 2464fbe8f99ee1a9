// What the benchmarks against the paced simulator share: starting it and
// pricing the requests it answered at the line's own speed.
#pragma once

#include "sim/Simulator.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace bench {

// Starts the simulator; false, with the reason on stderr, when it cannot.
bool StartSimulator(sim::Simulator &simulator);

struct TWireTotal
{
    std::size_t transactions = 0;
    std::size_t bytes = 0;
    // Every request and answer byte at 9600 8N1 plus the turnaround of each
    // transaction.
    double wireMs = 0;
};

// Records the command code of every request the simulator answers once
// Start() is called. Declare it after the simulator it listens to.
class TRequestCounter
{
public:
    explicit TRequestCounter(sim::Simulator &simulator);
    ~TRequestCounter();
    TRequestCounter(const TRequestCounter &) = delete;
    TRequestCounter &operator=(const TRequestCounter &) = delete;

    void Start();
    TWireTotal Total(double turnaroundMs) const;

private:
    sim::Simulator &simulator_;
    mutable std::mutex mutex_;
    std::vector<uint8_t> codes_;
    bool counting_ = false;
};

} // namespace bench
