#include "serial/TimerThread.h"

#include "SimHarness.h"
#include "ThreadState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <future>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

using namespace std::chrono_literals;
using lumex::EInvalidOperation;
using lumex::TTimerDelayType;
using lumex::TTimerThread;
using lumex::TTimerThreadStartType;
using Clock = std::chrono::steady_clock;
using testsupport::ThreadAsleepOrGone;
using testsupport::WaitFor;

namespace {

// The thread that `start` creates: the timer's worker.
template <class TStart> pid_t StartedThread(TStart start)
{
    // A sanitizer's runtime starts a helper thread of its own with the
    // process's first thread; it must be there before the count, or it would
    // pass for the worker.
    std::thread([] {}).join();
    const auto before = testsupport::ThreadIds();
    start();
    for (pid_t id : testsupport::ThreadIds()) {
        if (!before.count(id))
            return id;
    }
    return 0;
}

// Wakes the worker and waits until it sleeps again: one pass of its loop,
// in which an enabled step would have run. The wake-up makes the sleeping
// worker runnable before Wake returns, so sleeping again means it has
// been through PerformStep.
bool OnePass(TTimerThread &timer, pid_t worker)
{
    timer.Wake();
    return WaitFor([&] { return ThreadAsleepOrGone(worker); });
}

bool ThreadGone(pid_t tid)
{
    return !std::filesystem::exists("/proc/self/task/" + std::to_string(tid));
}

long long Ms(Clock::duration d)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
}

// Records when each step began and ended, and in which thread it ran.
class TStepLog
{
public:
    // Installs itself as the step handler; the first `slowSteps` steps last
    // `stepTime`, the others return at once.
    void Attach(TTimerThread &timer, Clock::duration stepTime = 0ms, size_t slowSteps = SIZE_MAX)
    {
        timer.SetOnWorkStep([this, &timer, stepTime, slowSteps](TTimerThread &sender) {
            const Clock::time_point begin = Clock::now();
            SenderWasOwner = SenderWasOwner && (&sender == &timer);
            if (stepTime > 0ms && Count() < slowSteps)
                std::this_thread::sleep_for(stepTime);
            std::lock_guard<std::mutex> guard(Lock);
            Steps.push_back({begin, Clock::now()});
            Threads.insert(std::this_thread::get_id());
            Changed.notify_all();
        });
    }

    // False when fewer than `count` steps were seen within `limit`.
    bool WaitForSteps(size_t count, Clock::duration limit = testsupport::kGenerousDeadline)
    {
        std::unique_lock<std::mutex> guard(Lock);
        return Changed.wait_for(guard, limit, [&] { return Steps.size() >= count; });
    }

    size_t Count()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return Steps.size();
    }

    // Time between the end of step i and the start of step i+1.
    Clock::duration PauseAfter(size_t i)
    {
        std::lock_guard<std::mutex> guard(Lock);
        return Steps.at(i + 1).Begin - Steps.at(i).End;
    }

    Clock::duration PeriodAfter(size_t i)
    {
        std::lock_guard<std::mutex> guard(Lock);
        return Steps.at(i + 1).Begin - Steps.at(i).Begin;
    }

    Clock::time_point EndOf(size_t i)
    {
        std::lock_guard<std::mutex> guard(Lock);
        return Steps.at(i).End;
    }

    std::set<std::thread::id> ThreadIds()
    {
        std::lock_guard<std::mutex> guard(Lock);
        return Threads;
    }

    std::atomic<bool> SenderWasOwner{true};

private:
    struct TStep
    {
        Clock::time_point Begin;
        Clock::time_point End;
    };
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<TStep> Steps;
    std::set<std::thread::id> Threads;
};

// Runs `stop` on this thread while a watchdog waits `limit`; should `stop`
// not return by then, the watchdog frees the worker with a signalled stop
// request and the result is false: a lost stop request fails the test
// instead of hanging the program.
template <class TStop> bool ReturnsWithin(TTimerThread &timer, Clock::duration limit, TStop stop)
{
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    bool fired = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> guard(lock);
        if (!changed.wait_for(guard, limit, [&] { return done; })) {
            fired = true;
            timer.RequestStop(true);
        }
    });
    stop();
    {
        std::lock_guard<std::mutex> guard(lock);
        done = true;
    }
    changed.notify_all();
    watchdog.join();
    return !fired;
}

} // namespace

// ---- pause between steps -------------------------------------------------

TEST(TimerThreadPause, LikeTimerPausesWhatIsLeftOfTheInterval)
{
    using lumex::PauseAfterStep;
    constexpr auto like = TTimerDelayType::dtLikeTimer;
    EXPECT_EQ(PauseAfterStep(like, 200, 150ms), 50ms);
    EXPECT_EQ(PauseAfterStep(like, 200, 0ms), 200ms);
    // An overlong step leaves no pause at all, not a negative one.
    EXPECT_EQ(PauseAfterStep(like, 200, 200ms), 0ms);
    EXPECT_EQ(PauseAfterStep(like, 200, 300ms), 0ms);
    EXPECT_EQ(PauseAfterStep(like, -5, 0ms), 0ms);
}

TEST(TimerThreadPause, NormalSleepPausesTheWholeIntervalWhateverTheStepTime)
{
    using lumex::PauseAfterStep;
    constexpr auto normal = TTimerDelayType::dtNormalSleep;
    EXPECT_EQ(PauseAfterStep(normal, 200, 0ms), 200ms);
    EXPECT_EQ(PauseAfterStep(normal, 200, 150ms), 200ms);
    EXPECT_EQ(PauseAfterStep(normal, 200, 10s), 200ms);
    EXPECT_EQ(PauseAfterStep(normal, -5, 0ms), 0ms);
}

TEST(TimerThreadPause, LikeTimerNeverStartsAStepBeforeItsTime)
{
    TStepLog log; // outlives the worker that calls into it
    TTimerThread timer;
    log.Attach(timer, 150ms);
    timer.SetDelayType(TTimerDelayType::dtLikeTimer);
    timer.SetInterval(200);
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitForSteps(4));
    timer.RequestStop(true);
    timer.StopAndWait();

    // Steps start every Interval, the step's own time included: never
    // earlier, whatever the load. (How much of the pause the step takes up
    // is the arithmetic above.)
    for (size_t i = 0; i < 3; ++i)
        EXPECT_GE(Ms(log.PeriodAfter(i)), 195) << "step " << i;
}

TEST(TimerThreadPause, LikeTimerSkipsThePauseAfterAnOverlongStep)
{
    // The first step takes the whole interval, so no pause is left. A plain
    // sleep would pause at least the interval again (see below); the margin
    // against a busy machine is the interval itself, seconds long.
    constexpr int kIntervalMs = 5000;
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer, std::chrono::milliseconds(kIntervalMs), 1);
    timer.SetDelayType(TTimerDelayType::dtLikeTimer);
    timer.SetInterval(kIntervalMs);
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitForSteps(2, std::chrono::milliseconds(kIntervalMs) + testsupport::kGenerousDeadline));
    timer.RequestStop(true);
    timer.StopAndWait();

    EXPECT_LT(Ms(log.PauseAfter(0)), kIntervalMs);
}

TEST(TimerThreadPause, NormalSleepAlwaysPausesTheWholeInterval)
{
    for (const auto stepTime : {150ms, 0ms}) {
        TStepLog log;
        TTimerThread timer;
        log.Attach(timer, stepTime);
        timer.SetInterval(200);
        timer.SetEnabled(true);
        ASSERT_TRUE(log.WaitForSteps(3));
        timer.RequestStop(true);
        timer.StopAndWait();
        for (size_t i = 0; i < 2; ++i)
            EXPECT_GE(Ms(log.PauseAfter(i)), 195) << "step time " << stepTime.count() << " ms, pause " << i;
    }
}

TEST(TimerThreadPause, NewIntervalAppliesFromTheNextPause)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetInterval(600000);
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitForSteps(1));
    timer.SetInterval(10);
    timer.Wake(); // end the long pause already under way
    EXPECT_TRUE(log.WaitForSteps(6));
    timer.RequestStop(true);
}

TEST(TimerThreadPause, WakeEndsThePauseEarly)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetInterval(600000); // a pause no test would sit out
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitForSteps(1));
    timer.Wake();
    EXPECT_TRUE(log.WaitForSteps(2));
    timer.RequestStop(true);
}

// ---- stopping --------------------------------------------------------------

TEST(TimerThreadStop, StopAndWaitLetsThePauseRunOut)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetInterval(1000);
    const pid_t worker = StartedThread([&timer] { timer.SetEnabled(true); });
    ASSERT_NE(worker, 0);
    ASSERT_TRUE(log.WaitForSteps(1));
    // The stop comes while the worker sits in its pause.
    ASSERT_TRUE(WaitFor([&] { return ThreadAsleepOrGone(worker); }));
    timer.StopAndWait();
    const Clock::duration sincePauseBegan = Clock::now() - log.EndOf(0);
    EXPECT_GE(Ms(sincePauseBegan), 995);
    EXPECT_EQ(log.Count(), 1u) << "no step after the stop request";
}

TEST(TimerThreadStop, SignalledStopRequestEndsThePauseAtOnce)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetInterval(600000); // a pause no test would sit out
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitForSteps(1));
    // Returning within the deadline shows the pause was cut short; without
    // the signal the stop would wait the whole interval.
    EXPECT_TRUE(ReturnsWithin(timer, testsupport::kGenerousDeadline, [&timer] {
        timer.RequestStop(true);
        timer.StopAndWait();
    }));
    EXPECT_TRUE(timer.StopRequested());
}

// Right after Start the thread has usually not run yet; a stop request made
// then must still end it.
TEST(TimerThreadStop, StopRequestedRightAfterStartIsNotLost)
{
    for (int i = 0; i < 10; ++i) {
        TTimerThread timer;
        timer.SetInterval(300);
        ASSERT_TRUE(ReturnsWithin(timer, testsupport::kGenerousDeadline,
                                  [&timer] {
                                      timer.Start();
                                      timer.StopAndWait();
                                  }))
            << "round " << i;
    }
}

TEST(TimerThreadStop, SignalledStopRightAfterStartIsNotLost)
{
    for (int i = 0; i < 20; ++i) {
        TTimerThread timer;
        timer.SetInterval(600000);
        ASSERT_TRUE(ReturnsWithin(timer, testsupport::kGenerousDeadline,
                                  [&timer] {
                                      timer.Start();
                                      timer.RequestStop(true);
                                      timer.StopAndWait();
                                  }))
            << "round " << i;
    }
}

TEST(TimerThreadStop, RequestStopFalseLeavesTheWorkerRunning)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetInterval(10);
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitForSteps(1));
    timer.RequestStop(false);
    const size_t seen = log.Count();
    EXPECT_TRUE(log.WaitForSteps(seen + 3));
    EXPECT_FALSE(timer.StopRequested());
    timer.RequestStop(true);
}

TEST(TimerThreadStop, DestructionEndsARunningWorker)
{
    TStepLog log;
    pid_t worker = 0;
    {
        TTimerThread timer;
        log.Attach(timer);
        timer.SetInterval(20);
        worker = StartedThread([&timer] { timer.SetEnabled(true); });
        ASSERT_NE(worker, 0);
        ASSERT_TRUE(log.WaitForSteps(2));
    }
    // The thread itself is gone, so no step can follow.
    EXPECT_TRUE(ThreadGone(worker));
}

TEST(TimerThreadStop, ThrowingStepEndsTheWorkerAndIsKept)
{
    TTimerThread timer;
    timer.SetInterval(600000);
    timer.SetOnWorkStep([](TTimerThread &) { throw std::runtime_error("step failed"); });
    timer.SetEnabled(true);
    ASSERT_TRUE(WaitFor([&timer] { return timer.FatalException() != nullptr; }));
    // Had the worker gone on, it would now sit in a ten-minute pause.
    EXPECT_TRUE(ReturnsWithin(timer, testsupport::kGenerousDeadline, [&timer] { timer.StopAndWait(); }));
    EXPECT_THROW(std::rethrow_exception(timer.FatalException()), std::runtime_error);
}

TEST(TimerThreadStop, StepMayStopItsOwnWorker)
{
    std::atomic<int> steps{0};
    std::promise<void> stopReturned;
    TTimerThread timer;
    timer.SetInterval(10);
    timer.SetOnWorkStep([&](TTimerThread &sender) {
        if (++steps > 1)
            return;
        sender.StopAndWait(); // must not join its own thread
        stopReturned.set_value();
    });
    const pid_t worker = StartedThread([&timer] { timer.SetEnabled(true); });
    ASSERT_EQ(stopReturned.get_future().wait_for(testsupport::kGenerousDeadline), std::future_status::ready);
    // The worker ends on its own after that step; once it is gone the count is final.
    ASSERT_TRUE(WaitFor([&] { return ThreadGone(worker); }));
    EXPECT_TRUE(ReturnsWithin(timer, testsupport::kGenerousDeadline, [&timer] { timer.StopAndWait(); }));
    EXPECT_EQ(steps.load(), 1);
    EXPECT_FALSE(timer.FatalException());
}

// ---- starting and the enabled flag ----------------------------------------

TEST(TimerThreadStart, EnabledOffAndOnKeepsTheOneWorker)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetInterval(10);
    const pid_t worker = StartedThread([&timer] { timer.SetEnabled(true); });
    ASSERT_TRUE(log.WaitForSteps(2));

    EXPECT_NO_THROW(timer.SetEnabled(false));
    EXPECT_TRUE(timer.WorkerStarted());
    // A step under way finishes before the worker sleeps again.
    ASSERT_TRUE(WaitFor([&] { return ThreadAsleepOrGone(worker); }));
    const size_t whileOff = log.Count();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(OnePass(timer, worker));
    EXPECT_EQ(log.Count(), whileOff) << "no steps while disabled";

    EXPECT_NO_THROW(timer.SetEnabled(true));
    EXPECT_TRUE(log.WaitForSteps(whileOff + 2));
    timer.RequestStop(true);
    timer.StopAndWait();
    EXPECT_EQ(log.ThreadIds().size(), 1u) << "one worker thread only";
    EXPECT_EQ(log.ThreadIds().count(std::this_thread::get_id()), 0u) << "steps run off the caller's thread";
}

TEST(TimerThreadStart, StartTypeDecidesWhetherStartEnables)
{
    TStepLog log;
    TTimerThread automatic;
    automatic.SetInterval(10);
    automatic.Start();
    EXPECT_TRUE(automatic.Enabled());

    TTimerThread manual;
    log.Attach(manual);
    manual.SetStartType(TTimerThreadStartType::stManualEnable);
    manual.SetInterval(10);
    const pid_t worker = StartedThread([&manual] { manual.Start(); });
    ASSERT_NE(worker, 0);
    EXPECT_FALSE(manual.Enabled());
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(OnePass(manual, worker));
    EXPECT_EQ(log.Count(), 0u);
    manual.RequestStop(true);
    automatic.RequestStop(true);
}

TEST(TimerThreadStart, ManualStartThroughEnabledKeepsTheFlag)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetStartType(TTimerThreadStartType::stManualEnable);
    timer.SetInterval(10);
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    EXPECT_TRUE(timer.WorkerStarted());
    EXPECT_TRUE(log.WaitForSteps(2));
    timer.RequestStop(true);
}

TEST(TimerThreadStart, StartingTwiceRaises)
{
    TTimerThread timer;
    timer.SetInterval(10);
    timer.Start();
    try {
        timer.Start();
        FAIL() << "second Start did not raise";
    } catch (const EInvalidOperation &e) {
        EXPECT_STREQ(e.what(), "Background worker has been already started");
    }
    timer.RequestStop(true);
    timer.StopAndWait();
    // The worker object outlives its thread: still no second start.
    EXPECT_THROW(timer.Start(), EInvalidOperation);
    static_assert(std::is_base_of_v<std::logic_error, EInvalidOperation>);
}

TEST(TimerThreadStart, LoadingComponentPerformsNoSteps)
{
    TStepLog log;
    TTimerThread timer;
    log.Attach(timer);
    timer.SetLoading(true);
    timer.SetInterval(10);
    const pid_t worker = StartedThread([&timer] { timer.SetEnabled(true); });
    ASSERT_NE(worker, 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(OnePass(timer, worker));
    EXPECT_EQ(log.Count(), 0u);
    timer.SetLoading(false);
    EXPECT_TRUE(log.WaitForSteps(1));
    timer.RequestStop(true);
}

TEST(TimerThreadStart, PerformedFollowsTheStepWithTheOwnerAsSender)
{
    std::mutex lock;
    std::vector<std::string> calls;
    std::atomic<bool> senderOk{true};
    std::promise<void> twoRounds;
    TTimerThread timer;
    timer.SetOnWorkStep([&](TTimerThread &sender) {
        senderOk = senderOk && (&sender == &timer);
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back("step");
    });
    timer.SetOnWorkStepPerformed([&](TTimerThread &sender) {
        senderOk = senderOk && (&sender == &timer);
        std::lock_guard<std::mutex> guard(lock);
        calls.push_back("performed");
        if (calls.size() == 4)
            twoRounds.set_value();
    });
    timer.SetInterval(10);
    timer.SetEnabled(true);
    ASSERT_EQ(twoRounds.get_future().wait_for(testsupport::kGenerousDeadline), std::future_status::ready);
    timer.RequestStop(true);
    timer.StopAndWait();
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4),
              (std::vector<std::string>{"step", "performed", "step", "performed"}));
    EXPECT_TRUE(senderOk);
}
