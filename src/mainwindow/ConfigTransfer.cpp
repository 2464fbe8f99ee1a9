#include "mainwindow/ConfigTransfer.h"

#include "controller/AnswerDecode.h"
#include "controller/CommandCodes.h"
#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"
#include "controller/DeviceData.h"
#include "controller/LockState.h"
#include "controller/Version.h"

#include <algorithm>
#include <cstdio>

namespace lumex {

namespace {

// The fields the injector count list stands for: the hardware count is
// read-only and never goes back.
bool IsReadOnlyField(const char *name)
{
    return std::string_view(name) == "InjHW";
}

enum class TGeneration : uint8_t
{
    G30,
    Legacy,
    Both
};

// One configuration field a configuration write sends, with the revision
// from which the generation's write carries it (1.5 letters for Legacy).
struct TSentField
{
    const char *Name;
    uint16_t (*Get)(const TNorviData &);
    TGeneration Generation;
    const char *From; // nullptr: every revision
    uint16_t Mask = 0xFFFF;
};

#define LUMEX_SENT(Field) #Field, [](const TNorviData &d) -> uint16_t { return d.Field; }

// In write order per generation. The injector class is left out: a 3.0
// controller hands back only its upper bit, and the count is compared as
// the channel mask because the read clips it to the hardware.
const TSentField kSentFields[] = {
    {LUMEX_SENT(GasTempSensorInFlow), TGeneration::G30, nullptr},
    {LUMEX_SENT(TgasBelowVal), TGeneration::G30, nullptr},
    {LUMEX_SENT(TgasBelowAndLoad_Lval), TGeneration::G30, "D"},
    {LUMEX_SENT(RpmBelow), TGeneration::G30, nullptr},
    {LUMEX_SENT(RpmAbove), TGeneration::G30, nullptr},
    {LUMEX_SENT(LoadPAbove), TGeneration::G30, nullptr},
    {LUMEX_SENT(PreinjMode), TGeneration::G30, nullptr},
    {LUMEX_SENT(AlWorkOnGas), TGeneration::G30, nullptr},
    {LUMEX_SENT(RisingT), TGeneration::G30, nullptr},
    {LUMEX_SENT(AdaptationMode), TGeneration::G30, nullptr},
    {LUMEX_SENT(TgasBelow), TGeneration::G30, nullptr},
    // Before C the controller reports byte 37 as 1 whatever it holds.
    {LUMEX_SENT(UseOnIdleModel), TGeneration::G30, "C"},
    {LUMEX_SENT(TredBelowAndLoad), TGeneration::G30, "C"},
    {LUMEX_SENT(RPMWireNotConnect), TGeneration::G30, "C"},
    {LUMEX_SENT(FuelOverlap), TGeneration::G30, "C"},
    {LUMEX_SENT(GasInjHeating), TGeneration::G30, "C"},
    {LUMEX_SENT(PreinjectionProcessDuringCutOff), TGeneration::G30, "C"},
    {LUMEX_SENT(MinPressDuringCuttOffForPreinjections), TGeneration::G30, "D"},
    {LUMEX_SENT(MinTredForGasInjHeating), TGeneration::G30, nullptr},
    {LUMEX_SENT(TredBelowAndLoad_Tredval), TGeneration::G30, nullptr},
    {LUMEX_SENT(TredBelowAndLoad_Lval), TGeneration::G30, nullptr},
    // The configuration block (3.0) and main block (1.4/1.5).
    {LUMEX_SENT(FuelType), TGeneration::Both, nullptr},
    {LUMEX_SENT(InjMask), TGeneration::Both, nullptr},
    {LUMEX_SENT(EngineType), TGeneration::Both, nullptr},
    {LUMEX_SENT(RPMsource), TGeneration::Both, nullptr},
    {LUMEX_SENT(T), TGeneration::Both, nullptr},
    {LUMEX_SENT(RPM), TGeneration::Both, nullptr, 0x3FFF},
    {LUMEX_SENT(ReserveType), TGeneration::Both, nullptr},
    {LUMEX_SENT(LambdaType), TGeneration::Both, nullptr},
    {LUMEX_SENT(PetrolInjPlusControl), TGeneration::Both, nullptr},
    {LUMEX_SENT(NoSeqential), TGeneration::Both, nullptr},
    {LUMEX_SENT(RPMSourceType), TGeneration::Both, nullptr},
    {LUMEX_SENT(ExternalEmulator), TGeneration::Both, nullptr},
    {LUMEX_SENT(CAP_TIE_enable), TGeneration::G30, nullptr},
    {LUMEX_SENT(SemiGasControl), TGeneration::Both, nullptr},
    {LUMEX_SENT(MicroInjection), TGeneration::Both, nullptr},
    {LUMEX_SENT(HemiEngine), TGeneration::Both, nullptr},
    {LUMEX_SENT(TuningMode), TGeneration::Both, nullptr},
    {LUMEX_SENT(MasterMode), TGeneration::Both, nullptr},
    {LUMEX_SENT(InjTypeName), TGeneration::Both, nullptr},
    {LUMEX_SENT(EngineCubicCapacity), TGeneration::Both, nullptr},
    {LUMEX_SENT(Power), TGeneration::Both, nullptr},
    {LUMEX_SENT(IdleHotTb), TGeneration::Both, nullptr},
    {LUMEX_SENT(InjSystemType), TGeneration::Both, nullptr},
    {LUMEX_SENT(RedType), TGeneration::Both, nullptr},
    {LUMEX_SENT(NozzleSize), TGeneration::Both, nullptr},
    {LUMEX_SENT(EmulatorSwitchDelay), TGeneration::Both, nullptr},
    {LUMEX_SENT(PostValveDelay), TGeneration::Both, nullptr},
    {LUMEX_SENT(LowPD), TGeneration::Both, nullptr},
    {LUMEX_SENT(LowPT), TGeneration::Both, nullptr},
    {LUMEX_SENT(MicroInjectionTime), TGeneration::Both, nullptr},
    // 1.4 takes its pressure sensor from the hardware variant.
    {LUMEX_SENT(PressureSensorType), TGeneration::G30, nullptr},
    {LUMEX_SENT(RpmBelowVal), TGeneration::G30, nullptr},
    {LUMEX_SENT(RpmAboveVal), TGeneration::G30, nullptr},
    {LUMEX_SENT(LoadPAboveVal), TGeneration::G30, nullptr},
    {LUMEX_SENT(MaxCyclesMixedFuel), TGeneration::G30, nullptr},
    {LUMEX_SENT(MaxTimeMixedFuel), TGeneration::G30, nullptr},
    {LUMEX_SENT(InjTimeForEnrichmentDuringCutOff), TGeneration::G30, "F"},
    {LUMEX_SENT(MaxRpmForEnrichmentDuringCutOff), TGeneration::G30, "F"},
    {LUMEX_SENT(MazdaEnrichmentPercentage), TGeneration::G30, "F"},
    {LUMEX_SENT(PreinjectionsDuringCutOffForLowRPMEnabled), TGeneration::G30, "F"},
    {LUMEX_SENT(MazdaIgnitionTypeCorrEnabled), TGeneration::G30, "F"},
    {LUMEX_SENT(FlashLubeSupportEnabled), TGeneration::G30, "G"},
    {LUMEX_SENT(CutOffModeActivated), TGeneration::G30, "G"},
    {LUMEX_SENT(AutoToGasOnControlPanelHidden), TGeneration::G30, "G"},
    {LUMEX_SENT(SygnalizeDrivingOnPetrolEnabled), TGeneration::G30, "G"},
    {LUMEX_SENT(MinGasInjTimeEnabled), TGeneration::G30, "G"},
    {LUMEX_SENT(MaxGasInjTimeEnabled), TGeneration::G30, "G"},
    {LUMEX_SENT(AfterCutOffEmulSwitchDelay), TGeneration::G30, "G"},
    {LUMEX_SENT(OnCutOffDelay), TGeneration::G30, "G"},
    {LUMEX_SENT(MinGasInjectionTime), TGeneration::G30, "G"},
    {LUMEX_SENT(MaxGasInjectionTime), TGeneration::G30, "G"},
    {LUMEX_SENT(LegacyParam29), TGeneration::Legacy, "D"},
    {LUMEX_SENT(RPMWireNotConnect), TGeneration::Legacy, "E"},
};

#undef LUMEX_SENT

bool IsLegacy(const TNorviData &d)
{
    return d.VersionCode == kVersion14 || d.VersionCode == kVersion15;
}

bool WasSent(const TSentField &f, const TNorviData &d)
{
    const bool g30 = d.VersionCode == kVersion30;
    if (f.Generation == TGeneration::G30 && !g30)
        return false;
    if (f.Generation == TGeneration::Legacy && !IsLegacy(d))
        return false;
    if (f.From == nullptr)
        return g30 || IsLegacy(d);
    if (g30)
        return Is30From(d, f.From);
    // The gated 1.4/1.5 fields exist on 1.5 only.
    return d.VersionCode == kVersion15 && LetterAtLeast(d.SoftwareLetter, f.From);
}

// Runs a one-command write with the image field set to the new value and
// puts the old value back when the controller did not take it.
template <class TValue, class TSend>
TWriteResult WriteField(TDataManager &m, TValue TNorviData::*field, TValue value, const char *step, uint8_t code,
                        TSend send)
{
    TWriteResult r;
    r.StepsDone = 0;
    if (!ConfigurationAccessible(m)) {
        r.Ok = false;
        r.FailedStep = step;
        r.FailedCode = code;
        r.Refusal = m.LinkUp ? TWriteRefusal::Locked : TWriteRefusal::LinkDown;
        return r;
    }
    TNorviData &d = m.Data();
    const TValue old = d.*field;
    d.*field = value;
    if (send()) {
        r.StepsDone = 1;
        return r;
    }
    d.*field = old;
    r.Ok = false;
    r.FailedStep = step;
    r.FailedCode = code;
    r.Refusal = m.LastRefusal();
    return r;
}

} // namespace

bool ConfigurationAccessible(const TDataManager &manager)
{
    const TNorviData &d = manager.Data();
    return manager.LinkUp && d.VersionCode != 0 && d.LockState == kLockUnlocked;
}

void CopyConfigurationFields(const TNorviData &edited, TNorviData &image)
{
#define LUMEX_COPY(Name)                                                                                               \
    if (!IsReadOnlyField(#Name))                                                                                       \
        image.Name = edited.Name;
    LUMEX_DEV_BYTE_FIELDS(LUMEX_COPY)
    LUMEX_DEV_WORD_FIELDS(LUMEX_COPY)
    LUMEX_DEV_FLAG_FIELDS(LUMEX_COPY)
#undef LUMEX_COPY
    // The block carries the count as its channel mask: the count decides.
    if (const auto mask = InjectorMask(edited.InjSW))
        image.InjMask = *mask;
}

std::vector<std::string> DifferingConfigurationFields(const TNorviData &sent, const TNorviData &readBack)
{
    std::vector<std::string> differing;
    for (const TSentField &f : kSentFields) {
        if (!WasSent(f, sent))
            continue;
        if ((f.Get(sent) & f.Mask) != (f.Get(readBack) & f.Mask))
            differing.emplace_back(f.Name);
    }
    return differing;
}

bool ReadConfigurationNow(TDataManager &manager)
{
    if (!ConfigurationAccessible(manager))
        return false;
    return ReadGenerationConfiguration(manager);
}

TConfigWriteResult WriteConfigurationNow(TDataManager &manager, const TNorviData &edited)
{
    TConfigWriteResult result;
    if (!ConfigurationAccessible(manager)) {
        result.Outcome = TConfigWriteOutcome::Refused;
        result.Write.Ok = false;
        result.Write.Refusal = manager.LinkUp ? TWriteRefusal::Locked : TWriteRefusal::LinkDown;
        return result;
    }
    TNorviData &image = manager.Data();
    const TNorviData before = image;
    CopyConfigurationFields(edited, image);
    const TNorviData sent = image;
    result.Write = WriteGenerationConfiguration(manager);
    if (!result.Write.Ok) {
        // The image keeps what the controller is known to hold, not the
        // edits it may not have taken; the page keeps the edits.
        CopyConfigurationFields(before, image);
        result.Outcome = TConfigWriteOutcome::Failed;
        return result;
    }
    if (!ReadGenerationConfiguration(manager)) {
        result.Outcome = TConfigWriteOutcome::Failed;
        result.Write.Ok = false;
        result.Write.FailedStep = "ReadConfiguration";
        return result;
    }
    result.DifferingFields = DifferingConfigurationFields(sent, image);
    result.Outcome = result.DifferingFields.empty() ? TConfigWriteOutcome::Ok : TConfigWriteOutcome::Differing;
    return result;
}

TWriteResult WriteMarkersNow(TDataManager &manager, uint16_t markers)
{
    return WriteField(manager, &TNorviData::Markers, markers, "WriteWordParam(14)", cmd::WriteWordParam,
                      [&manager] { return manager.WriteWordParam(14); });
}

TWriteResult WriteInspectionNow(TDataManager &manager, uint16_t nextInspectionKm, uint8_t ratio)
{
    TNorviData &d = manager.Data();
    const uint8_t oldRatio = d.InspectionTimeDistRatio;
    d.InspectionTimeDistRatio = ratio;
    TWriteResult r = WriteField(manager, &TNorviData::NextInspection, nextInspectionKm, "WriteInspection",
                                cmd::WriteInspection, [&manager] { return manager.WriteInspection(); });
    if (!r.Ok)
        d.InspectionTimeDistRatio = oldRatio;
    return r;
}

bool ValveCommandNow(TDataManager &manager, bool on)
{
    if (!ConfigurationAccessible(manager))
        return false;
    return manager.ValveAction(on ? kValveOn : kValveOff);
}

TInjSystemDetection DetectInjectionSystemNow(TDataManager &manager)
{
    TInjSystemDetection found;
    if (!ConfigurationAccessible(manager))
        return found;
    const TNorviData &d = manager.Data();
    const int injectors = d.InjSW;
    const unsigned halves = injectors > 4 ? 2 : 1;
    for (unsigned half = 1; half <= halves; ++half) {
        if (!manager.ReadInjSystemDetect(half))
            return found;
        found.PhaseWords.push_back(d.InjSystemDetect[half - 1]);
    }
    found.System = DetectInjectionSystem(found.PhaseWords, injectors);
    found.Ok = true;
    // Having watched the phases, a controller from F names the system itself.
    if (Is30From(d, "F")) {
        std::optional<uint16_t> word;
        const bool ok = manager.Transact(cmd::ReadWordVar, {kInjSystemInfoWord},
                                         [&word](TAnswerBytes b) { word = DecodeWordVar(b); });
        if (!ok || !word) {
            found.Ok = false;
            return found;
        }
        const unsigned type = *word >> 8;
        found.System = type <= static_cast<unsigned>(TInjectionSystem::FullGroup) ? static_cast<TInjectionSystem>(type)
                                                                                  : TInjectionSystem::Other;
        found.FromInfoWord = true;
    }
    return found;
}

std::string PhaseWordText(uint16_t phaseWord)
{
    const std::vector<int> p = PhasesOf(phaseWord);
    char text[48];
    std::snprintf(text, sizeof text, "Inj= %d, %d, %d, %d", p.at(0), p.at(1), p.at(2), p.at(3));
    return text;
}

} // namespace lumex
