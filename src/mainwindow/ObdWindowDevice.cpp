#include "mainwindow/ObdWindowDevice.h"

#include "adapter/AIOModule.h"
#include "adapter/OBDModule.h"
#include "calibration/OBDAdaptCorrView.h"
#include "configuration/Question.h"
#include "controller/DataManager.h"
#include "controller/NorviData.h"
#include "modules/AppLogic.h"
#include "modules/ModuleQuestions.h"

namespace lumex {

namespace {

// Detection sub-states after which the adapter holds a result to take.
constexpr int kDetectedFirst = 8;
constexpr int kDetectedLast = 10;
// The controller's byte parameter that carries the map adaptation switch.
constexpr uint8_t kControllerOptionParam = 31;

} // namespace

TObdWindowDevice::TObdWindowDevice(TModuleOBD &obd, TModuleAIO &aio, TDataManager &manager, TNorviData &image)
    : obd_(obd), aio_(aio), manager_(manager), image_(image)
{
    cycle_ = std::make_unique<TOBDTroubleCycle>(obd_, codes_);
    cycle_->Wait = [this](int ms) {
        if (Wait)
            Wait(ms);
    };
    obd_.Logic().Wait = cycle_->Wait;
}

TObdWindowDevice::~TObdWindowDevice() = default;

void TObdWindowDevice::Step()
{
    const auto page = static_cast<TObdPage>(Page.load());
    TManager &modules = obd_.AppLogic().Manager();
    modules.SetPollGroup(TPollGroup::ObdTroubleCodes, page == TObdPage::Trouble);
    if (!obd_.IsConnected())
        return;
    TDevStateOBD &d = obd_.DevState();
    if (page == TObdPage::Config) {
        if (d.IsDelayConnectState())
            obd_.Logic().ReadDelayConnectCounter();
        const int detect = static_cast<int>(d.ActionDetect.GetAsInteger());
        // Once per result: the adapter leaves the sub-state when it is taken.
        if (detect >= kDetectedFirst && detect <= kDetectedLast && !detected_) {
            detected_ = obd_.Logic().TakeDetectionResult().value_or(0);
            obd_.ReadStatus();
        } else if (detect < kDetectedFirst || detect > kDetectedLast) {
            detected_.reset();
        }
    }
    if (page == TObdPage::Trouble)
        cycle_->Tick();
}

void TObdWindowDevice::Fill(TObdWindowSnapshot &s)
{
    TLogic &logic = obd_.AppLogic();
    s.Valid = logic.UIState().DevState() != nullptr;
    if (s.Valid)
        s.Image = TakeModuleImage(*logic.UIState().DevState(), obd_.DevState());
    s.ObdPresent = obd_.IsConnected();
    s.ControllerRevisionH = ControllerRevisionAtLeast(image_, "H");
    s.ParamsEpoch = paramsEpoch_;
    s.DetectEpoch = detectEpoch_;
    s.AioEpoch = aioEpoch_;
    s.AdapterAdaptation = obd_.IsConnected() && obd_.UIState().IsAdaptationEnabled.GetAsBoolean();
    s.DetectedProtocol = detected_ && *detected_ != 0 ? detected_ : std::nullopt;
    s.Trouble.Troubles = cycle_->Troubles().Text();
    s.Trouble.Freeze = cycle_->Freeze().Text();
    s.Trouble.ProgressVisible = cycle_->ProgressVisible();
    s.Trouble.Progress = cycle_->Progress();
    s.Trouble.ButtonsEnabled = cycle_->ButtonsEnabled();
    s.Trouble.Greyed = cycle_->Greyed();
    s.Trouble.CheckEngine = cycle_->CheckEngine();
    s.Trouble.CheckEnginePanel = cycle_->CheckEnginePanelVisible();
}

bool TObdWindowDevice::WriteControllerAdaptation(TModuleQuestions *questions)
{
    const bool adaptation = obd_.UIState().IsAdaptationEnabled.GetAsBoolean();
    if (!adaptation || image_.VersionCode == 0)
        return true;
    bool ok = true;
    if (image_.AdaptationMode != 0 && questions != nullptr &&
        questions->YesNo(MessageTextInForce("strQAdaptMAP_OBD"), true, false)) {
        const uint8_t was = image_.AdaptationMode;
        image_.AdaptationMode = 0;
        if (!manager_.WriteByteParam(kControllerOptionParam)) {
            image_.AdaptationMode = was;
            ok = false;
        }
    }
    const uint8_t config = image_.Model_OBDAdaptCorrConfig;
    image_.Model_OBDAdaptCorrConfig |= kAdaptCorrEnabledBit;
    if (!manager_.WriteModelParam(kAdaptCorrConfigParam)) {
        image_.Model_OBDAdaptCorrConfig = config;
        ok = false;
    }
    return ok;
}

TObdOperationResult TObdWindowDevice::Run(TObdOperation operation, const TModuleEdits &edits,
                                          TModuleQuestions *questions)
{
    TLogicOBD &logic = obd_.Logic();
    TUIState &ui = obd_.AppLogic().UIState();
    TObdOperationResult r;
    switch (operation) {
    case TObdOperation::Connect:
        if (!ApplyModuleEdits(edits, ui))
            return r;
        r.Ok = logic.ConnectButton();
        break;
    case TObdOperation::Detect:
        r.Ok = logic.DetectButton();
        break;
    case TObdOperation::Read:
        r.Ok = logic.ReadOBDConfig();
        if (r.Ok)
            ++paramsEpoch_;
        break;
    case TObdOperation::Write:
        if (!ApplyModuleEdits(edits, ui))
            return r;
        r.Ok = logic.WriteEdited();
        if (!r.Ok) {
            r.FailureKey = "strObdWriteFailed";
            return r;
        }
        ++paramsEpoch_;
        if (!WriteControllerAdaptation(questions)) {
            r.Ok = false;
            r.FailureKey = "strObdOperationFailed";
        }
        return r;
    case TObdOperation::ResetBoth:
        r.Ok = logic.ResetAdaptation(3);
        break;
    case TObdOperation::ResetBank1:
        r.Ok = logic.ResetAdaptation(1);
        break;
    case TObdOperation::ResetBank2:
        r.Ok = logic.ResetAdaptation(2);
        break;
    case TObdOperation::ReadErrors:
        r.Ok = cycle_->Read();
        break;
    case TObdOperation::ClearErrors:
        r.Ok = cycle_->Clear();
        break;
    }
    if (!r.Ok)
        r.FailureKey = "strObdOperationFailed";
    return r;
}

bool TObdWindowDevice::RunAio(bool write, const TModuleEdits &edits)
{
    TLogicAIO &logic = aio_.Logic();
    bool ok = true;
    if (write) {
        if (!ApplyModuleEdits(edits, obd_.AppLogic().UIState()))
            return false;
        ok = logic.WriteAIOConfig();
    } else {
        // Never connected: the edited state shows the device image as it is.
        logic.ReadAIOConfig();
    }
    ++aioEpoch_;
    return ok;
}

} // namespace lumex
