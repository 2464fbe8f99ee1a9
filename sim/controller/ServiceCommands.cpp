// Identification, lock, trouble codes, work types, autocalibration,
// outputs, injector test and the programming-PC history.
#include "sim/Trace.h"
#include "sim/controller/ControllerModel.h"

#include "controller/CommandCodes.h"
#include "controller/WorkType.h"
#include "sim/controller/SensorCodes.h"

#include <algorithm>

namespace sim {

namespace {

void PutText(AnswerFrame &a, std::size_t k, const std::string &text, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
        a.Put8(k + i, i < text.size() ? static_cast<uint8_t>(text[i]) : ' ');
}

uint32_t LeastSignificantFirst(const Request &req)
{
    return static_cast<uint32_t>(req.Param(0)) | static_cast<uint32_t>(req.Param(1)) << 8 |
           static_cast<uint32_t>(req.Param(2)) << 16 | static_cast<uint32_t>(req.Param(3)) << 24;
}

} // namespace

Reply ControllerModel::IdentCommand(uint8_t code, const Request &req, std::size_t length) const
{
    AnswerFrame a(code, length);
    if (code == lumex::cmd::ReadVersionCode) {
        a.Put8(2, id_.versionCode);
        return {a.Finish(), {}};
    }
    if (code == lumex::cmd::ReadCompileInfo) {
        PutText(a, 2, id_.compileTime, 8);
        PutText(a, 10, id_.compileDate, 11);
        return {a.Finish(), {}};
    }
    const uint8_t index = req.Param(0);
    uint8_t value = 0;
    switch (index) {
    case 0:
        value = id_.letter;
        break;
    case 1:
        value = id_.variant;
        break;
    case 2:
        value = id_.identByte2;
        break;
    case 3:
        value = id_.identByte3;
        break;
    case 4:
        value = id_.pcCompatCode;
        break;
    case 5:
        value = service_.WorkState();
        break;
    case 6:
        value = id_.extraVersion;
        break;
    default:
        a.Put8(2, 0);
        return {a.Finish(), "identification byte " + std::to_string(index) + " does not exist (0..6)"};
    }
    a.Put8(2, value);
    return {a.Finish(), {}};
}

Reply ControllerModel::LockCommand(uint8_t code, const Request &req, std::size_t length)
{
    if (code == lumex::cmd::ReadLockState) {
        AnswerFrame a(code, length);
        a.Put8(2, service_.lockState);
        const uint8_t form = req.Param(0);
        return {a.Finish(), form > 1 ? "lock state request takes 0x00 or 0x01, got " + HexByte(form) : ""};
    }
    const uint32_t password = LeastSignificantFirst(req);
    if (code == lumex::cmd::LockDevice) {
        // Locking an already locked controller keeps the first password.
        if (service_.lockState != lumex::kLockLocked) {
            service_.password = password;
            service_.lockState = lumex::kLockLocked;
        }
    } else if (service_.lockState == lumex::kLockLocked && password == service_.password) {
        service_.lockState = lumex::kLockUnlocked;
    }
    return Ack(code, service_.lockState);
}

void ControllerModel::RaiseTroubleLocked(int group, int digit)
{
    if (group < 1 || group > 4 || digit < 1 || digit > 8)
        return;
    const auto bit = static_cast<uint8_t>(1u << (digit - 1));
    store_.troubleFlags[static_cast<std::size_t>(group - 1)] |= bit;
    store_.troubleFlags[static_cast<std::size_t>(8 + group - 1)] |= bit;

    const LiveReadings &r = engine_.Readings();
    ErrorRecord record{};
    record[0] = static_cast<uint8_t>(group - 1);
    record[1] = bit;
    record[2] = static_cast<uint8_t>(r.rpmPeriod >> 8);
    record[3] = static_cast<uint8_t>(r.rpmPeriod);
    record[4] = static_cast<uint8_t>(r.petrol[0] >> 8);
    record[5] = static_cast<uint8_t>(r.petrol[0]);
    record[6] = static_cast<uint8_t>(r.gas[0] >> 8);
    record[7] = static_cast<uint8_t>(r.gas[0]);
    record[8] = r.psys;
    record[9] = r.pcol;
    record[10] = r.tred;
    record[11] = r.tgas;
    record[12] = r.supply;
    record[13] = r.load;
    record[14] = r.lambda;
    record[15] = r.level;
    record[16] = r.systemState;
    record[17] = service_.WorkState();
    // Minutes on gas: a live step is about 200 ms.
    const auto minutes = static_cast<uint16_t>(std::min<uint64_t>(gasSteps_ / 300, 0xFFFF));
    record[18] = static_cast<uint8_t>(minutes >> 8);
    record[19] = static_cast<uint8_t>(minutes);

    const bool empty =
        std::all_of(store_.errorLog.begin(), store_.errorLog.end(), [](const ErrorRecord &e) { return e[0] == 0xFF; });
    if (!empty)
        store_.errorLogHead = static_cast<uint8_t>((store_.errorLogHead + 1) % store_.errorLog.size());
    store_.errorLog[store_.errorLogHead % store_.errorLog.size()] = record;
    // The last code's freeze-frame also sits in plain memory.
    for (std::size_t i = 0; i <= 12; ++i)
        store_.SetMemByte(mem::kFreezeFrame + i, record[i]);
}

Reply ControllerModel::TroubleCommand(uint8_t code, const Request &req, std::size_t length)
{
    AnswerFrame a(code, length);
    switch (code) {
    case lumex::cmd::ReadTroubleFlags:
        a.PutBytes(2, store_.troubleFlags);
        return {a.Finish(), {}};
    case lumex::cmd::ClearTroubleCodes:
        store_.troubleFlags.fill(0);
        for (std::size_t i = 0; i <= 12; ++i)
            store_.SetMemByte(mem::kFreezeFrame + i, i == 0 ? 0xFF : 0);
        for (auto &record : store_.errorLog) {
            record.fill(0);
            record[0] = 0xFF;
        }
        store_.errorLogHead = 0;
        return Ack(code);
    default: {
        const uint8_t slot = req.Param(0);
        a.Put8(2, store_.errorLogHead);
        if (slot >= store_.errorLog.size())
            return {a.Finish(), "error log slot " + std::to_string(slot) + " does not exist (0..9)"};
        a.PutBytes(3, store_.errorLog[slot]);
        return {a.Finish(), {}};
    }
    }
}

Reply ControllerModel::WorkTypeCommand(uint8_t workType)
{
    service_.lastWorkType = workType;
    std::string violation;
    using lumex::TWorkType;
    switch (static_cast<TWorkType>(workType)) {
    case TWorkType::Stop:
        service_.calibration.Stop();
        service_.injectorTest.Stop();
        service_.pressureTest.Stop();
        break;
    case TWorkType::Gas:
        engine_.SetFuelMode(FuelMode::Automatic);
        break;
    case TWorkType::Petrol:
    case TWorkType::PetrolImmediately:
    case TWorkType::PetrolSequential:
        engine_.SetFuelMode(FuelMode::Petrol);
        break;
    case TWorkType::StartAutocalibration:
        service_.calibration.Start(id_.IsLegacy(), SoftwareInjectors());
        break;
    case TWorkType::GasImmediately:
        engine_.SetFuelMode(FuelMode::GasImmediate);
        break;
    case TWorkType::AutocalibrationRunning: // the client confirms the running autocalibration
        break;
    case TWorkType::ContinueWithLoad:
        service_.calibration.ContinueWithLoad();
        break;
    case TWorkType::WorkingPressureTest:
        service_.pressureTest.Start();
        break;
    default:
        violation = "work type " + std::to_string(workType) + " does not exist";
        break;
    }
    return {Ack(lumex::cmd::SetWorkType).bytes, violation};
}

Reply ControllerModel::CalibrationAnswer(std::size_t length)
{
    CalibrationInputs in;
    const LiveReadings &r = engine_.Readings();
    const int injectors = std::max(SoftwareInjectors(), 1);
    long sum = 0;
    for (int i = 0; i < injectors; ++i)
        sum += r.petrol[i];
    in.tredRaw = r.tred;
    in.petrolTicks = static_cast<uint16_t>(sum / injectors);
    in.gasFactor = engine_.Car().gasFactor;
    in.offsetTicks = static_cast<int16_t>(store_.modelParams[2]);
    // While the controller waits for its conditions, the idling engine warms up.
    if (service_.calibration.Step(in))
        engine_.WarmReducer(4.0);
    if (service_.calibration.TakeFinished() && !id_.IsLegacy()) {
        const CalibrationReport &rep = service_.calibration.Report();
        // A run that ended without the load measured only the first point.
        const auto gasB = rep.timeB == 0
                              ? uint16_t{0}
                              : static_cast<uint16_t>(std::clamp<long>(
                                    static_cast<long>(rep.timeB * in.gasFactor + in.offsetTicks), 0, 0xFFFF));
        store_.modelPoints = {rep.timeA, rep.wordC, rep.timeB, gasB};
    }
    const CalibrationReport &rep = service_.calibration.Report();
    AnswerFrame a(lumex::cmd::ReadCalibrationState, length);
    a.Put8(2, static_cast<uint8_t>((r.systemState & 0x0F) << 4 | (rep.state & 0x0F)));
    if (id_.IsLegacy()) {
        a.Put16(3, rep.wordD);
        a.Put16(5, rep.wordE);
        a.Put16(7, r.rpmPeriod);
        a.Put8(11, rep.byte48);
    } else {
        a.Put16(3, rep.timeA);
        a.Put16(5, rep.wordC);
        a.Put16(7, rep.timeB);
        a.Put8(9, rep.phase);
    }
    a.Put8(10, rep.progress);
    return {a.Finish(), {}};
}

uint16_t ControllerModel::InjectionPhaseWord(int half) const
{
    if (!engine_.Running())
        return 0;
    const int injectors = SoftwareInjectors();
    const uint8_t kind = engine_.Car().petrolInjection;
    uint16_t word = 0;
    for (int k = 0; k < 4; ++k) {
        const int cylinder = (half - 1) * 4 + k;
        if (cylinder >= injectors)
            break;
        int phase = 1;
        if (kind == 1)
            phase = cylinder + 1;
        else if (kind == 2)
            phase = cylinder % std::max(injectors / 2, 1) + 1;
        word |= static_cast<uint16_t>((phase & 0x0F) << (4 * k));
    }
    return word;
}

Reply ControllerModel::OutputCommand(uint8_t code, const Request &req, std::size_t length)
{
    const uint8_t param = req.Param(0);
    AnswerFrame a(code, length);
    switch (code) {
    case lumex::cmd::ValveAction:
        if (param == 1)
            service_.valveOpen = true;
        else if (param == 2)
            service_.valveOpen = false;
        else if (param == 3)
            service_.injSystemLearned = false;
        else
            return {Ack(code).bytes, "valve action " + std::to_string(param) + " does not exist (1..3)"};
        return Ack(code);
    case lumex::cmd::WriteEmulatorSwitches:
        service_.emulatorMask = param;
        return Ack(code);
    case lumex::cmd::ReadEmulatorSwitches:
        a.Put8(2, service_.emulatorMask);
        return {a.Finish(), {}};
    default: // 0x3B
        a.Put8(2, param);
        if (param != 1 && param != 2)
            return {a.Finish(), "injection detection half " + std::to_string(param) + " does not exist (1 or 2)"};
        service_.injSystemLearned = true;
        a.Put16(3, InjectionPhaseWord(param));
        return {a.Finish(), param == 2 && SoftwareInjectors() <= 4
                                ? "injection detection of cylinders 5-8 with only four injectors"
                                : ""};
    }
}

Reply ControllerModel::InjectorTestCommand(uint8_t code, const Request &req, std::size_t length)
{
    auto &test = service_.injectorTest;
    AnswerFrame a(code, length);
    switch (code) {
    case lumex::cmd::ReadInjTestCounters:
        for (std::size_t i = 0; i < 8; ++i)
            a.Put32(2 + 4 * i, test.counters[i]);
        return {a.Finish(), {}};
    case lumex::cmd::ReadInjTestValues:
        test.Step(engine_.Car(), store_.injCorr);
        for (std::size_t i = 0; i < 8; ++i)
            a.Put16(2 + 2 * i, test.values[i]);
        a.PutBytes(18, test.bytes);
        return {a.Finish(), {}};
    default: // 0x92
        test.Start(req.Param(0), SoftwareInjectors());
        return Ack(code);
    }
}

Reply ControllerModel::ComputerCodeCommand(uint8_t code, const Request &req, std::size_t length)
{
    if (code == lumex::cmd::WriteComputerCode) {
        store_.newestComputerCode = static_cast<uint8_t>((store_.newestComputerCode + 1) % 5);
        store_.computerCodes[store_.newestComputerCode] = {req.ParamLong(0), req.ParamLong(4)};
        return Ack(code);
    }
    AnswerFrame a(code, length);
    for (std::size_t i = 0; i < 5; ++i) {
        a.Put32(2 + 8 * i, store_.computerCodes[i].code);
        a.Put32(6 + 8 * i, store_.computerCodes[i].date);
    }
    a.Put8(42, store_.newestComputerCode);
    return {a.Finish(), {}};
}

} // namespace sim
