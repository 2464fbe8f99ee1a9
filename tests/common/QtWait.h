// Waiting in GUI tests: the GUI thread's event loop runs while the
// condition is checked, so queued results from the device thread arrive.
#pragma once

#include "SimHarness.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>

namespace testsupport {

// Runs the event loop until `condition` holds; false when the deadline
// passed first. Window tests start the whole program, so the default is
// twice the usual generous deadline.
inline bool PumpUntil(const std::function<bool()> &condition,
                      std::chrono::milliseconds deadline = kGenerousDeadline * 2)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace testsupport
