// The adapter's frames: the request CRC, and the receive rules over a real
// pty against the simulated adapter, each of which must give the port lock
// back exactly once and report its outcome once.
#include "AdapterSim.h"

#include "modules/AdapterProtocol.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

using namespace lumex;
using adaptertest::AdapterSim;

namespace {

// The textbook bitwise CRC-16/XMODEM, written independently of the
// register form the program uses.
uint16_t ReferenceCrc(std::span<const uint8_t> bytes)
{
    uint16_t crc = 0;
    for (uint8_t b : bytes) {
        crc ^= static_cast<uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::span<const uint8_t> Bytes(std::string_view s)
{
    return {reinterpret_cast<const uint8_t *>(s.data()), s.size()};
}

struct Outcome
{
    bool ok = false;
    bool error = false;
    int reports = 0;
    bool lastReport = false;
    std::vector<uint8_t> buffer;
};

// One exchange with an extra hold of the port lock around it: the lock
// count is right afterwards only when the receive gave back exactly the
// hold the write took.
Outcome Exchange(AdapterSim &s, std::vector<uint8_t> body, std::size_t answerLength)
{
    TComMultiPort &port = s.Link().Port;
    TAdapterProtocol protocol(port);
    Outcome out;
    protocol.SetDeviceCompatible = [&](bool ok) {
        ++out.reports;
        out.lastReport = ok;
    };
    out.buffer.assign(answerLength, 0xAA);
    port.Lock();
    protocol.Send(body);
    out.ok = protocol.Receive(out.buffer, out.error);
    EXPECT_NO_THROW(port.Unlock()) << "the receive released the caller's hold too";
    EXPECT_THROW(port.Unlock(), EComPortError) << "the receive kept the write's hold";
    return out;
}

} // namespace

TEST(AdapterCrc, KnownVectors)
{
    EXPECT_EQ(Crc16Xmodem(Bytes("123456789")), 0x31C3);
    EXPECT_EQ(Crc16Xmodem(std::array<uint8_t, 3>{0xC2, 0x02, 0xA5}), 0xCBBA);
    EXPECT_EQ(Crc16Xmodem(std::array<uint8_t, 3>{0xC2, 0x70, 0x01}), 0x50EF);
    const std::vector<uint8_t> version = AdapterFrame(std::array<uint8_t, 3>{0xC2, 0x01, 0x01});
    EXPECT_EQ(version, (std::vector<uint8_t>{0xC2, 0x01, 0x01, 0x6B, 0x87}));
}

TEST(AdapterCrc, LongestRequestFrameMatchesTheReference)
{
    std::vector<uint8_t> body(TAdapterProtocol::kMaxRequest - 2);
    body[0] = TAdapterProtocol::kAddress;
    for (std::size_t i = 1; i < body.size(); ++i)
        body[i] = static_cast<uint8_t>(0x9D * i + 0x31);
    EXPECT_EQ(Crc16Xmodem(body), ReferenceCrc(body));
    const std::vector<uint8_t> frame = AdapterFrame(body);
    ASSERT_EQ(frame.size(), TAdapterProtocol::kMaxRequest);
    EXPECT_EQ(frame[frame.size() - 2], ReferenceCrc(body) >> 8);
    EXPECT_EQ(frame.back(), ReferenceCrc(body) & 0xFF);
    // All ones and all zeros, the register's extremes.
    std::vector<uint8_t> ones(body.size(), 0xFF), zeros(body.size(), 0);
    EXPECT_EQ(Crc16Xmodem(ones), ReferenceCrc(ones));
    EXPECT_EQ(Crc16Xmodem(zeros), 0);
}

TEST(AdapterReceive, EveryOutcomeReleasesTheLockOnceAndReportsOnce)
{
    AdapterSim s;
    s.Link().Port.Open();
    const std::vector<uint8_t> version{0xC2, 0x01, 0x01};

    Outcome good = Exchange(s, version, 4);
    EXPECT_TRUE(good.ok);
    EXPECT_FALSE(good.error);
    EXPECT_EQ(good.reports, 1);
    EXPECT_TRUE(good.lastReport);
    EXPECT_EQ(good.buffer, (std::vector<uint8_t>{0xD2, 0x01, 0x21, 0xF4}));

    // A wrong parameter: the device's error answer, in place of 18 bytes.
    Outcome error = Exchange(s, {0xC2, 0x02, 0x00}, 18);
    EXPECT_TRUE(error.ok);
    EXPECT_TRUE(error.error);
    EXPECT_EQ(error.reports, 1);
    EXPECT_EQ(error.buffer[0], 0xD2);
    EXPECT_EQ(error.buffer[1], 0xEE);

    for (const char *fault : {"bad-start@C2/01:1", "silence@C2/01:1", "bad-checksum@C2/01:1"}) {
        s.AddFault(fault);
        Outcome failed = Exchange(s, version, 4);
        EXPECT_FALSE(failed.ok) << fault;
        EXPECT_FALSE(failed.error) << fault;
        EXPECT_EQ(failed.reports, 1) << fault;
        EXPECT_FALSE(failed.lastReport) << fault;
        s.Sync();
    }
    // A wrong sum leaves a zero-filled buffer.
    s.AddFault("bad-checksum@C2/01:1");
    EXPECT_EQ(Exchange(s, version, 4).buffer, (std::vector<uint8_t>(4, 0)));

    // A 4-byte acknowledgement where 18 bytes are due.
    s.AddFault("short@C2/02:1");
    Outcome shortAnswer = Exchange(s, {0xC2, 0x02, 0xA5}, 18);
    EXPECT_FALSE(shortAnswer.ok);
    EXPECT_EQ(shortAnswer.reports, 1);

    // The line still works afterwards.
    EXPECT_TRUE(Exchange(s, version, 4).ok);
    EXPECT_TRUE(s.Violations().empty());
}
