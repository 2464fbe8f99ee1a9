// Configuration blocks and the small records of TDataManager: the basic
// configuration of each generation, the level-sensor tables, the injector
// record and the inspection settings.
#include "controller/DataManager.h"

#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"

namespace lumex {

bool TDataManager::ReadBasicConfig()
{
    return Transact(cmd::ReadBasicConfig, {cmd::ReadBasicConfig},
                    [this](TAnswerBytes b) { DecodeBasicConfig(b, data_); });
}

bool TDataManager::WriteBasicConfig()
{
    const auto payload = EncodeBasicConfig(data_);
    return TransactWrite(cmd::WriteBasicConfig, payload);
}

bool TDataManager::ReadBasicConfigG3()
{
    return Transact(cmd::ReadBasicConfigG3, {cmd::ReadBasicConfigG3},
                    [this](TAnswerBytes b) { DecodeBasicConfigG3(b, data_); });
}

bool TDataManager::WriteBasicConfigG3()
{
    const auto payload = EncodeBasicConfigG3(data_);
    const bool ok = TransactWrite(cmd::WriteBasicConfigG3, payload);
    // What the controller now holds is what was sent.
    if (ok)
        data_.ConfigG3Flags = {payload[0], payload[1], payload[2], payload[3]};
    return ok;
}

bool TDataManager::ReadLevelSensorA()
{
    return Transact(cmd::ReadLevelSensorA, {0x00}, [this](TAnswerBytes b) { DecodeLevelTable(false, b, data_); });
}

bool TDataManager::ReadLevelSensorB()
{
    return Transact(cmd::ReadLevelSensorB, {0x00}, [this](TAnswerBytes b) { DecodeLevelTable(true, b, data_); });
}

bool TDataManager::WriteLevelSensorA()
{
    const auto t = LevelTable(false, data_);
    return TransactWrite(cmd::WriteLevelSensorA, {t[0], t[1], t[2], t[3], 0x00});
}

bool TDataManager::WriteLevelSensorB()
{
    const auto t = LevelTable(true, data_);
    return TransactWrite(cmd::WriteLevelSensorB, {t[0], t[1], t[2], t[3], 0x00});
}

bool TDataManager::ReadInjectorParams()
{
    return Transact(cmd::ReadInjectorParams, {0x00}, [this](TAnswerBytes b) { DecodeInjectorParams(b, data_); });
}

bool TDataManager::WriteInjectorParams(const std::array<uint8_t, 12> &record)
{
    return TransactWrite(cmd::WriteInjectorParams, record);
}

bool TDataManager::ReadInspection()
{
    return Transact(cmd::ReadInspection, {0x00}, [this](TAnswerBytes b) { DecodeInspection(b, data_); });
}

bool TDataManager::WriteInspection()
{
    const auto next = BigEndian16(data_.NextInspection);
    return TransactWrite(cmd::WriteInspection, {data_.InspectionTimeDistRatio, next[0], next[1]});
}

} // namespace lumex
