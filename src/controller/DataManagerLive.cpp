// Live-reading operations of TDataManager.
#include "controller/DataManager.h"

#include "controller/CommandCodes.h"

namespace lumex {

bool TDataManager::ReadLiveData()
{
    const bool ok =
        Transact(cmd::ReadLiveData, {cmd::ReadLiveData}, [this](TAnswerBytes b) { DecodeLiveData(b, data_); });
    if (data_.InjSW < 5)
        return ok;
    const bool high = Transact(cmd::ReadLiveDataHigh, {cmd::ReadLiveDataHigh},
                               [this](TAnswerBytes b) { DecodeLiveDataHigh(b, data_); });
    return ok && high;
}

bool TDataManager::ReadLiveDataFull()
{
    return Transact(cmd::ReadLiveDataFull, {cmd::ReadLiveDataFull},
                    [this](TAnswerBytes b) { DecodeLiveDataFull(b, data_); });
}

bool TDataManager::ReadPcol()
{
    return Transact(cmd::ReadPcol, {cmd::ReadPcol}, [this](TAnswerBytes b) { DecodePcol(b, data_); });
}

bool TDataManager::ReadCalRPM()
{
    return Transact(cmd::ReadCalRPM, {cmd::ReadCalRPM}, [this](TAnswerBytes b) { DecodeCalRPM(b, data_); });
}

bool TDataManager::ReadLoadIndex()
{
    return Transact(cmd::ReadLoadIndex, {0xA5}, [this](TAnswerBytes b) { DecodeLoadIndex(b, data_); });
}

std::optional<uint16_t> TDataManager::ReadWordVarForStore(uint8_t index)
{
    if (index == 0)
        return std::nullopt;
    std::optional<uint16_t> value;
    Transact(cmd::ReadWordVar, {index}, [&value](TAnswerBytes b) { value = DecodeWordVar(b).value_or(0); });
    return value;
}

uint16_t TDataManager::ReadWordVar(uint8_t index)
{
    const std::optional<uint16_t> value = ReadWordVarForStore(index);
    return LinkUp ? value.value_or(0) : 0;
}

} // namespace lumex
