// A simulated device on a real pseudo-terminal with the trace of every frame
// it saw and sent, for the test suites and the benchmarks. Tests open Path()
// through the real serial layer and wait on the trace for what they expect
// instead of sleeping: each wait has a generous deadline, so a busy machine
// only makes a passing test slower.
#pragma once

#include "sim/Simulator.h"

namespace lumex {
class TComMultiPort;
}

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using namespace std::chrono_literals;

// Long enough that only a broken program reaches it.
inline constexpr std::chrono::milliseconds kGenerousDeadline = 10s;

// Checks `condition` on every simulator event, and every few milliseconds
// besides, until it holds or `deadline` has passed; the result is the
// condition's last value.
bool WaitFor(const std::function<bool()> &condition, std::chrono::milliseconds deadline = kGenerousDeadline);

// One event of the trace, as the simulator recorded it.
struct SimFrame
{
    double t = 0;    // simulator milliseconds
    std::string dir; // "rx" from the client, "tx" to it, "line"
    std::vector<uint8_t> bytes;
    std::string hex; // "C0 01 01 C2"
    std::string violation;
    std::string fault;
    std::string discarded;

    // A whole request the simulator took as a frame.
    bool IsRequest() const { return dir == "rx" && discarded.empty(); }
};
using SimTrace = std::vector<SimFrame>;

// What to start; the defaults are a 3.0 controller with letter G.
struct SimSetup
{
    sim::SimulatorOptions options = Controller();
    std::vector<std::string> faults; // fault rules as lumex2-sim takes them

    static sim::SimulatorOptions Controller(uint8_t generation = 0x30, std::optional<uint8_t> letter = 'G');
    static sim::SimulatorOptions Of(sim::Personality personality);
};

class SimHarness
{
public:
    // Starts the simulator; throws std::runtime_error when it cannot.
    explicit SimHarness(SimSetup setup = {});
    explicit SimHarness(sim::SimulatorOptions options, std::vector<std::string> faults = {});
    ~SimHarness();
    SimHarness(const SimHarness &) = delete;
    SimHarness &operator=(const SimHarness &) = delete;

    sim::Simulator &Sim() { return sim_; }
    // The path to open as the serial port.
    std::string Path() const { return sim_.Path(); }
    void Stop() { sim_.Stop(); }

    // A fault rule ("silence@01:1"); throws on a malformed rule.
    void AddFault(const std::string &rule);
    // One control line; throws when the simulator refuses it.
    std::string Control(const std::string &line);
    // The protocol violations the simulator recorded.
    std::vector<std::string> Violations() const { return sim_.Violations(); }

    // The trace since the start or the last ClearTrace().
    SimTrace Trace() const;
    // Whole request frames, as "C0 01 01 C2".
    std::vector<std::string> Requests() const;
    // Every received chunk: whole frames and discarded bytes.
    std::vector<std::string> Received() const;
    // Every answer the simulator put on the line.
    std::vector<std::string> Answers() const;
    // Every byte that reached the simulator, whole frames or not.
    std::size_t BytesReceived() const;
    void ClearTrace();

    // Waits until `condition` holds for the trace; false at the deadline.
    // The condition is checked whenever the trace grows, never by a timer.
    bool WaitUntil(const std::function<bool(const SimTrace &)> &condition,
                   std::chrono::milliseconds deadline = kGenerousDeadline) const;
    bool WaitForRequests(std::size_t count, std::chrono::milliseconds deadline = kGenerousDeadline) const;
    bool WaitForBytes(std::size_t count, std::chrono::milliseconds deadline = kGenerousDeadline) const;
    // Until a received or sent event shows these bytes ("C0 01 01 C2").
    bool WaitForFrame(const std::string &hex, std::chrono::milliseconds deadline = kGenerousDeadline) const;

    // Everything the client wrote before this call is in the trace when it
    // returns true: a marker byte of no personality goes through the
    // client's port behind it and the pty keeps the order. The marker's own
    // event is left out of the trace. Not for use while a frame is half sent.
    bool Sync(lumex::TComMultiPort &port, std::chrono::milliseconds deadline = kGenerousDeadline);
    // The same through a port of its own, for clients that have closed the
    // line (a program that has exited).
    bool Sync(std::chrono::milliseconds deadline = kGenerousDeadline);

    // Claimed by no personality, so the line throws it away on its own.
    static constexpr uint8_t kSyncMarker = 0x5A;

private:
    void Record(const sim::TraceEvent &event);

    sim::Simulator sim_;
    mutable std::mutex mutex_;
    mutable std::condition_variable grew_;
    SimTrace trace_;
};

} // namespace testsupport
