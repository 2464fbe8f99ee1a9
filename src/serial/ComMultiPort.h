// The one serial-port component: owns a tty, applies line settings and
// read/write time-outs, moves bytes with blocking calls, and carries a
// re-entrant lock so a request and its answer are never split by another
// thread's traffic.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace lumex {

struct TPortProfile;

class EComPortError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    EComPortError(const std::string &what, int code) : std::runtime_error(what), code_(code) {}
    // The system's error number of a failed open; 0 for our own refusals.
    int Code() const { return code_; }

private:
    int code_ = 0;
};

enum class TComBaudRate
{
    comBR110,
    comBR300,
    comBR600,
    comBR1200,
    comBR2400,
    comBR4800,
    comBR9600,
    comBR14400,
    comBR19200,
    comBR38400,
    comBR56000,
    comBR57600,
    comBR115200,
    comBR128000,
    comBR256000,
    comBRUnknown
};

enum class TComParity
{
    comNoParity,
    comOddParity,
    comEvenParity,
    comMarkParity,
    comSpaceParity
};
enum class TComStopBits
{
    comOneStopBit,
    comOne5StopBits,
    comTwoStopBits
};
enum class TComMultiPortLockingStrategy
{
    lsAllAutomatic,
    lsAllManual,
    lsCustom,
    lsGroupWriteRead,
    lsReadDataWithControl
};

// bit/s of a baud-rate member; 0 for comBRUnknown.
unsigned BaudRateValue(TComBaudRate rate);
// The member with exactly this speed, or comBRUnknown.
TComBaudRate BaudRateFromValue(unsigned bitsPerSecond);

// Five millisecond values with the meaning of a Windows COMMTIMEOUTS record.
class TComMultiPortTimeouts
{
public:
    unsigned IntervalTimeout() const { return interval_; }
    unsigned ReadMultiplier() const { return readMultiplier_; }
    unsigned ReadConstant() const { return readConstant_; }
    unsigned WriteMultiplier() const { return writeMultiplier_; }
    unsigned WriteConstant() const { return writeConstant_; }
    void SetIntervalTimeout(unsigned ms);
    void SetReadMultiplier(unsigned ms);
    void SetReadConstant(unsigned ms);
    void SetWriteMultiplier(unsigned ms);
    void SetWriteConstant(unsigned ms);
    // Copies all five values without notification.
    void Assign(const TComMultiPortTimeouts &other);
    std::function<void()> OnChange;

private:
    void Changed();
    unsigned interval_ = 50, readMultiplier_ = 10, readConstant_ = 20, writeMultiplier_ = 10, writeConstant_ = 20;
};

// "Manual" flags: the operation leaves that lock step to the caller.
class TComMultiPortLockingOptions
{
public:
    bool ManualCloseLock() const { return closeLock_; }
    bool ManualCloseUnlock() const { return closeUnlock_; }
    bool ManualOpenLock() const { return openLock_; }
    bool ManualOpenUnlock() const { return openUnlock_; }
    bool ManualReadLock() const { return readLock_; }
    bool ManualReadUnlock() const { return readUnlock_; }
    bool ManualWriteLock() const { return writeLock_; }
    bool ManualWriteUnlock() const { return writeUnlock_; }
    void SetManualCloseLock(bool v);
    void SetManualCloseUnlock(bool v);
    void SetManualOpenLock(bool v);
    void SetManualOpenUnlock(bool v);
    void SetManualReadLock(bool v);
    void SetManualReadUnlock(bool v);
    void SetManualWriteLock(bool v);
    void SetManualWriteUnlock(bool v);
    // Copies all eight flags without notification.
    void Assign(const TComMultiPortLockingOptions &other);
    std::function<void()> OnChange;

private:
    friend class TComMultiPort;
    void Changed();
    bool closeLock_ = false, closeUnlock_ = false, openLock_ = false, openUnlock_ = false;
    bool readLock_ = false, readUnlock_ = false, writeLock_ = false, writeUnlock_ = false;
};

// Maps the user-visible port number to a device node (see PortMap.h).
using TPortResolver = std::function<std::string(int portNumber)>;

class TComMultiPort
{
public:
    TComMultiPort();
    virtual ~TComMultiPort();
    TComMultiPort(const TComMultiPort &) = delete;
    TComMultiPort &operator=(const TComMultiPort &) = delete;

    TComBaudRate BaudRate() const;
    void SetBaudRate(TComBaudRate value);
    uint8_t ByteSize() const;
    void SetByteSize(uint8_t value);
    // Port number n of "COM n". Setting it always closes the port.
    uint8_t ComDevice() const;
    void SetComDevice(uint8_t value);
    // An explicit device path that overrides the port number (tests, --port
    // PATH). Setting it closes the port like SetComDevice. Empty = use the
    // port number through the resolver.
    const std::string &DevicePath() const;
    void SetDevicePath(const std::string &path);
    // The resolver for port numbers; the default one reads the port map.
    void SetPortResolver(TPortResolver resolver);
    // The device node that Open would open now.
    std::string DeviceName() const;

    bool ForceConfigure() const;
    void SetForceConfigure(bool value);
    TComParity Parity() const;
    void SetParity(TComParity value);
    TComStopBits StopBits() const;
    void SetStopBits(TComStopBits value);
    TComMultiPortTimeouts &Timeouts();
    const TComMultiPortTimeouts &Timeouts() const;
    bool UseTimeouts() const;
    void SetUseTimeouts(bool value);
    bool ThreadSafe() const;
    void SetThreadSafe(bool value);
    TComMultiPortLockingOptions &LockingOptions();
    const TComMultiPortLockingOptions &LockingOptions() const;
    TComMultiPortLockingStrategy LockingStrategy() const;
    void SetLockingStrategy(TComMultiPortLockingStrategy value);

    void Open();
    void Close();
    bool IsOpen() const;
    // The system's error number of the last open that failed (EACCES: the
    // user may not use the port); 0 once an open succeeds.
    int LastOpenError() const;
    bool Read(uint8_t *buffer, unsigned count, unsigned &bytesRead);
    bool Write(const uint8_t *buffer, unsigned count, unsigned &bytesWritten);
    // Throws away what the line delivered and nobody read (a late answer),
    // so the next request reads its own answer. False when not open.
    bool FlushInput();
    // Throws away the rest of an answer still on its way (the tail of a
    // frame that failed part-way): reads until no byte has come for the
    // interval time-out, for at most a second. False when not open.
    bool DrainInput();
    void Lock();
    void Unlock();
    bool Configure();
    bool ReadConfiguration();
    virtual void ApplySettings();

    // The settings the controller link relies on: 9600 8N1, time-outs
    // 100/100/200/100/200, thread-safe, lsReadDataWithControl.
    void ApplyControllerSettings();
    // The same line settings with a program's own time-outs, lock use and
    // open-failure text.
    void ApplyControllerSettings(const TPortProfile &profile);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace lumex
