#include "BenchSupport.h"

#include "controller/CommandTable.h"
#include "sim/LineHost.h"

#include <cstdio>
#include <string>

namespace bench {

bool StartSimulator(sim::Simulator &simulator)
{
    std::string error;
    if (simulator.Start(error))
        return true;
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    return false;
}

TRequestCounter::TRequestCounter(sim::Simulator &simulator) : simulator_(simulator)
{
    auto hold = simulator_.Pause();
    simulator_.Line().SetEventSink([this](const sim::TraceEvent &e) {
        std::lock_guard g(mutex_);
        if (counting_ && std::string(e.dir) == "rx" && e.discarded.empty() && e.bytes.size() > 1)
            codes_.push_back(e.bytes[1]);
    });
}

TRequestCounter::~TRequestCounter()
{
    // The line host may outlive this counter; it must not call into it then.
    auto hold = simulator_.Pause();
    simulator_.Line().SetEventSink({});
}

void TRequestCounter::Start()
{
    std::lock_guard g(mutex_);
    counting_ = true;
}

TWireTotal TRequestCounter::Total(double turnaroundMs) const
{
    std::lock_guard g(mutex_);
    TWireTotal total;
    for (uint8_t code : codes_) {
        const lumex::CommandInfo *entry = lumex::FindCommand(code);
        if (entry == nullptr)
            continue;
        total.bytes += entry->requestLength + entry->answerLength;
        total.wireMs += (entry->requestLength + entry->answerLength) * sim::kByteMs + turnaroundMs;
    }
    total.transactions = codes_.size();
    return total;
}

} // namespace bench
