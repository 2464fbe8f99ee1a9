// Puts a LineHost on a pseudo-terminal: the client opens the slave side (or a
// symbolic link to it) as if it were a serial port, and one poll() loop moves
// bytes between the master side and the line host at the times it asks for.
#pragma once

#include "sim/LineHost.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class PtyHost
{
public:
    // `mutex` guards every call into `line`; others may take it to change
    // responders between frames.
    PtyHost(LineHost &line, std::mutex &mutex);
    ~PtyHost();
    PtyHost(const PtyHost &) = delete;
    PtyHost &operator=(const PtyHost &) = delete;

    // Creates the pty and, when `linkPath` is not empty, points that path at
    // it. An existing symbolic link there is replaced; anything else there
    // is refused.
    bool Open(const std::string &linkPath, std::string &error);
    // The path a client opens: the link, or the slave device without one.
    std::string Path() const;
    // Milliseconds on the line host's clock.
    double Now() const;

    // Serves until Stop(); runs on one thread.
    void Run();
    // Both may be called from any thread.
    void Stop();
    void Wake();
    // Removes the link and closes the pty.
    void Close();

private:
    bool OpenPty(std::string &error);
    void ClosePty();
    bool PlaceLink(std::string &error);
    void RemoveLink();
    void Flush();
    void ReadInput();

    LineHost &line_;
    std::mutex &mutex_;
    std::chrono::steady_clock::time_point origin_;
    std::string linkPath_;
    std::string slaveName_;
    int master_ = -1;
    int slave_ = -1; // held open so a client closing its side never hangs the line up
    int wake_ = -1;
    std::atomic<bool> stop_{false};
    std::optional<double> replugAt_;
    std::vector<uint8_t> pendingOut_;
    mutable std::mutex pathMutex_;
};

} // namespace sim
