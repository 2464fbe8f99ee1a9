// Shared bits of the serial tests: a port set up the way the controller
// link uses it, opened on a pty.
#pragma once

#include "PtyPair.h"
#include "SimHarness.h"
#include "serial/ComMultiPort.h"

#include <chrono>
#include <future>
#include <memory>

namespace testsupport {

inline std::unique_ptr<lumex::TComMultiPort> OpenControllerPort(const PtyPair &pty)
{
    auto port = std::make_unique<lumex::TComMultiPort>();
    port->ApplyControllerSettings();
    port->SetDevicePath(pty.SlavePath());
    port->Open();
    return port;
}

inline double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A time-out no test sits out: far beyond the generous deadline below.
inline constexpr unsigned kUnreachedTimeoutMs = 60000;

// Runs `call` on a thread of its own; true when it returned within
// `deadline`. With the time-out under test set to kUnreachedTimeoutMs, a
// call that wrongly waits for it shows as one that did not return, however
// busy the machine is. A late call is still waited for.
template <class TCall> bool ReturnsWithin(TCall call, std::chrono::milliseconds deadline = kGenerousDeadline)
{
    auto done = std::async(std::launch::async, std::move(call));
    return done.wait_for(deadline) == std::future_status::ready;
}

} // namespace testsupport
