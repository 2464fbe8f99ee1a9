// Indexed parameters of TDataManager (byte, word and model parameters), and
// the write guard every changing command goes through.
#include "controller/DataManager.h"

#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"
#include "controller/LockState.h"
#include "controller/ParamTables.h"

namespace lumex {

bool TDataManager::WritesAllowed() const
{
    return data_.LockState == kLockUnlocked;
}

bool TDataManager::Refuse(TWriteRefusal why)
{
    lastRefusal_ = why;
    return false;
}

bool TDataManager::TransactWrite(uint8_t code, std::span<const uint8_t> params)
{
    lastRefusal_ = TWriteRefusal::None;
    if (!WritesAllowed())
        return Refuse(TWriteRefusal::Locked);
    if (RequestsSuppressed())
        lastRefusal_ = TWriteRefusal::LinkDown;
    return Transact(code, params, nullptr);
}

bool TDataManager::ReadByteParam(uint8_t index, uint8_t *value)
{
    if (index == 0)
        return false;
    const bool ok = Transact(cmd::ReadByteParam, {index}, [this, index, value](TAnswerBytes b) {
        if (const auto v = DecodeByteParam(b)) {
            StoreByteParam(index, *v, data_);
            if (value != nullptr)
                *value = *v;
        }
    });
    return ok;
}

bool TDataManager::WriteByteParam(uint8_t index, uint8_t value)
{
    lastRefusal_ = TWriteRefusal::None;
    if (index == 0)
        return Refuse(TWriteRefusal::InvalidValue);
    return TransactWrite(cmd::WriteByteParam, {index, value});
}

bool TDataManager::WriteByteParam(uint8_t index)
{
    const auto value = ByteParamValue(index, data_);
    if (!value)
        return Refuse(TWriteRefusal::InvalidValue);
    return WriteByteParam(index, *value);
}

bool TDataManager::ReadWordParam(uint8_t index, uint16_t *value)
{
    if (index == 0)
        return false;
    return Transact(cmd::ReadWordParam, {index}, [this, index, value](TAnswerBytes b) {
        if (const auto v = DecodeWordParam(b)) {
            StoreWordParam(index, *v, data_);
            if (value != nullptr)
                *value = *v;
        }
    });
}

bool TDataManager::WriteWordParam(uint8_t index, uint16_t value)
{
    lastRefusal_ = TWriteRefusal::None;
    if (index == 0)
        return Refuse(TWriteRefusal::InvalidValue);
    const auto w = BigEndian16(value);
    return TransactWrite(cmd::WriteWordParam, {index, w[0], w[1]});
}

bool TDataManager::WriteWordParam(uint8_t index)
{
    const auto value = WordParamValue(index, data_);
    if (!value)
        return Refuse(TWriteRefusal::InvalidValue);
    return WriteWordParam(index, *value);
}

bool TDataManager::ReadModelParam(uint8_t index, uint16_t *wire)
{
    if (index == 0)
        return false;
    return Transact(cmd::ReadModelParam, {index}, [this, index, wire](TAnswerBytes b) {
        if (const auto v = DecodeModelParam(b)) {
            StoreModelParam(index, *v, data_);
            if (wire != nullptr)
                *wire = *v;
        }
    });
}

bool TDataManager::WriteModelParam(uint8_t index, uint16_t wire)
{
    lastRefusal_ = TWriteRefusal::None;
    // An index the controller does not know would be written as garbage.
    if (!IsKnownModelParam(index))
        return Refuse(TWriteRefusal::InvalidValue);
    const auto w = BigEndian16(wire);
    return TransactWrite(cmd::WriteModelParam, {index, w[0], w[1]});
}

bool TDataManager::WriteModelParam(uint8_t index)
{
    const auto wire = ModelParamValue(index, data_);
    if (!wire)
        return Refuse(TWriteRefusal::InvalidValue);
    return WriteModelParam(index, *wire);
}

} // namespace lumex
