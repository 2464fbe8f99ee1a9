// Identification operations of TDataManager.
#include "controller/DataManager.h"

#include "controller/CommandCodes.h"
#include "controller/LockState.h"
#include "controller/Version.h"
#include "profile/ProgramProfile.h"

namespace lumex {

bool TDataManager::ReadVersionCode()
{
    // Clearing the code first lets the request reach the wire even while
    // the link is down: this is how a lost controller is found again.
    data_.VersionCode = 0;
    return Transact(cmd::ReadVersionCode, {cmd::ReadVersionCode},
                    [this](TAnswerBytes b) { DecodeVersionCode(b, data_); });
}

bool TDataManager::ReadCompileInfo()
{
    return Transact(cmd::ReadCompileInfo, {cmd::ReadCompileInfo},
                    [this](TAnswerBytes b) { DecodeCompileInfo(b, data_); });
}

bool TDataManager::ReadIdentByte(uint8_t index)
{
    if (data_.VersionCode == 0 && !LinkUp)
        return false;
    return Transact(cmd::ReadIdentByte, {index}, [this, index](TAnswerBytes b) { DecodeIdentByte(index, b, data_); });
}

bool TDataManager::ReadIdentification()
{
    for (uint8_t index = 0; index <= 4; ++index)
        ReadIdentByte(index);
    if (data_.VersionCode == kVersion30) {
        ReadIdentByte(5);
        ReadIdentByte(6);
    } else {
        // Other generations have no extra version; a value left from an
        // earlier controller must not show.
        data_.ExtraVersion = 255;
    }
    bool usa = false;
    if (data_.IdentByte3 != 0) {
        const std::optional<uint16_t> market = ReadWordVarForStore(26);
        usa = market && LinkUp && *market < 95;
    }
    data_.UsaFlag = usa ? 1 : 0;
    return LinkUp;
}

bool TDataManager::CheckVersion(bool showMessage)
{
    bool supported = false;
    if (LinkUp) {
        if (data_.VersionCode == 0)
            ReadVersionCode();
        ReadIdentByte(0);
        supported = profile_->AcceptsGeneration(data_.VersionCode);
    }
    SetLinkUp(supported && data_.VersionCode != 0);
    if (showMessage && !supported && data_.VersionCode != 0 && OnUnsupportedVersion)
        OnUnsupportedVersion(VersionDigits(data_.VersionCode));
    return supported;
}

std::string TDataManager::ControllerSerial()
{
    const uint16_t date = ReadMemWord(84);
    const uint16_t low = ReadMemWord(88);
    const uint16_t high = ReadMemWord(90);
    return ControllerSerialText(date, low, high, data_.PcCompatCode);
}

bool TDataManager::ReadLockState()
{
    data_.LockState = kLockNoAnswer;
    if (!LinkUp)
        return false;
    return Transact(cmd::ReadLockState, {0x00}, [this](TAnswerBytes b) { DecodeLockState(b, data_); });
}

uint16_t TDataManager::ReadMemWord(uint16_t address)
{
    uint16_t value = 0;
    const bool ok =
        Transact(cmd::ReadMemWord, {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF)},
                 [&value](TAnswerBytes b) { value = DecodeMemWord(b).value_or(0); });
    return ok ? value : 0;
}

} // namespace lumex
