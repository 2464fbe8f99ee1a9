#include "mainwindow/ReadingsView.h"
#include "mainwindow/Evaluators.h"

#include <gtest/gtest.h>

using namespace lumex;

namespace {

TNorviData Running30G()
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = "G";
    d.InjSW = 4;
    d.InjMask = 0x0F;
    d.RpmPeriod = 18700; // 1200 rpm
    d.SystemState = 5;
    d.PressureSensorType = 1;
    d.LoadPercent = 40;
    for (std::size_t k = 0; k < 4; ++k) {
        d.PetrolTime[k] = 561; // 3 ms
        d.GasTime[k] = 748;    // 4 ms
    }
    d.SupplyRaw = 140;
    d.PsysRaw = 120;
    d.TredRaw = 40;
    d.TgasRaw = 100;
    return d;
}

TReadingsView View(const TNorviData &d, const TReadingExtras &x = {}, int selection = 0)
{
    return ComputeReadingsView({d, x}, selection);
}

} // namespace

TEST(ReadingsView, StandingEngine)
{
    TNorviData d = Running30G();
    d.RpmPeriod = 0;
    const auto v = View(d);
    EXPECT_EQ(v.Rpm.Text, "0");
    EXPECT_EQ(v.Rpm.Palette, kPaletteAlarm);
    for (const auto &label : v.PetrolLoad)
        EXPECT_EQ(label, "--");
    for (const auto &label : v.GasLoad)
        EXPECT_EQ(label, "--");
    EXPECT_FALSE(v.PetrolChart.Valid);
}

TEST(ReadingsView, RunningValuesFormatsAndColours)
{
    TNorviData d = Running30G();
    const auto v = View(d, {1.23, 60});
    EXPECT_EQ(v.Rpm.Text, "1200");
    EXPECT_EQ(v.Rpm.Palette, kPaletteNormal);
    EXPECT_EQ(v.Psys.Text, "1.23");
    EXPECT_EQ(v.Petrol.Text, "3.00");
    EXPECT_EQ(v.Lpg.Text, "4.00");
    EXPECT_EQ(v.Lpg.Palette, kUnregistered);
    EXPECT_EQ(v.Vbat.Palette, kPaletteBlack);
    // Raw 40 is warmer than the nominal raw 60: no alarm.
    EXPECT_EQ(v.Tred.Palette, kPaletteNormal);
    EXPECT_EQ(v.PetrolChart.Load, 40);
    EXPECT_EQ(v.PetrolLoad[0], "3%"); // 561 of 18700
    EXPECT_EQ(v.Cylinders, 4);
    EXPECT_EQ(v.PetrolCaptionRgb, kRgbBlack);
    EXPECT_EQ(v.LpgCaptionRgb, kRgbDarkGreen);
    // A single cylinder's times.
    d.PetrolTime[2] = 935;
    EXPECT_EQ(View(d, {}, 3).Petrol.Text, "5.00");
    // A selection beyond the injectors falls back to the mean.
    EXPECT_EQ(View(d, {}, 6).Lpg.Text, "4.00");
}

TEST(ReadingsView, GasTimeShownOnlyOnGas)
{
    TNorviData d = Running30G();
    d.SystemState = 3;
    const auto v = View(d);
    EXPECT_EQ(v.Lpg.Text, "0.00");
    EXPECT_EQ(v.PetrolCaptionRgb, kRgbRed);
    EXPECT_EQ(v.LpgCaptionRgb, kRgbBlack);
}

TEST(ReadingsView, PetrolTimeAlarmNeedsHighAndLow)
{
    TNorviData d = Running30G();
    d.InjSW = 2;
    d.PetrolTime[0] = 7 * 187;
    d.PetrolTime[1] = 0;
    EXPECT_EQ(View(d).Petrol.Palette, kPaletteAlarm);
    d.PetrolTime[1] = 7 * 187;
    EXPECT_EQ(View(d).Petrol.Palette, kPaletteNormal);
}

TEST(ReadingsView, SupplyThreshold)
{
    TNorviData d = Running30G();
    d.SupplyRaw = 131;
    EXPECT_EQ(View(d).Vbat.Palette, kPaletteAlarm);
    d.SupplyRaw = 132;
    EXPECT_EQ(View(d).Vbat.Palette, kPaletteBlack);
}

TEST(ReadingsView, OverloadShowsMaxAndFullChart)
{
    TNorviData d = Running30G();
    d.PetrolOverloadMask = 0x04;
    const auto v = View(d);
    EXPECT_EQ(v.PetrolLoad[2], "MAX");
    EXPECT_NE(v.PetrolLoad[1], "MAX");
    EXPECT_EQ(v.PetrolChart.Load, 100);
    EXPECT_EQ(v.PetrolBars[0], kInjectionBarMax);
    // Older firmware: the mask comes from word variable 9 and the injector mask.
    TNorviData old = Running30G();
    old.SoftwareLetter = "F";
    TReadingExtras x;
    x.WordVar9 = 0x14; // cylinder 5 is not in use
    x.WordVar31 = 55;
    const auto w = View(old, x);
    EXPECT_EQ(w.PetrolLoad[2], "MAX");
    EXPECT_NE(w.PetrolLoad[4], "MAX");
    x.WordVar9 = 0;
    EXPECT_EQ(View(old, x).PetrolChart.Load, 55);
}

TEST(ReadingsView, ZeroDivisorsShowDashes)
{
    TNorviData d = Running30G();
    d.RPMsource = 2;
    d.InjSW = 0;
    auto v = View(d);
    for (const auto &label : v.PetrolLoad)
        EXPECT_EQ(label, "--");
    EXPECT_EQ(v.Cylinders, 0);
    // A base that rounds to 0.
    d.InjSW = 8;
    d.RpmPeriod = 1;
    v = View(d);
    EXPECT_EQ(v.PetrolLoad[0], "--");
    // 1.4 load over no injectors: no chart value.
    TNorviData g14 = Running30G();
    g14.VersionCode = 0x14;
    g14.InjSW = 0;
    EXPECT_FALSE(View(g14).PetrolChart.Valid);
}

TEST(ReadingsView, BarsClampedToRange)
{
    TNorviData d = Running30G();
    d.PetrolTime[0] = 1000000;
    d.PetrolTime[1] = -50;
    d.RpmPeriod = 100; // 224400 rpm
    d.LoadPercent = 10;
    const auto v = View(d);
    EXPECT_EQ(v.PetrolBars[0], kInjectionBarMax);
    EXPECT_EQ(v.PetrolBars[1], 0);
    EXPECT_EQ(v.RpmBar, kRpmBarMax);
    d.LambdaType = 6;
    d.LambdaRaw = 200;
    EXPECT_EQ(View(d).LambdaBar, kLambdaBarMax);
    d.LambdaRaw = 0;
    EXPECT_EQ(View(d).LambdaBar, 0);
}

TEST(ReadingsView, LambdaPanelAndCorrections)
{
    TNorviData d = Running30G();
    EXPECT_FALSE(View(d).LambdaVisible);
    d.LambdaType = 2;
    d.LambdaRaw = 45;
    auto v = View(d);
    EXPECT_TRUE(v.LambdaVisible);
    EXPECT_EQ(v.Lambda.Text, "0.90");
    EXPECT_EQ(v.LambdaBar, 176); // 45 of 255
    d.InjCorr[0] = static_cast<uint8_t>(-5);
    v = View(d);
    EXPECT_TRUE(v.InjCorrVisible);
    EXPECT_EQ(v.InjCorr[0], "-5%");
    d.SoftwareLetter = "C";
    EXPECT_FALSE(View(d).InjCorrVisible);
}

TEST(Evaluators, Thresholds)
{
    TNorviData d = Running30G();
    TReadingExtras x;
    const TReadingInput in{d, x};
    d.TgasRaw = 195;
    EXPECT_EQ(EvalTgas(in), kPaletteNormal);
    d.TgasRaw = 196;
    EXPECT_EQ(EvalTgas(in), kPaletteAlarm);
    d.TredRaw = 88;
    EXPECT_EQ(EvalTredWarm(in), kPaletteNormal);
    d.TredRaw = 89;
    EXPECT_EQ(EvalTredWarm(in), kPaletteAlarm);
    d.SystemState = 3;
    EXPECT_EQ(EvalPsys(in), kPaletteAlarm);
    d.SystemState = 5;
    d.LowPT = 50;
    d.PsysRaw = 60;
    EXPECT_EQ(EvalPsys(in), kPaletteNormal);
    x.PsysBar = 1.0;
    EXPECT_EQ(EvalPsysRange(in), kPaletteNormal);
    x.PsysBar = 1.4;
    EXPECT_EQ(EvalPsysRange(in), kPaletteAlarm);
    d.CalRpmPeriod = 9350; // 2400 rpm
    EXPECT_EQ(EvalCalRpm(in), kPaletteGreen);
    EXPECT_EQ(MapRpmWindow(99), std::make_pair(2250, 2750));
    EXPECT_EQ(MapRpmWindow(14), std::make_pair(4250, 5250));
    d.MapRPMRange = 0;
    d.RpmPeriod = 14960; // 1500 rpm
    EXPECT_EQ(EvalMapRpmRange(in), kPaletteGreen);
    d.LockState = 0xF0;
    d.TredRaw = 80;
    EXPECT_TRUE(MapRpmBeep(d, true));
    EXPECT_FALSE(MapRpmBeep(d, false));
}
