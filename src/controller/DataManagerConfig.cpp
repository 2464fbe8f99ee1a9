// Configuration blocks and the small records of TDataManager: the basic
// configuration of each generation, the level-sensor tables, the injector
// record and the inspection settings.
#include "controller/DataManager.h"

#include "controller/BlockCodec.h"

namespace lumex {

bool TDataManager::ReadBasicConfig()
{
    return Transact(0x03, {0x03}, [this](TAnswerBytes b) { DecodeBasicConfig(b, data_); });
}

bool TDataManager::WriteBasicConfig()
{
    const auto payload = EncodeBasicConfig(data_);
    return TransactWrite(0x04, payload);
}

bool TDataManager::ReadBasicConfigG3()
{
    return Transact(0xD8, {0xD8}, [this](TAnswerBytes b) { DecodeBasicConfigG3(b, data_); });
}

bool TDataManager::WriteBasicConfigG3()
{
    const auto payload = EncodeBasicConfigG3(data_);
    const bool ok = TransactWrite(0xD9, payload);
    // What the controller now holds is what was sent.
    if (ok)
        data_.ConfigG3Flags = {payload[0], payload[1], payload[2], payload[3]};
    return ok;
}

bool TDataManager::ReadLevelSensorA()
{
    return Transact(0x35, {0x00}, [this](TAnswerBytes b) { DecodeLevelTable(false, b, data_); });
}

bool TDataManager::ReadLevelSensorB()
{
    return Transact(0x36, {0x00}, [this](TAnswerBytes b) { DecodeLevelTable(true, b, data_); });
}

bool TDataManager::WriteLevelSensorA()
{
    const auto t = LevelTable(false, data_);
    return TransactWrite(0x37, {t[0], t[1], t[2], t[3], 0x00});
}

bool TDataManager::WriteLevelSensorB()
{
    const auto t = LevelTable(true, data_);
    return TransactWrite(0x38, {t[0], t[1], t[2], t[3], 0x00});
}

bool TDataManager::ReadInjectorParams()
{
    return Transact(0x17, {0x00}, [this](TAnswerBytes b) { DecodeInjectorParams(b, data_); });
}

bool TDataManager::WriteInjectorParams(const std::array<uint8_t, 12> &record)
{
    return TransactWrite(0x15, record);
}

bool TDataManager::ReadInspection()
{
    return Transact(0x56, {0x00}, [this](TAnswerBytes b) { DecodeInspection(b, data_); });
}

bool TDataManager::WriteInspection()
{
    const auto next = BigEndian16(data_.NextInspection);
    return TransactWrite(0x57, {data_.InspectionTimeDistRatio, next[0], next[1]});
}

} // namespace lumex
