#include "sim/controller/ControllerModel.h"

#include "controller/CommandCodes.h"
#include "sim/controller/CommandSet.h"
#include "sim/controller/FactoryDefaults.h"

#include <cstdio>

namespace sim {

namespace {

constexpr std::size_t kKeptViolations = 1000;

std::string Hex(uint8_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string Join(const std::string &a, const std::string &b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + "; " + b;
}

// The fixed-form parameter byte of a read, or empty when it is right.
std::string ParamFormViolation(const lumex::CommandInfo &entry, uint8_t param)
{
    switch (entry.param) {
    case lumex::ParamKind::RepeatCode:
        if (param != entry.code)
            return "read " + Hex(entry.code) + " must repeat its code as parameter, got " + Hex(param);
        break;
    case lumex::ParamKind::Zero:
        if (param != 0)
            return "read " + Hex(entry.code) + " takes parameter 0x00, got " + Hex(param);
        break;
    case lumex::ParamKind::A5:
        if (param != 0xA5)
            return "read " + Hex(entry.code) + " takes parameter 0xA5, got " + Hex(param);
        break;
    case lumex::ParamKind::Index:
    case lumex::ParamKind::Data:
        break;
    }
    return {};
}

} // namespace

ControllerModel::ControllerModel(ControllerIdentity id, uint32_t seed)
    : id_(std::move(id)), seed_(seed), store_(FactoryStore(id_)), engine_(seed)
{
}

uint8_t ControllerModel::StartByte() const
{
    return lumex::kRequestStart;
}

Scan ControllerModel::ScanFrame(std::span<const uint8_t> buffer) const
{
    if (buffer.empty() || buffer[0] != lumex::kRequestStart)
        return {ScanResult::Invalid, 0};
    if (buffer.size() < 2)
        return {ScanResult::NeedMore, 0};
    std::size_t length = 0;
    if (buffer[1] == kJumpToBootloader) {
        length = kJumpRequestLength;
    } else if (const auto *entry = lumex::FindCommand(buffer[1])) {
        length = entry->requestLength;
    } else {
        return {ScanResult::Invalid, 0};
    }
    if (buffer.size() < length)
        return {ScanResult::NeedMore, length};
    return {ScanResult::Complete, length};
}

Reply ControllerModel::Answer(std::span<const uint8_t> frame)
{
    std::lock_guard lock(mutex_);
    Reply reply = AnswerLocked(frame);
    if (!reply.violation.empty())
        Record(reply.violation);
    return reply;
}

void ControllerModel::Record(const std::string &violation)
{
    ++violationCount_;
    violations_.push_back(violation);
    if (violations_.size() > kKeptViolations)
        violations_.pop_front();
}

Reply ControllerModel::Ack(uint8_t code, uint8_t b2) const
{
    const auto *entry = lumex::FindCommand(code);
    AnswerFrame answer(code, entry != nullptr && code != kJumpToBootloader ? entry->answerLength : lumex::kAckLength);
    answer.Put8(2, b2);
    return {answer.Finish(), {}};
}

Reply ControllerModel::AnswerLocked(std::span<const uint8_t> frame)
{
    if (frame.size() < 4 || frame[0] != lumex::kRequestStart)
        return {{}, "malformed request of " + std::to_string(frame.size()) + " bytes"};
    const uint8_t code = frame[1];
    const lumex::CommandInfo *entry = lumex::FindCommand(code);
    const std::size_t expected = code == kJumpToBootloader ? kJumpRequestLength : (entry ? entry->requestLength : 0);
    if (expected == 0)
        return {{}, "unknown command " + Hex(code)};
    if (frame.size() != expected)
        return {{},
                "command " + Hex(code) + " sent with " + std::to_string(frame.size()) + " bytes, expected " +
                    std::to_string(expected)};
    const uint8_t sum = lumex::FrameSum(frame.first(frame.size() - 1));
    if (sum != frame.back())
        return {{}, "bad checksum on command " + Hex(code) + ": got " + Hex(frame.back()) + ", expected " + Hex(sum)};
    if (!Understands(id_, code))
        return {{}, WhyNotUnderstood(id_, code)};

    const Request req(frame);
    if (code == kJumpToBootloader) {
        service_.bootloaderRequested = true;
        Reply reply = Ack(code);
        if (req.Param(0) != 0x01)
            reply.violation = "jump to bootloader takes parameter 0x01, got " + Hex(req.Param(0));
        return reply;
    }
    const std::string form = ParamFormViolation(*entry, req.Param(0));
    if (IsGuardedWrite(code) && service_.lockState == lumex::kLockLocked) {
        Reply reply = Ack(code, service_.lockState);
        reply.violation = Join(form, "command " + Hex(code) + " sent to a locked controller; ignored");
        return reply;
    }
    Reply reply = Dispatch(code, req, entry->answerLength);
    reply.violation = Join(form, reply.violation);
    return reply;
}

Reply ControllerModel::Dispatch(uint8_t code, const Request &req, std::size_t length)
{
    switch (code) {
    case lumex::cmd::ReadVersionCode:
    case lumex::cmd::ReadCompileInfo:
    case lumex::cmd::ReadIdentByte:
        return IdentCommand(code, req, length);
    case lumex::cmd::ReadLiveData:
    case lumex::cmd::ReadLiveDataFull:
        StepLive();
        return LiveBlock(code, length);
    case lumex::cmd::ReadLiveDataHigh:
        return LiveExtension(length);
    case lumex::cmd::ReadPcol: {
        AnswerFrame answer(code, length);
        answer.Put8(2, engine_.Readings().pcol);
        return {answer.Finish(), {}};
    }
    case lumex::cmd::ReadCalRPM: {
        AnswerFrame answer(code, length);
        answer.Put16(2, engine_.Readings().rpmPeriod);
        return {answer.Finish(), {}};
    }
    case lumex::cmd::ReadLoadIndex:
        return LoadIndexAnswer(length);
    case lumex::cmd::ReadWordVar: {
        AnswerFrame answer(code, length);
        const uint8_t index = req.Param(0);
        answer.Put16(2, WordVar(index, true));
        return {answer.Finish(), index == 0 ? "word variable 0 does not exist" : ""};
    }
    case lumex::cmd::ReadBasicConfig:
    case lumex::cmd::WriteBasicConfig:
    case lumex::cmd::ReadModelBlock:
    case lumex::cmd::WriteInjectorParams:
    case lumex::cmd::ReadInjectorParams:
    case lumex::cmd::ReadLevelSensorA:
    case lumex::cmd::ReadLevelSensorB:
    case lumex::cmd::WriteLevelSensorA:
    case lumex::cmd::WriteLevelSensorB:
    case lumex::cmd::ReadInspection:
    case lumex::cmd::WriteInspection:
    case lumex::cmd::ReadInjCorr:
    case lumex::cmd::WriteInjCorr:
    case lumex::cmd::ReadCorrPcol:
    case lumex::cmd::WriteCorrPcol:
    case lumex::cmd::ReadModelPoints:
    case lumex::cmd::WriteModelPoints:
    case lumex::cmd::ReadCorrPressure:
    case lumex::cmd::WriteCorrPressure:
    case lumex::cmd::ReadCorrGasTemp:
    case lumex::cmd::WriteCorrGasTemp:
    case lumex::cmd::ReadBasicConfigG3:
    case lumex::cmd::WriteBasicConfigG3:
    case lumex::cmd::WriteCorrRPM:
    case lumex::cmd::ReadCorrRPM:
        return BlockCommand(code, req, length);
    case lumex::cmd::ReadByteParam:
    case lumex::cmd::WriteByteParam:
    case lumex::cmd::ReadModelParam:
    case lumex::cmd::WriteModelParam:
    case lumex::cmd::ReadWordParam:
    case lumex::cmd::WriteWordParam:
        return ParamCommand(code, req, length);
    case lumex::cmd::ReadMemWord:
    case lumex::cmd::WriteMemWord:
    case lumex::cmd::ReadMemByte:
    case lumex::cmd::WriteMemByte:
        return MemoryCommand(code, req, length);
    case lumex::cmd::ReadModel2SetB:
    case lumex::cmd::WriteModel2SetB:
    case lumex::cmd::ReadModel2SetA:
    case lumex::cmd::WriteModel2SetA:
    case lumex::cmd::ReadPetrolMapBlock:
    case lumex::cmd::ReadGasMapBlock:
    case lumex::cmd::ReadMapG3Row:
    case lumex::cmd::ReadMapG3RowB:
    case lumex::cmd::ClearMap:
    case lumex::cmd::WriteMapG3Row:
        return MapCommand(code, req, length);
    case lumex::cmd::ReadAdaptationInfo:
    case lumex::cmd::ReadAdaptationCorr:
    case lumex::cmd::WriteAdaptationCorr:
        return AdaptationCommand(code, req, length);
    case lumex::cmd::LockDevice:
    case lumex::cmd::UnlockDevice:
    case lumex::cmd::ReadLockState:
        return LockCommand(code, req, length);
    case lumex::cmd::ReadTroubleFlags:
    case lumex::cmd::ClearTroubleCodes:
    case lumex::cmd::ReadErrorLogRecord:
        return TroubleCommand(code, req, length);
    case lumex::cmd::SetWorkType:
        return WorkTypeCommand(req.Param(0));
    case lumex::cmd::ReadCalibrationState:
        return CalibrationAnswer(length);
    case lumex::cmd::ValveAction:
    case lumex::cmd::WriteEmulatorSwitches:
    case lumex::cmd::ReadEmulatorSwitches:
    case lumex::cmd::ReadInjSystemDetect:
        return OutputCommand(code, req, length);
    case lumex::cmd::ReadInjTestCounters:
    case lumex::cmd::ReadInjTestValues:
    case lumex::cmd::StartInjTest:
        return InjectorTestCommand(code, req, length);
    case lumex::cmd::ReadComputerCodes:
    case lumex::cmd::WriteComputerCode:
        return ComputerCodeCommand(code, req, length);
    default:
        return {{}, "command " + Hex(code) + " has no handler"};
    }
}

void ControllerModel::ResetLocked()
{
    store_ = FactoryStore(id_);
    service_ = ServiceState{};
    const CarModel car = engine_.Car();
    engine_.ReleaseAll();
    engine_.Car() = car;
    engine_.Reset(seed_);
    lastSystemState_ = kStateOff;
    gasSteps_ = 0;
}

ControllerIdentity ControllerModel::Identity() const
{
    std::lock_guard lock(mutex_);
    return id_;
}

void ControllerModel::SetIdentity(const ControllerIdentity &id)
{
    std::lock_guard lock(mutex_);
    id_ = id;
    ResetLocked();
}

void ControllerModel::ResetToFactory()
{
    std::lock_guard lock(mutex_);
    ResetLocked();
}

ParameterStore ControllerModel::Store() const
{
    std::lock_guard lock(mutex_);
    return store_;
}

void ControllerModel::EditStore(const std::function<void(ParameterStore &)> &edit)
{
    std::lock_guard lock(mutex_);
    edit(store_);
}

uint8_t ControllerModel::LockState() const
{
    std::lock_guard lock(mutex_);
    return service_.lockState;
}

void ControllerModel::SetLockState(uint8_t state)
{
    std::lock_guard lock(mutex_);
    service_.lockState = state;
}

void ControllerModel::SetPassword(uint32_t password)
{
    std::lock_guard lock(mutex_);
    service_.password = password;
}

uint32_t ControllerModel::Password() const
{
    std::lock_guard lock(mutex_);
    return service_.password;
}

void ControllerModel::RaiseTrouble(int group, int digit)
{
    std::lock_guard lock(mutex_);
    RaiseTroubleLocked(group, digit);
}

void ControllerModel::ClearActiveTroubles()
{
    std::lock_guard lock(mutex_);
    std::fill(store_.troubleFlags.begin(), store_.troubleFlags.begin() + 8, 0);
}

std::array<uint8_t, 16> ControllerModel::TroubleFlags() const
{
    std::lock_guard lock(mutex_);
    return store_.troubleFlags;
}

void ControllerModel::SetEngine(EnginePhase phase)
{
    std::lock_guard lock(mutex_);
    engine_.HoldPhase(phase);
}

void ControllerModel::RunEngineScript()
{
    std::lock_guard lock(mutex_);
    engine_.RunScript();
}

void ControllerModel::SetReading(Channel channel, int value)
{
    std::lock_guard lock(mutex_);
    engine_.Override(channel, value);
}

void ControllerModel::ReleaseReading(Channel channel)
{
    std::lock_guard lock(mutex_);
    engine_.Release(channel);
}

void ControllerModel::StepEngine(int steps)
{
    std::lock_guard lock(mutex_);
    for (int i = 0; i < steps; ++i)
        StepLive();
}

LiveReadings ControllerModel::Readings() const
{
    std::lock_guard lock(mutex_);
    return engine_.Readings();
}

CarModel ControllerModel::Car() const
{
    std::lock_guard lock(mutex_);
    return engine_.Car();
}

void ControllerModel::SetCar(const CarModel &car)
{
    std::lock_guard lock(mutex_);
    engine_.Car() = car;
}

CalibrationReport ControllerModel::Calibration() const
{
    std::lock_guard lock(mutex_);
    return service_.calibration.Report();
}

uint8_t ControllerModel::WorkState() const
{
    std::lock_guard lock(mutex_);
    return service_.WorkState();
}

uint8_t ControllerModel::EmulatorMask() const
{
    std::lock_guard lock(mutex_);
    return service_.emulatorMask;
}

bool ControllerModel::ValveOpen() const
{
    std::lock_guard lock(mutex_);
    return service_.valveOpen;
}

bool ControllerModel::BootloaderRequested() const
{
    std::lock_guard lock(mutex_);
    return service_.bootloaderRequested;
}

void ControllerModel::SetMapCollection(bool on)
{
    std::lock_guard lock(mutex_);
    service_.collectMap = on;
}

uint16_t ControllerModel::WordVariable(uint8_t index) const
{
    std::lock_guard lock(mutex_);
    return const_cast<ControllerModel *>(this)->WordVar(index, false);
}

std::vector<std::string> ControllerModel::Violations() const
{
    std::lock_guard lock(mutex_);
    return {violations_.begin(), violations_.end()};
}

std::size_t ControllerModel::ViolationCount() const
{
    std::lock_guard lock(mutex_);
    return violationCount_;
}

void ControllerModel::ClearViolations()
{
    std::lock_guard lock(mutex_);
    violations_.clear();
    violationCount_ = 0;
}

} // namespace sim
