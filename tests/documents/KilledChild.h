// A child process whose stdout the test reads line by line with a
// deadline, and which it kills with SIGKILL.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace lumex::crashtest {

class TKilledChild
{
public:
    using TClock = std::chrono::steady_clock;

    // Starts `program` with `args`; throws std::runtime_error when it cannot.
    TKilledChild(const std::string &program, const std::vector<std::string> &args);
    ~TKilledChild();
    TKilledChild(const TKilledChild &) = delete;
    TKilledChild &operator=(const TKilledChild &) = delete;

    // The next line of its stdout, or nothing at the end of the output or
    // when the deadline passed first (TimedOut tells which).
    std::optional<std::string> ReadLine(TClock::time_point deadline);
    bool TimedOut() const { return timedOut_; }

    // SIGKILL, then every line it wrote before it died; its wait status.
    int KillAndReap(std::vector<std::string> &restOfOutput, TClock::time_point deadline);

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    bool ended_ = false;
    bool timedOut_ = false;
};

} // namespace lumex::crashtest
