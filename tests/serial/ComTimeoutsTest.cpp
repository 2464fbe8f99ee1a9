// Read time-outs on a real pty with the controller's values: interval 100,
// read multiplier 100, read constant 200. Only lower bounds are timed: a
// busy machine makes a wait longer, never shorter. Where a test must show
// that a call did not wait, the time-out it would wait for is set far
// beyond a generous deadline.
#include "PtyPair.h"
#include "SerialTestSupport.h"
#include "SimHarness.h"
#include "ThreadState.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace lumex;
using testsupport::kUnreachedTimeoutMs;
using testsupport::MsSince;
using testsupport::OpenControllerPort;
using testsupport::PtyPair;
using testsupport::ReturnsWithin;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

// Sends `count` bytes, the first once the read waits for it, then one
// after each pause of `gap`, while the port reads `count` bytes; the number
// of bytes that read returned. A late sender only makes a gap longer.
unsigned ReadPaced(TComMultiPort &port, const PtyPair &pty, unsigned count, milliseconds gap)
{
    std::vector<uint8_t> buffer(count);
    const pid_t reader = testsupport::CurrentThreadId();
    std::thread sender([&] {
        EXPECT_TRUE(testsupport::WaitFor([&] { return testsupport::ThreadAsleepOrGone(reader); }));
        for (unsigned i = 0; i < count; ++i) {
            // The pause between two bytes is the line condition under test.
            if (i > 0)
                std::this_thread::sleep_for(gap);
            pty.Send({static_cast<uint8_t>(0xA0 + i)});
        }
    });
    unsigned bytesRead = 0;
    EXPECT_TRUE(port.Read(buffer.data(), count, bytesRead));
    sender.join();
    for (unsigned i = 0; i < bytesRead; ++i)
        EXPECT_EQ(buffer[i], 0xA0 + i);
    // Leave the line empty for the next attempt: the sender is done, so
    // the rest is already waiting.
    if (bytesRead < count) {
        std::vector<uint8_t> rest(count - bytesRead);
        unsigned ignored = 0;
        port.Read(rest.data(), static_cast<unsigned>(rest.size()), ignored);
    }
    return bytesRead;
}

} // namespace

TEST(ComMultiPortTimeouts, SilentLineReturnsNothingAfterTheTotalTimeout)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    std::vector<uint8_t> buffer(26, 0xAA);
    unsigned read = 99;
    const auto start = Clock::now();
    EXPECT_TRUE(port->Read(buffer.data(), 26, read));
    EXPECT_GE(MsSince(start), 2795.0); // 200 + 26 x 100
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(26, 0));
}

TEST(ComMultiPortTimeouts, WaitingBytesReturnAtOnce)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    port->Timeouts().SetReadConstant(kUnreachedTimeoutMs);
    std::vector<uint8_t> sent(26);
    for (unsigned i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i * 7);
    pty.Send(sent);
    std::vector<uint8_t> buffer(26);
    unsigned read = 0;
    bool ok = false;
    EXPECT_TRUE(ReturnsWithin([&] { ok = port->Read(buffer.data(), 26, read); }))
        << "the read waited for its time-out although every byte was there";
    EXPECT_TRUE(ok);
    EXPECT_EQ(read, 26u);
    EXPECT_EQ(buffer, sent);
}

TEST(ComMultiPortTimeouts, GapsBelowTheIntervalStillCompleteARead)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    // Gaps far below the interval, so no scheduler hiccup stretches one
    // past it, and a total time-out that the read never reaches.
    port->Timeouts().SetIntervalTimeout(3000);
    port->Timeouts().SetReadConstant(kUnreachedTimeoutMs);
    EXPECT_EQ(ReadPaced(*port, pty, 5, milliseconds(90)), 5u);
}

TEST(ComMultiPortTimeouts, GapsAboveTheIntervalCutTheReadShort)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    // Only the 100 ms interval can end this read: the total time-out is
    // out of reach, and the gaps are four intervals long.
    port->Timeouts().SetReadConstant(kUnreachedTimeoutMs);
    // A reader stalled for a whole gap would still see the second byte;
    // such a run proves nothing and is repeated. A port that ignores the
    // interval reads every byte every time.
    unsigned got = 0;
    for (int attempt = 0; attempt < 3 && got != 1; ++attempt)
        got = ReadPaced(*port, pty, 3, milliseconds(400));
    EXPECT_EQ(got, 1u);
}

TEST(ComMultiPortTimeouts, ChangedTimeoutsApplyToTheOpenPortOnlyWithUseTimeouts)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    auto silentRead = [&] {
        uint8_t b = 0;
        unsigned n = 0;
        const auto start = Clock::now();
        EXPECT_TRUE(port->Read(&b, 1, n));
        EXPECT_EQ(n, 0u);
        return MsSince(start);
    };
    // One silent byte took 300 ms with the controller's values.
    port->Timeouts().SetReadMultiplier(0);
    port->Timeouts().SetReadConstant(1000);
    EXPECT_GE(silentRead(), 995.0);

    // Without UseTimeouts the value is only stored: the read still ends
    // after the 1000 ms in force, not after the stored minute.
    port->SetUseTimeouts(false);
    port->Timeouts().SetReadConstant(kUnreachedTimeoutMs);
    EXPECT_EQ(port->Timeouts().ReadConstant(), kUnreachedTimeoutMs);
    double ms = 0;
    EXPECT_TRUE(ReturnsWithin([&] { ms = silentRead(); })) << "the stored time-out was put in force";
    EXPECT_GE(ms, 995.0);
}

namespace {

// Sends `count` bytes onto the line, each once `drainer` waits for input
// again: the tail of an answer still coming while the drain runs.
void SendWhileWaited(const PtyPair &pty, pid_t drainer, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        EXPECT_TRUE(testsupport::WaitFor([&] { return testsupport::ThreadAsleepOrGone(drainer); }));
        pty.Send({static_cast<uint8_t>(0xA0 + i)});
    }
}

} // namespace

TEST(ComMultiPortTimeouts, DrainTakesTheTailStillComingAndNothingAfterTheQuiet)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    // A gap this long is out of reach of the sender, however busy the
    // machine: only the end of the tail makes the line quiet.
    port->Timeouts().SetIntervalTimeout(800);
    const pid_t drainer = testsupport::CurrentThreadId();
    std::thread tail([&] { SendWhileWaited(pty, drainer, 5); });
    EXPECT_TRUE(port->DrainInput());
    tail.join();

    // The next answer starts with its own first byte.
    pty.Send({0xD0});
    uint8_t b = 0;
    unsigned n = 0;
    EXPECT_TRUE(port->Read(&b, 1, n));
    ASSERT_EQ(n, 1u);
    EXPECT_EQ(b, 0xD0);
}

TEST(ComMultiPortTimeouts, DrainOfABabblingLineEnds)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    // The gap is out of reach: only the one-second bound can end the drain
    // while bytes keep coming.
    port->Timeouts().SetIntervalTimeout(800);
    std::atomic<pid_t> drainer{0};
    std::atomic<bool> drained{false};
    std::thread drain([&] {
        drainer = testsupport::CurrentThreadId();
        EXPECT_TRUE(port->DrainInput());
        drained = true;
    });
    // Bytes keep coming, each as soon as the drain waits, until it gives up.
    ASSERT_TRUE(testsupport::WaitFor([&] { return drainer != 0; }));
    ASSERT_TRUE(testsupport::WaitFor([&] {
        if (!drained && testsupport::ThreadAsleepOrGone(drainer))
            pty.Send({0x55});
        return drained.load();
    })) << "the drain waited for a quiet line";
    drain.join();
    EXPECT_FALSE(TComMultiPort().DrainInput()) << "a closed port";
}
