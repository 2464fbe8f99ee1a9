#include "controller/Conversions.h"
#include "controller/Version.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lumex;

namespace {

// Records the word variables a conversion asks for and answers from a table.
struct WordVars
{
    uint16_t var13 = 0, var15 = 0, var33 = 0;
    std::vector<uint8_t> asked;
    TWordVarReader Reader()
    {
        return [this](uint8_t index) -> uint16_t {
            asked.push_back(index);
            switch (index) {
            case 13:
                return var13;
            case 15:
                return var15;
            case 33:
                return var33;
            default:
                return 0;
            }
        };
    }
};

} // namespace

TEST(Conversions, TemperatureTableEndsAndFreezingPoint)
{
    EXPECT_DOUBLE_EQ(TempC(0), 272.8124);
    EXPECT_DOUBLE_EQ(TempC(255), -65.5561);
    EXPECT_DOUBLE_EQ(TempC(195), 0.2541);
    EXPECT_DOUBLE_EQ(TempC(196), -0.1352);
    // A higher raw code is always a colder sensor; a mistyped entry breaks this.
    for (int raw = 1; raw < 256; ++raw)
        EXPECT_LT(TempC(static_cast<uint8_t>(raw)), TempC(static_cast<uint8_t>(raw - 1))) << raw;
}

TEST(Conversions, EngineSpeedFromPeriod)
{
    EXPECT_EQ(RpmFromPeriod(0), 0);
    EXPECT_EQ(RpmFromPeriod(18700), 1200); // 100 ms per two revolutions
    EXPECT_EQ(RpmFromPeriod(65535), 340);
    EXPECT_EQ(RpmFromPeriod(1), 22440000);
    EXPECT_EQ(RpmFromPeriod(2805), 8000);
    // 22440000 / 2806 = 7997.1: rounded to steps of 10.
    EXPECT_EQ(RpmFromPeriod(2806), 8000);
    EXPECT_EQ(RpmFromPeriod(2813), 7980);
}

TEST(Conversions, TimesAndVoltages)
{
    EXPECT_DOUBLE_EQ(TimeMs(187), 1.0);
    EXPECT_NEAR(TimeMs(160), 0.856, 0.001);
    EXPECT_NEAR(SupplyVolts(131), 11.90, 0.01);
    EXPECT_NEAR(LevelVolts(128), 2.5, 1e-12);
    EXPECT_DOUBLE_EQ(LambdaVolts(50, 1), 1.0);
    EXPECT_DOUBLE_EQ(LambdaVolts(50, 6), 1.0);
    EXPECT_DOUBLE_EQ(LambdaVolts(50, 0), 0.0);
    EXPECT_DOUBLE_EQ(LambdaVolts(50, 7), 0.0);
}

TEST(Conversions, ManifoldPressureNeverNegative)
{
    EXPECT_DOUBLE_EQ(PcolBar(0, 1), 0.0);
    EXPECT_NEAR(PcolBar(60, 1), (60 / 256.0 - 0.04) / 0.369, 1e-12);
    EXPECT_NEAR(PcolBar(60, 2), (60 / 256.0 + 0.00842) / 0.242, 1e-12);
    EXPECT_GT(PcolBar(0, 2), 0.0);
}

TEST(Conversions, SystemPressureReadsWordVariablesOnlyForOtherSensorTypes)
{
    WordVars vars;
    EXPECT_NEAR(PsysBar(128, 1, vars.Reader()), (0.5 - 0.04) / 0.369, 1e-12);
    EXPECT_TRUE(vars.asked.empty());

    vars.var13 = 600;
    vars.var15 = 100;
    EXPECT_NEAR(PsysBar(128, 2, vars.Reader()), (0.5 - 0.04) / 0.369, 1e-12);
    EXPECT_EQ(vars.asked, (std::vector<uint8_t>{13, 15}));

    // The high range takes over from raw 250 on.
    EXPECT_NEAR(PsysBar(250, 2, vars.Reader()), (500 / 256.0 + 0.00842) / 0.242, 1e-12);
    EXPECT_NEAR(PsysBar(249, 2, vars.Reader()), (249 / 256.0 - 0.04) / 0.369, 1e-12);

    vars.var13 = 10;
    vars.var15 = 11;
    EXPECT_DOUBLE_EQ(PsysBar(200, 3, vars.Reader()), 0.0);
    EXPECT_DOUBLE_EQ(PsysBar(0, 1, vars.Reader()), 0.0);
}

TEST(Conversions, AverageTimesOverInjectorsInUse)
{
    TNorviData d;
    d.PetrolTime = {187, 374, 561, 0, 0, 0, 0, 9999};
    d.GasTime = {374, 374, 0, 0, 0, 0, 0, 0};
    d.InjSW = 0;
    EXPECT_DOUBLE_EQ(AvgPetrolTimeMs(d), 0.0);
    d.InjSW = 2;
    EXPECT_DOUBLE_EQ(AvgPetrolTimeMs(d), 1.5);
    EXPECT_DOUBLE_EQ(AvgGasTimeMs(d), 2.0);
    d.InjSW = 200; // a wrong count must not read past cylinder 8
    EXPECT_NEAR(AvgPetrolTimeMs(d), (187 + 374 + 561 + 9999) / 187.0 / 8, 1e-12);
}

TEST(Conversions, NominalReducerTemperatureByGeneration)
{
    WordVars vars;
    TNorviData d;
    d.VersionCode = kVersion14;
    d.T = 100;
    d.TgasRaw = 167;
    EXPECT_EQ(NominalTredRaw(d, vars.Reader()), 100);
    d.TgasRaw = 170;
    EXPECT_EQ(NominalTredRaw(d, vars.Reader()), 97);
    // 60 - 88 would wrap round in byte arithmetic; it stops at 40.
    d.VersionCode = kVersion15;
    d.T = 60;
    d.TgasRaw = 255;
    EXPECT_EQ(NominalTredRaw(d, vars.Reader()), 40);
    EXPECT_TRUE(vars.asked.empty());

    d.VersionCode = kVersion30;
    d.SoftwareLetter = "F";
    vars.var33 = 77;
    EXPECT_EQ(NominalTredRaw(d, vars.Reader()), 77);
    EXPECT_EQ(vars.asked, (std::vector<uint8_t>{33}));
    d.SoftwareLetter = "G";
    d.NominalTredG = 81;
    EXPECT_EQ(NominalTredRaw(d, vars.Reader()), 81);
    d.VersionCode = 0x13;
    EXPECT_EQ(NominalTredRaw(d, vars.Reader()), 0);
}

TEST(Conversions, DisplayFormatsAndZeroRules)
{
    EXPECT_EQ(FormatPressure(1.005), "1.00");
    EXPECT_EQ(FormatTime(2.345678), "2.35");
    EXPECT_EQ(FormatTemperature(-0.1352), "-0.1");
    EXPECT_EQ(FormatRpm(1200), "1200");
    EXPECT_EQ(ShowRpm(0), "0");
    EXPECT_EQ(ShowRpm(18700), "1200");
    EXPECT_EQ(ShowTemperature(0), "0");
    EXPECT_EQ(ShowTemperature(196), "-0.1");
    EXPECT_EQ(ShowPsys(0, 3.7), "0");
    EXPECT_EQ(ShowPsys(128, 1.2466), "1.25");
    // The manifold pressure is converted even from a raw 0.
    EXPECT_EQ(ShowPcol(0, 2), FormatPressure(0.00842 / 0.242));
}
