#include "serial/ComIo.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace lumex::detail {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr unsigned kAllOnes = UINT_MAX;

// constant + count x multiplier, or none when both are zero.
std::optional<Clock::time_point> TotalDeadline(Clock::time_point start, unsigned constant, unsigned multiplier,
                                               unsigned count)
{
    if (constant == 0 && multiplier == 0)
        return std::nullopt;
    const uint64_t ms = uint64_t{constant} + uint64_t{multiplier} * count;
    return start + milliseconds(static_cast<int64_t>(ms));
}

// poll() time-out in whole milliseconds, rounded up so a wait never ends
// just short of its deadline; -1 waits without bound.
int PollTimeout(std::optional<Clock::time_point> deadline, Clock::time_point now)
{
    if (!deadline)
        return -1;
    if (*deadline <= now)
        return 0;
    const auto left = std::chrono::ceil<milliseconds>(*deadline - now).count();
    return static_cast<int>(std::min<int64_t>(left, INT_MAX));
}

enum class Wait
{
    Ready,
    TimedOut,
    Failed
};

Wait WaitFor(int fd, short events, std::optional<Clock::time_point> deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, PollTimeout(deadline, Clock::now()));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return Wait::Failed;
        }
        if (r == 0)
            return Wait::TimedOut;
        if ((p.revents & (POLLERR | POLLNVAL | POLLHUP)) != 0)
            return Wait::Failed;
        return Wait::Ready;
    }
}

// Bytes queued in the driver for sending; 0 when the driver cannot tell.
int OutputQueued(int fd)
{
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0)
        return 0;
    return std::max(queued, 0);
}

} // namespace

bool TimedRead(int fd, uint8_t *buffer, unsigned count, const TIoTimeouts &t, unsigned &bytesRead)
{
    bytesRead = 0;
    if (count == 0)
        return true;
    const auto start = Clock::now();
    const bool noWait = t.Interval == kAllOnes && t.ReadMultiplier == 0 && t.ReadConstant == 0;
    const bool firstByteOnly =
        t.Interval == kAllOnes && t.ReadMultiplier == kAllOnes && t.ReadConstant != 0 && t.ReadConstant != kAllOnes;
    const std::optional<Clock::time_point> total = firstByteOnly
                                                       ? std::optional(start + milliseconds(t.ReadConstant))
                                                       : TotalDeadline(start, t.ReadConstant, t.ReadMultiplier, count);
    const bool useInterval = t.Interval != 0 && t.Interval != kAllOnes;
    std::optional<Clock::time_point> lastByte;

    for (;;) {
        const ssize_t n = ::read(fd, buffer + bytesRead, count - bytesRead);
        if (n > 0) {
            bytesRead += static_cast<unsigned>(n);
            lastByte = Clock::now();
            if (bytesRead == count || firstByteOnly)
                return true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false; // EIO: the line is gone
        if (noWait)
            return true;

        std::optional<Clock::time_point> deadline = total;
        if (useInterval && lastByte) {
            const auto gapEnd = *lastByte + milliseconds(t.Interval);
            deadline = deadline ? std::min(*deadline, gapEnd) : gapEnd;
        }
        if (deadline && Clock::now() >= *deadline)
            return true;
        switch (WaitFor(fd, POLLIN, deadline)) {
        case Wait::Ready:
            break;
        case Wait::TimedOut:
            return true;
        case Wait::Failed: {
            // Keep what the driver still holds, then report the hang-up.
            const ssize_t last = ::read(fd, buffer + bytesRead, count - bytesRead);
            if (last > 0)
                bytesRead += static_cast<unsigned>(last);
            return false;
        }
        }
    }
}

bool TimedWrite(int fd, const uint8_t *buffer, unsigned count, const TIoTimeouts &t, unsigned &bytesWritten)
{
    bytesWritten = 0;
    if (count == 0)
        return true;
    const auto deadline = TotalDeadline(Clock::now(), t.WriteConstant, t.WriteMultiplier, count);
    unsigned handed = 0; // bytes the driver has accepted
    bool timedOut = false;
    while (handed < count && !timedOut) {
        const ssize_t n = ::write(fd, buffer + handed, count - handed);
        if (n > 0) {
            handed += static_cast<unsigned>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        switch (WaitFor(fd, POLLOUT, deadline)) {
        case Wait::Ready:
            break;
        case Wait::TimedOut:
            timedOut = true;
            break;
        case Wait::Failed:
            return false;
        }
    }

    // The write is complete only when the bytes are on the wire.
    if (!deadline) {
        while (::tcdrain(fd) != 0) {
            if (errno != EINTR)
                return false;
        }
        bytesWritten = handed;
        return true;
    }
    for (;;) {
        const int queued = OutputQueued(fd);
        if (queued == 0) {
            bytesWritten = handed;
            return true;
        }
        if (Clock::now() >= *deadline) {
            // Give up: unsent bytes must not trail into the next exchange.
            ::tcflush(fd, TCOFLUSH);
            bytesWritten = handed - std::min(handed, static_cast<unsigned>(queued));
            return true;
        }
        const auto left = *deadline - Clock::now();
        std::this_thread::sleep_for(std::min<Clock::duration>(left, milliseconds(1)));
    }
}

bool DrainUntilQuiet(int fd, unsigned quietMs, unsigned maxMs)
{
    const auto end = Clock::now() + milliseconds(maxMs);
    std::array<uint8_t, 256> scratch{};
    for (;;) {
        const auto now = Clock::now();
        if (now >= end)
            return true;
        switch (WaitFor(fd, POLLIN, std::min(end, now + milliseconds(quietMs)))) {
        case Wait::TimedOut:
            return true;
        case Wait::Failed:
            return false;
        case Wait::Ready:
            break;
        }
        const ssize_t n = ::read(fd, scratch.data(), scratch.size());
        if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
    }
}

} // namespace lumex::detail
