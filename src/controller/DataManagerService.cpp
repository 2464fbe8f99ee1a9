// Service commands of TDataManager: work types, autocalibration state,
// trouble codes and the error log, lock and unlock, raw memory, outputs,
// injector test and the programming-PC record.
#include "controller/DataManager.h"

#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"
#include "controller/ComputerCode.h"
#include "controller/PasswordRules.h"

namespace lumex {

bool TDataManager::SetWorkType(TWorkType workType)
{
    // Switching the fuel must stay possible on a locked controller.
    const bool ok = Transact(cmd::SetWorkType, {static_cast<uint8_t>(workType)}, nullptr);
    if (ok && BecomesRequestedWorkType(workType))
        RequestedWorkType = workType;
    return ok;
}

bool TDataManager::ReadCalibrationState(bool g3)
{
    return Transact(cmd::ReadCalibrationState, {cmd::ReadCalibrationState},
                    [this, g3](TAnswerBytes b) { DecodeCalibrationState(b, g3, data_); });
}

bool TDataManager::ReadTroubleFlags()
{
    return Transact(cmd::ReadTroubleFlags, {cmd::ReadTroubleFlags},
                    [this](TAnswerBytes b) { DecodeTroubleFlags(b, data_); });
}

bool TDataManager::ClearTroubleCodes()
{
    return TransactWrite(cmd::ClearTroubleCodes, {cmd::ClearTroubleCodes});
}

bool TDataManager::ReadErrorLogRecord(unsigned slot)
{
    if (slot >= kErrorLogSlots)
        return false;
    return Transact(cmd::ReadErrorLogRecord, {static_cast<uint8_t>(slot)},
                    [this, slot](TAnswerBytes b) { DecodeErrorLogRecord(slot, b, data_); });
}

unsigned TDataManager::ReadErrorLog()
{
    unsigned slot = 0;
    while (slot < kErrorLogSlots && ReadErrorLogRecord(slot))
        ++slot;
    return slot;
}

bool TDataManager::LockDevice(uint32_t password)
{
    const auto p = PasswordBytes(password);
    // A failed lock leaves the lock state as it was.
    return Transact(cmd::LockDevice, {p[0], p[1], p[2], p[3]}, [this](TAnswerBytes b) {
        if (LinkUp)
            DecodeLockState(b, data_);
    });
}

bool TDataManager::UnlockDevice(uint32_t password)
{
    const auto p = PasswordBytes(password);
    return Transact(cmd::UnlockDevice, {p[0], p[1], p[2], p[3]}, [this](TAnswerBytes b) {
        if (LinkUp)
            DecodeLockState(b, data_);
    });
}

bool TDataManager::ReadLockStateB()
{
    return Transact(cmd::ReadLockState, {0x01}, [this](TAnswerBytes b) { DecodeLockState(b, data_); });
}

uint8_t TDataManager::ReadMemByte(uint16_t address)
{
    uint8_t value = 0;
    const auto a = BigEndian16(address);
    const bool ok =
        Transact(cmd::ReadMemByte, {a[0], a[1]}, [&value](TAnswerBytes b) { value = DecodeMemByte(b).value_or(0); });
    return ok ? value : 0;
}

std::optional<uint8_t> TDataManager::TryReadMemByte(uint16_t address)
{
    std::optional<uint8_t> value;
    const auto a = BigEndian16(address);
    const bool ok = Transact(cmd::ReadMemByte, {a[0], a[1]}, [&value](TAnswerBytes b) { value = DecodeMemByte(b); });
    return ok ? value : std::nullopt;
}

std::optional<uint16_t> TDataManager::TryReadMemWord(uint16_t address)
{
    std::optional<uint16_t> value;
    const auto a = BigEndian16(address);
    const bool ok = Transact(cmd::ReadMemWord, {a[0], a[1]}, [&value](TAnswerBytes b) { value = DecodeMemWord(b); });
    return ok ? value : std::nullopt;
}

bool TDataManager::WriteMemWord(uint16_t address, uint16_t value)
{
    const auto a = BigEndian16(address);
    const auto v = BigEndian16(value);
    return TransactWrite(cmd::WriteMemWord, {a[0], a[1], v[0], v[1]});
}

bool TDataManager::WriteMemByte(uint16_t address, uint8_t value)
{
    const auto a = BigEndian16(address);
    return TransactWrite(cmd::WriteMemByte, {a[0], a[1], value});
}

bool TDataManager::ValveAction(uint8_t action)
{
    lastRefusal_ = TWriteRefusal::None;
    if (action < 1 || action > 3)
        return Refuse(TWriteRefusal::InvalidValue);
    return TransactWrite(cmd::ValveAction, {action});
}

bool TDataManager::WriteEmulatorSwitches(uint8_t mask)
{
    return TransactWrite(cmd::WriteEmulatorSwitches, {mask});
}

bool TDataManager::ReadEmulatorSwitches()
{
    return Transact(cmd::ReadEmulatorSwitches, {0x00}, [this](TAnswerBytes b) { DecodeEmulatorSwitches(b, data_); });
}

bool TDataManager::ReadInjSystemDetect(unsigned half)
{
    if (half != 1 && half != 2)
        return false;
    return Transact(cmd::ReadInjSystemDetect, {static_cast<uint8_t>(half)},
                    [this, half](TAnswerBytes b) { DecodeInjSystemDetect(half, b, data_); });
}

bool TDataManager::ReadInjTestCounters()
{
    return Transact(cmd::ReadInjTestCounters, {0x00}, [this](TAnswerBytes b) { DecodeInjTestCounters(b, data_); });
}

bool TDataManager::ReadInjTestValues()
{
    return Transact(cmd::ReadInjTestValues, {0x00}, [this](TAnswerBytes b) { DecodeInjTestValues(b, data_); });
}

bool TDataManager::StartInjTest(uint8_t mask)
{
    return TransactWrite(cmd::StartInjTest, {mask});
}

bool TDataManager::ReadComputerCodes()
{
    return Transact(cmd::ReadComputerCodes, {0x00}, [this](TAnswerBytes b) { DecodeComputerCodes(b, data_); });
}

bool TDataManager::WriteComputerCode(uint32_t code, uint32_t dateCode)
{
    const auto c = BigEndian32(code);
    const auto d = BigEndian32(dateCode);
    return TransactWrite(cmd::WriteComputerCode, {c[0], c[1], c[2], c[3], d[0], d[1], d[2], d[3]});
}

bool TDataManager::RecordProgrammingPc()
{
    return WriteComputerCode(ThisComputerCode(), DateCode(LocalTime()));
}

} // namespace lumex
