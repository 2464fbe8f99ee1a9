#include "controller/DeviceData.h"
#include "controller/ControllerLink.h"

#include <gtest/gtest.h>

#include <thread>

using namespace lumex;

TEST(DevData, AccessorsReachTheImage)
{
    TControllerLink link;
    TDevData &dev = link.DevData;
    dev.SetInjMask(15);
    dev.SetRPM(2500);
    dev.SetHemiEngine(true);
    EXPECT_EQ(link.Data.InjMask, 15);
    EXPECT_EQ(link.Data.RPM, 2500);
    EXPECT_EQ(link.Data.HemiEngine, 1);
    link.Data.MasterMode = 1;
    EXPECT_TRUE(dev.MasterMode());
    dev.SetMasterMode(false);
    EXPECT_EQ(link.Data.MasterMode, 0);
}

TEST(DevData, FuelIsLpgWhenTypeIsZero)
{
    TControllerLink link;
    EXPECT_TRUE(link.DevData.LPG());
    link.DevData.SetLPG(false);
    EXPECT_EQ(link.Data.FuelType, 1);
    link.DevData.SetLPG(true);
    EXPECT_EQ(link.Data.FuelType, 0);
}

TEST(DevData, MillisecondFields)
{
    TControllerLink link;
    link.DevData.SetIdleHotTbMs(3.5);
    EXPECT_EQ(link.Data.IdleHotTb, 655); // 3.5 x 187 = 654.5, rounded
    EXPECT_NEAR(link.DevData.IdleHotTbMs(), 655 / 187.0, 1e-12);
    link.DevData.SetIdleHotTbMs(1000.0);
    EXPECT_EQ(link.Data.IdleHotTb, 65535);
    link.DevData.SetIdleHotTbMs(-2.0);
    EXPECT_EQ(link.Data.IdleHotTb, 0);
    link.Data.CalTimeA = 374;
    link.Data.CalTimeB = 187;
    EXPECT_DOUBLE_EQ(link.DevData.CalTimeAMs(), 2.0);
    EXPECT_DOUBLE_EQ(link.DevData.CalTimeBMs(), 1.0);
}

TEST(DevData, MarkerBits)
{
    TControllerLink link;
    TDevData &dev = link.DevData;
    dev.SetMarker(0);
    dev.SetMarker(3);
    dev.SetMarker(15);
    EXPECT_EQ(link.Data.Markers, 0x8009);
    EXPECT_TRUE(dev.Marker(3));
    EXPECT_FALSE(dev.Marker(2));
    dev.ClearMarker(0);
    EXPECT_EQ(link.Data.Markers, 0x8008);
    dev.SetMarker(16); // no such marker
    dev.ClearMarker(99);
    EXPECT_EQ(link.Data.Markers, 0x8008);
    EXPECT_FALSE(dev.Marker(16));
}

TEST(DevData, ConfigurationTransfersFailWithoutADevice)
{
    TControllerLink link;
    EXPECT_FALSE(link.DevData.ReadConfiguration());
    EXPECT_FALSE(link.DevData.WriteConfiguration());
}

// The program's link: one object whatever thread asks, keeping what was
// stored in it, with its protocol object wired to its own data.
TEST(ControllerLink, TheProgramsLinkIsOneObjectForEveryThread)
{
    TControllerLink &link = Link();
    const uint8_t saved = link.Data.VersionCode;
    link.Data.VersionCode = 0x5A;
    TControllerLink *fromThread = nullptr;
    uint8_t seen = 0;
    std::thread([&] {
        fromThread = &Link();
        seen = Link().Data.VersionCode;
    }).join();
    EXPECT_EQ(fromThread, &link);
    EXPECT_EQ(seen, 0x5A);
    EXPECT_EQ(&Link().Manager.Data(), &link.Data);
    link.Data.VersionCode = saved;
}

TEST(ControllerLink, FreshLinksAreIndependent)
{
    TControllerLink a;
    TControllerLink b;
    a.Data.VersionCode = 0x30;
    EXPECT_EQ(b.Data.VersionCode, 0);
    EXPECT_FALSE(a.Manager.LinkUp);
    EXPECT_TRUE(a.Manager.PreviousCycleFailed);
    EXPECT_EQ(a.Port.BaudRate(), TComBaudRate::comBR9600);
    EXPECT_TRUE(a.Port.ThreadSafe());
    EXPECT_EQ(a.Port.LockingStrategy(), TComMultiPortLockingStrategy::lsReadDataWithControl);
}
