#include "mainwindow/PollingTick.h"

#include "controller/DataManager.h"
#include "controller/Version.h"
#include "mainwindow/ProgramLauncher.h"
#include "serial/ComMultiPort.h"

namespace lumex {

namespace {

// A link drop this long (in ticks) before the image counts as gone: one
// failed answer must not wipe what the pages hold.
constexpr int kTicksBeforeClearing = 2;
// Byte parameter that asks for the gas times to be shown from the model.
constexpr uint8_t kModelGasTimesParam = 24;
// The calibration states that do not mean "running".
bool CalibrationIdle(uint8_t calState)
{
    return calState == 0 || calState == 10;
}

} // namespace

TPollingTick::TPollingTick(TDataManager &manager, TDetector &detector, TTickHooks &hooks)
    : StartProgram(StartSiblingProgram), manager_(manager), detector_(detector), hooks_(hooks)
{
}

TTickReport TPollingTick::Run(bool fromTimer)
{
    TTickReport report;
    if (RebuildRequested) {
        RebuildRequested = false;
        hooks_.RebuildAdapterPages();
    }
    if (TickBusy || !TimerReady)
        return report;
    report.Ran = true;
    TNorviData &d = manager_.Data();

    if (Offline) {
        d.VersionCode = 0;
        manager_.SetLinkUp(false);
        cycleOk_ = false;
        // The status panels still follow the state offline.
        StatusPanels(report, true, fromTimer);
        return report;
    }

    const bool wasUp = manager_.LinkUp;
    interval_ = TickInterval(wasUp, View.Page);

    if (DetectAndHandOver(report))
        return report;

    CalibrationBookkeeping();

    if (!manager_.SoftwareCompatible && manager_.CompatNoticePending) {
        manager_.CompatNoticePending = false;
        report.ShowCompatNotice = true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextSecond_) {
        nextSecond_ = now + std::chrono::seconds(1);
        hooks_.RefreshAdapterAvailability();
    }
    if (manager_.TroubleCodesPresent) {
        manager_.TroubleCodesPresent = false;
        report.OpenTroubleCodes = true;
    }
    LockRefresh(report);

    cycleOk_ = PollForPage();
    report.CycleOk = cycleOk_;

    ModuleStep(wasUp, report);
    StatusPanels(report, false, fromTimer);
    return report;
}

bool TPollingTick::DetectAndHandOver(TTickReport &report)
{
    if (!manager_.LinkUp || detector_.DetectionResult() == TDetector::kResultNothing)
        detector_.Detect(manager_.Port());
    const int family = detector_.Family();
    if (family == 0 || family == 2)
        return false;
    if (detector_.DetectionResult() == TDetector::kResultBootloader40) {
        // The probe is the bootloader's version request: its answer says
        // which bootloader it is once the family is asked for. The
        // controller's own bootloader and the adapter's belong to this
        // program's upgrade, not to another program.
        TakeBootVersionAnswer(detector_.LastAnswer(), true, boot_);
        QueryBootFamily(manager_.Port(), boot_);
        const uint8_t bootFamily = boot_.BootFamily;
        if (bootFamily == 0 || bootFamily == kBootFamilyController || bootFamily == kBootFamilyAdapter)
            return false;
    }
    const std::string path = detector_.FindProgram(0);
    if (path.empty() || !StartProgram || !StartProgram(path))
        return false;
    report.HandedOverTo = path;
    TimerReady = false;
    return true;
}

void TPollingTick::CalibrationBookkeeping()
{
    TNorviData &d = manager_.Data();
    if (d.VersionCode == kVersion14 || d.VersionCode == kVersion15) {
        CalibrationRunning = manager_.RequestedWorkType == TWorkType::StartAutocalibration;
        return;
    }
    if (d.VersionCode != kVersion30)
        return;
    if (d.WorkState == 1) {
        manager_.RequestedWorkType = TWorkType::StartAutocalibration;
        CalibrationRunning = true;
    } else if (d.WorkState != 0) {
        manager_.ReadCalibrationState(true);
        if (!CalibrationIdle(d.CalState)) {
            manager_.RequestedWorkType = TWorkType::StartAutocalibration;
            CalibrationRunning = true;
        }
    } else {
        CalibrationRunning = false;
    }
}

void TPollingTick::RefreshLockState()
{
    TTickReport ignored;
    LockRefresh(ignored);
}

void TPollingTick::LockRefresh(TTickReport &report)
{
    TNorviData &d = manager_.Data();
    manager_.ReadLockState();
    const uint8_t lock = d.LockState;
    accessible_ = IsAccessible(lock, panels_.NotConnected);
    panels_.Locked = LockPanelVisible(lock);
    if (accessible_) {
        inaccessibleTicks_ = 0;
        imageCleared_ = false;
        return;
    }
    ++inaccessibleTicks_;
    // Cleared once per loss of access: at once for a locked controller, and
    // for a silent one only when the silence outlasts a single tick.
    if (!imageCleared_ && (lock == kLockLocked || inaccessibleTicks_ >= kTicksBeforeClearing)) {
        ClearImageExceptIdentity(d);
        imageCleared_ = true;
        report.ImageCleared = true;
    }
}

bool TPollingTick::PollForPage()
{
    const TPollPlan plan = PollPlanFor(View);
    bool ok = false;
    for (int mode : plan.Modes)
        ok = manager_.PollCycle(mode);
    if (!plan.ResultUsed)
        ok = false;
    if (View.Page == TPage::Calibration && View.Sub == TSubPage::CalCorrections)
        manager_.PollCycle(View.AdapterBank == 2 ? pmAdaptationBank2 : pmAdaptationBank1);
    if (manager_.RequestedWorkType == TWorkType::StartAutocalibration) {
        const int mode = manager_.Data().VersionCode == kVersion30 ? pmCalibration30 : pmCalibration14;
        if (manager_.PollCycle(mode))
            ok = true;
    }
    return ok;
}

void TPollingTick::ModuleStep(bool wasUp, TTickReport &report)
{
    hooks_.MirrorObdAdaptationFlag();
    if (!wasUp && manager_.LinkUp)
        hooks_.RestartModules(manager_.Port().ComDevice());
    hooks_.ModuleWorkStep();
    if (hooks_.ModulesChanged())
        report.ModulesChanged = true;
}

void TPollingTick::StatusPanels(TTickReport &report, bool offline, bool fromTimer)
{
    TNorviData &d = manager_.Data();
    TStatusPanels &p = panels_;
    p.DeviceText = d.VersionCode == 0 ? "----" : VersionDigits(d.VersionCode) + " " + d.SoftwareLetter;
    p.VersionIncompatible = d.VersionCode != 0 && !manager_.CheckVersion(false);
    p.NotConnected = !(d.VersionCode != 0 && (manager_.LinkUp || p.VersionIncompatible));
    if (offline) {
        p.FuelVisible = false;
        p.CalibrationLabel = false;
        return;
    }
    p.CorrMapVisible = (d.Model_OBDAdaptCorrConfig & 1) != 0;
    p.CorrMapCountA = d.CorrMapCountA;
    p.CorrMapCountB = d.CorrMapCountB;
    p.ObdAdaptationVisible = hooks_.ObdAdaptationSupported() && Is30From(d, "H");
    p.MapAdaptationVisible = d.AdaptationMode != 0;

    if (!manager_.LinkUp) {
        p.FuelVisible = false;
        p.CalibrationLabel = false;
        if (boot_.Found() && fromTimer && !UpgradeWindowOpen && !bootOffered_) {
            bootOffered_ = true;
            report.BootloaderOffer = boot_.BootFamily;
        }
        return;
    }
    bootOffered_ = false;
    if (d.PcCompatCode != 0 && d.PcCompatCode != 4) {
        manager_.ReadIdentByte(4);
        if (d.PcCompatCode != 0 && d.PcCompatCode != 4) {
            TimerReady = false;
            report.FatalPcCompatCode = d.PcCompatCode;
            return;
        }
    }
    if (manager_.JustConnected) {
        hooks_.ReadModelData(d.VersionCode);
        manager_.JustConnected = false;
        report.JustConnected = true;
    }
    hooks_.CalibrationDisplays();
    if (cycleOk_) {
        // The setting is read fresh each refresh: it can change in the
        // controller behind our back, and a failed read must not leave the
        // model times on.
        uint8_t modelGasTimes = 0;
        if (View.Page == TPage::Measure && manager_.ReadByteParam(kModelGasTimesParam, &modelGasTimes) &&
            modelGasTimes == 1)
            ApplyModelGasTimes(d);
        extras_ = GatherReadingExtras(manager_);
        report.ReadingsFresh = true;
        hooks_.OscilloscopeSample();
    }
    p.CalibrationLabel = manager_.RequestedWorkType == TWorkType::StartAutocalibration;
    p.FuelVisible = !(View.Page == TPage::Calibration && View.Sub == TSubPage::CalAuto);
    p.Fuel = FuelShown(d.SystemState);
}

} // namespace lumex
