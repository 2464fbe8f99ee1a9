// The freeze-frame of the last trouble code: what the engine was doing when
// the controller raised it, kept in controller memory 148..160 and read on
// demand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lumex {

class TDataManager;

namespace freezemem {
inline constexpr uint16_t kGroup = 148;
inline constexpr uint16_t kBit = 149;
inline constexpr uint16_t kRpmPeriod = 150;  // word
inline constexpr uint16_t kPetrolTime = 152; // word
inline constexpr uint16_t kGasTime = 154;    // word
inline constexpr uint16_t kPsys = 156;
inline constexpr uint16_t kPcol = 157;
inline constexpr uint16_t kTred = 158;
inline constexpr uint16_t kTgas = 159;
inline constexpr uint16_t kSupply = 160;
} // namespace freezemem

// A group byte of this value means the controller holds no freeze-frame.
inline constexpr uint8_t kNoFreezeFrame = 0xFF;

struct TFreezeFrame
{
    uint8_t Group = 0; // code group - 1
    uint8_t Bit = 0;   // 1, 2, 4 .. 128 for digits 1..8
    uint16_t RpmPeriod = 0;
    uint16_t PetrolTime = 0;
    uint16_t GasTime = 0;
    uint8_t PsysRaw = 0;
    uint8_t PcolRaw = 0;
    uint8_t TredRaw = 0;
    uint8_t TgasRaw = 0;
    uint8_t SupplyRaw = 0;
    double PsysBar = 0; // converted when read: the sensor may need the controller
    double PcolBar = 0;
};

enum class TFreezeFrameOutcome : uint8_t
{
    Absent,  // the controller holds none
    Present, // every read succeeded
    Failed   // a read failed: nothing is shown rather than made-up zeros
};

struct TFreezeFrameRead
{
    TFreezeFrameOutcome Outcome = TFreezeFrameOutcome::Failed;
    TFreezeFrame Frame;
};

// Reads memory 148..160 one value at a time, stopping at the first failure.
TFreezeFrameRead ReadFreezeFrame(TDataManager &manager);

// The digit of a code bit: 1, 2, 4 .. 128 give 1..8, anything else 0.
int FreezeFrameDigit(uint8_t bit);
// "E1034" for group byte 2 and bit 0x08.
std::string FreezeFrameCode(const TFreezeFrame &frame);

// The lines shown for a freeze-frame, code first.
std::vector<std::string> FreezeFrameLines(const TFreezeFrame &frame);

} // namespace lumex
