// The model, the Model2 point sets and the correction tables of TDataManager.
#include "controller/DataManager.h"

#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"

#include <vector>

namespace lumex {

namespace {

std::vector<uint8_t> WithHalf(unsigned half, const std::array<uint8_t, 40> &points)
{
    std::vector<uint8_t> params;
    params.reserve(points.size() + 1);
    params.push_back(static_cast<uint8_t>(half));
    params.insert(params.end(), points.begin(), points.end());
    return params;
}

} // namespace

bool TDataManager::ReadModelBlock()
{
    return Transact(cmd::ReadModelBlock, {cmd::ReadModelBlock}, [this](TAnswerBytes b) { DecodeModelBlock(b, data_); });
}

bool TDataManager::ReadModelPoints(TModelPoints &points)
{
    return Transact(cmd::ReadModelPoints, {0x00}, [&points](TAnswerBytes b) { DecodeModelPoints(b, points); });
}

bool TDataManager::WriteModelPoints(const TModelPoints &points)
{
    lastRefusal_ = TWriteRefusal::None;
    const auto payload = EncodeModelPoints(points);
    if (!payload)
        return Refuse(TWriteRefusal::InvalidValue);
    return TransactWrite(cmd::WriteModelPoints, *payload);
}

bool TDataManager::ReadModel2SetA(unsigned half)
{
    if (half > 1)
        return false;
    return Transact(cmd::ReadModel2SetA, {static_cast<uint8_t>(half)},
                    [this, half](TAnswerBytes b) { DecodeModel2Half(cmd::ReadModel2SetA, half, b, data_.Model2SetA); });
}

bool TDataManager::ReadModel2SetB(unsigned half)
{
    if (half > 1)
        return false;
    return Transact(cmd::ReadModel2SetB, {static_cast<uint8_t>(half)},
                    [this, half](TAnswerBytes b) { DecodeModel2Half(cmd::ReadModel2SetB, half, b, data_.Model2SetB); });
}

bool TDataManager::WriteModel2SetA(unsigned half)
{
    lastRefusal_ = TWriteRefusal::None;
    const auto points = EncodeModel2Half(half, data_.Model2SetA);
    if (!points)
        return Refuse(TWriteRefusal::InvalidValue);
    return TransactWrite(cmd::WriteModel2SetA, WithHalf(half, *points));
}

bool TDataManager::WriteModel2SetB(unsigned half)
{
    lastRefusal_ = TWriteRefusal::None;
    const auto points = EncodeModel2Half(half, data_.Model2SetB);
    if (!points)
        return Refuse(TWriteRefusal::InvalidValue);
    return TransactWrite(cmd::WriteModel2SetB, WithHalf(half, *points));
}

bool TDataManager::ReadCorrTable(TCorrTable table)
{
    return Transact(CorrTableReadCode(table), {0x00},
                    [this, table](TAnswerBytes b) { DecodeCorrTable(table, b, data_); });
}

bool TDataManager::WriteCorrTable(TCorrTable table)
{
    const TCorrectionTable &values = CorrTableOf(table, data_);
    std::array<uint8_t, kCorrectionPoints> payload{};
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(values[i]);
    return TransactWrite(CorrTableWriteCode(table), payload);
}

bool TDataManager::ReadInjCorr()
{
    return Transact(cmd::ReadInjCorr, {0x00}, [this](TAnswerBytes b) { DecodeInjCorr(b, data_); });
}

bool TDataManager::WriteInjCorr()
{
    return TransactWrite(cmd::WriteInjCorr, data_.InjCorr);
}

} // namespace lumex
