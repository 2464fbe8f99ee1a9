// The recorder's OBD channels over the OBD image without a device: which
// variable each channel reads, the gating by link state and PID bits, and
// what a sample and the zoom bookkeeping make of them.
#include "mainwindow/ObdOscChannels.h"
#include "controller/LockState.h"
#include "mainwindow/OscRecorder.h"

#include <gtest/gtest.h>

#include <array>

namespace lumex {
namespace {

void SetRaw(TVariable &v, std::initializer_list<uint8_t> bytes)
{
    const std::vector<uint8_t> raw(bytes);
    v.SetRaw(raw, true);
}

struct ObdImage
{
    TDeviceState aggregate;
    TDevStateOBD s{aggregate};

    // The car connected and every PID supported and allowed.
    void ConnectAll()
    {
        SetRaw(s.ActionMain, {4});
        for (std::size_t i = 0; i < kObdPidBytes; ++i) {
            SetRaw(*s.Pids[i], {0xFF});
            SetRaw(*s.Allows[i], {0xFF});
        }
    }
};

TEST(ObdOscChannels, EachChannelReadsItsNamedVariable)
{
    ObdImage o;
    TDevStateOBD &s = o.s;
    o.ConnectAll();
    const TObdImageChannels channels(s);
    for (std::size_t c = 0; c < kObdChannels; ++c)
        EXPECT_TRUE(channels.Bound(c)) << ObdChannelInfo(c).Variable;

    SetRaw(s.StFtB1, {0x85});
    SetRaw(s.LtFtB1, {0x00});
    SetRaw(s.StFtB2, {0xFF});
    SetRaw(s.LtFtB2, {0x80});
    SetRaw(s.RPM, {0x1A, 0xF8});
    SetRaw(s.Speed, {0x32});
    SetRaw(s.CoolantTemp, {0x82});
    SetRaw(s.TimingAdvance, {0x98});
    SetRaw(s.MAF, {0x02, 0x58});
    SetRaw(*s.Lambda[0], {0x51}); // sensor 1, bank 1
    SetRaw(*s.Lambda[1], {0x52}); // sensor 2, bank 1
    SetRaw(*s.Lambda[4], {0x53}); // sensor 1, bank 2
    SetRaw(*s.Lambda[5], {0x54}); // sensor 2, bank 2
    SetRaw(*s.UegoCurrent[0], {0x81, 0x00});
    SetRaw(*s.UegoRatio[0], {0x80, 0x00});
    SetRaw(*s.UegoCurrent[4], {0x7F, 0x00});
    SetRaw(*s.UegoRatio[4], {0x40, 0x00});

    const std::array<std::pair<std::size_t, double>, 17> expected{{
        {0, 100.0 * 5 / 128},
        {1, -100.0},
        {2, 99.21875},
        {3, 0.0},
        {4, 1726.0},
        {5, 50.0},
        {7, 90.0},
        {9, 12.0},
        {11, 6.0},
        {13, 0x51 * 0.005},
        {14, 0x52 * 0.005},
        {15, 1.0},
        {16, 0x8000 * 3.05e-5},
        {17, 0x53 * 0.005},
        {18, 0x54 * 0.005},
        {19, -1.0},
        {20, 0x4000 * 3.05e-5},
    }};
    for (const auto &[channel, value] : expected) {
        const auto v = channels.Value(channel);
        ASSERT_TRUE(v.has_value()) << channel;
        EXPECT_DOUBLE_EQ(*v, value) << ObdChannelInfo(channel).Variable;
    }
    EXPECT_FALSE(channels.Value(kObdChannels).has_value());
}

TEST(ObdOscChannels, MapAndTimingRangesAreThoseOfTheirConversions)
{
    ObdImage o;
    TDevStateOBD &s = o.s;
    o.ConnectAll();
    const TObdImageChannels channels(s);
    constexpr std::size_t kMap = 8;
    constexpr std::size_t kTiming = 9;
    for (const uint8_t raw : {uint8_t{0}, uint8_t{0xFF}}) {
        SetRaw(s.MAP, {raw});
        SetRaw(s.TimingAdvance, {raw});
        const bool low = raw == 0;
        EXPECT_DOUBLE_EQ(*channels.Value(kMap), low ? ObdChannelInfo(kMap).Low : ObdChannelInfo(kMap).High);
        EXPECT_DOUBLE_EQ(*channels.Value(kTiming), low ? ObdChannelInfo(kTiming).Low : ObdChannelInfo(kTiming).High);
    }
}

TEST(ObdOscChannels, NothingUnlessConnectedAndThePidSupportedAndAllowed)
{
    ObdImage o;
    TDevStateOBD &s = o.s;
    SetRaw(s.RPM, {0x1A, 0xF8});
    SetRaw(s.StFtB1, {0x80});
    const TObdImageChannels channels(s);
    constexpr std::size_t kStFt = 0;
    constexpr std::size_t kRpm = 4;

    o.ConnectAll();
    SetRaw(s.ActionMain, {1});
    EXPECT_FALSE(channels.Value(kRpm)) << "idle link";
    SetRaw(s.ActionMain, {24});
    EXPECT_FALSE(channels.Value(kRpm)) << "detecting";
    SetRaw(s.ActionMain, {5 + 128}); // connected, the state taken modulo 128
    EXPECT_EQ(channels.Value(kRpm), 1726.0);

    // RPM is PID 0x0C: mask 0x10 of the second byte, in both bitmaps.
    SetRaw(*s.Allows[1], {0xEF});
    EXPECT_FALSE(channels.Value(kRpm)) << "supported, not allowed";
    EXPECT_EQ(channels.Value(kStFt), 0.0) << "another PID keeps its value";
    SetRaw(*s.Allows[1], {0xFF});
    SetRaw(*s.Pids[1], {0xEF});
    EXPECT_FALSE(channels.Value(kRpm)) << "allowed, not supported";
}

TEST(ObdOscChannels, SampleCarriesOnlyPresentChannelsAndTheyDriveTheZoom)
{
    ObdImage o;
    TDevStateOBD &s = o.s;
    o.ConnectAll();
    SetRaw(*s.Pids[0], {0x00}); // PIDs 1..8 unsupported: the fuel trims are gated
    SetRaw(s.RPM, {0x1A, 0xF8});
    const TObdImageChannels channels(s);

    const TOscSample sample = OscSampleFromImage(TNorviData{}, kInjectorAverage, 0, channels);
    EXPECT_FALSE(sample.HasObd(0));
    EXPECT_TRUE(sample.HasObd(4));
    EXPECT_EQ(sample.Obd[4], 1726.0);

    TOscRecorder r([] { return std::chrono::steady_clock::time_point{}; });
    r.Resize(10);
    ASSERT_TRUE(r.Start(kLockUnlocked));
    r.Append(sample, {});
    // 1726 rpm of a 0-8000 channel needs the quarter range (level 2).
    EXPECT_EQ(r.Slot(0).ObdZoom[4], 2);
    EXPECT_EQ(r.ObdDisplayLevel(4), 2);
    EXPECT_EQ(r.ObdLevelCount(4, 2), 1);
}

} // namespace
} // namespace lumex
