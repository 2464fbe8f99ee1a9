#include "serial/TimerThread.h"

#include <algorithm>

namespace lumex {

using Clock = std::chrono::steady_clock;

Clock::duration PauseAfterStep(TTimerDelayType type, int intervalMs, Clock::duration stepTime)
{
    const Clock::duration interval = std::chrono::milliseconds(std::max(0, intervalMs));
    if (type == TTimerDelayType::dtLikeTimer)
        return std::max(Clock::duration::zero(), interval - stepTime);
    return interval;
}

void TAutoResetEvent::Signal()
{
    {
        std::lock_guard<std::mutex> guard(Lock);
        Signalled = true;
    }
    Changed.notify_one();
}

bool TAutoResetEvent::WaitFor(Clock::duration timeout)
{
    std::unique_lock<std::mutex> guard(Lock);
    // A deadline keeps spurious wake-ups from stretching the pause.
    const bool signalled = Changed.wait_until(guard, Clock::now() + timeout, [this] { return Signalled; });
    Signalled = false;
    return signalled;
}

TBackgroundWorker::TBackgroundWorker(TTimerThread &owner) : Owner(owner) {}

TBackgroundWorker::~TBackgroundWorker()
{
    WaitForEnd();
}

void TBackgroundWorker::Resume()
{
    std::lock_guard<std::mutex> guard(JoinLock);
    if (!Thread.joinable())
        Thread = std::thread([this] { Execute(); });
}

void TBackgroundWorker::WaitForEnd()
{
    // Joining itself would deadlock; the thread ends on its own once its
    // step returns and it sees the stop request.
    if (IsWorkerThread())
        return;
    std::lock_guard<std::mutex> guard(JoinLock);
    if (Thread.joinable())
        Thread.join();
}

void TBackgroundWorker::Execute()
{
    ThreadId.store(std::this_thread::get_id());
    try {
        while (!Owner.StopRequested())
            Owner.PerformStep(*this);
    } catch (...) {
        // A throwing handler ends the worker instead of the whole program.
        Owner.SetFatalException(std::current_exception());
    }
}

TTimerThread::~TTimerThread()
{
    FStopRequested.store(true);
    std::unique_ptr<TBackgroundWorker> worker;
    {
        std::lock_guard<std::mutex> guard(WorkerLock);
        worker = std::move(Worker);
    }
    worker.reset();
}

void TTimerThread::SetEnabled(bool value)
{
    if (FEnabled.exchange(value) == value || !value)
        return;
    std::lock_guard<std::mutex> guard(WorkerLock);
    if (Worker)
        return;
    // Same as Start, but checked and created under one lock so that a racing
    // Start cannot slip in between.
    FStopRequested.store(false);
    Worker = std::make_unique<TBackgroundWorker>(*this);
    Worker->Resume();
}

TTimerThreadNotifyEvent TTimerThread::OnWorkStep() const
{
    std::lock_guard<std::mutex> guard(HandlerLock);
    return FOnWorkStep;
}

void TTimerThread::SetOnWorkStep(TTimerThreadNotifyEvent handler)
{
    std::lock_guard<std::mutex> guard(HandlerLock);
    FOnWorkStep = std::move(handler);
}

TTimerThreadNotifyEvent TTimerThread::OnWorkStepPerformed() const
{
    std::lock_guard<std::mutex> guard(HandlerLock);
    return FOnWorkStepPerformed;
}

void TTimerThread::SetOnWorkStepPerformed(TTimerThreadNotifyEvent handler)
{
    std::lock_guard<std::mutex> guard(HandlerLock);
    FOnWorkStepPerformed = std::move(handler);
}

void TTimerThread::Start()
{
    if (StartType() == TTimerThreadStartType::stAutoEnable)
        FEnabled.store(true);
    std::lock_guard<std::mutex> guard(WorkerLock);
    if (Worker)
        throw EInvalidOperation("Background worker has been already started");
    // Cleared here rather than in the thread, so a stop requested between
    // Start and the thread's first instruction is not lost.
    FStopRequested.store(false);
    Worker = std::make_unique<TBackgroundWorker>(*this);
    Worker->Resume();
}

void TTimerThread::RequestStop(bool flag)
{
    FStopRequested.store(flag);
    if (flag)
        Wake();
}

void TTimerThread::Wake()
{
    std::lock_guard<std::mutex> guard(WorkerLock);
    if (Worker)
        Worker->Signal();
}

void TTimerThread::StopAndWait()
{
    FStopRequested.store(true);
    TBackgroundWorker *worker = nullptr;
    {
        std::lock_guard<std::mutex> guard(WorkerLock);
        worker = Worker.get();
    }
    // Joined outside the lock: a step that sets Enabled must not block on it.
    if (worker)
        worker->WaitForEnd();
}

bool TTimerThread::WorkerStarted() const
{
    std::lock_guard<std::mutex> guard(WorkerLock);
    return Worker != nullptr;
}

std::exception_ptr TTimerThread::FatalException() const
{
    std::lock_guard<std::mutex> guard(HandlerLock);
    return FFatalException;
}

void TTimerThread::SetFatalException(std::exception_ptr error)
{
    std::lock_guard<std::mutex> guard(HandlerLock);
    FFatalException = std::move(error);
}

void TTimerThread::PerformStep(TBackgroundWorker &worker)
{
    const Clock::time_point stepStart = Clock::now();
    if (Enabled() && !Loading()) {
        if (const TTimerThreadNotifyEvent step = OnWorkStep())
            step(*this);
        if (const TTimerThreadNotifyEvent performed = OnWorkStepPerformed())
            performed(*this);
    }
    worker.WaitFor(PauseAfterStep(DelayType(), Interval(), Clock::now() - stepStart));
}

} // namespace lumex
