#include "adapter/OBDModule.h"

#include "adapter/AdapterModule.h"
#include "documents/LangManager.h"
#include "modules/AppLogic.h"
#include "modules/AppManager.h"
#include "modules/ModuleQuestions.h"
#include "modules/Sections.h"

#include <array>

namespace lumex {

namespace {

constexpr uint8_t kPresentBit = 0x01;
constexpr int kDisconnectPauseMs = 100;
constexpr int kLiveStatusTries = 6;
constexpr int kProtocolUnset = 1;
constexpr std::size_t kBanks = 2;
constexpr std::size_t kHalves = 2;
constexpr uint8_t kBankShift = 16;
// Oxygen-sensor PIDs whose support makes the group reads worth it.
constexpr int kLambdaPids[] = {0x14, 0x15, 0x18, 0x19};
constexpr int kWidePids[] = {0x34, 0x35, 0x38, 0x39};

const std::string &Obd()
{
    static const std::string s(SectionName(TSection::OBD));
    return s;
}

} // namespace

// --- TModuleOBD ---

TModuleOBD::TModuleOBD(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter)
    : TBaseModule(logic.Manager(), &protocol), app_(logic), adapter_(adapter), devState_(logic.Manager().DevState()),
      uiState_(logic.UIState(), devState_), logic_(*this)
{
    logic.Manager().CarLinkUp = [this] { return devState_.IsCarConnected(); };
    adapter.Logic().DefaultWriters.push_back([this] { return logic_.WriteOBDDefaults(false, nullptr, true); });
    logic.ConfigurationWriters.push_back([this] { return logic_.WriteOBDConfig(); });
}

TModuleOBD::~TModuleOBD()
{
    Manager().CarLinkUp = nullptr;
}

std::unique_ptr<TBaseModule> TModuleOBD::Make(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter)
{
    return std::make_unique<TModuleOBD>(logic, protocol, adapter);
}

std::optional<std::vector<uint8_t>> TModuleOBD::Query(const TAdapterCommand &cmd, std::span<const uint8_t> params,
                                                      bool statusOnly)
{
    // The status query needs only an adapter that answers; every other
    // command needs the OBD function found.
    if (statusOnly ? !Manager().IsActive() : !IsConnected())
        return std::nullopt;
    std::vector<uint8_t> request;
    request.reserve(params.size() + 1);
    request.push_back(cmd.code);
    request.insert(request.end(), params.begin(), params.end());
    std::vector<uint8_t> answer(cmd.answerLength, 0);
    if (!Exchange(request, answer))
        return std::nullopt;
    return answer;
}

std::optional<uint8_t> TModuleOBD::Ack(const TAdapterCommand &cmd, std::span<const uint8_t> params)
{
    const auto answer = Query(cmd, params);
    if (!answer)
        return std::nullopt;
    return (*answer)[2];
}

std::optional<uint8_t> TModuleOBD::Ack(const TAdapterCommand &cmd)
{
    const std::array<uint8_t, 1> param{cmd.param};
    return Ack(cmd, param);
}

bool TModuleOBD::QueryPresence()
{
    const std::array<uint8_t, 1> param{obd_cmd::kPresence.param};
    // Asked while the adapter answers: the function itself is what is found.
    if (!ParentModule->IsConnected())
        return false;
    std::vector<uint8_t> answer(obd_cmd::kPresence.answerLength, 0);
    const std::array<uint8_t, 2> request{obd_cmd::kPresence.code, param[0]};
    if (!Exchange(request, answer))
        return false;
    return (answer[2] & kPresentBit) != 0;
}

void TModuleOBD::Detect()
{
    SetDeviceCompatible(QueryPresence());
    if (!IsConnected())
        return;
    ReadStatus();
    ReadConfig();
    ReadPids();
    ReadAllows();
    ReadTroubleState();
}

bool TModuleOBD::AdaptationReadsActive() const
{
    return ControllerReadsAdaptation && ControllerReadsAdaptation() && uiState_.IsAdaptationEnabled.GetAsBoolean();
}

void TModuleOBD::WorkStep()
{
    TManager &m = Manager();
    if (m.InPollSet(TPollGroup::ObdStatus)) {
        ReadStatus();
        if (devState_.IsCarConnected()) {
            ReadPids();
            ReadAllows();
        }
    }
    if (m.InPollSet(TPollGroup::ObdLiveData) && devState_.IsCarConnected()) {
        const bool adaptation = AdaptationReadsActive();
        if (adaptation)
            adapter_.StartLiveRead();
        ReadLive();
        const auto any = [this](const int(&pids)[4]) {
            for (int p : pids)
                if (devState_.PidSupported(p))
                    return true;
            return false;
        };
        if (any(kLambdaPids))
            ReadLambda();
        if (any(kWidePids))
            ReadWideLambda();
        if (adaptation)
            for (int i = 0; i < kLiveStatusTries; ++i)
                if (adapter_.LiveReadStatus() == adapter_cmd::kLiveDone)
                    break;
    }
    if (m.InPollSet(TPollGroup::ObdTroubleCodes) && devState_.IsCarConnected())
        ReadTroubleState();
}

bool TModuleOBD::ReadConfig()
{
    const std::array<uint8_t, 1> p{obd_cmd::kReadConfig.param};
    const auto a = Query(obd_cmd::kReadConfig, p);
    return a && DecodeOBDConfigAnswer(*a, devState_);
}

bool TModuleOBD::WriteConfig(std::span<const uint8_t, kObdConfigBlockSize> block)
{
    return Ack(obd_cmd::kWriteConfig, block) == obd_cmd::kAccepted;
}

std::optional<uint8_t> TModuleOBD::StartDetect()
{
    return Ack(obd_cmd::kStartDetect);
}

std::optional<uint8_t> TModuleOBD::CancelDetect()
{
    return Ack(obd_cmd::kCancelDetect);
}

std::optional<uint8_t> TModuleOBD::TakeDetected()
{
    return Ack(obd_cmd::kTakeDetected);
}

std::optional<uint8_t> TModuleOBD::Connect(uint8_t protocol)
{
    std::array<uint8_t, 1 + obd_cmd::kConnectTail.size()> params{protocol};
    std::copy(obd_cmd::kConnectTail.begin(), obd_cmd::kConnectTail.end(), params.begin() + 1);
    return Ack(obd_cmd::kConnect, params);
}

std::optional<uint8_t> TModuleOBD::Disconnect()
{
    return Ack(obd_cmd::kDisconnect);
}

bool TModuleOBD::ReadStatus()
{
    const std::array<uint8_t, 1> p{obd_cmd::kStatus.param};
    const auto a = Query(obd_cmd::kStatus, p, true);
    return a && DecodeOBDStatus(*a, devState_);
}

bool TModuleOBD::ReadPids()
{
    const std::array<uint8_t, 1> p{obd_cmd::kReadPids.param};
    const auto a = Query(obd_cmd::kReadPids, p);
    const bool ok = a && DecodeOBDPidBytes(*a, devState_.Pids);
    devState_.RefreshLiveTexts();
    return ok;
}

bool TModuleOBD::ReadAllows()
{
    const std::array<uint8_t, 1> p{obd_cmd::kReadAllows.param};
    const auto a = Query(obd_cmd::kReadAllows, p);
    const bool ok = a && DecodeOBDPidBytes(*a, devState_.Allows);
    devState_.RefreshLiveTexts();
    return ok;
}

std::optional<uint8_t> TModuleOBD::WriteAllows(std::span<const uint8_t, kObdPidBytes> allows)
{
    return Ack(obd_cmd::kWriteAllows, allows);
}

bool TModuleOBD::ReadLive()
{
    const std::array<uint8_t, 1> p{obd_cmd::kLive.param};
    const auto a = Query(obd_cmd::kLive, p);
    return a && DecodeOBDLive(*a, devState_);
}

bool TModuleOBD::ReadTroubleState()
{
    const std::array<uint8_t, 1> p{obd_cmd::kTroubleState.param};
    const auto a = Query(obd_cmd::kTroubleState, p);
    return a && DecodeOBDTroubleState(*a, devState_);
}

std::optional<uint8_t> TModuleOBD::ClearCodes()
{
    return Ack(obd_cmd::kClearCodes);
}

std::optional<uint8_t> TModuleOBD::RequestRead(uint8_t mask)
{
    const std::array<uint8_t, 1> p{mask};
    return Ack(obd_cmd::kRequestRead, p);
}

bool TModuleOBD::ReadCodes(bool pending)
{
    const TAdapterCommand &cmd = pending ? obd_cmd::kPendingCodes : obd_cmd::kRecordedCodes;
    const std::array<uint8_t, 1> p{cmd.param};
    const auto a = Query(cmd, p);
    return a && DecodeOBDCodes(*a, pending, devState_);
}

bool TModuleOBD::ReadFreezeFrames()
{
    const std::array<uint8_t, 1> p{obd_cmd::kFreezeFrames.param};
    const auto a = Query(obd_cmd::kFreezeFrames, p);
    return a && DecodeOBDFreezeFrames(*a, devState_);
}

std::optional<uint8_t> TModuleOBD::Acknowledge(uint8_t value)
{
    const std::array<uint8_t, 1> p{value};
    return Ack(obd_cmd::kAcknowledge, p);
}

bool TModuleOBD::ReadLambda()
{
    const std::array<uint8_t, 1> p{obd_cmd::kLambda.param};
    const auto a = Query(obd_cmd::kLambda, p);
    return a && DecodeOBDLambda(*a, devState_);
}

bool TModuleOBD::ReadWideLambda()
{
    const std::array<uint8_t, 1> p{obd_cmd::kWideLambda.param};
    const auto a = Query(obd_cmd::kWideLambda, p);
    return a && DecodeOBDWideLambda(*a, devState_);
}

bool TModuleOBD::ReadItem(uint8_t item)
{
    // Only the delayed-connect counter has a variable of its own here.
    if (item != obd_cmd::kItemDelayConnectCounter)
        return false;
    const std::array<uint8_t, 1> p{item};
    const auto a = Query(obd_cmd::kReadItem, p);
    return a && DecodeOBDItem(*a, *devState_.DelayConnectCounter);
}

std::optional<uint8_t> TModuleOBD::WriteCorrections(int bank, int half)
{
    std::array<uint8_t, 1 + kObdAdaptHalfRows * kObdAdaptColumns> params{};
    params[0] = static_cast<uint8_t>(bank * kBankShift + half);
    const auto data = OBDCorrectionHalf(devState_, bank, half);
    std::copy(data.begin(), data.end(), params.begin() + 1);
    return Ack(obd_cmd::kWriteCorrections, params);
}

std::optional<uint8_t> TModuleOBD::ResetAdaptation(uint8_t which)
{
    const std::array<uint8_t, 1> p{which};
    return Ack(obd_cmd::kResetAdaptation, p);
}

// --- TLogicOBD ---

bool TLogicOBD::ReadOBDConfig()
{
    const bool ok = module_.ReadConfig();
    module_.AppLogic().UIState().CopyFromDevState(Obd(), kCopyParams);
    return ok;
}

bool TLogicOBD::WriteOBDConfig()
{
    TModuleOBD &m = module_;
    if (!m.IsConnected())
        return false;
    if (!m.DevState().IsIdleState()) {
        m.Disconnect();
        if (Wait)
            Wait(kDisconnectPauseMs);
    }
    return m.WriteConfig(BuildOBDConfigBlock(m.DevState()));
}

bool TLogicOBD::WriteAdaptCorrections()
{
    for (std::size_t bank = 1; bank <= kBanks; ++bank)
        for (std::size_t half = 0; half < kHalves; ++half)
            if (module_.WriteCorrections(static_cast<int>(bank), static_cast<int>(half)) != obd_cmd::kAccepted)
                return false;
    return true;
}

bool TLogicOBD::WriteOBDDefaults(bool ask, TModuleQuestions *questions, bool withCorrections)
{
    TModuleOBD &m = module_;
    if (!m.IsConnected())
        return false;
    if (ask && (questions == nullptr ||
                !questions->OkCancel(
                    TranslateEnglish("Caution! Program will write default OBD configuration into Adapter. Save?"))))
        return false;
    TLogic &app = m.AppLogic();
    app.BeginDeviceOperation();
    TUIState &ui = app.UIState();
    ui.SetDefaults(Obd());
    ui.CopyToDevState(Obd(), kCopyParams);
    bool ok = WriteOBDConfig();
    if (withCorrections && ok)
        ok = WriteAdaptCorrections();
    app.EndDeviceOperation();
    return ok;
}

bool TLogicOBD::ConnectButton()
{
    TModuleOBD &m = module_;
    TUIState &ui = m.AppLogic().UIState();
    const bool idle = m.DevState().IsIdleState();
    if (idle && m.UIState().Protocol.GetAsInteger() < kProtocolUnset)
        return false; // the window points at the protocol list instead
    m.AppLogic().BeginDeviceOperation();
    std::optional<uint8_t> answer;
    if (idle) {
        ui.CopyToDevState(Obd(), kCopyParams);
        answer = m.Connect(static_cast<uint8_t>(m.DevState().Protocol.GetAsInteger()));
    } else if (!m.DevState().IsDisconnecting()) {
        answer = m.Disconnect();
    }
    m.ReadStatus();
    ui.CopyFromDevState(Obd(), kCopyPlain);
    m.AppLogic().EndDeviceOperation();
    return answer == obd_cmd::kAccepted;
}

bool TLogicOBD::DetectButton()
{
    TModuleOBD &m = module_;
    m.AppLogic().BeginDeviceOperation();
    const auto answer = m.DevState().IsDetectingState() ? m.CancelDetect() : m.StartDetect();
    m.ReadStatus();
    TUIState &ui = m.AppLogic().UIState();
    ui.CopyFromDevState(Obd(), kCopyPlain);
    ui.SetModified(false);
    m.AppLogic().EndDeviceOperation();
    return answer.has_value();
}

std::optional<uint8_t> TLogicOBD::TakeDetectionResult()
{
    TModuleOBD &m = module_;
    const auto code = m.TakeDetected();
    if (code && *code != 0)
        m.UIState().Protocol.SetAsInteger(*code);
    return code;
}

bool TLogicOBD::WriteEdited()
{
    TModuleOBD &m = module_;
    TUIState &ui = m.AppLogic().UIState();
    m.AppLogic().BeginDeviceOperation();
    ui.CopyToDevState(Obd(), kCopyParams);
    const bool ok = WriteOBDConfig();
    if (ok) {
        ui.SetModified(false);
        ReadOBDConfig();
        ui.SetModified(false);
    }
    m.AppLogic().EndDeviceOperation();
    return ok;
}

bool TLogicOBD::ResetAdaptation(uint8_t which)
{
    return module_.ResetAdaptation(which) == obd_cmd::kAccepted;
}

bool TLogicOBD::ReadDelayConnectCounter()
{
    TModuleOBD &m = module_;
    const bool ok = m.ReadItem(obd_cmd::kItemDelayConnectCounter);
    m.AppLogic().UIState().CopyFromDevState(Obd(), kCopyPlain);
    return ok;
}

} // namespace lumex
