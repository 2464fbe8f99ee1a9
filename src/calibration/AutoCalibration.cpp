#include "calibration/AutoCalibration.h"

#include "calibration/AutoCalModelIO.h"
#include "configuration/IdleTbCapture.h"
#include "configuration/ProgramLogic.h"
#include "controller/CommandCodes.h"
#include "controller/ConfigurationIO.h"
#include "controller/DataManager.h"
#include "controller/Version.h"
#include "controller/WriteSequence.h"
#include "documents/MessageKeys.h"

#include <algorithm>
#include <array>
#include <utility>

namespace lumex {

namespace {

constexpr uint8_t kAdaptationByte = 31;
constexpr uint8_t kIdleHotTbWord = 8;
constexpr uint8_t kObdAdaptConfigParam = 104;
constexpr uint8_t kObdAdaptEnableBit = 0x01;
constexpr uint8_t kIdentWorkState = 5;

constexpr uint16_t Bit(unsigned n)
{
    return static_cast<uint16_t>(1u << n);
}

// What the 3.0 page does for each state code the controller reports.
enum class TStateAction : uint8_t
{
    ShowStart,
    WaitLoad,
    WaitConditions,
    Progress,
    Finished,
    ControllerStop,
    NozzleEnd,
    Nothing
};

constexpr std::array kStateActions{
    TStateAction::ShowStart,      TStateAction::ShowStart,      TStateAction::WaitLoad, // 0..2
    TStateAction::WaitConditions,                                                       // 3
    TStateAction::Progress,       TStateAction::Progress,       TStateAction::Progress, // 4..6
    TStateAction::Progress,       TStateAction::Progress,                               // 7, 8
    TStateAction::Finished,       TStateAction::ControllerStop, TStateAction::NozzleEnd // 9..11
};

TStateAction ActionFor(uint8_t state)
{
    return state < kStateActions.size() ? kStateActions[state] : TStateAction::Nothing;
}

// 1.4/1.5 state codes.
constexpr uint8_t kLegacyWaitingForTred = 1;
constexpr uint8_t kLegacyDone = 7;
constexpr uint8_t kLegacyError = 8;

constexpr std::array<const char *, 6> kPageNames{"Start",    "WaitConditions",   "ProgressWithoutLoad",
                                                 "WaitLoad", "ProgressWithLoad", "Result"};
constexpr std::array<const char *, 8> kOutcomeNames{"idle",  "not started", "running",   "completed",
                                                    "error", "cancelled",   "link lost", "write failed"};

} // namespace

const char *AutoCalPageName(TAutoCalPage page)
{
    return kPageNames.at(static_cast<std::size_t>(page));
}

const char *AutoCalOutcomeName(TAutoCalOutcome outcome)
{
    return kOutcomeNames.at(static_cast<std::size_t>(outcome));
}

TAutoCalibration::TAutoCalibration(TDataManager &manager, TAutoCalIo io) : manager_(manager), io_(std::move(io)) {}

bool TAutoCalibration::Legacy() const
{
    const uint8_t v = manager_.Data().VersionCode;
    return v == kVersion14 || v == kVersion15;
}

bool TAutoCalibration::Running() const
{
    return active_ && manager_.RequestedWorkType == TWorkType::StartAutocalibration;
}

bool TAutoCalibration::Start()
{
    if (active_)
        return false;
    view_ = {};
    lastWrite_ = {};
    startStop_ = TAutoCalStartStop::None;
    return Legacy() ? StartLegacy() : Start30();
}

bool TAutoCalibration::StopStart(TAutoCalStartStop why)
{
    active_ = false;
    view_.StopEnabled = false;
    startStop_ = why;
    outcome_ = TAutoCalOutcome::NotStarted;
    return false;
}

bool TAutoCalibration::Written(const TWriteResult &result)
{
    if (!result.Ok)
        lastWrite_ = result;
    return result.Ok;
}

bool TAutoCalibration::Start30()
{
    TDataManager &m = manager_;
    TNorviData &d = m.Data();
    if (d.VersionCode != kVersion30 || !ControllerReadyForWrites(m))
        return StopStart(TAutoCalStartStop::NotReady);
    active_ = true;
    view_.GaugeWithoutLoadMax = GaugeWithoutLoadSteps(d.InjSW);
    view_.GaugeWithLoadMax = GaugeWithLoadSteps(d.InjSW);

    d.Markers |= Bit(kMarkerPassedAdvanced) | Bit(kMarkerPassedVerify);
    {
        TWriteSequence s(m);
        s.Word(kMarkersWordParam);
        if (!Written(s.Result()))
            return StopStart(TAutoCalStartStop::WriteFailed);
    }
    // The procedure measures against the default model of the injector.
    if (!Written(WriteDefaultModel(m, idle_)))
        return StopStart(TAutoCalStartStop::WriteFailed);

    // The controller's and the OBD module's adaptation would move the model
    // while it is measured.
    if (Is30From(d, "H") && io_.SwitchOffObdModuleAdaptation && !io_.SwitchOffObdModuleAdaptation())
        return StopStart(TAutoCalStartStop::OtherPartFailed);
    if (Is30From(d, "G") && (d.Model_OBDAdaptCorrConfig & kObdAdaptEnableBit) != 0) {
        d.Model_OBDAdaptCorrConfig &= static_cast<uint8_t>(~kObdAdaptEnableBit);
        TWriteSequence s(m);
        s.Model(kObdAdaptConfigParam);
        if (!Written(s.Result()))
            return StopStart(TAutoCalStartStop::WriteFailed);
    }

    TIdleTbCaptureIo capture{io_.Ask, io_.ShowError, io_.Wait, {}, {}, io_.DecimalSeparator, io_.Text};
    std::string text = IdleHotTbText(d.IdleHotTb, io_.DecimalSeparator);
    if (!CaptureIdleHotTb(m, text, capture).Ok)
        return StopStart(TAutoCalStartStop::IdleTbRefused);
    view_.IdleHotTbText = text;

    d.Markers &= static_cast<uint16_t>(~Bit(kMarkerAutocalibrated));
    d.AdaptationMode = 0;
    {
        TWriteSequence s(m);
        s.Word(kMarkersWordParam);
        s.Byte(kAdaptationByte);
        s.Word(kIdleHotTbWord);
        if (!Written(s.Result()))
            return StopStart(TAutoCalStartStop::WriteFailed);
    }
    if (Is30From(d, "D") && io_.DeferWorkingPressure) {
        view_.WorkingPressurePending = true;
        return false;
    }
    if (Is30From(d, "D") && io_.DetermineWorkingPressure && !io_.DetermineWorkingPressure())
        return StopStart(TAutoCalStartStop::OtherPartFailed);
    return StartController30();
}

bool TAutoCalibration::ResumeStart(bool workingPressureOk)
{
    if (!active_ || !view_.WorkingPressurePending)
        return false;
    view_.WorkingPressurePending = false;
    if (!workingPressureOk)
        return StopStart(TAutoCalStartStop::OtherPartFailed);
    if (!ControllerReadyForWrites(manager_))
        return StopStart(TAutoCalStartStop::NotReady);
    return StartController30();
}

bool TAutoCalibration::StartController30()
{
    TDataManager &m = manager_;
    TNorviData &d = m.Data();
    TWriteSequence s(m);
    s.Step("SetWorkType(3)", cmd::SetWorkType, [&m] { return m.SetWorkType(TWorkType::StartAutocalibration); });
    if (!Written(s.Result()))
        return StopStart(TAutoCalStartStop::WriteFailed);
    // The state of an earlier run must not be taken for this one's.
    d.CalState = 0;
    d.CalProgress = 0;
    d.CalPhase = 0;
    view_.Page = TAutoCalPage::Start;
    view_.StopEnabled = true;
    outcome_ = TAutoCalOutcome::Running;
    m.SetWorkType(TWorkType::AutocalibrationRunning);
    return true;
}

bool TAutoCalibration::StartLegacy()
{
    TDataManager &m = manager_;
    TNorviData &d = m.Data();
    if (d.VersionCode == 0 || !m.LinkUp)
        return StopStart(TAutoCalStartStop::NotReady);
    d.CalState = 0;
    d.CalProgress = 0;
    view_.BarVisible = true;
    view_.Page = TAutoCalPage::Start;
    active_ = true;
    TWriteSequence s(m);
    s.Step("SetWorkType(3)", cmd::SetWorkType, [&m] { return m.SetWorkType(TWorkType::StartAutocalibration); });
    if (!Written(s.Result()))
        return StopStart(TAutoCalStartStop::WriteFailed);
    view_.StopEnabled = true;
    outcome_ = TAutoCalOutcome::Running;
    return true;
}

bool TAutoCalibration::Continue()
{
    if (!Running() || Legacy())
        return false;
    return manager_.SetWorkType(TWorkType::ContinueWithLoad);
}

bool TAutoCalibration::Stop()
{
    if (!Running())
        return false;
    if (Legacy()) {
        StopLegacy();
        outcome_ = TAutoCalOutcome::Cancelled;
        return true;
    }
    const TQuestion question{io_.Text(msg::strQAutocalCancel), {}, false};
    if (!io_.Ask || io_.Ask(question) != TAnswer::Yes)
        return false;
    EndWithError(TAutoCalOutcome::Cancelled);
    return true;
}

void TAutoCalibration::Cancel()
{
    if (!active_)
        return;
    if (Legacy())
        StopLegacy();
    else
        EndWithError(TAutoCalOutcome::Cancelled);
    outcome_ = TAutoCalOutcome::Cancelled;
}

void TAutoCalibration::Abandon()
{
    if (active_)
        EndWithError(TAutoCalOutcome::LinkLost);
}

void TAutoCalibration::OnState()
{
    if (Legacy())
        OnStateLegacy();
    else
        OnState30();
}

void TAutoCalibration::OnState30()
{
    const TNorviData &d = manager_.Data();
    const TStateAction action = ActionFor(d.CalState);
    if (action == TStateAction::ShowStart) {
        view_.Page = TAutoCalPage::Start;
        view_.StopEnabled = Running();
        return;
    }
    if (!Running())
        return;
    switch (action) {
    case TStateAction::WaitLoad:
        view_.Page = TAutoCalPage::WaitLoad;
        break;
    case TStateAction::WaitConditions:
        view_.Page = TAutoCalPage::WaitConditions;
        break;
    case TStateAction::Progress:
        ShowProgress();
        break;
    case TStateAction::Finished:
        Evaluate(true);
        break;
    case TStateAction::ControllerStop:
        // As if the installer had pressed STOP: he is asked, and an answer
        // of No leaves the page following the controller.
        if (Stop())
            outcome_ = TAutoCalOutcome::Error;
        break;
    case TStateAction::NozzleEnd:
        Evaluate(false);
        break;
    case TStateAction::ShowStart:
    case TStateAction::Nothing:
        break;
    }
    view_.StopEnabled = Running();
}

void TAutoCalibration::ShowProgress()
{
    const TNorviData &d = manager_.Data();
    if (d.CalPhase == 2) {
        view_.Page = TAutoCalPage::ProgressWithLoad;
        view_.GaugeWithLoad = std::min<int>(d.CalProgress, view_.GaugeWithLoadMax);
    } else {
        view_.Page = TAutoCalPage::ProgressWithoutLoad;
        view_.GaugeWithoutLoad = std::min<int>(d.CalProgress, view_.GaugeWithoutLoadMax);
    }
}

void TAutoCalibration::Evaluate(bool finished)
{
    TDataManager &m = manager_;
    TNorviData &d = m.Data();
    const uint8_t phase = d.CalPhase;
    // Read once here: the verdict and the model both come from the idle
    // points the controller stored at the end of this run.
    TModelPoints measured;
    if (!ReadModelForResult(m, measured)) {
        EndWithError(TAutoCalOutcome::LinkLost);
        return;
    }
    idle_ = measured;
    const TFuel fuel = FuelOf(d);
    const double e = ShownModelOffset(d.Offset);
    const bool useIdle = d.UseOnIdleModel != 0;
    const TTimePoint verdictPoint = NozzleReferencePoint(useIdle, phase, measured, d.Model2SetA);
    TTimePoint modelPoint = verdictPoint;
    bool completed = false;
    if (useIdle) {
        if (phase != 2) {
            // Without a first idle point there is nothing to complete: a
            // second point beside nothing would be made up.
            if (!(measured.P1X > 0)) {
                EndWithError(TAutoCalOutcome::Error);
                return;
            }
            idle_ = CompletedIdlePoints(measured, e, d.Mult);
            completed = true;
        }
        modelPoint = IdleMidpoint(idle_);
    }
    const auto model = ModelFromResult(fuel, e, modelPoint);
    if (!(verdictPoint.X > 0) || !model) {
        EndWithError(TAutoCalOutcome::Error);
        return;
    }
    view_.Ratio = NozzleRatio(e, verdictPoint);
    view_.Verdict = NozzleVerdictFor(fuel, view_.Ratio);
    const TNozzleKeys keys = NozzleVerdictKeys(view_.Verdict);
    view_.Info1 = keys.Info1;
    view_.Info2 = keys.Info2;
    view_.FinishEnabled = true;
    const bool nozzlesOff = view_.Verdict == TNozzleVerdict::TooSmall || view_.Verdict == TNozzleVerdict::TooLarge;
    if (!finished && !nozzlesOff)
        return; // the controller goes on; the page keeps following it

    bool writesOk = true;
    if (finished) {
        d.Markers |= Bit(kMarkerAutocalibrated) | Bit(kMarkerNoIdleModel);
        if (io_.WriteResult) {
            TWriteSequence s(m);
            s.Word(kMarkersWordParam);
            writesOk = Written(s.Result());
        }
    }
    if (writesOk && completed && io_.WriteResult)
        writesOk = Written(WriteIdlePoints(m, idle_));
    StoreResultModel(*model, d);
    view_.Model = model;
    End(TAutoCalPage::Result);
    outcome_ = TAutoCalOutcome::Completed;
    if (writesOk && io_.WriteResult)
        writesOk = Written(WriteGenerationConfiguration(m)) && Written(WriteResultModel(m));
    if (!writesOk)
        outcome_ = TAutoCalOutcome::WriteFailed;
}

void TAutoCalibration::End(TAutoCalPage page)
{
    active_ = false;
    view_.StopEnabled = false;
    view_.Page = page;
    manager_.SetWorkType(TWorkType::Stop);
    manager_.ReadIdentByte(kIdentWorkState);
}

void TAutoCalibration::EndWithError(TAutoCalOutcome outcome)
{
    view_.Info1 = msg::strCalInfo_ERR;
    view_.Info2.clear();
    view_.FinishEnabled = false;
    End(TAutoCalPage::Result);
    outcome_ = outcome;
}

void TAutoCalibration::StopLegacy()
{
    active_ = false;
    manager_.SetWorkType(TWorkType::Stop);
    view_.StopEnabled = false;
    view_.BarVisible = false;
    view_.ReducerColdLabel = false;
    view_.Page = TAutoCalPage::Result;
    view_.Info1 = msg::strCalInfo_ERR;
    view_.Info2.clear();
}

void TAutoCalibration::OnStateLegacy()
{
    if (!Running())
        return;
    const TNorviData &d = manager_.Data();
    const uint8_t state = d.CalState;
    view_.ReducerColdLabel = state == kLegacyWaitingForTred;
    view_.Page = view_.ReducerColdLabel ? TAutoCalPage::WaitConditions : TAutoCalPage::ProgressWithoutLoad;
    view_.Bar = std::min<int>(d.CalProgress, kLegacyBarSteps);
    const bool full = view_.Bar >= kLegacyBarSteps;
    if (!full && state != kLegacyDone && state != kLegacyError)
        return;
    StopLegacy();
    const bool failed = state == kLegacyError;
    view_.Info1 = failed ? msg::strCalInfo_ERR : msg::strCalInfo_OK;
    outcome_ = failed ? TAutoCalOutcome::Error : TAutoCalOutcome::Completed;
    if (!full || failed || !io_.Ask)
        return;
    const TQuestion question{io_.Text(msg::strCalInfo_MAP1) + "\r\n\r\n" + io_.Text(msg::strCalInfo_MAP2),
                             io_.Text(msg::strCalInfo_OK), false};
    if (io_.Ask(question) == TAnswer::Yes && manager_.SetWorkType(TWorkType::Petrol))
        view_.OpenMapPage = true;
}

void TAutoCalibration::Repeat()
{
    if (active_)
        End(TAutoCalPage::Start);
    view_.Page = TAutoCalPage::Start;
}

bool TAutoCalibration::Finish()
{
    if (!view_.FinishEnabled)
        return false;
    if (active_)
        End(TAutoCalPage::Result);
    return true;
}

} // namespace lumex
