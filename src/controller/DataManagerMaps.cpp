// Maps of TDataManager: the two 40-row G3 maps, the petrol and gas map point
// lists, and clearing them.
#include "controller/DataManager.h"

#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"
#include "controller/SequenceControl.h"
#include "controller/Version.h"

#include <algorithm>
#include <vector>

namespace lumex {

namespace {

constexpr uint16_t kMapCountsAddress = 198;
constexpr uint16_t kPetrolPointsAddress = 200;
constexpr uint16_t kGasPointsAddress = 456;
constexpr unsigned kMaxMapBlocks = 8;
constexpr unsigned kWordsPerBlock = 16;

// The points of the first `count` words: zero words are empty slots and
// points outside 0..limit bar are dropped; the count is what is kept.
TMapPointList PointList(const std::vector<uint16_t> &words, unsigned count, double limit, uint8_t sensorType)
{
    TMapPointList list;
    for (std::size_t i = 0; i < words.size() && i < count; ++i) {
        if (words[i] == 0)
            continue;
        const TMapPoint p = DecodeMapPoint(words[i], sensorType);
        if (p.Pressure < 0 || p.Pressure > limit || list.Count >= kMapPointCapacity)
            continue;
        list.Points[list.Count++] = p;
    }
    return list;
}

} // namespace

bool TDataManager::ReadMapG3Row(unsigned row)
{
    if (row >= kMapG3Rows)
        return false;
    return Transact(cmd::ReadMapG3Row, {static_cast<uint8_t>(row)},
                    [this, row](TAnswerBytes b) { DecodeMapG3Row(cmd::ReadMapG3Row, row, b, data_); });
}

bool TDataManager::ReadMapG3RowB(unsigned row)
{
    if (row >= kMapG3Rows)
        return false;
    return Transact(cmd::ReadMapG3RowB, {static_cast<uint8_t>(row)},
                    [this, row](TAnswerBytes b) { DecodeMapG3Row(cmd::ReadMapG3RowB, row, b, data_); });
}

bool TDataManager::ReadMapG3()
{
    SequenceAddTotal(*this, kMapG3Rows);
    for (unsigned row = 0; row < kMapG3Rows; ++row) {
        // Reads change nothing: a cancel may stop them between any two rows.
        if (SequenceCancelled(*this) || !ReadMapG3Row(row))
            return false;
        SequenceStepDone(*this);
    }
    return true;
}

bool TDataManager::ReadMapG3B()
{
    for (unsigned row = 0; row < kMapG3Rows; ++row) {
        if (!ReadMapG3RowB(row))
            return false;
    }
    return true;
}

bool TDataManager::WriteMapG3Row(unsigned row)
{
    lastRefusal_ = TWriteRefusal::None;
    if (row >= kMapG3Rows)
        return Refuse(TWriteRefusal::InvalidValue);
    const auto w = BigEndian16(data_.MapG3[row][0]);
    return TransactWrite(cmd::WriteMapG3Row, {static_cast<uint8_t>(row), w[0], w[1]});
}

bool TDataManager::WriteMapG3()
{
    for (unsigned row = 0; row < kMapG3Rows; ++row) {
        if (!WriteMapG3Row(row))
            return false;
    }
    return true;
}

bool TDataManager::ClearMap(uint8_t selector)
{
    lastRefusal_ = TWriteRefusal::None;
    if (selector < 1 || selector > 4)
        return Refuse(TWriteRefusal::InvalidValue);
    return TransactWrite(cmd::ClearMap, {selector});
}

std::optional<std::array<uint16_t, 16>> TDataManager::ReadPetrolMapBlock(unsigned block)
{
    if (block >= kMaxMapBlocks)
        return std::nullopt;
    std::optional<std::array<uint16_t, 16>> words;
    const bool ok = Transact(cmd::ReadPetrolMapBlock, {static_cast<uint8_t>(block)},
                             [&words](TAnswerBytes b) { words = DecodeMapBlock(b); });
    return ok ? words : std::nullopt;
}

std::optional<std::array<uint16_t, 16>> TDataManager::ReadGasMapBlock(unsigned block)
{
    if (block >= kMaxMapBlocks)
        return std::nullopt;
    std::optional<std::array<uint16_t, 16>> words;
    const bool ok = Transact(cmd::ReadGasMapBlock, {static_cast<uint8_t>(block)},
                             [&words](TAnswerBytes b) { words = DecodeMapBlock(b); });
    return ok ? words : std::nullopt;
}

bool TDataManager::ReadMapPoints(double limit, TMapPointList &petrol, TMapPointList &gas)
{
    std::optional<uint16_t> counts;
    const auto addr = BigEndian16(kMapCountsAddress);
    if (SequenceCancelled(*this))
        return false;
    if (!Transact(cmd::ReadMemWord, {addr[0], addr[1]}, [&counts](TAnswerBytes b) { counts = DecodeMemWord(b); }) ||
        !counts)
        return false;
    const unsigned petrolCount = MapPointCount(static_cast<uint8_t>(*counts >> 8));
    const unsigned gasCount = MapPointCount(static_cast<uint8_t>(*counts & 0xFF));
    const auto framesFor = [this](unsigned count) {
        return data_.VersionCode == kVersion30
                   ? std::min<unsigned>(kMaxMapBlocks, (count + kWordsPerBlock - 1) / kWordsPerBlock)
                   : count;
    };
    SequenceAddTotal(*this, 1 + framesFor(petrolCount) + framesFor(gasCount));
    SequenceStepDone(*this);

    std::vector<uint16_t> petrolWords, gasWords;
    const auto readList = [this](bool isGas, unsigned count, std::vector<uint16_t> &words) {
        if (data_.VersionCode == kVersion30) {
            for (unsigned block = 0; block < kMaxMapBlocks && block * kWordsPerBlock < count; ++block) {
                if (SequenceCancelled(*this))
                    return false;
                const auto got = isGas ? ReadGasMapBlock(block) : ReadPetrolMapBlock(block);
                if (!got)
                    return false;
                words.insert(words.end(), got->begin(), got->end());
                SequenceStepDone(*this);
            }
            return true;
        }
        const uint16_t base = isGas ? kGasPointsAddress : kPetrolPointsAddress;
        for (unsigned i = 0; i < count; ++i) {
            if (SequenceCancelled(*this))
                return false;
            const auto a = BigEndian16(static_cast<uint16_t>(base + 2 * i));
            std::optional<uint16_t> word;
            if (!Transact(cmd::ReadMemWord, {a[0], a[1]}, [&word](TAnswerBytes b) { word = DecodeMemWord(b); }) ||
                !word)
                return false;
            words.push_back(*word);
            SequenceStepDone(*this);
        }
        return true;
    };
    if (!readList(false, petrolCount, petrolWords) || !readList(true, gasCount, gasWords))
        return false;
    petrol = PointList(petrolWords, petrolCount, limit, data_.PressureSensorType);
    gas = PointList(gasWords, gasCount, limit, data_.PressureSensorType);
    return true;
}

bool TDataManager::ClearMapPoints(bool gas)
{
    if (data_.VersionCode == kVersion30)
        return ClearMap(gas ? 2 : 1);
    return WriteMemByte(gas ? kMapCountsAddress + 1 : kMapCountsAddress, 0);
}

} // namespace lumex
