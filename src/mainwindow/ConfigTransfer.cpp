#include "mainwindow/ConfigTransfer.h"

#include "calibration/CorrectionOperations.h"
#include "configuration/ConfigVerify.h"
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

bool ReadConfigurationNow(TDataManager &manager)
{
    if (!ConfigurationAccessible(manager))
        return false;
    if (!ReadGenerationConfiguration(manager))
        return false;
    // The installation summary names the working pressure, which the 3.0
    // configuration read leaves out.
    return manager.Data().VersionCode != kVersion30 || manager.ReadByteParam(kWorkPressByteParam);
}

TConfigWriteResult WriteConfigurationNow(TDataManager &manager, const TNorviData &edited,
                                         const TPlacementQuestion &resetTgasCorrection)
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
    // The gas temperature correction depends on where the sensor sits.
    const bool placementChanged =
        image.VersionCode == kVersion30 && image.GasTempSensorInFlow != edited.GasTempSensorInFlow;
    const bool resetTgas = placementChanged && resetTgasCorrection && resetTgasCorrection();
    CopyConfigurationFields(edited, image);
    const TVerifiedWrite verified = WriteVerifiedConfiguration(manager);
    result.Write = verified.Write;
    result.Invalid = verified.Refused;
    if (!verified.Refused.empty() || !verified.Write.Ok) {
        // The image keeps what the controller is known to hold, not the
        // edits it may not have taken; the page keeps the edits.
        CopyConfigurationFields(before, image);
        result.Outcome = TConfigWriteOutcome::Failed;
        return result;
    }
    if (!verified.ReadBack) {
        result.Outcome = TConfigWriteOutcome::Failed;
        result.Write.Ok = false;
        result.Write.FailedStep = "ReadConfiguration";
        return result;
    }
    result.DifferingFields = verified.Differences;
    result.Outcome = result.DifferingFields.empty() ? TConfigWriteOutcome::Ok : TConfigWriteOutcome::Differing;
    if (resetTgas) {
        const TWriteResult reset = ResetTgasCorrectionForPlacement(manager, edited.GasTempSensorInFlow != 0);
        if (!reset.Ok) {
            result.Outcome = TConfigWriteOutcome::Failed;
            result.Write = reset;
        }
    }
    return result;
}

TWriteResult WriteInjectorCorrectionsNow(TDataManager &manager, const std::array<uint8_t, kCylinders> &corrections)
{
    return WriteField(manager, &TNorviData::InjCorr, corrections, "WriteInjCorr", cmd::WriteInjCorr,
                      [&manager] { return manager.WriteInjCorr(); });
}

bool AnyInjectorCorrection(const TNorviData &image)
{
    return std::any_of(image.InjCorr.begin(), image.InjCorr.end(), [](uint8_t c) { return c != 0; });
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
