#include "mainwindow/PortExchange.h"

#include "controller/Frame.h"
#include "serial/ComMultiPort.h"

#include <algorithm>

namespace lumex {

namespace {

// Releases, once, the lock a Write keeps under lsReadDataWithControl.
class TWriteLockRelease
{
public:
    explicit TWriteLockRelease(TComMultiPort &port)
        : port_(port),
          held_(port.ThreadSafe() && port.LockingStrategy() == TComMultiPortLockingStrategy::lsReadDataWithControl)
    {
    }
    ~TWriteLockRelease()
    {
        if (!held_)
            return;
        try {
            port_.Unlock();
        } catch (const EComPortError &) {
            // Thread safety was switched off meanwhile: nothing is held.
        }
    }
    TWriteLockRelease(const TWriteLockRelease &) = delete;
    TWriteLockRelease &operator=(const TWriteLockRelease &) = delete;

private:
    TComMultiPort &port_;
    bool held_;
};

bool ReadStart(TComMultiPort &port, uint8_t &byte, uint8_t startByte)
{
    unsigned got = 0;
    return port.Read(&byte, 1, got) && got == 1 && byte == startByte;
}

} // namespace

bool ExchangeFrame(TComMultiPort &port, std::span<const uint8_t> request, std::span<uint8_t> answer, uint8_t startByte,
                   bool skipOneStray)
{
    std::fill(answer.begin(), answer.end(), uint8_t{0});
    if (!port.IsOpen() || answer.size() < 2)
        return false;
    unsigned written = 0;
    port.Write(request.data(), static_cast<unsigned>(request.size()), written);
    const TWriteLockRelease release(port);
    uint8_t first = 0;
    bool ok = ReadStart(port, first, startByte);
    if (!ok && skipOneStray)
        ok = ReadStart(port, first, startByte);
    if (!ok)
        return false;
    answer[0] = first;
    const auto rest = static_cast<unsigned>(answer.size() - 1);
    unsigned got = 0;
    if (!port.Read(answer.data() + 1, rest, got) || got != rest || !FrameChecksumValid(answer)) {
        std::fill(answer.begin(), answer.end(), uint8_t{0});
        return false;
    }
    return true;
}

void DrainInput(TComMultiPort &port, int maxReads)
{
    if (!port.IsOpen())
        return;
    for (int i = 0; i < maxReads; ++i) {
        uint8_t byte = 0;
        unsigned got = 0;
        if (!port.Read(&byte, 1, got) || got == 0)
            return;
    }
}

} // namespace lumex
