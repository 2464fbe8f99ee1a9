#include "sim/controller/ParameterStore.h"

#include "controller/CommandCodes.h"
#include "controller/ParamTables.h"

#include <algorithm>

namespace sim {

namespace {

constexpr uint8_t kFirstCps = 14, kFirstCtg = 34, kFirstCrpm = 54, kLastCrpm = 73;

uint8_t Bit0(uint8_t value)
{
    return value & 1;
}

// Replaces bit 0 of a one-flag byte parameter, keeping its other bits.
void PutBit0(uint8_t &param, uint8_t bit)
{
    param = static_cast<uint8_t>((param & ~1u) | (bit & 1u));
}

uint8_t Hi(uint16_t w)
{
    return static_cast<uint8_t>(w >> 8);
}

uint8_t Lo(uint16_t w)
{
    return static_cast<uint8_t>(w & 0xFF);
}

uint16_t Word(uint8_t hi, uint8_t lo)
{
    return static_cast<uint16_t>(hi << 8 | lo);
}

} // namespace

int InjectorsForMask(uint8_t mask)
{
    return lumex::InjectorsForMask(mask).value_or(0);
}

uint8_t MaskForInjectors(int count)
{
    if (count <= 0)
        return 0;
    if (count >= 8)
        return 0xFF;
    return static_cast<uint8_t>((1u << count) - 1);
}

uint16_t ParameterStore::ModelParam(uint8_t index) const
{
    if (index >= kFirstCps && index < kFirstCtg)
        return static_cast<uint8_t>(cps[index - kFirstCps]);
    if (index >= kFirstCtg && index < kFirstCrpm)
        return static_cast<uint8_t>(ctg[index - kFirstCtg]);
    if (index >= kFirstCrpm && index <= kLastCrpm)
        return static_cast<uint8_t>(crpm[index - kFirstCrpm]);
    return modelParams[index];
}

void ParameterStore::SetModelParam(uint8_t index, uint16_t value)
{
    const auto entry = static_cast<int8_t>(value & 0xFF);
    if (index >= kFirstCps && index < kFirstCtg)
        cps[index - kFirstCps] = entry;
    else if (index >= kFirstCtg && index < kFirstCrpm)
        ctg[index - kFirstCtg] = entry;
    else if (index >= kFirstCrpm && index <= kLastCrpm)
        crpm[index - kFirstCrpm] = entry;
    else
        modelParams[index] = value;
}

uint8_t ParameterStore::LegacyFlags() const
{
    return static_cast<uint8_t>((core.InjType & 3) | (byteParams[33] & 3) << 2 | (core.FuelType & 1) << 4 |
                                (core.RPMsource & 3) << 5 | (core.EngineType & 1) << 7);
}

std::array<uint8_t, 5> ParameterStore::LegacyBlock() const
{
    return {core.T, Hi(core.RPM), Lo(core.RPM), LegacyFlags(), core.InjMask};
}

void ParameterStore::WriteLegacyBlock(std::span<const uint8_t, 5> b)
{
    core.T = b[0];
    core.RPM = Word(b[1], b[2]);
    core.InjMask = b[3];
    const uint8_t flags = b[4];
    core.InjType = flags & 3;
    byteParams[33] = (flags >> 2) & 3;
    core.FuelType = (flags >> 4) & 1;
    core.RPMsource = (flags >> 5) & 3;
    core.EngineType = (flags >> 7) & 1;
}

std::array<uint8_t, 25> ParameterStore::G3Block() const
{
    const auto &p = byteParams;
    const auto &w = wordParams;
    std::array<uint8_t, 25> b{};
    b[0] = static_cast<uint8_t>((core.InjType & 3) | (core.FuelType & 1) << 4 | (core.RPMsource & 3) << 5 |
                                (core.EngineType & 1) << 7);
    b[1] = core.InjMask;
    b[2] = static_cast<uint8_t>((p[1] & 7) | Bit0(p[5]) << 3 | Bit0(p[7]) << 4 | Bit0(p[8]) << 5 | Bit0(p[20]) << 6 |
                                Bit0(p[6]) << 7);
    b[3] = static_cast<uint8_t>(Bit0(p[16]) | Bit0(p[17]) << 1 | Bit0(p[18]) << 2 | Bit0(p[21]) << 3 |
                                (core.Flags3Spare & 0x70) | Bit0(p[27]) << 7);
    b[4] = core.T;
    b[5] = Hi(core.RPM);
    b[6] = Lo(core.RPM);
    b[7] = p[2];
    b[8] = Hi(w[7]);
    b[9] = Lo(w[7]);
    b[10] = Hi(w[6]);
    b[11] = Lo(w[6]);
    b[12] = Hi(w[8]);
    b[13] = Lo(w[8]);
    b[14] = p[12];
    b[15] = p[11];
    b[16] = p[10];
    b[17] = Hi(w[9]);
    b[18] = Lo(w[9]);
    b[19] = Hi(w[10]);
    b[20] = Lo(w[10]);
    b[21] = p[3];
    b[22] = p[4];
    b[23] = p[23];
    b[24] = p[28];
    return b;
}

void ParameterStore::WriteG3Block(std::span<const uint8_t, 25> b)
{
    auto &p = byteParams;
    auto &w = wordParams;
    core.InjType = b[0] & 3;
    core.FuelType = (b[0] >> 4) & 1;
    core.RPMsource = (b[0] >> 5) & 3;
    core.EngineType = (b[0] >> 7) & 1;
    core.InjMask = b[1];
    // The lambda type travels in three bits here but four in byte parameter 1.
    p[1] = static_cast<uint8_t>((p[1] & 0xF0) | (b[2] & 7));
    PutBit0(p[5], b[2] >> 3);
    PutBit0(p[7], b[2] >> 4);
    PutBit0(p[8], b[2] >> 5);
    PutBit0(p[20], b[2] >> 6);
    PutBit0(p[6], b[2] >> 7);
    PutBit0(p[16], b[3]);
    PutBit0(p[17], b[3] >> 1);
    PutBit0(p[18], b[3] >> 2);
    PutBit0(p[21], b[3] >> 3);
    core.Flags3Spare = b[3] & 0x70;
    PutBit0(p[27], b[3] >> 7);
    core.T = b[4];
    core.RPM = Word(b[5], b[6]);
    p[2] = b[7];
    w[7] = Word(b[8], b[9]);
    w[6] = Word(b[10], b[11]);
    w[8] = Word(b[12], b[13]);
    p[12] = b[14];
    p[11] = b[15];
    p[10] = b[16];
    w[9] = Word(b[17], b[18]);
    w[10] = Word(b[19], b[20]);
    p[3] = b[21];
    p[4] = b[22];
    p[23] = b[23];
    p[28] = b[24];
}

uint8_t ParameterStore::MemByte(std::size_t addr) const
{
    return addr < memory.size() ? memory[addr] : 0;
}

void ParameterStore::SetMemByte(std::size_t addr, uint8_t value)
{
    if (addr < memory.size())
        memory[addr] = value;
}

uint16_t ParameterStore::MemWord(std::size_t addr) const
{
    return Word(MemByte(addr), MemByte(addr + 1));
}

void ParameterStore::SetMemWord(std::size_t addr, uint16_t value)
{
    SetMemByte(addr, Hi(value));
    SetMemByte(addr + 1, Lo(value));
}

std::array<uint8_t, 4> ParameterStore::LevelTable(bool tableB) const
{
    const std::size_t base = tableB ? mem::kLevelB : mem::kLevelA;
    return {memory[base], memory[base + 1], memory[base + 2], memory[base + 3]};
}

void ParameterStore::SetLevelTable(bool tableB, std::span<const uint8_t, 4> values)
{
    std::copy(values.begin(), values.end(), memory.begin() + (tableB ? mem::kLevelB : mem::kLevelA));
}

std::array<uint8_t, 12> ParameterStore::InjectorRecord() const
{
    std::array<uint8_t, 12> record{};
    std::copy_n(memory.begin() + mem::kInjectorRecord, record.size(), record.begin());
    return record;
}

void ParameterStore::SetInjectorRecord(std::span<const uint8_t, 12> record)
{
    std::copy(record.begin(), record.end(), memory.begin() + mem::kInjectorRecord);
}

int ParameterStore::MapCount(bool gas) const
{
    return memory[mem::kMapCounts + (gas ? 1 : 0)];
}

uint16_t ParameterStore::MapPoint(bool gas, int index) const
{
    if (index < 0 || index >= mem::kMaxMapPoints)
        return 0xFFFF;
    return MemWord((gas ? mem::kGasPoints : mem::kPetrolPoints) + 2u * static_cast<unsigned>(index));
}

std::vector<uint16_t> ParameterStore::MapPoints(bool gas) const
{
    std::vector<uint16_t> words;
    const int count = std::min(MapCount(gas), mem::kMaxMapPoints);
    words.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        words.push_back(MapPoint(gas, i));
    return words;
}

void ParameterStore::SetMapPoints(bool gas, std::span<const uint16_t> words)
{
    const std::size_t base = gas ? mem::kGasPoints : mem::kPetrolPoints;
    const std::size_t count = std::min<std::size_t>(words.size(), 127);
    for (std::size_t i = 0; i < static_cast<std::size_t>(mem::kMaxMapPoints); ++i)
        SetMemWord(base + 2 * i, i < count ? words[i] : 0xFFFF);
    memory[mem::kMapCounts + (gas ? 1 : 0)] = static_cast<uint8_t>(count);
}

bool ParameterStore::AddMapPoint(bool gas, uint16_t word)
{
    const int count = MapCount(gas);
    if (count >= 127)
        return false;
    SetMemWord((gas ? mem::kGasPoints : mem::kPetrolPoints) + 2u * static_cast<unsigned>(count), word);
    memory[mem::kMapCounts + (gas ? 1 : 0)] = static_cast<uint8_t>(count + 1);
    return true;
}

bool ParameterStore::ClearMap(uint8_t selector)
{
    switch (selector) {
    case 1:
    case 2:
        SetMapPoints(selector == 2, {});
        return true;
    case 3:
        for (auto &row : mapG3)
            row[0] = 0;
        for (auto &row : mapG3B)
            row = {0, 0, 0};
        return true;
    case 4:
        for (auto &row : mapG3) {
            row[1] = 0;
            row[2] = 0;
        }
        return true;
    default:
        return false;
    }
}

int ParameterStore::InjectorCount() const
{
    return InjectorsForMask(core.InjMask);
}

CorrTable &ParameterStore::Table(uint8_t readCode)
{
    switch (readCode) {
    case lumex::cmd::ReadCorrPcol:
        return cpcol;
    case lumex::cmd::ReadCorrGasTemp:
        return ctg;
    case lumex::cmd::ReadCorrRPM:
        return crpm;
    default:
        return cps;
    }
}

const CorrTable &ParameterStore::Table(uint8_t readCode) const
{
    return const_cast<ParameterStore *>(this)->Table(readCode);
}

} // namespace sim
