// The two owned sub-objects of the port component and the speed table.
#include "serial/ComMultiPort.h"

#include <array>

namespace lumex {

namespace {

constexpr std::array<unsigned, 16> kBitsPerSecond{110,   300,   600,   1200,  2400,   4800,   9600,   14400,
                                                  19200, 38400, 56000, 57600, 115200, 128000, 256000, 0};

template <typename T> bool Store(T &field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

unsigned BaudRateValue(TComBaudRate rate)
{
    const auto i = static_cast<std::size_t>(rate);
    return i < kBitsPerSecond.size() ? kBitsPerSecond[i] : 0;
}

TComBaudRate BaudRateFromValue(unsigned bitsPerSecond)
{
    if (bitsPerSecond == 0)
        return TComBaudRate::comBRUnknown;
    for (std::size_t i = 0; i < kBitsPerSecond.size(); ++i) {
        if (kBitsPerSecond[i] == bitsPerSecond)
            return static_cast<TComBaudRate>(i);
    }
    return TComBaudRate::comBRUnknown;
}

// --- time-outs ---

void TComMultiPortTimeouts::SetIntervalTimeout(unsigned ms)
{
    if (Store(interval_, ms))
        Changed();
}

void TComMultiPortTimeouts::SetReadMultiplier(unsigned ms)
{
    if (Store(readMultiplier_, ms))
        Changed();
}

void TComMultiPortTimeouts::SetReadConstant(unsigned ms)
{
    if (Store(readConstant_, ms))
        Changed();
}

void TComMultiPortTimeouts::SetWriteMultiplier(unsigned ms)
{
    if (Store(writeMultiplier_, ms))
        Changed();
}

void TComMultiPortTimeouts::SetWriteConstant(unsigned ms)
{
    if (Store(writeConstant_, ms))
        Changed();
}

void TComMultiPortTimeouts::Assign(const TComMultiPortTimeouts &other)
{
    interval_ = other.interval_;
    readMultiplier_ = other.readMultiplier_;
    readConstant_ = other.readConstant_;
    writeMultiplier_ = other.writeMultiplier_;
    writeConstant_ = other.writeConstant_;
}

void TComMultiPortTimeouts::Changed()
{
    if (OnChange)
        OnChange();
}

// --- locking options ---

void TComMultiPortLockingOptions::SetManualCloseLock(bool v)
{
    if (Store(closeLock_, v))
        Changed();
}

void TComMultiPortLockingOptions::SetManualCloseUnlock(bool v)
{
    if (Store(closeUnlock_, v))
        Changed();
}

void TComMultiPortLockingOptions::SetManualOpenLock(bool v)
{
    if (Store(openLock_, v))
        Changed();
}

void TComMultiPortLockingOptions::SetManualOpenUnlock(bool v)
{
    if (Store(openUnlock_, v))
        Changed();
}

void TComMultiPortLockingOptions::SetManualReadLock(bool v)
{
    if (Store(readLock_, v))
        Changed();
}

void TComMultiPortLockingOptions::SetManualReadUnlock(bool v)
{
    if (Store(readUnlock_, v))
        Changed();
}

void TComMultiPortLockingOptions::SetManualWriteLock(bool v)
{
    if (Store(writeLock_, v))
        Changed();
}

void TComMultiPortLockingOptions::SetManualWriteUnlock(bool v)
{
    if (Store(writeUnlock_, v))
        Changed();
}

void TComMultiPortLockingOptions::Assign(const TComMultiPortLockingOptions &other)
{
    closeLock_ = other.closeLock_;
    closeUnlock_ = other.closeUnlock_;
    openLock_ = other.openLock_;
    openUnlock_ = other.openUnlock_;
    readLock_ = other.readLock_;
    readUnlock_ = other.readUnlock_;
    writeLock_ = other.writeLock_;
    writeUnlock_ = other.writeUnlock_;
}

void TComMultiPortLockingOptions::Changed()
{
    if (OnChange)
        OnChange();
}

} // namespace lumex
