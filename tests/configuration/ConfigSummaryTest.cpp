// The configuration summary's four sections, word for word, and which memo
// shows which of them.
#include "configuration/ConfigSummary.h"

#include <gtest/gtest.h>

#include <map>

using namespace lumex;

namespace {

// Short texts for the keys, so the expected summaries read as text. A key
// the summary should not use shows up as "!_key".
const std::map<std::string, std::string, std::less<>> kTexts{
    {"strConfEngine", "ENGINE"},
    {"strConfFuel", "Fuel"},
    {"strConfFuelLPG", "LPG"},
    {"strConfFuelCNG", "CNG"},
    {"strConfInjCount", "Injectors"},
    {"strConfCubicCap", "Capacity"},
    {"strUnitCC", " cm3"},
    {"strConfInjSysType", "System"},
    {"strConfEngineType", "Type"},
    {"strConfEnginePower", "Power"},
    {"strUnitKW", " kW"},
    {"strUnitHP", " HP"},
    {"strConfNozzles", "Nozzles"},
    {"strUnitMM", " mm"},
    {"strConfInstallation", "INSTALLATION"},
    {"strConfGasInj", "Injector"},
    {"strConfPressSensType", "Sensor"},
    {"strConfSensInFlow", "In flow"},
    {"strConfReducerType", "Reducer"},
    {"strConfGasSensType", "Level"},
    {"strConfRPMNotConnected", "No RPM wire"},
    {"strConfRPMSourceType", "RPM from"},
    {"strConfRPMSource", "Ignition"},
    {"strConfWorkPressure", "Pressure"},
    {"strUnitBar", " bar"},
    {"strConfIdleHotTb", "Idle Tb"},
    {"strUnitMSec", " ms"},
    {"strConfLambdaType", "Lambda"},
    {"strConfSwitching", "SWITCHING"},
    {"strConfSwToGas", "To gas:"},
    {"strConfGasSwitchTemp", "Temp"},
    {"strUnitTemp", " C"},
    {"strConfGasSwitchRPM", "Speed"},
    {"strUnitRPM", " rpm"},
    {"strConfGasSwitchEmul", "Delay"},
    {"strUnitSecShort", " s"},
    {"strConfGasInjectorsHeating", "Heating below"},
    {"strConfFuelOverlap", "Overlap"},
    {"strUnitCycles", " cycles"},
    {"strConfSwToPetrol", "To petrol:"},
    {"strConfSwPLowPressure", "Pressure below"},
    {"strConfSwPLowTime", "for"},
    {"strConfPetrolGasAuto", "Auto:"},
    {"strConfLowRPMRetPetrol", "RPM below"},
    {"strConfHighRPMRetPetrol", "RPM above"},
    {"strConfHighLoadRetPetrol", "Load above"},
    {"strConfTuningMode", "Tuning"},
    {"strConfLowTgasHighLoadRetPetrol", "Tgas below"},
    {"strConfAndLoadRetPetrol", "and load"},
    {"strConfLowTredHighLoadRetPetrol", "Tred below"},
    {"strConfAdvanced", "ADVANCED"},
    {"strConfNonSequential", "Non-sequential"},
    {"strConfMicroInjection", "Micro below"},
    {"strConfHemiEngine", "HEMI"},
    {"strConfPetrolInjPlus", "Plus"},
    {"strConfExternalEmulator", "External emulator"},
    {"strConfPostValveDelay", "Early opening"},
    {"strConfSemiSeqGas", "Semi gas"},
    {"strConfMasterMode", "Master"},
    {"strConfPreinjectionProcessDuringCutOff", "Cut-off control"},
    {"strConfAlwaysStartOnGas", "Start on gas"},
};

std::string Text(std::string_view key)
{
    const auto it = kTexts.find(key);
    return it == kTexts.end() ? "!_" + std::string(key) : it->second;
}

struct Summary : ::testing::Test
{
    Summary()
    {
        in.Text = Text;
        d.FuelType = 0;
        d.InjSW = 4;
        d.EngineCubicCapacity = 1598;
        d.Power = 100;
        d.IdleHotTb = 430; // 2.2995 ms
        d.LambdaType = 0;
        d.T = 67; // 50.2922 degrees
        auto &s = in.Lists;
        s.InjSystemType = "SEQ";
        s.EngineType = "STANDARD";
        s.Nozzle = "2,0";
        s.GasInjector = "VALTEK (3ohms)";
        s.PressureSensor = "PS-CCT3";
        s.Reducer = "ORVEX A";
        s.LevelSensor = "0-90";
        s.RPMSourceType = "RPM";
        s.RPMSource = "DIS";
        s.WorkPressure = "1,0";
        s.LambdaType = "0 - 1 V";
        s.SwitchRPM = "1200";
        s.EmulatorSwitchDelay = "0,4";
        s.HeatingTemp = "10";
        s.OverlapTime = "3";
        s.OverlapCycles = "2";
        s.LowPressure = "0,5";
        s.LowPressureDelay = "1,5";
        s.LowRPM = "600";
        s.HighRPM = "8000";
        s.HighLoad = "95%";
        s.LowTgas = "-5";
        s.LowTgasLoad = "40";
        s.LowTred = "30";
        s.LowTredLoad = "50";
        s.MicroInjectionTime = "<1,2";
        s.PostValveDelay = "0,3";
        s.CutOffPressure = "1,9";
    }
    TNorviData d;
    TSummaryInput in;
};

} // namespace

TEST_F(Summary, EngineSectionWithPowerInHorsepower)
{
    EXPECT_EQ(EngineSummary(d, in), "ENGINE\r\n"
                                    "Fuel: LPG\r\n"
                                    "Injectors: 4\r\n"
                                    "Capacity: 1598 cm3\r\n"
                                    "System: SEQ\r\n"
                                    "Type: STANDARD\r\n"
                                    "Power: 100 kW (136.4 HP)\r\n"
                                    "Nozzles: 2,0 mm\r\n");
    // The locale's separator; CNG; a fuel code that is neither shows nothing.
    in.DecimalSeparator = ',';
    d.FuelType = 1;
    d.Power = 74; // 100.909...
    EXPECT_NE(EngineSummary(d, in).find("Fuel: CNG\r\n"), std::string::npos);
    EXPECT_NE(EngineSummary(d, in).find("Power: 74 kW (100,9 HP)\r\n"), std::string::npos);
    d.FuelType = 2;
    EXPECT_NE(EngineSummary(d, in).find("Fuel: \r\n"), std::string::npos);
}

TEST_F(Summary, InstallationSectionKeepsTheRpmSourceLineWhenTheWireIsNotConnected)
{
    EXPECT_EQ(InstallationSummary(d, in), "INSTALLATION\r\n"
                                          "Injector: VALTEK (3ohms)\r\n"
                                          "Sensor: PS-CCT3\r\n"
                                          "Reducer: ORVEX A\r\n"
                                          "Level: 0-90\r\n"
                                          "RPM from: RPM\r\n"
                                          "Ignition: DIS\r\n"
                                          "Pressure: 1,0 bar\r\n"
                                          "Idle Tb: 2.3 ms\r\n");
    in.Boxes.SensorInFlow = true;
    in.Boxes.RPMWireNotConnected = true;
    d.LambdaType = 1;
    EXPECT_EQ(InstallationSummary(d, in), "INSTALLATION\r\n"
                                          "Injector: VALTEK (3ohms)\r\n"
                                          "Sensor: PS-CCT3\r\n"
                                          "In flow\r\n"
                                          "Reducer: ORVEX A\r\n"
                                          "Level: 0-90\r\n"
                                          "No RPM wire\r\n"
                                          "Ignition: DIS\r\n"
                                          "Pressure: 1,0 bar\r\n"
                                          "Idle Tb: 2.3 ms\r\n"
                                          "Lambda: 0 - 1 V\r\n");
}

TEST_F(Summary, SwitchingSectionWithoutAndWithEveryCondition)
{
    EXPECT_EQ(SwitchingSummary(d, in), "SWITCHING\r\n"
                                       "To gas:\r\n"
                                       "Temp: 50.3 C\r\n"
                                       "Speed: 1200 rpm\r\n"
                                       "Delay: 0,4 s\r\n"
                                       "To petrol:\r\n"
                                       "Pressure below 0,5 bar for 1,5 s\r\n"
                                       "Auto:\r\n");
    auto &b = in.Boxes;
    b.GasInjHeating = b.FuelOverlap = b.LowRPM = b.HighRPM = b.HighLoad = b.TuningMode = b.LowTgas = b.LowTred = true;
    in.DecimalSeparator = ',';
    EXPECT_EQ(SwitchingSummary(d, in), "SWITCHING\r\n"
                                       "To gas:\r\n"
                                       "Temp: 50,3 C\r\n"
                                       "Speed: 1200 rpm\r\n"
                                       "Delay: 0,4 s\r\n"
                                       "Heating below 10 C\r\n"
                                       "Overlap 3 ms, 2 cycles\r\n"
                                       "To petrol:\r\n"
                                       "Pressure below 0,5 bar for 1,5 s\r\n"
                                       "Auto:\r\n"
                                       "RPM below 600 rpm\r\n"
                                       "RPM above 8000 rpm\r\n"
                                       "Load above 95%\r\n"
                                       "Tuning\r\n"
                                       "Tgas below -5 C and load 40%\r\n"
                                       "Tred below 30 C and load 50%\r\n");
}

TEST_F(Summary, AdvancedSectionPostValveDelayUnlessAnExternalEmulator)
{
    EXPECT_EQ(AdvancedSummary(d, in), "ADVANCED\r\n"
                                      "Early opening: 0,3 s\r\n");
    auto &b = in.Boxes;
    b.NonSequential = b.MicroInjection = b.HemiEngine = b.PetrolInjPlus = b.ExternalEmulator = b.SemiSeqGas =
        b.MasterMode = b.PreinjCutOff = true;
    // Ticked but hidden: not shown.
    b.AlwaysStartOnGas = true;
    EXPECT_EQ(AdvancedSummary(d, in), "ADVANCED\r\n"
                                      "Non-sequential\r\n"
                                      "Micro below <1,2 ms\r\n"
                                      "HEMI\r\n"
                                      "Plus\r\n"
                                      "External emulator\r\n"
                                      "Semi gas\r\n"
                                      "Master\r\n"
                                      "Cut-off control 1,9 bar\r\n");
    b.AlwaysStartOnGasVisible = true;
    b.ExternalEmulator = false;
    const std::string text = AdvancedSummary(d, in);
    EXPECT_NE(text.find("Plus\r\nEarly opening: 0,3 s\r\nSemi gas\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("Cut-off control 1,9 bar\r\nStart on gas\r\n"));
}

TEST_F(Summary, EachMemoShowsTheSectionsOfThePagesBeforeIt)
{
    const std::string engine = EngineSummary(d, in);
    const std::string installation = InstallationSummary(d, in);
    const std::string switching = SwitchingSummary(d, in);
    const std::string advanced = AdvancedSummary(d, in);
    const struct
    {
        TWizardPage page;
        const char *memo;
        std::string text;
    } cases[] = {
        {TWizardPage::GasElements, "MemConfGasDetails", engine},
        {TWizardPage::Switching, "MemConfSwitchDetails", engine + installation},
        {TWizardPage::Advanced, "MemConfAdvDetails", engine + installation + switching},
        {TWizardPage::Verify, "MemConfVerifyDetails", engine + installation + switching + advanced},
        {TWizardPage::AutoCal, "MemConfAutoCalDetails", engine + installation + switching + advanced},
    };
    for (const auto &c : cases) {
        const auto memo = SummaryMemoOfPage(c.page);
        ASSERT_TRUE(memo.has_value()) << c.memo;
        EXPECT_STREQ(SummaryMemoName(*memo), c.memo);
        EXPECT_EQ(SummaryMemoText(*memo, d, in), c.text) << c.memo;
    }
    EXPECT_FALSE(SummaryMemoOfPage(TWizardPage::Engine).has_value());
    EXPECT_FALSE(SummaryMemoOfPage(TWizardPage::Finish).has_value());
}
