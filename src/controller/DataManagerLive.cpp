// Live-reading operations of TDataManager.
#include "controller/DataManager.h"

namespace lumex {

bool TDataManager::ReadLiveData()
{
    const bool ok = Transact(0x05, {0x05}, [this](TAnswerBytes b) { DecodeLiveData(b, data_); });
    if (data_.InjSW < 5)
        return ok;
    const bool high = Transact(0x06, {0x06}, [this](TAnswerBytes b) { DecodeLiveDataHigh(b, data_); });
    return ok && high;
}

bool TDataManager::ReadLiveDataFull()
{
    return Transact(0x0B, {0x0B}, [this](TAnswerBytes b) { DecodeLiveDataFull(b, data_); });
}

bool TDataManager::ReadPcol()
{
    return Transact(0x22, {0x22}, [this](TAnswerBytes b) { DecodePcol(b, data_); });
}

bool TDataManager::ReadCalRPM()
{
    return Transact(0x50, {0x50}, [this](TAnswerBytes b) { DecodeCalRPM(b, data_); });
}

bool TDataManager::ReadLoadIndex()
{
    return Transact(0x64, {0xA5}, [this](TAnswerBytes b) { DecodeLoadIndex(b, data_); });
}

std::optional<uint16_t> TDataManager::ReadWordVarForStore(uint8_t index)
{
    if (index == 0)
        return std::nullopt;
    std::optional<uint16_t> value;
    Transact(0x40, {index}, [&value](TAnswerBytes b) { value = DecodeWordVar(b).value_or(0); });
    return value;
}

uint16_t TDataManager::ReadWordVar(uint8_t index)
{
    const std::optional<uint16_t> value = ReadWordVarForStore(index);
    return LinkUp ? value.value_or(0) : 0;
}

} // namespace lumex
