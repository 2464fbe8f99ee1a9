// The port lock across threads: a request and its answer are never split
// by another thread's traffic, and only the owner may release the lock.
#include "PtyPair.h"
#include "SerialTestSupport.h"
#include "SimHarness.h"
#include "ThreadState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace lumex;
using testsupport::OpenControllerPort;
using testsupport::PtyPair;
using testsupport::ThreadAsleepOrGone;
using testsupport::WaitFor;

namespace {

void WriteBytes(TComMultiPort &port, std::vector<uint8_t> bytes)
{
    unsigned written = 0;
    EXPECT_TRUE(port.Write(bytes.data(), static_cast<unsigned>(bytes.size()), written));
    EXPECT_EQ(written, bytes.size());
}

// A thread that records its id before it starts `work`, so the test can
// wait until it either sleeps (blocked on the lock) or has finished.
class Contender
{
public:
    template <typename Work>
    explicit Contender(Work work)
        : thread_([this, work] {
              tid_ = testsupport::CurrentThreadId();
              work();
              done_ = true;
          })
    {
    }
    ~Contender()
    {
        if (thread_.joinable())
            thread_.join();
    }
    // Blocked or done: then Done() tells which.
    bool Settled() const
    {
        return WaitFor([this] { return done_ || (tid_ != 0 && ThreadAsleepOrGone(tid_)); });
    }
    bool Done() const { return done_; }
    void Join() { thread_.join(); }

private:
    std::atomic<pid_t> tid_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

} // namespace

TEST(ComMultiPortLock, SecondWriterWaitsUntilTheExchangeIsUnlocked)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty); // lsReadDataWithControl
    WriteBytes(*port, {0xC0, 0x01, 0x01, 0xC2});

    Contender second([&] {
        WriteBytes(*port, {0xC0, 0x02, 0x02, 0xC4});
        port->Unlock();
    });
    ASSERT_TRUE(second.Settled());
    EXPECT_FALSE(second.Done());

    // The answer arrives and is read under the same lock.
    pty.Send({0xD0, 0x01, 0x01, 0xD2});
    uint8_t answer[4];
    unsigned read = 0;
    EXPECT_TRUE(port->Read(answer, 4, read));
    EXPECT_EQ(read, 4u);
    // Had the read released the lock, the writer would have been woken.
    ASSERT_TRUE(second.Settled());
    EXPECT_FALSE(second.Done());

    port->Unlock();
    second.Join();
    EXPECT_TRUE(second.Done());
    EXPECT_EQ(pty.Receive(8), (std::vector<uint8_t>{0xC0, 0x01, 0x01, 0xC2, 0xC0, 0x02, 0x02, 0xC4}));
}

TEST(ComMultiPortLock, UnlockByAnotherThreadRaises)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    WriteBytes(*port, {0x01});
    std::string message;
    std::thread other([&] {
        try {
            port->Unlock();
        } catch (const EComPortError &e) {
            message = e.what();
        }
    });
    other.join();
    EXPECT_EQ(message, "Could not release exclusive lock that this thread does not hold");
    EXPECT_NO_THROW(port->Unlock()); // the owner still holds it
    EXPECT_THROW(port->Unlock(), EComPortError);
}

TEST(ComMultiPortLock, GroupWriteReadReleasesInTheRead)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    port->SetLockingStrategy(TComMultiPortLockingStrategy::lsGroupWriteRead);
    WriteBytes(*port, {0x01});
    Contender other([&] {
        port->Lock();
        port->Unlock();
    });
    ASSERT_TRUE(other.Settled());
    EXPECT_FALSE(other.Done());
    pty.Send({0x02});
    uint8_t b = 0;
    unsigned n = 0;
    EXPECT_TRUE(port->Read(&b, 1, n));
    other.Join();
    EXPECT_TRUE(other.Done());
    EXPECT_THROW(port->Unlock(), EComPortError); // nothing left to release
}

TEST(ComMultiPortLock, AutomaticOperationsLeaveNothingLocked)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    port->SetLockingStrategy(TComMultiPortLockingStrategy::lsAllAutomatic);
    WriteBytes(*port, {0x01, 0x02});
    uint8_t b[2];
    unsigned n = 0;
    pty.Send({0x03, 0x04});
    EXPECT_TRUE(port->Read(b, 2, n));
    EXPECT_THROW(port->Unlock(), EComPortError);
    // Without ThreadSafe the same calls take no lock at all.
    port->SetLockingStrategy(TComMultiPortLockingStrategy::lsReadDataWithControl);
    port->SetThreadSafe(false);
    WriteBytes(*port, {0x05});
    WriteBytes(*port, {0x06});
    EXPECT_EQ(pty.Receive(4), (std::vector<uint8_t>{0x01, 0x02, 0x05, 0x06}));
}

TEST(ComMultiPortLock, ReentrantLockNeedsAsManyUnlocks)
{
    TComMultiPort port;
    port.SetThreadSafe(true);
    port.Lock();
    port.Lock();
    Contender other([&] {
        port.Lock();
        port.Unlock();
    });
    port.Unlock();
    ASSERT_TRUE(other.Settled());
    EXPECT_FALSE(other.Done()); // one lock is still held
    port.Unlock();
    other.Join();
    EXPECT_TRUE(other.Done());
}

// Switching thread safety off and on again while one thread holds the lock
// and another waits for it keeps the one lock: the holder can still give it
// back and the waiter gets it after the holder, never beside it.
TEST(ComMultiPortLock, SwitchingThreadSafetyKeepsTheLockOfHolderAndWaiter)
{
    TComMultiPort port;
    port.SetThreadSafe(true);
    std::mutex m;
    std::condition_variable cv;
    bool holding = false;
    bool release = false;
    std::atomic<bool> holderInside{false};
    std::atomic<bool> overlapped{false};
    std::string holderError;
    std::thread holder([&] {
        port.Lock();
        holderInside = true;
        {
            std::unique_lock g(m);
            holding = true;
            cv.notify_all();
            cv.wait(g, [&] { return release; });
        }
        holderInside = false;
        try {
            port.Unlock();
        } catch (const EComPortError &e) {
            holderError = e.what();
        }
    });
    {
        std::unique_lock g(m);
        cv.wait(g, [&] { return holding; });
    }
    std::string waiterError;
    std::thread waiter([&] {
        try {
            port.Lock();
            overlapped = holderInside.load();
            port.Unlock();
        } catch (const EComPortError &e) {
            waiterError = e.what();
        }
    });
    port.SetThreadSafe(false);
    port.SetThreadSafe(true);
    {
        std::lock_guard g(m);
        release = true;
    }
    cv.notify_all();
    holder.join();
    waiter.join();
    EXPECT_EQ(holderError, "");
    EXPECT_EQ(waiterError, "");
    EXPECT_FALSE(overlapped);
    // Nothing is left held.
    EXPECT_THROW(port.Unlock(), EComPortError);
}

// A holder whose lock outlives the switch to off gives it back all the same.
TEST(ComMultiPortLock, HolderReleasesAfterThreadSafetyIsSwitchedOff)
{
    TComMultiPort port;
    port.SetThreadSafe(true);
    port.Lock();
    port.SetThreadSafe(false);
    EXPECT_NO_THROW(port.Unlock());
    EXPECT_THROW(port.Unlock(), EComPortError);
    EXPECT_THROW(port.Lock(), EComPortError);
    port.SetThreadSafe(true);
    std::thread other([&] {
        port.Lock();
        port.Unlock();
    });
    other.join(); // the lock was free
}
