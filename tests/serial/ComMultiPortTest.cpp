// The port component on real pseudo-terminals: settings, messages,
// exclusive open, line configuration and byte transparency.
#include "serial/ComMultiPort.h"
#include "PtyPair.h"
#include "SerialTestSupport.h"
#include "serial/LineSettings.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <sys/ioctl.h>
#include <termios.h>

using namespace lumex;
using testsupport::kUnreachedTimeoutMs;
using testsupport::MsSince;
using testsupport::OpenControllerPort;
using testsupport::PtyPair;
using testsupport::ReturnsWithin;

namespace {

std::string OpenError(TComMultiPort &port)
{
    try {
        port.Open();
    } catch (const EComPortError &e) {
        return e.what();
    }
    return "(no error)";
}

termios SlaveTermios(const PtyPair &pty)
{
    termios tio{};
    // Any descriptor of the tty shows the same settings.
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ::tcgetattr(fd, &tio);
    ::close(fd);
    return tio;
}

class CountingPort : public TComMultiPort
{
public:
    void ApplySettings() override
    {
        ++applied;
        TComMultiPort::ApplySettings();
    }
    int applied = 0;
};

} // namespace

TEST(ComMultiPortSettings, ConstructorDefaults)
{
    TComMultiPort port;
    EXPECT_EQ(port.BaudRate(), TComBaudRate::comBRUnknown);
    EXPECT_EQ(port.ByteSize(), 8);
    EXPECT_EQ(port.ComDevice(), 1);
    EXPECT_TRUE(port.ForceConfigure());
    EXPECT_TRUE(port.UseTimeouts());
    EXPECT_EQ(port.Parity(), TComParity::comNoParity);
    EXPECT_EQ(port.StopBits(), TComStopBits::comOneStopBit);
    EXPECT_FALSE(port.ThreadSafe());
    EXPECT_EQ(port.LockingStrategy(), TComMultiPortLockingStrategy::lsAllAutomatic);
    const auto &t = port.Timeouts();
    EXPECT_EQ(t.IntervalTimeout(), 50u);
    EXPECT_EQ(t.ReadMultiplier(), 10u);
    EXPECT_EQ(t.ReadConstant(), 20u);
    EXPECT_EQ(t.WriteMultiplier(), 10u);
    EXPECT_EQ(t.WriteConstant(), 20u);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.ReadConfiguration());
}

TEST(ComMultiPortSettings, ControllerSettings)
{
    TComMultiPort port;
    port.ApplyControllerSettings();
    EXPECT_EQ(port.BaudRate(), TComBaudRate::comBR9600);
    EXPECT_EQ(port.ByteSize(), 8);
    EXPECT_EQ(port.Parity(), TComParity::comNoParity);
    EXPECT_EQ(port.StopBits(), TComStopBits::comOneStopBit);
    EXPECT_TRUE(port.ForceConfigure());
    EXPECT_TRUE(port.UseTimeouts());
    EXPECT_TRUE(port.ThreadSafe());
    EXPECT_EQ(port.LockingStrategy(), TComMultiPortLockingStrategy::lsReadDataWithControl);
    const auto &t = port.Timeouts();
    EXPECT_EQ(t.IntervalTimeout(), 100u);
    EXPECT_EQ(t.ReadMultiplier(), 100u);
    EXPECT_EQ(t.ReadConstant(), 200u);
    EXPECT_EQ(t.WriteMultiplier(), 100u);
    EXPECT_EQ(t.WriteConstant(), 200u);
}

TEST(ComMultiPortSettings, BaudRateTableBothWays)
{
    const std::array<unsigned, 15> speeds{110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                          19200, 38400, 56000, 57600, 115200, 128000, 256000};
    for (std::size_t i = 0; i < speeds.size(); ++i) {
        const auto rate = static_cast<TComBaudRate>(i);
        EXPECT_EQ(BaudRateValue(rate), speeds[i]);
        EXPECT_EQ(BaudRateFromValue(speeds[i]), rate);
    }
    EXPECT_EQ(BaudRateValue(TComBaudRate::comBRUnknown), 0u);
    EXPECT_EQ(BaudRateFromValue(0), TComBaudRate::comBRUnknown);
    EXPECT_EQ(BaudRateFromValue(230400), TComBaudRate::comBRUnknown);
    EXPECT_EQ(BaudRateFromValue(9601), TComBaudRate::comBRUnknown);
}

TEST(ComMultiPortSettings, NotificationsCallApplySettingsOnlyOnChange)
{
    CountingPort port;
    port.SetBaudRate(TComBaudRate::comBR9600);
    port.SetBaudRate(TComBaudRate::comBR9600);
    port.SetByteSize(7);
    port.SetParity(TComParity::comEvenParity);
    port.SetStopBits(TComStopBits::comTwoStopBits);
    port.SetForceConfigure(false);
    port.SetUseTimeouts(false);
    EXPECT_EQ(port.applied, 6);

    // Time-out changes apply the settings only with UseTimeouts.
    port.Timeouts().SetReadConstant(500);
    EXPECT_EQ(port.applied, 6);
    port.SetUseTimeouts(true);
    port.Timeouts().SetReadConstant(600);
    port.Timeouts().SetReadConstant(600);
    EXPECT_EQ(port.applied, 8);

    // Strategies and Assign write values without any notification.
    TComMultiPortTimeouts other;
    other.SetIntervalTimeout(1);
    port.Timeouts().Assign(other);
    EXPECT_EQ(port.Timeouts().IntervalTimeout(), 1u);
    EXPECT_EQ(port.Timeouts().ReadConstant(), 20u);
    port.SetLockingStrategy(TComMultiPortLockingStrategy::lsAllManual);
    EXPECT_EQ(port.applied, 8);
}

struct StrategyRow
{
    TComMultiPortLockingStrategy strategy;
    std::array<bool, 8> flags; // close lock/unlock, open, read, write
};

class ComMultiPortStrategy : public testing::TestWithParam<StrategyRow>
{
};

TEST_P(ComMultiPortStrategy, PresetSetsTheEightFlags)
{
    TComMultiPort port;
    // Start from the opposite of every flag so each one must be written.
    port.SetLockingStrategy(TComMultiPortLockingStrategy::lsAllManual);
    port.SetLockingStrategy(TComMultiPortLockingStrategy::lsAllAutomatic);
    port.SetLockingStrategy(GetParam().strategy);
    const auto &o = port.LockingOptions();
    const std::array<bool, 8> got{o.ManualCloseLock(),  o.ManualCloseUnlock(), o.ManualOpenLock(),
                                  o.ManualOpenUnlock(), o.ManualReadLock(),    o.ManualReadUnlock(),
                                  o.ManualWriteLock(),  o.ManualWriteUnlock()};
    EXPECT_EQ(got, GetParam().flags);
    EXPECT_EQ(port.LockingStrategy(), GetParam().strategy);
}

INSTANTIATE_TEST_SUITE_P(Presets, ComMultiPortStrategy,
                         testing::Values(StrategyRow{TComMultiPortLockingStrategy::lsAllAutomatic,
                                                     {false, false, false, false, false, false, false, false}},
                                         StrategyRow{TComMultiPortLockingStrategy::lsAllManual,
                                                     {true, true, true, true, true, true, true, true}},
                                         StrategyRow{TComMultiPortLockingStrategy::lsGroupWriteRead,
                                                     {false, false, false, false, true, false, false, true}},
                                         StrategyRow{TComMultiPortLockingStrategy::lsReadDataWithControl,
                                                     {false, false, false, false, true, true, false, true}}));

TEST(ComMultiPortSettings, ChangingAnOptionMakesTheStrategyCustom)
{
    TComMultiPort port;
    port.SetLockingStrategy(TComMultiPortLockingStrategy::lsReadDataWithControl);
    port.LockingOptions().SetManualReadLock(false);
    EXPECT_EQ(port.LockingStrategy(), TComMultiPortLockingStrategy::lsCustom);
    EXPECT_FALSE(port.LockingOptions().ManualReadLock());

    // lsCustom keeps the flags; a preset restores its own.
    port.SetLockingStrategy(TComMultiPortLockingStrategy::lsCustom);
    EXPECT_FALSE(port.LockingOptions().ManualReadLock());
    port.SetLockingStrategy(TComMultiPortLockingStrategy::lsReadDataWithControl);
    EXPECT_TRUE(port.LockingOptions().ManualReadLock());
    EXPECT_EQ(port.LockingStrategy(), TComMultiPortLockingStrategy::lsReadDataWithControl);

    // Writing the value a flag already has is no change.
    port.LockingOptions().SetManualReadLock(true);
    EXPECT_EQ(port.LockingStrategy(), TComMultiPortLockingStrategy::lsReadDataWithControl);

    TComMultiPortLockingOptions all;
    all.SetManualCloseLock(true);
    port.LockingOptions().Assign(all);
    EXPECT_TRUE(port.LockingOptions().ManualCloseLock());
    EXPECT_FALSE(port.LockingOptions().ManualReadLock());
    EXPECT_EQ(port.LockingStrategy(), TComMultiPortLockingStrategy::lsReadDataWithControl);
}

TEST(ComMultiPortSettings, DeviceNameComesFromResolverUnlessAPathIsSet)
{
    TComMultiPort port;
    port.SetPortResolver([](int n) { return "/dev/fake" + std::to_string(n); });
    port.SetComDevice(7);
    EXPECT_EQ(port.DeviceName(), "/dev/fake7");
    port.SetDevicePath("/dev/other");
    EXPECT_EQ(port.DeviceName(), "/dev/other");
    port.SetDevicePath("");
    EXPECT_EQ(port.DeviceName(), "/dev/fake7");
}

TEST(ComMultiPortSettings, DefaultResolverFallsBackToTtyS)
{
    const auto dir = std::filesystem::temp_directory_path() / ("serial-resolver-" + std::to_string(::getpid()));
    const char *old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    TComMultiPort port;
    port.SetComDevice(4);
    EXPECT_EQ(port.DeviceName(), "/dev/ttyS3");
    std::filesystem::create_directories(dir / "Lumex2");
    {
        std::ofstream(dir / "Lumex2" / "ports.ini") << "[Ports]\nCOM4=/dev/serial/by-id/usb-cable\n";
    }
    EXPECT_EQ(port.DeviceName(), "/dev/serial/by-id/usb-cable");
    if (old)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(dir);
}

TEST(ComMultiPortLocking, LockAndUnlockRaiseWithoutThreadSafe)
{
    TComMultiPort port;
    try {
        port.Lock();
        FAIL() << "Lock did not raise";
    } catch (const EComPortError &e) {
        EXPECT_STREQ(e.what(), "Could not acquire exclusive lock when thread-safe operations are disabled");
    }
    try {
        port.Unlock();
        FAIL() << "Unlock did not raise";
    } catch (const EComPortError &e) {
        EXPECT_STREQ(e.what(), "Could not release exclusive lock when thread-safe operations are disabled");
    }
    port.SetThreadSafe(true);
    EXPECT_NO_THROW(port.Lock());
    EXPECT_NO_THROW(port.Unlock());
    EXPECT_THROW(port.Unlock(), EComPortError); // one unlock per lock
    port.SetThreadSafe(false);
    EXPECT_THROW(port.Lock(), EComPortError);
}

TEST(ComMultiPortOpen, BaudRateNotSetLeavesTheDeviceAlone)
{
    TComMultiPort port;
    port.SetDevicePath("/nonexistent/ttyX");
    EXPECT_EQ(OpenError(port), "Baud rate is not set");
    EXPECT_FALSE(port.IsOpen());
}

TEST(ComMultiPortOpen, OpenFailureMessages)
{
    TComMultiPort port;
    port.SetBaudRate(TComBaudRate::comBR9600);
    port.SetDevicePath("/nonexistent/ttyX");
    EXPECT_EQ(OpenError(port), "Error while opening port /nonexistent/ttyX [code 2]:\r\nNo such file or directory");
    EXPECT_FALSE(port.IsOpen());
    port.SetDevicePath("/dev/null");
    EXPECT_EQ(OpenError(port), "Error while opening port /dev/null [code 25]:\r\nInappropriate ioctl for device");
    EXPECT_FALSE(port.IsOpen());
}

TEST(ComMultiPortOpen, OpenLockIsReleasedWhenOpenFails)
{
    TComMultiPort port;
    port.ApplyControllerSettings();
    port.SetDevicePath("/nonexistent/ttyX");
    EXPECT_THROW(port.Open(), EComPortError);
    // Open under this strategy takes and releases the lock itself; a lock
    // left behind would make this Unlock succeed.
    EXPECT_THROW(port.Unlock(), EComPortError);
}

TEST(ComMultiPortOpen, SecondOpenerIsRefusedUntilTheFirstCloses)
{
    PtyPair pty;
    auto first = OpenControllerPort(pty);
    TComMultiPort second;
    second.ApplyControllerSettings();
    second.SetDevicePath(pty.SlavePath());
    EXPECT_EQ(OpenError(second),
              "Error while opening port " + pty.SlavePath() + " [code 16]:\r\nDevice or resource busy");
    EXPECT_FALSE(second.IsOpen());

    first->Close();
    EXPECT_FALSE(first->IsOpen());
    EXPECT_NO_THROW(second.Open());
    EXPECT_TRUE(second.IsOpen());
    second.Close();

    // The same component opens again after a close, and opening twice is
    // harmless.
    first->Open();
    EXPECT_NO_THROW(first->Open());
    EXPECT_TRUE(first->IsOpen());
}

TEST(ComMultiPortOpen, ClosingSettersAndDestructionClose)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    port->SetComDevice(port->ComDevice());
    EXPECT_FALSE(port->IsOpen()); // same value still closes
    port->Open();
    port->SetDevicePath(pty.SlavePath());
    EXPECT_FALSE(port->IsOpen());
    port->Open();
    port.reset();
    // The destroyed component released the device.
    TComMultiPort next;
    next.ApplyControllerSettings();
    next.SetDevicePath(pty.SlavePath());
    EXPECT_NO_THROW(next.Open());
}

TEST(ComMultiPortConfigure, ClosedPort)
{
    TComMultiPort port;
    try {
        port.Configure();
        FAIL() << "Configure did not raise";
    } catch (const EComPortError &e) {
        EXPECT_STREQ(e.what(), "Port is not open");
    }
}

TEST(ComMultiPortConfigure, OpenMakesTheLineRawEvenWithoutForceConfigure)
{
    PtyPair pty;
    {
        // Cooked settings as a login tty would have them.
        termios cooked{};
        const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        ::tcgetattr(fd, &cooked);
        cooked.c_iflag |= ICRNL | IXON;
        cooked.c_oflag |= OPOST | ONLCR;
        cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
        ::tcsetattr(fd, TCSANOW, &cooked);
        ::close(fd);
    }
    TComMultiPort port;
    port.SetForceConfigure(false);
    port.SetDevicePath(pty.SlavePath());
    port.Open();
    const termios tio = SlaveTermios(pty);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    // The device's own speed was read back, not replaced.
    EXPECT_EQ(port.BaudRate(), TComBaudRate::comBR38400); // a pty starts at 38400
}

TEST(ComMultiPortConfigure, UnknownDeviceSpeedReadsBackAsUnknown)
{
    PtyPair pty;
    {
        termios tio = SlaveTermios(pty);
        const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
        ::cfsetspeed(&tio, B230400);
        ::tcsetattr(fd, TCSANOW, &tio);
        ::close(fd);
    }
    TComMultiPort port;
    port.SetForceConfigure(false);
    port.SetDevicePath(pty.SlavePath());
    port.Open();
    EXPECT_EQ(port.BaudRate(), TComBaudRate::comBRUnknown);
}

TEST(ComMultiPortConfigure, EverySpeedAndFormatRoundTrips)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    for (int i = 0; i < static_cast<int>(TComBaudRate::comBRUnknown); ++i) {
        const auto rate = static_cast<TComBaudRate>(i);
        port->SetBaudRate(rate); // applied at once on the open port
        EXPECT_TRUE(port->Configure()) << BaudRateValue(rate);
        // Only the device can tell the speed now.
        port->SetForceConfigure(false);
        port->SetBaudRate(rate == TComBaudRate::comBR110 ? TComBaudRate::comBR300 : TComBaudRate::comBR110);
        ASSERT_TRUE(port->ReadConfiguration());
        EXPECT_EQ(port->BaudRate(), rate) << BaudRateValue(rate);
        port->SetForceConfigure(true);
    }
    port->SetStopBits(TComStopBits::comTwoStopBits);
    EXPECT_NE(SlaveTermios(pty).c_cflag & CSTOPB, 0u);
    port->SetStopBits(TComStopBits::comOneStopBit);
    EXPECT_EQ(SlaveTermios(pty).c_cflag & CSTOPB, 0u);
    // Stop bits are never read back.
    port->SetStopBits(TComStopBits::comTwoStopBits);
    port->SetForceConfigure(false);
    port->SetStopBits(TComStopBits::comOne5StopBits);
    port->ReadConfiguration();
    EXPECT_EQ(port->StopBits(), TComStopBits::comOne5StopBits);
}

TEST(ComMultiPortConfigure, SettingsApplyAtOnceOnlyWithForceConfigure)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    termios tio = SlaveTermios(pty);
    EXPECT_EQ(::cfgetospeed(&tio), B9600);
    port->SetBaudRate(TComBaudRate::comBR57600);
    tio = SlaveTermios(pty);
    EXPECT_EQ(::cfgetospeed(&tio), B57600);
    port->SetForceConfigure(false);
    port->SetBaudRate(TComBaudRate::comBR19200);
    tio = SlaveTermios(pty);
    EXPECT_EQ(::cfgetospeed(&tio), B57600);
}

TEST(ComMultiPortConfigure, RefusedSettingsFailAndKeepThePortOpen)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    port->SetByteSize(9);
    EXPECT_FALSE(port->Configure());
    EXPECT_TRUE(port->IsOpen());
    port->SetByteSize(8);
    EXPECT_TRUE(port->Configure());
    // A pseudo-terminal always runs 8 bits without parity.
    port->SetParity(TComParity::comEvenParity);
    EXPECT_FALSE(port->Configure());
    EXPECT_TRUE(port->IsOpen());
    port->SetParity(TComParity::comNoParity);
    EXPECT_TRUE(port->Configure());
}

TEST(ComMultiPortConfigure, FrameFormatEncodingRoundTrips)
{
    for (int p = 0; p <= static_cast<int>(TComParity::comSpaceParity); ++p) {
        for (uint8_t bits = 5; bits <= 8; ++bits) {
            termios tio{};
            tio.c_cflag = CS8 | PARENB | PARODD | CMSPAR | CSTOPB | CREAD;
            ASSERT_TRUE(detail::EncodeFrameFormat(tio, bits, static_cast<TComParity>(p), TComStopBits::comOneStopBit));
            EXPECT_EQ(detail::DecodeParity(tio), static_cast<TComParity>(p));
            EXPECT_EQ(detail::DecodeByteSize(tio), bits);
            EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
            EXPECT_NE(tio.c_cflag & CREAD, 0u); // other flags stay
        }
    }
    termios tio{};
    ASSERT_TRUE(detail::EncodeFrameFormat(tio, 8, TComParity::comMarkParity, TComStopBits::comOne5StopBits));
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB), tcflag_t(PARENB | PARODD | CMSPAR | CSTOPB));
    EXPECT_FALSE(detail::EncodeFrameFormat(tio, 4, TComParity::comNoParity, TComStopBits::comOneStopBit));
    EXPECT_FALSE(detail::EncodeFrameFormat(tio, 9, TComParity::comNoParity, TComStopBits::comOneStopBit));
}

TEST(ComMultiPortData, EveryByteValuePassesUnchangedBothWays)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    std::vector<uint8_t> all(256);
    std::iota(all.begin(), all.end(), 0);

    unsigned written = 0;
    ASSERT_TRUE(port->Write(all.data(), 256, written));
    port->Unlock(); // the write kept the lock under the controller strategy
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(pty.Receive(256), all);

    pty.Send(all);
    std::vector<uint8_t> got(256);
    unsigned read = 0;
    ASSERT_TRUE(port->Read(got.data(), 256, read));
    EXPECT_EQ(read, 256u);
    EXPECT_EQ(got, all);
}

TEST(ComMultiPortData, ReadZeroFillsOnlyTheRequestedBytes)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    port->Timeouts().SetReadConstant(20);
    port->Timeouts().SetReadMultiplier(0);
    pty.Send({0x11, 0x13});
    std::array<uint8_t, 8> buffer;
    buffer.fill(0xAA);
    unsigned read = 0;
    ASSERT_TRUE(port->Read(buffer.data(), 4, read));
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(buffer, (std::array<uint8_t, 8>{0x11, 0x13, 0, 0, 0xAA, 0xAA, 0xAA, 0xAA}));
}

TEST(ComMultiPortData, ClosedPortReadsAndWritesNothing)
{
    TComMultiPort port;
    uint8_t b[2] = {1, 2};
    unsigned n = 9;
    EXPECT_FALSE(port.Read(b, 2, n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(b[0], 0);
    EXPECT_FALSE(port.Write(b, 2, n));
    EXPECT_EQ(n, 0u);
}

TEST(ComMultiPortData, HangUpFailsReadAndWrite)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    // A time-out would end the read with true; the hang-up ends it at once
    // with false, long before the time-out.
    port->Timeouts().SetReadConstant(kUnreachedTimeoutMs);
    pty.CloseMaster();
    uint8_t b[4] = {};
    unsigned n = 0;
    bool ok = true;
    EXPECT_TRUE(ReturnsWithin([&] { ok = port->Read(b, 4, n); })) << "the read waited for its time-out";
    EXPECT_FALSE(ok);
    EXPECT_FALSE(port->Write(b, 4, n));
    port->Unlock();
}

TEST(ComMultiPortData, WriteGivesUpAtItsDeadline)
{
    PtyPair pty;
    auto port = OpenControllerPort(pty);
    port->Timeouts().SetWriteMultiplier(0);
    port->Timeouts().SetWriteConstant(200);
    // Nobody reads the other side, so the line fills up.
    std::vector<uint8_t> big(4 << 20, 0x55);
    unsigned written = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(port->Write(big.data(), static_cast<unsigned>(big.size()), written));
    const double ms = MsSince(start);
    port->Unlock();
    EXPECT_LT(written, big.size());
    EXPECT_GE(ms, 190.0);
}
