#include "serial/ComMultiPort.h"

#include "profile/ProgramProfile.h"

#include "serial/ComIo.h"
#include "serial/LineSettings.h"
#include "serial/LineSpeed.h"
#include "serial/PortLock.h"
#include "serial/PortMap.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace lumex {

namespace {

constexpr const char *kLockDisabled = "Could not acquire exclusive lock when thread-safe operations are disabled";
constexpr const char *kUnlockDisabled = "Could not release exclusive lock when thread-safe operations are disabled";
constexpr const char *kUnlockNotOwner = "Could not release exclusive lock that this thread does not hold";

// A UART is off by a few percent at most; a driver that lands further away
// did not take the speed.
bool SpeedMatches(unsigned actual, unsigned wanted)
{
    const uint64_t diff = actual > wanted ? actual - wanted : wanted - actual;
    return diff * 100 <= uint64_t{wanted} * 3;
}

bool FrameFormatMatches(const termios &a, const termios &b)
{
    const tcflag_t mask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    return (a.c_cflag & mask) == (b.c_cflag & mask);
}

int OpenDevice(const std::string &path)
{
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

bool SetAttributes(int fd, const termios &tio)
{
    for (;;) {
        if (::tcsetattr(fd, TCSANOW, &tio) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

[[noreturn]] void ThrowOpenError(const std::string &device, int code, TOpenFailureText style)
{
    if (style == TOpenFailureText::CodeOnly)
        throw EComPortError("Error while opening port [code " + std::to_string(code) + "]", code);
    throw EComPortError("Error while opening port " + device + " [code " + std::to_string(code) + "]:\r\n" +
                            std::generic_category().message(code),
                        code);
}

} // namespace

struct TComMultiPort::Impl
{
    TComBaudRate baudRate = TComBaudRate::comBRUnknown;
    uint8_t byteSize = 8;
    TOpenFailureText openFailure = TOpenFailureText::DeviceCodeAndReason;
    uint8_t comDevice = 1;
    bool forceConfigure = true;
    TComParity parity = TComParity::comNoParity;
    TComStopBits stopBits = TComStopBits::comOneStopBit;
    TComMultiPortTimeouts timeouts;
    bool useTimeouts = true;
    // Read by every operation on whichever thread runs it.
    std::atomic<bool> threadSafe{false};
    TComMultiPortLockingOptions lockingOptions;
    TComMultiPortLockingStrategy lockingStrategy = TComMultiPortLockingStrategy::lsAllAutomatic;
    std::string devicePath;
    TPortResolver resolver;
    std::atomic<int> lastOpenError{0};

    std::atomic<int> fd{-1};
    // The last configuration written to or read from the device.
    termios cached{};
    unsigned cachedSpeed = 0;
    // The time-outs in force on the open port: taken over when it opens and
    // whenever the settings are applied with UseTimeouts.
    detail::TIoTimeouts applied;
    // Lives as long as the port: switching thread safety off must not pull
    // the lock from under a thread that holds it or waits for it.
    TPortLock lock;

    detail::TIoTimeouts Snapshot() const
    {
        return {timeouts.IntervalTimeout(), timeouts.ReadMultiplier(), timeouts.ReadConstant(),
                timeouts.WriteMultiplier(), timeouts.WriteConstant()};
    }

    void UpdateCachedFormat()
    {
        detail::EncodeFrameFormat(cached, byteSize, parity, stopBits);
        cachedSpeed = BaudRateValue(baudRate);
    }

    void CloseHandle()
    {
        const int h = fd.exchange(-1);
        if (h < 0)
            return;
        // Drop the exclusive mode first, or the next open of the node fails.
        ::ioctl(h, TIOCNXCL);
        ::flock(h, LOCK_UN);
        ::close(h);
    }
};

TComMultiPort::TComMultiPort() : d(std::make_unique<Impl>())
{
    d->timeouts.OnChange = [this] {
        if (d->useTimeouts)
            ApplySettings();
    };
    d->lockingOptions.OnChange = [this] { d->lockingStrategy = TComMultiPortLockingStrategy::lsCustom; };
    ReadConfiguration();
}

TComMultiPort::~TComMultiPort()
{
    try {
        Close();
    } catch (const EComPortError &) {
        // A close lock option left to a caller who is gone; the handle
        // still has to go.
        d->CloseHandle();
    }
}

// --- properties ---

TComBaudRate TComMultiPort::BaudRate() const
{
    return d->baudRate;
}

void TComMultiPort::SetBaudRate(TComBaudRate value)
{
    if (d->baudRate == value)
        return;
    d->baudRate = value;
    d->UpdateCachedFormat();
    ApplySettings();
}

uint8_t TComMultiPort::ByteSize() const
{
    return d->byteSize;
}

void TComMultiPort::SetByteSize(uint8_t value)
{
    if (d->byteSize == value)
        return;
    d->byteSize = value;
    d->UpdateCachedFormat();
    ApplySettings();
}

uint8_t TComMultiPort::ComDevice() const
{
    return d->comDevice;
}

void TComMultiPort::SetComDevice(uint8_t value)
{
    Close();
    d->comDevice = value;
}

const std::string &TComMultiPort::DevicePath() const
{
    return d->devicePath;
}

void TComMultiPort::SetDevicePath(const std::string &path)
{
    Close();
    d->devicePath = path;
}

void TComMultiPort::SetPortResolver(TPortResolver resolver)
{
    d->resolver = std::move(resolver);
}

std::string TComMultiPort::DeviceName() const
{
    if (!d->devicePath.empty())
        return d->devicePath;
    return d->resolver ? d->resolver(d->comDevice) : DefaultPortResolver(d->comDevice);
}

bool TComMultiPort::ForceConfigure() const
{
    return d->forceConfigure;
}

void TComMultiPort::SetForceConfigure(bool value)
{
    if (d->forceConfigure == value)
        return;
    d->forceConfigure = value;
    ApplySettings();
}

TComParity TComMultiPort::Parity() const
{
    return d->parity;
}

void TComMultiPort::SetParity(TComParity value)
{
    if (d->parity == value)
        return;
    d->parity = value;
    d->UpdateCachedFormat();
    ApplySettings();
}

TComStopBits TComMultiPort::StopBits() const
{
    return d->stopBits;
}

void TComMultiPort::SetStopBits(TComStopBits value)
{
    if (d->stopBits == value)
        return;
    d->stopBits = value;
    d->UpdateCachedFormat();
    ApplySettings();
}

TComMultiPortTimeouts &TComMultiPort::Timeouts()
{
    return d->timeouts;
}

const TComMultiPortTimeouts &TComMultiPort::Timeouts() const
{
    return d->timeouts;
}

bool TComMultiPort::UseTimeouts() const
{
    return d->useTimeouts;
}

void TComMultiPort::SetUseTimeouts(bool value)
{
    if (d->useTimeouts == value)
        return;
    d->useTimeouts = value;
    ApplySettings();
}

bool TComMultiPort::ThreadSafe() const
{
    return d->threadSafe;
}

void TComMultiPort::SetThreadSafe(bool value)
{
    d->threadSafe = value;
}

TComMultiPortLockingOptions &TComMultiPort::LockingOptions()
{
    return d->lockingOptions;
}

const TComMultiPortLockingOptions &TComMultiPort::LockingOptions() const
{
    return d->lockingOptions;
}

TComMultiPortLockingStrategy TComMultiPort::LockingStrategy() const
{
    return d->lockingStrategy;
}

void TComMultiPort::SetLockingStrategy(TComMultiPortLockingStrategy value)
{
    auto &o = d->lockingOptions;
    auto preset = [&o](bool close, bool open, bool readLock, bool readUnlock, bool writeLock, bool writeUnlock) {
        o.closeLock_ = o.closeUnlock_ = close;
        o.openLock_ = o.openUnlock_ = open;
        o.readLock_ = readLock;
        o.readUnlock_ = readUnlock;
        o.writeLock_ = writeLock;
        o.writeUnlock_ = writeUnlock;
    };
    switch (value) {
    case TComMultiPortLockingStrategy::lsAllAutomatic:
        preset(false, false, false, false, false, false);
        break;
    case TComMultiPortLockingStrategy::lsAllManual:
        preset(true, true, true, true, true, true);
        break;
    case TComMultiPortLockingStrategy::lsCustom:
        break;
    case TComMultiPortLockingStrategy::lsGroupWriteRead:
        preset(false, false, true, false, false, true);
        break;
    case TComMultiPortLockingStrategy::lsReadDataWithControl:
        preset(false, false, true, true, false, true);
        break;
    }
    d->lockingStrategy = value;
}

// --- operations ---

void TComMultiPort::Open()
{
    // One reading of the flag, so a switch meanwhile cannot unbalance the lock.
    const bool safe = d->threadSafe;
    const bool unlockAfter = safe && !d->lockingOptions.ManualOpenUnlock();
    if (safe && !d->lockingOptions.ManualOpenLock())
        d->lock.Lock();
    try {
        if (d->fd < 0) {
            if (d->forceConfigure && d->baudRate == TComBaudRate::comBRUnknown)
                throw EComPortError("Baud rate is not set");
            const std::string device = DeviceName();
            const int fd = OpenDevice(device);
            if (fd < 0)
                ThrowOpenError(device, errno, d->openFailure);
            bool exclusive = false;
            auto fail = [&](int code) {
                // Only our own exclusive mode is undone: the tty's flag is
                // shared, and a refused second opener must leave the
                // holder's in place.
                if (exclusive)
                    ::ioctl(fd, TIOCNXCL);
                ::close(fd);
                ThrowOpenError(device, code, d->openFailure);
            };
            if (!::isatty(fd))
                fail(ENOTTY);
            // TIOCEXCL does not stop a privileged opener; the advisory lock
            // keeps every cooperating program (and a second component) out.
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
                fail(errno == EWOULDBLOCK ? EBUSY : errno);
            exclusive = ::ioctl(fd, TIOCEXCL) == 0;
            termios tio{};
            if (::tcgetattr(fd, &tio) != 0)
                fail(errno);
            // A COM port is always binary: a cooked tty would eat or rewrite
            // frame bytes such as 0x03, 0x0D, 0x11 and 0x13.
            detail::MakeRaw(tio);
            if (!SetAttributes(fd, tio))
                fail(errno);
            ::tcflush(fd, TCIOFLUSH);
            d->cached = tio;
            d->applied = d->Snapshot();
            d->fd = fd;
            if (d->forceConfigure)
                Configure();
            else
                ReadConfiguration();
        }
    } catch (...) {
        try {
            throw;
        } catch (const EComPortError &e) {
            d->lastOpenError = e.Code();
        } catch (...) {
            // Not an open failure of the system's.
        }
        if (unlockAfter) {
            try {
                Unlock();
            } catch (const EComPortError &) {
                // The open failure is what the caller needs to see.
            }
        }
        throw;
    }
    d->lastOpenError = 0;
    if (unlockAfter)
        Unlock();
}

int TComMultiPort::LastOpenError() const
{
    return d->lastOpenError;
}

void TComMultiPort::Close()
{
    const bool safe = d->threadSafe;
    const bool unlockAfter = safe && !d->lockingOptions.ManualCloseUnlock();
    if (safe && !d->lockingOptions.ManualCloseLock())
        d->lock.Lock();
    d->CloseHandle();
    if (unlockAfter)
        Unlock();
}

bool TComMultiPort::IsOpen() const
{
    return d->fd >= 0;
}

bool TComMultiPort::Read(uint8_t *buffer, unsigned count, unsigned &bytesRead)
{
    const bool safe = d->threadSafe;
    const bool unlockAfter = safe && !d->lockingOptions.ManualReadUnlock();
    if (safe && !d->lockingOptions.ManualReadLock())
        d->lock.Lock();
    bytesRead = 0;
    if (count > 0)
        std::memset(buffer, 0, count);
    const int fd = d->fd;
    const bool ok = fd >= 0 && detail::TimedRead(fd, buffer, count, d->applied, bytesRead);
    if (unlockAfter)
        Unlock();
    return ok;
}

bool TComMultiPort::Write(const uint8_t *buffer, unsigned count, unsigned &bytesWritten)
{
    const bool safe = d->threadSafe;
    const bool unlockAfter = safe && !d->lockingOptions.ManualWriteUnlock();
    if (safe && !d->lockingOptions.ManualWriteLock())
        d->lock.Lock();
    bytesWritten = 0;
    const int fd = d->fd;
    const bool ok = fd >= 0 && detail::TimedWrite(fd, buffer, count, d->applied, bytesWritten);
    if (unlockAfter)
        Unlock();
    return ok;
}

bool TComMultiPort::FlushInput()
{
    const int fd = d->fd;
    return fd >= 0 && ::tcflush(fd, TCIFLUSH) == 0;
}

bool TComMultiPort::DrainInput()
{
    constexpr unsigned kLongestDrainMs = 1000;
    // Without a usable gap time-out (none, or "return at once") an answer's
    // bytes are taken to come within the controller's 100 ms.
    constexpr unsigned kDefaultQuietMs = 100;
    const int fd = d->fd;
    unsigned quiet = d->applied.Interval;
    if (quiet == 0 || quiet > kLongestDrainMs)
        quiet = kDefaultQuietMs;
    return fd >= 0 && detail::DrainUntilQuiet(fd, quiet, kLongestDrainMs);
}

void TComMultiPort::Lock()
{
    if (!d->threadSafe)
        throw EComPortError(kLockDisabled);
    d->lock.Lock();
}

void TComMultiPort::Unlock()
{
    // A holder that took the lock before thread safety was switched off
    // still gives it back, or the threads waiting for it would wait forever.
    if (d->lock.Unlock())
        return;
    throw EComPortError(d->threadSafe ? kUnlockNotOwner : kUnlockDisabled);
}

bool TComMultiPort::Configure()
{
    const int fd = d->fd;
    if (fd < 0)
        throw EComPortError("Port is not open");
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    // Start from the driver's own state so flow control and the special
    // characters stay as they are.
    d->cached = tio;
    const unsigned speed = BaudRateValue(d->baudRate);
    bool ok = speed != 0 && detail::EncodeFrameFormat(tio, d->byteSize, d->parity, d->stopBits);
    if (ok) {
        detail::MakeRaw(tio);
        const auto code = detail::StandardSpeedCode(speed);
        if (code) {
            ::cfsetispeed(&tio, *code);
            ::cfsetospeed(&tio, *code);
        }
        ok = SetAttributes(fd, tio);
        // Speeds termios has no constant for go through termios2.
        if (ok && !code)
            ok = detail::SetLineSpeed(fd, speed);
    }

    termios now{};
    const bool readBack = ::tcgetattr(fd, &now) == 0;
    unsigned actual = 0;
    if (!detail::GetLineSpeed(fd, actual) && readBack)
        actual = detail::SpeedOfCode(::cfgetospeed(&now));
    if (ok) {
        // tcsetattr succeeds when any part was taken; check the parts we own.
        ok = readBack && FrameFormatMatches(now, tio) && SpeedMatches(actual, speed);
    }
    if (ok && d->useTimeouts)
        d->applied = d->Snapshot();
    if (readBack) {
        d->cached = now;
        d->cachedSpeed = actual;
    }
    return ok && readBack;
}

bool TComMultiPort::ReadConfiguration()
{
    const int fd = d->fd;
    if (fd < 0)
        return false;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    unsigned speed = 0;
    if (!detail::GetLineSpeed(fd, speed))
        speed = detail::SpeedOfCode(::cfgetospeed(&tio));
    d->cached = tio;
    d->cachedSpeed = speed;
    d->baudRate = BaudRateFromValue(speed);
    d->byteSize = detail::DecodeByteSize(tio);
    d->parity = detail::DecodeParity(tio);
    return true;
}

void TComMultiPort::ApplySettings()
{
    if (d->forceConfigure && IsOpen())
        Configure();
}

void TComMultiPort::ApplyControllerSettings()
{
    ApplyControllerSettings(Lumex2Profile().Port);
}

void TComMultiPort::ApplyControllerSettings(const TPortProfile &profile)
{
    SetThreadSafe(profile.TransactionLock);
    if (profile.TransactionLock)
        SetLockingStrategy(TComMultiPortLockingStrategy::lsReadDataWithControl);
    d->openFailure = profile.OpenFailure;
    TComMultiPortTimeouts t;
    t.SetIntervalTimeout(profile.IntervalTimeout);
    t.SetReadMultiplier(profile.ReadMultiplier);
    t.SetReadConstant(profile.ReadConstant);
    t.SetWriteMultiplier(profile.WriteMultiplier);
    t.SetWriteConstant(profile.WriteConstant);
    d->timeouts.Assign(t);
    d->useTimeouts = true;
    d->forceConfigure = true;
    d->baudRate = TComBaudRate::comBR9600;
    d->byteSize = 8;
    d->parity = TComParity::comNoParity;
    d->stopBits = TComStopBits::comOneStopBit;
    d->UpdateCachedFormat();
    ApplySettings();
}

} // namespace lumex
