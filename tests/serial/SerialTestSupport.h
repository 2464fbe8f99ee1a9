// Shared bits of the serial tests: a port set up the way the controller
// link uses it, opened on a pty.
#pragma once

#include "PtyPair.h"
#include "serial/ComMultiPort.h"

#include <chrono>
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

} // namespace testsupport
