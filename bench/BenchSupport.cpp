#include "BenchSupport.h"

#include "controller/CommandTable.h"
#include "sim/LineHost.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace bench {

std::unique_ptr<testsupport::SimHarness> StartSimulator(sim::SimulatorOptions options)
{
    try {
        return std::make_unique<testsupport::SimHarness>(std::move(options));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return nullptr;
    }
}

TWireTotal TRequestCounter::Total(double turnaroundMs) const
{
    return PriceRequests(simulator_.Trace(), turnaroundMs);
}

TWireTotal PriceRequests(const testsupport::SimTrace &frames, double turnaroundMs)
{
    TWireTotal total;
    for (const auto &frame : frames) {
        if (!frame.IsRequest() || frame.bytes.size() < 2)
            continue;
        ++total.transactions;
        const lumex::CommandInfo *entry = lumex::FindCommand(frame.bytes[1]);
        if (entry == nullptr)
            continue;
        total.bytes += entry->requestLength + entry->answerLength;
        total.wireMs += (entry->requestLength + entry->answerLength) * sim::kByteMs + turnaroundMs;
    }
    return total;
}

} // namespace bench
