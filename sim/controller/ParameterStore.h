// Everything the simulated controller keeps in its non-volatile memory, held
// once. The block commands, the indexed parameters and the raw memory
// commands are views onto these same values, so a setting written through one
// view reads back through every other view that carries it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

// Controller memory addresses with a meaning of their own.
namespace mem {
inline constexpr std::size_t kSize = 1024;
inline constexpr uint16_t kEmergencyStarts = 1;
inline constexpr uint16_t kInjectorRecord = 36; // 12 bytes, the record of 0x15/0x17
inline constexpr uint16_t kSerialDate = 84;
inline constexpr uint16_t kSerialLow = 88;
inline constexpr uint16_t kSerialHigh = 90;
inline constexpr uint16_t kLevelA = 100; // PW0..PW3
inline constexpr uint16_t kLevelB = 104; // 0900..0903
inline constexpr uint16_t kFreezeFrame = 148;
inline constexpr uint16_t kMaxBoardTemp = 180;
inline constexpr uint16_t kMapCounts = 198; // byte 198 petrol, 199 gas
inline constexpr uint16_t kPetrolPoints = 200;
inline constexpr uint16_t kGasPoints = 456;
inline constexpr int kMaxMapPoints = 128;
} // namespace mem

struct ModelPoint
{
    uint16_t x = 0xFFFF; // petrol time, ticks; 0xFFFF in both = empty
    uint16_t y = 0xFFFF; // gas time, ticks
    bool operator==(const ModelPoint &) const = default;
};

struct ComputerCode
{
    uint32_t code = 0;
    uint32_t date = 0;
    bool operator==(const ComputerCode &) const = default;
};

using ErrorRecord = std::array<uint8_t, 20>;
using MapG3Table = std::array<std::array<uint16_t, 3>, 40>;
using CorrTable = std::array<int8_t, 20>;
using AdaptTable = std::array<std::array<int8_t, 10>, 10>;

class ParameterStore
{
public:
    // Basic settings that travel only inside the configuration blocks.
    struct Core
    {
        uint8_t T = 0;       // switch temperature, raw
        uint16_t RPM = 0;    // switch speed as a period word
        uint8_t InjMask = 0; // injector channel mask
        uint8_t InjType = 0; // injector class, 2 bits
        uint8_t FuelType = 0;
        uint8_t RPMsource = 0; // 2 bits
        uint8_t EngineType = 0;
        uint8_t Flags3Spare = 0; // bits 4..6 of the third 3.0 flag byte, kept as written
        bool operator==(const Core &) const = default;
    };

    Core core;
    std::array<uint8_t, 256> byteParams{};
    std::array<uint16_t, 256> wordParams{};
    // Model parameter words; indexes 14..73 are not held here but in the
    // correction tables below.
    std::array<uint16_t, 256> modelParams{};
    CorrTable cps{}, cpcol{}, ctg{}, crpm{};
    std::array<uint16_t, 4> modelPoints{}; // P1X, P1Y, P2X, P2Y in ticks
    std::array<ModelPoint, 20> model2A{};  // the gas model
    std::array<ModelPoint, 20> model2B{};  // the model as adapted by the controller
    MapG3Table mapG3{};                    // word 0 petrol, words 1-2 gas
    MapG3Table mapG3B{};                   // adaptation template
    std::array<int8_t, 8> injCorr{};
    std::array<uint8_t, 10> adaptInfoBytes{};
    std::array<uint16_t, 10> adaptInfoWords{}; // RPM thresholds of the adaptation grid
    AdaptTable adaptBank1{}, adaptBank2{};
    std::array<ComputerCode, 5> computerCodes{};
    uint8_t newestComputerCode = 0;
    uint8_t inspectionRatio = 0;
    std::array<uint8_t, 16> troubleFlags{};
    std::array<ErrorRecord, 10> errorLog{};
    uint8_t errorLogHead = 0;
    std::array<uint16_t, 256> wordVars{}; // word variables that are plain stored values
    std::array<uint8_t, mem::kSize> memory{};

    bool operator==(const ParameterStore &) const = default;

    // Indexed model parameters (0x12/0x16), tables included.
    uint16_t ModelParam(uint8_t index) const;
    void SetModelParam(uint8_t index, uint16_t value);

    // The 1.4/1.5 basic block in read order: T, RPM high, RPM low, flags, mask.
    std::array<uint8_t, 5> LegacyBlock() const;
    // The write order of 0x04: T, RPM high, RPM low, mask, flags.
    void WriteLegacyBlock(std::span<const uint8_t, 5> bytes);
    uint8_t LegacyFlags() const;

    // The 25 data bytes of the 3.0 configuration block (same order for read and write).
    std::array<uint8_t, 25> G3Block() const;
    void WriteG3Block(std::span<const uint8_t, 25> bytes);

    // Raw memory; out-of-range addresses read 0 and ignore writes.
    uint8_t MemByte(std::size_t addr) const;
    void SetMemByte(std::size_t addr, uint8_t value);
    uint16_t MemWord(std::size_t addr) const;
    void SetMemWord(std::size_t addr, uint16_t value);

    std::array<uint8_t, 4> LevelTable(bool tableB) const;
    void SetLevelTable(bool tableB, std::span<const uint8_t, 4> values);
    std::array<uint8_t, 12> InjectorRecord() const;
    void SetInjectorRecord(std::span<const uint8_t, 12> record);

    // Map point lists (memory 198.. and 200../456..).
    int MapCount(bool gas) const;
    uint16_t MapPoint(bool gas, int index) const;
    std::vector<uint16_t> MapPoints(bool gas) const;
    void SetMapPoints(bool gas, std::span<const uint16_t> words);
    bool AddMapPoint(bool gas, uint16_t word);
    // 1 petrol points, 2 gas points, 3 G3 petrol map and template, 4 G3 gas map.
    bool ClearMap(uint8_t selector);

    // Injector count configured by the channel mask (0 for an odd mask).
    int InjectorCount() const;
    // Correction table by read code: 0xD0 CPS, 0x97 CPCOL, 0xD2 CTG, 0xDB CRPM.
    CorrTable &Table(uint8_t readCode);
    const CorrTable &Table(uint8_t readCode) const;
};

// Injector count for a channel mask: 7, 15, 31, 63, 255 give 3, 4, 5, 6, 8.
int InjectorsForMask(uint8_t mask);
uint8_t MaskForInjectors(int count);

} // namespace sim
