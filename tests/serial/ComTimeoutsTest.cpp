// Read time-outs on a real pty with the controller's values: interval 100,
// read multiplier 100, read constant 200. Timed with generous margins.
#include "PtyPair.h"
#include "SerialTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace lumex;
using testsupport::MsSince;
using testsupport::OpenControllerPort;
using testsupport::PtyPair;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

struct Paced
{
    unsigned bytesRead = 0;
    double maxGapMs = 0; // the largest gap the sender really left
};

// Sends `count` bytes, the first 50 ms after the read starts, then one
// every `gapMs`, while the port reads `count` bytes.
Paced ReadPaced(TComMultiPort &port, const PtyPair &pty, unsigned count, int gapMs)
{
    Paced result;
    std::vector<uint8_t> buffer(count);
    std::thread sender([&] {
        const auto start = Clock::now() + milliseconds(50);
        auto previous = start;
        for (unsigned i = 0; i < count; ++i) {
            std::this_thread::sleep_until(start + milliseconds(gapMs) * i);
            const auto now = Clock::now();
            if (i > 0)
                result.maxGapMs =
                    std::max(result.maxGapMs, std::chrono::duration<double, std::milli>(now - previous).count());
            previous = now;
            pty.Send({static_cast<uint8_t>(0xA0 + i)});
        }
    });
    EXPECT_TRUE(port.Read(buffer.data(), count, result.bytesRead));
    sender.join();
    for (unsigned i = 0; i < result.bytesRead; ++i)
        EXPECT_EQ(buffer[i], 0xA0 + i);
    // Leave the line empty for the next attempt: the sender is done, so
    // the rest is already waiting.
    if (result.bytesRead < count) {
        std::vector<uint8_t> rest(count - result.bytesRead);
        unsigned ignored = 0;
        port.Read(rest.data(), static_cast<unsigned>(rest.size()), ignored);
    }
    return result;
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
    const double ms = MsSince(start);
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(buffer, std::vector<uint8_t>(26, 0));
    EXPECT_GE(ms, 2795.0); // 200 + 26 x 100
    EXPECT_LT(ms, 3300.0);
}

TEST(ComMultiPortTimeouts, WaitingBytesReturnAtOnce)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    std::vector<uint8_t> sent(26);
    for (unsigned i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<uint8_t>(i * 7);
    pty.Send(sent);
    std::vector<uint8_t> buffer(26);
    unsigned read = 0;
    const auto start = Clock::now();
    EXPECT_TRUE(port->Read(buffer.data(), 26, read));
    EXPECT_LT(MsSince(start), 100.0);
    EXPECT_EQ(read, 26u);
    EXPECT_EQ(buffer, sent);
}

TEST(ComMultiPortTimeouts, GapsBelowTheIntervalStillCompleteARead)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    // A scheduler hiccup can stretch a 90 ms gap past the 100 ms interval;
    // such a run proves nothing and is repeated.
    Paced paced;
    for (int attempt = 0; attempt < 3; ++attempt) {
        paced = ReadPaced(*port, pty, 5, 90);
        if (paced.maxGapMs < 98.0)
            break;
    }
    ASSERT_LT(paced.maxGapMs, 98.0) << "the machine is too busy to keep 90 ms gaps";
    EXPECT_EQ(paced.bytesRead, 5u);
}

TEST(ComMultiPortTimeouts, GapsAboveTheIntervalCutTheReadShort)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    unsigned got = 0;
    for (int attempt = 0; attempt < 3 && got != 1; ++attempt)
        got = ReadPaced(*port, pty, 5, 110).bytesRead;
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
    port->Timeouts().SetReadMultiplier(0);
    port->Timeouts().SetReadConstant(100);
    const double first = silentRead();
    EXPECT_GE(first, 95.0);
    EXPECT_LT(first, 300.0);

    port->Timeouts().SetReadConstant(400);
    const double second = silentRead();
    EXPECT_GE(second, 395.0);
    EXPECT_LT(second, 700.0);

    // Without UseTimeouts the value is only stored.
    port->SetUseTimeouts(false);
    port->Timeouts().SetReadConstant(50);
    const double third = silentRead();
    EXPECT_GE(third, 395.0);
    EXPECT_LT(third, 700.0);
}
