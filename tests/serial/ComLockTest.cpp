// The port lock across threads: a request and its answer are never split
// by another thread's traffic, and only the owner may release the lock.
#include "PtyPair.h"
#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace lumex;
using testsupport::OpenControllerPort;
using testsupport::PtyPair;

namespace {

void WriteBytes(TComMultiPort &port, std::vector<uint8_t> bytes)
{
    unsigned written = 0;
    EXPECT_TRUE(port.Write(bytes.data(), static_cast<unsigned>(bytes.size()), written));
    EXPECT_EQ(written, bytes.size());
}

} // namespace

TEST(ComMultiPortLock, SecondWriterWaitsUntilTheExchangeIsUnlocked)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty); // lsReadDataWithControl
    WriteBytes(*port, {0xC0, 0x01, 0x01, 0xC2});

    std::atomic<bool> secondDone{false};
    std::thread second([&] {
        WriteBytes(*port, {0xC0, 0x02, 0x02, 0xC4});
        secondDone = true;
        port->Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_FALSE(secondDone);

    // The answer arrives and is read under the same lock.
    pty.Send({0xD0, 0x01, 0x01, 0xD2});
    uint8_t answer[4];
    unsigned read = 0;
    EXPECT_TRUE(port->Read(answer, 4, read));
    EXPECT_EQ(read, 4u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(secondDone);

    port->Unlock();
    second.join();
    EXPECT_TRUE(secondDone);
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
    std::atomic<bool> locked{false};
    std::thread other([&] {
        port->Lock();
        locked = true;
        port->Unlock();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(locked);
    pty.Send({0x02});
    uint8_t b = 0;
    unsigned n = 0;
    EXPECT_TRUE(port->Read(&b, 1, n));
    other.join();
    EXPECT_TRUE(locked);
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
    std::atomic<bool> locked{false};
    std::thread other([&] {
        port.Lock();
        locked = true;
        port.Unlock();
    });
    port.Unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(locked);
    port.Unlock();
    other.join();
    EXPECT_TRUE(locked);
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
