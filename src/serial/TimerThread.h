// A component that calls a handler periodically from a background thread of
// its own; the way a device is polled off the user-interface thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace lumex {

// Misuse of a component (a programming error, not a device failure).
class EInvalidOperation : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

enum class TTimerDelayType
{
    dtNormalSleep, // pause Interval after every step
    dtLikeTimer    // steps begin every Interval, the step's own time included
};

enum class TTimerThreadStartType
{
    stAutoEnable,  // Start also sets Enabled
    stManualEnable // Start leaves Enabled as it is
};

// The pause after a step that took `stepTime`: the whole interval, or for
// dtLikeTimer what is left of it (none after an overlong step). A negative
// interval pauses not at all.
std::chrono::steady_clock::duration PauseAfterStep(TTimerDelayType type, int intervalMs,
                                                   std::chrono::steady_clock::duration stepTime);

class TTimerThread;
using TTimerThreadNotifyEvent = std::function<void(TTimerThread &)>;

// Auto-reset event: a signal releases one wait and is consumed by it; a
// signal given while nobody waits is kept for the next wait.
class TAutoResetEvent
{
public:
    void Signal();
    // True when the event was signalled before the time ran out.
    bool WaitFor(std::chrono::steady_clock::duration timeout);

private:
    std::mutex Lock;
    std::condition_variable Changed;
    bool Signalled = false;
};

// The thread object behind a TTimerThread. Created suspended: the thread
// only runs after Resume, so the owner is fully linked before the first step.
class TBackgroundWorker
{
public:
    explicit TBackgroundWorker(TTimerThread &owner);
    // Waits for the thread to end.
    ~TBackgroundWorker();

    TBackgroundWorker(const TBackgroundWorker &) = delete;
    TBackgroundWorker &operator=(const TBackgroundWorker &) = delete;

    void Resume();
    void Signal() { WakeUp.Signal(); }
    bool WaitFor(std::chrono::steady_clock::duration timeout) { return WakeUp.WaitFor(timeout); }
    // Waits until the thread has ended; does nothing when called from the
    // worker's own thread (a step may ask its worker to stop).
    void WaitForEnd();
    bool IsWorkerThread() const { return std::this_thread::get_id() == ThreadId.load(); }

private:
    void Execute();

    TTimerThread &Owner;
    TAutoResetEvent WakeUp;
    std::thread Thread;
    std::atomic<std::thread::id> ThreadId{};
    std::mutex JoinLock;
};

class TTimerThread
{
public:
    TTimerThread() = default;
    // Asks the worker to stop and waits for it; without a wake-up signal,
    // so at most one pause.
    ~TTimerThread();

    TTimerThread(const TTimerThread &) = delete;
    TTimerThread &operator=(const TTimerThread &) = delete;

    TTimerDelayType DelayType() const { return FDelayType.load(); }
    void SetDelayType(TTimerDelayType value) { FDelayType.store(value); }

    bool Enabled() const { return FEnabled.load(); }
    // Turning it on the first time starts the worker; turning it off only
    // gates the steps, the worker keeps waiting.
    void SetEnabled(bool value);

    int Interval() const { return FInterval.load(); }
    void SetInterval(int milliseconds) { FInterval.store(milliseconds); }

    TTimerThreadStartType StartType() const { return FStartType.load(); }
    void SetStartType(TTimerThreadStartType value) { FStartType.store(value); }

    // While set, no steps are performed (the owner is still being set up).
    bool Loading() const { return FLoading.load(); }
    void SetLoading(bool value) { FLoading.store(value); }

    TTimerThreadNotifyEvent OnWorkStep() const;
    void SetOnWorkStep(TTimerThreadNotifyEvent handler);
    TTimerThreadNotifyEvent OnWorkStepPerformed() const;
    void SetOnWorkStepPerformed(TTimerThreadNotifyEvent handler);

    // Raises EInvalidOperation once a worker exists (also after StopAndWait).
    void Start();
    void RequestStop(bool flag);
    void Wake();
    void StopAndWait();

    bool StopRequested() const { return FStopRequested.load(); }
    bool WorkerStarted() const;
    // The exception that ended the worker's thread, if a handler threw.
    std::exception_ptr FatalException() const;

private:
    friend class TBackgroundWorker;

    // One pass of the worker loop: the step (when enabled) and its pause.
    void PerformStep(TBackgroundWorker &worker);
    void SetFatalException(std::exception_ptr error);

    std::atomic<TTimerDelayType> FDelayType{TTimerDelayType::dtNormalSleep};
    std::atomic<bool> FEnabled{false};
    std::atomic<int> FInterval{1000};
    std::atomic<TTimerThreadStartType> FStartType{TTimerThreadStartType::stAutoEnable};
    std::atomic<bool> FLoading{false};
    std::atomic<bool> FStopRequested{false};

    mutable std::mutex HandlerLock;
    TTimerThreadNotifyEvent FOnWorkStep;
    TTimerThreadNotifyEvent FOnWorkStepPerformed;
    std::exception_ptr FFatalException;

    // Guards creation of the worker; the worker is only destroyed with the
    // component, so a pointer taken under the lock stays valid.
    mutable std::mutex WorkerLock;
    std::unique_ptr<TBackgroundWorker> Worker;
};

} // namespace lumex
