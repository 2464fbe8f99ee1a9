// Blocking reads and writes on a non-blocking tty descriptor, bounded the
// way a Windows COMMTIMEOUTS record bounds them.
#pragma once

#include <cstdint>

namespace lumex::detail {

struct TIoTimeouts
{
    unsigned Interval = 0;
    unsigned ReadMultiplier = 0;
    unsigned ReadConstant = 0;
    unsigned WriteMultiplier = 0;
    unsigned WriteConstant = 0;
};

// Reads up to count bytes. Returns when count bytes have come, when more
// than Interval ms pass between two bytes after the first, or when
// ReadConstant + count x ReadMultiplier ms have passed. A zero interval or a
// zero total means that bound is not used. An all-ones interval with a zero
// total returns what is waiting without blocking; with an all-ones
// multiplier and a constant it returns as soon as anything has come.
// Running out of time is success; false only for a failing or hung-up line.
bool TimedRead(int fd, uint8_t *buffer, unsigned count, const TIoTimeouts &timeouts, unsigned &bytesRead);

// Writes count bytes and waits until they have left the driver, within
// WriteConstant + count x WriteMultiplier ms (no bound when both are zero).
// At the deadline whatever is still queued is discarded and bytesWritten
// tells how much went out; that still counts as success. false for a
// failing or hung-up line.
bool TimedWrite(int fd, const uint8_t *buffer, unsigned count, const TIoTimeouts &timeouts, unsigned &bytesWritten);

// Reads and throws away whatever arrives until the line has been quiet for
// quietMs, or until maxMs have passed in all (a babbling line). false for a
// failing or hung-up line.
bool DrainUntilQuiet(int fd, unsigned quietMs, unsigned maxMs);

} // namespace lumex::detail
