#include "configuration/FactoryDefaults.h"

#include "calibration/AutoCalModelIO.h"
#include "calibration/CorrectionOperations.h"
#include "calibration/CorrectionTables.h"
#include "calibration/CorrectionsIO.h"
#include "calibration/DefaultModel.h"
#include "calibration/LevelSensor.h"
#include "calibration/ModelWriteSteps.h"
#include "configuration/ConfigFields.h"
#include "configuration/ConfigValidator.h"
#include "configuration/InjectorTable.h"
#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"
#include "controller/StepRun.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"

#include <array>
#include <limits>

namespace lumex {

namespace {

struct TCompatInjector
{
    uint8_t CompatCode;
    uint8_t Injector;
};

constexpr uint8_t kMatrixInjector = 0;
constexpr std::array kDefaultInjectors{
    TCompatInjector{2, 22},  TCompatInjector{12, 22}, TCompatInjector{20, 22}, TCompatInjector{21, 22},
    TCompatInjector{3, 11},  TCompatInjector{5, 11},  TCompatInjector{14, 11}, TCompatInjector{18, 11},
    TCompatInjector{4, 5},   TCompatInjector{6, 14},  TCompatInjector{8, 10},  TCompatInjector{11, 7},
    TCompatInjector{15, 17}, TCompatInjector{19, 2},
};

constexpr std::array<uint8_t, 5> kInjectorCounts{3, 4, 5, 6, 8};

// The controller memory every factory reset writes, in this order.
enum class TWidth : uint8_t
{
    Byte,
    Word
};
struct TMemoryWrite
{
    uint16_t Address;
    TWidth Width;
    uint16_t Value;
    bool LegacyOnly = false;
};
constexpr TWidth B = TWidth::Byte, W = TWidth::Word;
constexpr std::array kMemoryWrites{
    TMemoryWrite{36, W, 561},        TMemoryWrite{38, B, 37},          TMemoryWrite{39, B, 15},
    TMemoryWrite{40, B, 0},          TMemoryWrite{41, B, 0},           TMemoryWrite{42, W, 19800},
    TMemoryWrite{44, B, 0},          TMemoryWrite{45, B, 255},         TMemoryWrite{46, W, 374},
    TMemoryWrite{48, W, 935},        TMemoryWrite{50, B, 37},          TMemoryWrite{51, B, 22},
    TMemoryWrite{52, B, 0},          TMemoryWrite{53, B, 0},           TMemoryWrite{54, W, 21063},
    TMemoryWrite{56, B, 0},          TMemoryWrite{57, B, 255},         TMemoryWrite{58, W, 374},
    TMemoryWrite{60, W, 935},        TMemoryWrite{62, B, 50},          TMemoryWrite{63, B, 20},
    TMemoryWrite{64, B, 0},          TMemoryWrite{65, B, 0},           TMemoryWrite{66, W, 21064},
    TMemoryWrite{68, B, 0},          TMemoryWrite{69, B, 255},         TMemoryWrite{70, W, 374},
    TMemoryWrite{100, B, 200},       TMemoryWrite{101, B, 143},        TMemoryWrite{102, B, 92},
    TMemoryWrite{103, B, 40},        TMemoryWrite{104, B, 21},         TMemoryWrite{105, B, 47},
    TMemoryWrite{106, B, 61},        TMemoryWrite{107, B, 72},         TMemoryWrite{114, W, 512, true},
    TMemoryWrite{116, W, 512, true}, TMemoryWrite{118, W, 1000, true}, TMemoryWrite{120, W, 0, true},
    TMemoryWrite{122, B, 1, true},
};

constexpr uint16_t kPetrolMapCountAddress = 198, kGasMapCountAddress = 199;
constexpr uint8_t kClearPetrolPoints = 1, kClearGasPoints = 2, kClearPetrolMapG3 = 3, kClearGasMapG3 = 4;
constexpr double kAllMapPoints = std::numeric_limits<double>::max();

void MemoryWrites(TStepRun &run, TDataManager &m, bool legacy)
{
    for (const TMemoryWrite &w : kMemoryWrites) {
        if (w.LegacyOnly && !legacy)
            continue;
        const std::string at = "(" + std::to_string(w.Address) + ")";
        if (w.Width == TWidth::Word)
            run.Step("WriteMemWord" + at, [&m, w] { return m.WriteMemWord(w.Address, w.Value); });
        else
            run.Step("WriteMemByte" + at, [&m, w] { return m.WriteMemByte(w.Address, static_cast<uint8_t>(w.Value)); });
    }
}

void ClearTroubleCodesAndMemory(TStepRun &run, TDataManager &m, bool legacy)
{
    run.Step("ClearTroubleCodes", [&m] { return m.ClearTroubleCodes(); });
    run.Step("ReadLockStateB", [&m] { return m.ReadLockStateB(); });
    MemoryWrites(run, m, legacy);
}

void SetInjectors(TNorviData &d)
{
    const uint8_t n = DefaultInjectorCount(d.InjHW);
    d.InjSW = n;
    d.InjMask = static_cast<uint8_t>((1u << n) - 1);
}

// A 1.4/1.5 field set to the list entry its page shows by default.
void SetShown(TNorviData &d, const char *field, const char *text)
{
    const TConfigField *f = FindConfigField(field);
    if (f == nullptr)
        return;
    if (const TFieldInput in = ParseShownValue(*f, d, text))
        SetRawValue(*f, d, *in.Raw);
}

void Defaults145(TNorviData &d)
{
    SetInjectors(d);
    d.EngineType = 0; // "STANDARD"
    d.EngineCubicCapacity = 0;
    d.Power = 66;
    SetShown(d, "InjSystemType", "INNY");
    d.IdleHotTb = 0;
    d.FuelType = 0; // LPG
    d.InjTypeName = kMatrixInjector;
    SetShown(d, "RedType", "INNY");
    SetShown(d, "NozzleSize", "2,1");
    SetShown(d, "RPMsource", "1 cewka na 1 cylinder");
    SetShown(d, "RPMSourceType", "Wtryskiwacze benzynowe");
    SetShown(d, "ReserveType", "ORVEX PW");
    SetShown(d, "T", "35");
    SetShown(d, "RPM", "400");
    SetShown(d, "EmulatorSwitchDelay", "1");
    SetShown(d, "PostValveDelay", "1,0");
    SetShown(d, "LowPT", "0,5");
    SetShown(d, "LowPD", "0,4");
    SetShown(d, "MicroInjectionTime", "1,6");
    for (uint8_t TNorviData::*flag :
         {&TNorviData::NoSeqential, &TNorviData::MicroInjection, &TNorviData::SemiGasControl, &TNorviData::HemiEngine,
          &TNorviData::TuningMode, &TNorviData::MasterMode, &TNorviData::PetrolInjPlusControl,
          &TNorviData::ExternalEmulator, &TNorviData::AlWorkOnGas})
        d.*flag = 0;
    d.LambdaType = 0;
    SetShown(d, "PressureSensorType", "PS-CC2/CCT3");
    d.P1 = 5;
    d.P2 = 10;
    d.P3 = 15;
    d.P4 = 20;
    d.E1 = d.E2 = d.E3 = d.E4 = 0;
    d.Mult = 1.0;
    d.Offset = 1.0;
    d.CorrectionMult = 0;
    d.CorrectionOffset = 0;
    d.CorrectionMask = 0;
}

} // namespace

uint8_t DefaultInjectorFor(uint8_t pcCompatCode)
{
    for (const TCompatInjector &row : kDefaultInjectors) {
        if (row.CompatCode == pcCompatCode)
            return row.Injector;
    }
    return kMatrixInjector;
}

uint8_t DefaultInjectorCount(uint8_t channels)
{
    uint8_t count = 0;
    for (uint8_t n : kInjectorCounts) {
        if (n <= channels)
            count = n;
    }
    return count;
}

TFactoryResult WriteDefaultConfiguration_145(TDataManager &m)
{
    TFactoryResult result;
    TNorviData &d = m.Data();
    if (d.VersionCode != kVersion14 && d.VersionCode != kVersion15)
        return result;
    result.Ran = true;
    TStepRun run(m);
    Defaults145(d);
    run.Steps("configuration", [&m] { return WriteGenerationConfiguration(m); });
    run.Steps("level sensor", [&m] { return WriteLevelSensorFactoryDefaults(m); });
    run.Steps("model", [&m] {
        TWriteSequence w(m);
        for (uint8_t i = kMultParam; i <= kCorrMaskParam; ++i)
            w.Model(i);
        return w.Result();
    });
    run.Step("WriteMemByte(198)", [&m] { return m.WriteMemByte(kPetrolMapCountAddress, 0); });
    run.Step("WriteMemByte(199)", [&m] { return m.WriteMemByte(kGasMapCountAddress, 0); });
    ClearTroubleCodesAndMemory(run, m, true);
    result.FailedSteps = run.Failed();
    return result;
}

TFactoryResult WriteDefaultConfiguration_v30(TDataManager &m)
{
    TFactoryResult result;
    TNorviData &d = m.Data();
    if (d.VersionCode != kVersion30)
        return result;
    result.Ran = true;
    const bool fromD = Is30From(d, "D"), fromF = Is30From(d, "F"), fromG = Is30From(d, "G");
    TStepRun run(m);
    run.Steps("level sensor", [&m] { return WriteLevelSensorFactoryDefaults(m); });

    d.RPM = 56100;
    d.T = 100;
    d.MicroInjectionTime = 150;
    SetInjectors(d);
    d.InjTypeName = DefaultInjectorFor(d.PcCompatCode);
    d.InjType = InjectorClassOf(d.InjTypeName).Class;
    d.FuelType = 0;
    d.RPMsource = 0;
    d.EngineType = 0;
    d.ReserveType = 1;
    d.LowPT = 57;
    d.LowPD = 5;
    d.NoSeqential = d.SemiGasControl = d.HemiEngine = d.PetrolInjPlusControl = d.ExternalEmulator = d.MasterMode = 0;
    d.MicroInjection = 1;
    d.TuningMode = 1;
    d.LambdaType = 0;
    d.EngineCubicCapacity = 0;
    d.Power = 66;
    d.NozzleSize = 15;
    d.RedType = 0;
    d.InjSystemType = 1;
    d.EmulatorSwitchDelay = 500;

    d.WorkPress = 104;
    run.Byte(30);
    run.Steps("standard pressure correction", [&m] { return ApplyStandardPressureCorrection(m, true); });
    d.GasTempSensorInFlow = 1;
    run.Steps("gas temperature correction", [&m] { return ApplyTgasCorrectionForPlacement(m, true); });
    run.Byte(32);

    d.IdleHotTb = 0;
    d.PostValveDelay = 500;
    d.RPMSourceType = 0;
    d.CAP_TIE_enable = fromF ? 1 : 0;
    d.PressureSensorType = 3;
    d.RpmBelow = d.RpmAbove = d.LoadPAbove = d.PreinjMode = d.AlWorkOnGas = d.TgasBelow = 0;
    d.RisingT = 1;
    d.AdaptationMode = 0;
    d.RpmBelowVal = 400;
    d.RpmAboveVal = 8000;
    d.LoadPAboveVal = 90;
    d.TgasBelowVal = 195;

    d.UseOnIdleModel = 1;
    d.TredBelowAndLoad = d.RPMWireNotConnect = d.FuelOverlap = d.GasInjHeating = 0;
    d.PreinjectionProcessDuringCutOff = 1;
    run.Byte(37);
    d.TredBelowAndLoad_Tredval = 77;
    d.TredBelowAndLoad_Lval = 50;
    d.MaxTimeMixedFuel = 748;
    d.MaxCyclesMixedFuel = 1;
    d.MinTredForGasInjHeating = 156;
    run.Byte(38);
    run.Byte(39);
    run.Word(16);
    run.Byte(40);
    run.Byte(42);

    run.Step("WriteBasicConfigG3", [&m] { return m.WriteBasicConfigG3(); });
    run.Byte(35);
    run.Word(11);
    run.Word(12);
    run.Byte(31);
    run.Byte(29);
    run.Byte(33);

    d.CMActive = kCMActivePsys | kCMActiveTgas;
    run.Model(74);
    if (fromD) {
        d.MinPressDuringCuttOffForPreinjections = 226;
        d.TgasBelowAndLoad_Lval = 50;
        run.Byte(44);
        run.Byte(43);
    }

    d.PreinjectionsDuringCutOffForLowRPMEnabled = d.MazdaIgnitionTypeCorrEnabled = 0;
    d.MazdaEnrichmentPercentage = 0;
    d.InjTimeForEnrichmentDuringCutOff = 748;
    d.MaxRpmForEnrichmentDuringCutOff = 2500;
    d.FlashLubeSupportEnabled = d.CutOffModeActivated = d.AutoToGasOnControlPanelHidden = 0;
    d.MinGasInjTimeEnabled = d.MaxGasInjTimeEnabled = 0;
    d.SygnalizeDrivingOnPetrolEnabled = 1;
    d.AfterCutOffEmulSwitchDelay = 500;
    d.OnCutOffDelay = 2000;
    d.MinGasInjectionTime = 374;
    d.MaxGasInjectionTime = 3740;
    d.Model_OBDAdaptCorrConfig = 0;
    d.AdaptCorrBank1 = {};
    d.AdaptCorrBank2 = {};
    d.MaxTbForLoad = 4675;
    d.NextInspection = 0;
    d.InspectionTimeDistRatio = 50;
    if (fromF) {
        run.Byte(50);
        run.Word(19);
        run.Word(18);
        run.Byte(49);
    }
    if (fromG) {
        run.Byte(52);
        run.Word(24);
        run.Word(25);
    }

    d.Markers = 0;
    run.Word(14);
    for (uint8_t map : {kClearPetrolPoints, kClearGasPoints, kClearPetrolMapG3, kClearGasMapG3})
        run.Step("ClearMap(" + std::to_string(map) + ")", [&m, map] { return m.ClearMap(map); });
    TImagePoints points;
    run.Step("ReadMapPoints",
             [&m, &points] { return m.ReadMapPoints(kAllMapPoints, points.PetrolPoints, points.GasPoints); });
    d.MapRPMRange = 2;
    run.Byte(19);

    run.Step("ReadModelBlock", [&m] { return m.ReadModelBlock(); });
    // The default model of the injector, as autocalibration writes it.
    TModelPoints idle;
    run.Steps("default model", [&m, &idle] { return WriteDefaultModel(m, idle); });

    // The corrections page's write, with the RPM box cleared and the RPM
    // Standard preset in the table.
    TCorrectionsForm form = FormFromImage(d);
    form.ActiveRpm = false;
    form.Rpm = *RpmPresetTable(CorrPresetCode(TCorrPreset::Standard));
    if (fromD)
        d.RPMCorType = CorrPresetCode(TCorrPreset::Standard);
    run.Steps("corrections", [&m, &form] { return WriteCorrections(m, form); });
    // The inspection values set above reach the controller too.
    if (fromG)
        run.Step("WriteInspection", [&m] { return m.WriteInspection(); });
    if (fromD) {
        d.InjCorr = {};
        run.Step("WriteInjCorr", [&m] { return m.WriteInjCorr(); });
    }
    ClearTroubleCodesAndMemory(run, m, false);
    result.FailedSteps = run.Failed();
    return result;
}

TFactoryResult WriteDefaultConfiguration(TDataManager &m)
{
    const TNorviData &d = m.Data();
    TFactoryResult result =
        d.VersionCode == kVersion30 ? WriteDefaultConfiguration_v30(m) : WriteDefaultConfiguration_145(m);
    if (result.Ran) {
        TImagePoints points;
        if (!ReadFullConfiguration(m, points, kAllMapPoints))
            result.FailedSteps.push_back("read-back");
    }
    return result;
}

} // namespace lumex
