// The simulated serial line between the client and the device personalities:
// bytes in, frames dispatched by start byte to the registered responders,
// answers scheduled back out with turnaround, optional 9600 8N1 pacing and
// injected faults. It owns no file descriptors and reads no clock: the caller
// passes monotonic milliseconds, so it can be driven by a pty loop or a test.
#pragma once

#include "sim/Faults.h"
#include "sim/Responder.h"
#include "sim/Trace.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// One character of 8N1 at 9600 bit/s: start bit, 8 data bits, stop bit.
inline constexpr double kByteMs = 10.0 / 9.6;
inline constexpr double kNever = std::numeric_limits<double>::infinity();

struct LineOptions
{
    bool pace = false;         // 9600 bit/s timing in both directions
    double turnaroundMs = 2.0; // pause between a request and its answer
    double quietMs = 20.0;     // silence that ends a garbage burst or a broken frame
};

class LineHost
{
public:
    using EventSink = std::function<void(const TraceEvent &)>;

    explicit LineHost(LineOptions options = {});

    // One responder per start byte; registering another with the same
    // start byte replaces it.
    void Register(std::shared_ptr<Responder> responder);
    void Unregister(uint8_t startByte);
    std::shared_ptr<Responder> Find(uint8_t startByte) const;

    LineOptions &Options() { return options_; }
    FaultSet &Faults() { return faults_; }
    void SetEventSink(EventSink sink) { sink_ = std::move(sink); }

    // Bytes the client wrote, seen at `now`.
    void Receive(std::span<const uint8_t> bytes, double now);
    // Frames whose bytes have arrived by `now` are answered; a line quiet
    // since long enough ends a discard or drops an unfinished frame.
    void Advance(double now);
    // The answer bytes due on the line by `now`, in order.
    std::vector<uint8_t> TakeOutput(double now);
    // Set once when an unplug fault has fired: how long the line stays away.
    std::optional<double> TakeUnplug();
    // Drops the line now for `ms`, as if the cable were pulled.
    void Unplug(double now, double ms);
    // When Advance or TakeOutput next has work; kNever when idle.
    double NextDeadline() const;

    const std::vector<std::string> &Violations() const { return violations_; }
    void ClearViolations() { violations_.clear(); }

private:
    struct RxByte
    {
        uint8_t byte;
        double at; // when the byte has fully arrived on the line
    };
    struct Outgoing
    {
        std::vector<uint8_t> bytes;
        std::vector<double> at;
        std::size_t next = 0;
        double start = 0;
        bool reached = false;
        bool unplug = false;
        double unplugMs = 0;
        TraceEvent event;
    };

    void StartDiscard(const std::string &reason);
    void EndDiscard();
    void Dispatch(Responder &responder, std::vector<uint8_t> frame, double at);
    void AddViolation(double at, const std::vector<uint8_t> &bytes, const std::string &text);
    void Emit(const TraceEvent &event);
    void DropLine();

    LineOptions options_;
    FaultSet faults_;
    EventSink sink_;
    std::array<std::shared_ptr<Responder>, 256> responders_;

    std::deque<RxByte> rx_;
    double lastRx_ = -kNever; // arrival of the newest byte, for quiet detection
    double lastNow_ = -kNever;
    bool discarding_ = false;
    std::vector<uint8_t> garbage_; // the first bytes of the discarded burst
    std::size_t garbageCount_ = 0;
    double garbageAt_ = 0;
    std::string garbageReason_;

    std::deque<Outgoing> tx_;
    double lineFree_ = -kNever; // when the last scheduled answer has left
    bool lastAnswerFaulted_ = false;
    std::optional<double> unplug_;
    uint32_t noise_ = 1;

    std::vector<std::string> violations_;
};

} // namespace sim
