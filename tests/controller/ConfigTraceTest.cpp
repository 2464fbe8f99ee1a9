// Byte-exact request frames of reading and writing the configuration of each
// generation and firmware letter, as the simulated controller received them.
// The expected frames are spelled out from the command layouts: the read
// order of each generation, and the write order of the configuration pages.
#include "RequestText.h"
#include "SimLink.h"

#include "controller/CommandCodes.h"
#include "controller/ConfigurationIO.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <vector>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

using namespace reqtext;

void Append(Frames &to, const Frames &more)
{
    to.insert(to.end(), more.begin(), more.end());
}

Frames LegacyRead()
{
    return {Frame({0x40, 28}),
            Frame({0x03, 0x03}),
            B(2),
            B(8),
            W(7),
            W(6),
            B(12),
            W(8),
            B(11),
            B(10),
            W(9),
            W(10),
            B(3),
            B(4),
            B(7),
            B(16),
            B(17),
            B(23),
            B(18),
            B(21),
            B(5),
            B(20),
            B(27),
            B(19),
            B(1),
            B(28),
            B(29),
            B(30),
            Frame({0x35, 0x00}),
            Frame({0x36, 0x00})};
}

Frames Read30(char letter)
{
    Frames f{B(34),
             B(33),
             Frame({0x40, 28}),
             Frame({0xD8, 0xD8}),
             Frame({0x35, 0x00}),
             Frame({0x36, 0x00}),
             B(35),
             W(11),
             W(12),
             B(31),
             B(29),
             W(14),
             B(32),
             B(37),
             M(74),
             B(42),
             B(40),
             W(16),
             B(38),
             B(39),
             B(19)};
    if (letter >= 'D')
        Append(f, {B(43), B(44), Frame({0x93, 0x00}), B(45), B(46)});
    if (letter >= 'F')
        Append(f, {W(18), W(19), B(49), B(50)});
    if (letter >= 'G')
        Append(f, {W(22), Frame({0x56, 0x00}), Frame({0x54, 0x00}), B(52), W(24), W(25), W(20), W(21)});
    return f;
}

// Values for every field the configuration write sends; the bits of the
// flag bytes that no field owns are set too, so keeping them shows.
void FillImage(TNorviData &d)
{
    d.LockState = 0xF0;
    d.T = 90;
    d.RPM = 0x1234;
    d.InjMask = 0x3F;
    d.InjType = 2;
    d.FuelType = 1;
    d.RPMsource = 2;
    d.EngineType = 0;
    d.ConfigG3Flags = {0x01, 0x00, 0x00, 0x70};
    d.LambdaType = 3;
    d.PetrolInjPlusControl = 1;
    d.NoSeqential = 0;
    d.RPMSourceType = 1;
    d.ExternalEmulator = 0;
    d.CAP_TIE_enable = 1;
    d.SemiGasControl = 1;
    d.MicroInjection = 0;
    d.HemiEngine = 0;
    d.TuningMode = 1;
    d.MasterMode = 1;
    d.InjTypeName = 11;
    d.EngineCubicCapacity = 1598;
    d.Power = 77;
    d.IdleHotTb = 542;
    d.InjSystemType = 1;
    d.RedType = 3;
    d.NozzleSize = 19;
    d.EmulatorSwitchDelay = 200;
    d.PostValveDelay = 250;
    d.LowPD = 15;
    d.LowPT = 47;
    d.MicroInjectionTime = 112;
    d.PressureSensorType = 4;
    d.Flags32 = 0x80;
    d.GasTempSensorInFlow = 1;
    d.TgasBelowVal = 205;
    d.TgasBelowAndLoad_Lval = 70;
    d.Flags31 = 0xFF; // every bit has a field: the fields win
    d.RpmBelow = 1;
    d.RpmAbove = 1;
    d.LoadPAbove = 0;
    d.PreinjMode = 0;
    d.AlWorkOnGas = 1;
    d.RisingT = 0;
    d.AdaptationMode = 1;
    d.TgasBelow = 0;
    d.Flags37 = 0x82;
    d.UseOnIdleModel = 1;
    d.TredBelowAndLoad = 0;
    d.RPMWireNotConnect = 1;
    d.FuelOverlap = 0;
    d.GasInjHeating = 1;
    d.PreinjectionProcessDuringCutOff = 0;
    d.MinPressDuringCuttOffForPreinjections = 198;
    d.MinTredForGasInjHeating = 169;
    d.TredBelowAndLoad_Tredval = 88;
    d.TredBelowAndLoad_Lval = 65;
    d.RpmBelowVal = 1100;
    d.RpmAboveVal = 6500;
    d.LoadPAboveVal = 85;
    d.ReserveType = 2;
    d.MaxCyclesMixedFuel = 3;
    d.MaxTimeMixedFuel = 935;
    d.InjTimeForEnrichmentDuringCutOff = 561;
    d.MaxRpmForEnrichmentDuringCutOff = 1500;
    d.MazdaEnrichmentPercentage = 241;
    d.Flags50 = 0xF0;
    d.PreinjectionsDuringCutOffForLowRPMEnabled = 1;
    d.MazdaIgnitionTypeCorrEnabled = 0;
    d.Flags52 = 0x80;
    d.FlashLubeSupportEnabled = 1;
    d.CutOffModeActivated = 1;
    d.AutoToGasOnControlPanelHidden = 0;
    d.SygnalizeDrivingOnPetrolEnabled = 1;
    d.MinGasInjTimeEnabled = 1;
    d.MaxGasInjTimeEnabled = 0;
    d.Flags52Bit6 = 1;
    d.AfterCutOffEmulSwitchDelay = 300;
    d.OnCutOffDelay = 1500;
    d.MinGasInjectionTime = 449;
    d.MaxGasInjectionTime = 4114;
}

Frames Write30(char letter)
{
    Frames f{SetB(32, 0x81), SetB(35, 205)};
    if (letter >= 'D')
        f.push_back(SetB(43, 70));
    Append(f, {SetB(31, 0x53), SetB(37, 0xAB)});
    if (letter >= 'D')
        f.push_back(SetB(44, 198));
    Append(f, {SetB(42, 169), SetB(38, 88), SetB(39, 65),
               Frame({0xD9, 0x53, 0x3F, 0xAB, 0xF9, 0x5A, 0x12, 0x34, 0x0B, 0x06, 0x3E, 0x00, 0x4D,
                      0x02, 0x1E, 0x01, 0x03, 0x13, 0x00, 0xC8, 0x00, 0xFA, 0x0F, 0x2F, 0x70, 0x04}),
               SetW(11, 1100), SetW(12, 6500), SetB(29, 85), SetB(33, 2), SetB(40, 3), SetW(16, 935)});
    if (letter >= 'F')
        Append(f, {SetW(19, 561), SetW(18, 1500), SetB(49, 0xF1), SetB(50, 0xF1)});
    if (letter >= 'G')
        Append(f, {SetB(52, 0xDB), SetW(24, 300), SetW(25, 1500), SetW(20, 449), SetW(21, 4114)});
    return f;
}

void FillLegacyImage(TNorviData &d)
{
    d.LockState = 0xF0;
    d.T = 100;
    d.RPM = 3000;
    d.InjMask = 0x0F;
    d.InjType = 3;
    d.ReserveType = 1;
    d.FuelType = 0;
    d.RPMsource = 1;
    d.EngineType = 1;
    d.InjTypeName = 5;
    d.LowPD = 4;
    d.LowPT = 57;
    d.NoSeqential = 1;
    d.SemiGasControl = 0;
    d.MicroInjection = 1;
    d.MicroInjectionTime = 150;
    d.HemiEngine = 0;
    d.TuningMode = 1;
    d.PetrolInjPlusControl = 1;
    d.ExternalEmulator = 0;
    d.LambdaType = 2;
    d.EngineCubicCapacity = 1390;
    d.Power = 55;
    d.NozzleSize = 21;
    d.RedType = 2;
    d.InjSystemType = 0;
    d.EmulatorSwitchDelay = 500;
    d.IdleHotTb = 600;
    d.PostValveDelay = 400;
    d.RPMSourceType = 1;
    d.MasterMode = 0;
    d.PressureSensorType = 2;
    d.LegacyParam29 = 1;
    d.RPMWireNotConnect = 1;
}

Frames WriteLegacy(bool with29, bool with30)
{
    Frames f{Frame({0x04, 100, 0x0B, 0xB8, 0x0F, 0xA7}),
             SetB(2, 5),
             SetB(3, 4),
             SetB(4, 57),
             SetB(7, 1),
             SetB(16, 0),
             SetB(17, 1),
             SetB(23, 150),
             SetB(18, 0),
             SetB(21, 1),
             SetB(5, 1),
             SetB(20, 0),
             SetB(1, 2),
             SetW(7, 1390),
             SetW(6, 55),
             SetB(10, 21),
             SetB(11, 2),
             SetB(12, 0),
             SetW(9, 500),
             SetW(8, 600),
             SetW(10, 400),
             SetB(8, 1),
             SetB(27, 0),
             SetB(28, 2)};
    if (with29)
        f.push_back(SetB(29, 1));
    if (with30)
        f.push_back(SetB(30, 1));
    return f;
}

struct Case
{
    uint8_t generation;
    char letter;
};

void PrintTo(const Case &c, std::ostream *os)
{
    *os << std::hex << int{c.generation} << std::dec << c.letter;
}

std::string CaseName(const ::testing::TestParamInfo<Case> &info)
{
    return std::to_string(info.param.generation >> 4) + std::to_string(info.param.generation & 0xF) +
           std::string(1, info.param.letter);
}

class ConfigTrace : public ::testing::TestWithParam<Case>
{
protected:
    ConfigTrace() : s_(SimSetup::Controller(GetParam().generation, static_cast<uint8_t>(GetParam().letter))) {}

    bool Legacy() const { return GetParam().generation != 0x30; }
    Frames ExpectedRead() const { return Legacy() ? LegacyRead() : Read30(GetParam().letter); }

    SimLink s_;
};

} // namespace

TEST_P(ConfigTrace, ReconnectionReadsConfigurationModelBlockAndTroubleFlags)
{
    ASSERT_TRUE(s_.Connect());
    s_.Sync();
    const Frames all = s_.Requests();
    Frames tail = ExpectedRead();
    Append(tail, {Frame({0x10, 0x10}), Frame({0x13, 0x13})});
    ASSERT_GE(all.size(), tail.size());
    EXPECT_EQ(Frames(all.end() - static_cast<std::ptrdiff_t>(tail.size()), all.end()), tail);
    EXPECT_TRUE(s_.Sim().Violations().empty());
}

TEST_P(ConfigTrace, ReadingTheConfiguration)
{
    ASSERT_TRUE(s_.Connect());
    s_.Sync();
    s_.ClearTrace();
    EXPECT_TRUE(s_.Link().DevData.ReadConfiguration());
    s_.Sync();
    EXPECT_EQ(s_.Requests(), ExpectedRead());
    EXPECT_TRUE(s_.Sim().Violations().empty());
}

TEST_P(ConfigTrace, WritingTheConfiguration)
{
    ASSERT_TRUE(s_.Connect());
    s_.Sync();
    s_.ClearTrace();
    Frames expected;
    if (Legacy()) {
        FillLegacyImage(s_.Data());
        const bool is15 = GetParam().generation == 0x15;
        expected = WriteLegacy(is15 && GetParam().letter >= 'D', is15 && GetParam().letter >= 'E');
    } else {
        FillImage(s_.Data());
        expected = Write30(GetParam().letter);
    }
    const TWriteResult result = WriteGenerationConfiguration(s_.Manager());
    EXPECT_TRUE(result.Ok) << result.Message();
    EXPECT_EQ(result.StepsDone, expected.size());
    s_.Sync();
    EXPECT_EQ(s_.Requests(), expected);
    EXPECT_TRUE(s_.Sim().Violations().empty());
    EXPECT_TRUE(s_.Link().DevData.WriteConfiguration());
}

// The controller keeps its own injector characteristic record: a gas
// injector with a characteristic index changes the class in the main block
// and the type in byte 2, and no record (0x15) is sent over it.
class LegacyConfigTrace : public ConfigTrace
{
};

TEST_P(LegacyConfigTrace, AGasInjectorWithACharacteristicSendsNoRecordOverTheControllers)
{
    ASSERT_TRUE(s_.Connect());
    s_.Sync();
    FillLegacyImage(s_.Data());
    const auto before = nlohmann::json::parse(s_.Control("dump")).at("InjectorRecord");

    // 28 MATRIX (2ohms): class 3, characteristic 12.
    s_.Data().InjTypeName = 28;
    s_.Data().InjType = 3;
    s_.ClearTrace();
    ASSERT_TRUE(WriteGenerationConfiguration(s_.Manager()).Ok);
    s_.Sync();
    const Frames sent = s_.Requests();
    ASSERT_GE(sent.size(), 2U);
    EXPECT_EQ(sent[0], Frame({0x04, 100, 0x0B, 0xB8, 0x0F, 0xA7}));
    EXPECT_EQ(sent[1], SetB(2, 28));
    for (const auto &frame : sent)
        EXPECT_NE(frame.at(1), cmd::WriteInjectorParams);
    EXPECT_EQ(nlohmann::json::parse(s_.Control("dump")).at("InjectorRecord"), before);
    EXPECT_TRUE(s_.Sim().Violations().empty());
}

INSTANTIATE_TEST_SUITE_P(Generations, ConfigTrace,
                         ::testing::Values(Case{0x14, 'C'}, Case{0x15, 'C'}, Case{0x15, 'E'}, Case{0x30, 'C'},
                                           Case{0x30, 'D'}, Case{0x30, 'F'}, Case{0x30, 'G'}),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Generations, LegacyConfigTrace,
                         ::testing::Values(Case{0x14, 'C'}, Case{0x15, 'C'}, Case{0x15, 'E'}), CaseName);
