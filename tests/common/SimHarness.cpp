#include "SimHarness.h"

#include "serial/ComMultiPort.h"
#include "sim/Faults.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace testsupport {

namespace {

// Every simulator event of any harness wakes the waiters, so a condition
// that follows the line is checked as soon as the line moves.
struct TWakeups
{
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t count = 0;

    void Notify()
    {
        {
            std::lock_guard lock(mutex);
            ++count;
        }
        changed.notify_all();
    }
};

TWakeups &Wakeups()
{
    static TWakeups wakeups;
    return wakeups;
}

} // namespace

bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds deadline)
{
    // Conditions that no simulator event announces (a thread's state, a
    // program's output) are looked at again every few milliseconds.
    constexpr auto kRecheck = 5ms;
    const auto end = std::chrono::steady_clock::now() + deadline;
    TWakeups &w = Wakeups();
    while (!condition()) {
        std::unique_lock lock(w.mutex);
        const uint64_t seen = w.count;
        const auto next = std::min(end, std::chrono::steady_clock::now() + kRecheck);
        w.changed.wait_until(lock, next, [&] { return w.count != seen; });
        if (std::chrono::steady_clock::now() >= end) {
            lock.unlock();
            return condition();
        }
    }
    return true;
}

sim::SimulatorOptions SimSetup::Controller(uint8_t generation, std::optional<uint8_t> letter)
{
    sim::SimulatorOptions o;
    o.personality = sim::Personality::Controller;
    o.controller.generation = generation;
    o.controller.letter = letter;
    return o;
}

sim::SimulatorOptions SimSetup::Of(sim::Personality personality)
{
    sim::SimulatorOptions o;
    o.personality = personality;
    return o;
}

SimHarness::SimHarness(sim::SimulatorOptions options, std::vector<std::string> faults)
    : SimHarness(SimSetup{std::move(options), std::move(faults)})
{
}

SimHarness::SimHarness(SimSetup setup)
    : sim_([&setup] {
          std::string error;
          for (const auto &rule : setup.faults) {
              const auto f = sim::ParseFault(rule, error);
              if (!f)
                  throw std::runtime_error("fault " + rule + ": " + error);
              setup.options.faults.push_back(*f);
          }
          return setup.options;
      }())
{
    // Observed before the start so that no frame escapes the trace.
    sim_.Observe([this](const sim::TraceEvent &e) { Record(e); });
    std::string error;
    if (!sim_.Start(error))
        throw std::runtime_error("simulator: " + error);
}

SimHarness::~SimHarness()
{
    sim_.Stop();
    sim_.Observe({});
}

void SimHarness::Record(const sim::TraceEvent &e)
{
    SimFrame f{e.t, e.dir, e.bytes, sim::HexBytes(e.bytes), e.violation, e.fault, e.discarded};
    {
        std::lock_guard g(mutex_);
        trace_.push_back(std::move(f));
    }
    grew_.notify_all();
    Wakeups().Notify();
}

void SimHarness::AddFault(const std::string &rule)
{
    std::string error;
    const auto f = sim::ParseFault(rule, error);
    if (!f)
        throw std::runtime_error("fault " + rule + ": " + error);
    sim_.AddFault(*f);
}

std::string SimHarness::Control(const std::string &line)
{
    std::string reply;
    if (!sim_.Control(line, reply))
        throw std::runtime_error("control \"" + line + "\": " + reply);
    return reply;
}

SimTrace SimHarness::Trace() const
{
    std::lock_guard g(mutex_);
    return trace_;
}

std::vector<std::string> SimHarness::Requests() const
{
    std::vector<std::string> out;
    for (const auto &f : Trace()) {
        if (f.IsRequest())
            out.push_back(f.hex);
    }
    return out;
}

std::vector<std::string> SimHarness::Received() const
{
    std::vector<std::string> out;
    for (const auto &f : Trace()) {
        if (f.dir == "rx")
            out.push_back(f.hex);
    }
    return out;
}

std::vector<std::string> SimHarness::Answers() const
{
    std::vector<std::string> out;
    for (const auto &f : Trace()) {
        if (f.dir == "tx")
            out.push_back(f.hex);
    }
    return out;
}

std::size_t SimHarness::BytesReceived() const
{
    std::size_t n = 0;
    for (const auto &f : Trace()) {
        if (f.dir == "rx")
            n += f.bytes.size();
    }
    return n;
}

void SimHarness::ClearTrace()
{
    std::lock_guard g(mutex_);
    trace_.clear();
}

bool SimHarness::WaitUntil(const std::function<bool(const SimTrace &)> &condition,
                           std::chrono::milliseconds deadline) const
{
    std::unique_lock g(mutex_);
    return grew_.wait_for(g, deadline, [&] { return condition(trace_); });
}

bool SimHarness::WaitForRequests(std::size_t count, std::chrono::milliseconds deadline) const
{
    return WaitUntil(
        [count](const SimTrace &t) {
            std::size_t n = 0;
            for (const auto &f : t)
                n += f.IsRequest() ? 1 : 0;
            return n >= count;
        },
        deadline);
}

bool SimHarness::WaitForBytes(std::size_t count, std::chrono::milliseconds deadline) const
{
    return WaitUntil(
        [count](const SimTrace &t) {
            std::size_t n = 0;
            for (const auto &f : t)
                n += f.dir == "rx" ? f.bytes.size() : 0;
            return n >= count;
        },
        deadline);
}

bool SimHarness::WaitForFrame(const std::string &hex, std::chrono::milliseconds deadline) const
{
    return WaitUntil(
        [&hex](const SimTrace &t) {
            for (const auto &f : t) {
                if (f.hex == hex)
                    return true;
            }
            return false;
        },
        deadline);
}

bool SimHarness::Sync(lumex::TComMultiPort &port, std::chrono::milliseconds deadline)
{
    const bool wasOpen = port.IsOpen();
    if (!wasOpen)
        port.Open();
    unsigned written = 0;
    port.Write(&kSyncMarker, 1, written);
    // A port without the transaction lock (the legacy program's) holds none.
    if (port.ThreadSafe())
        port.Unlock();
    if (!wasOpen)
        port.Close();
    if (written != 1)
        return false;
    auto isMarker = [](const SimFrame &f) {
        return f.dir == "rx" && !f.discarded.empty() && f.bytes == std::vector<uint8_t>{kSyncMarker};
    };
    std::unique_lock g(mutex_);
    if (!grew_.wait_for(g, deadline, [&] { return std::any_of(trace_.begin(), trace_.end(), isMarker); }))
        return false;
    std::erase_if(trace_, isMarker);
    return true;
}

bool SimHarness::Sync(std::chrono::milliseconds deadline)
{
    lumex::TComMultiPort port;
    port.ApplyControllerSettings();
    port.SetDevicePath(Path());
    return Sync(port, deadline);
}

} // namespace testsupport
