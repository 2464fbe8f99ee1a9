#include "controller/CommandTable.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace lumex {

namespace {

using P = ParamKind;

constexpr std::array kCommands{
    CommandInfo{0x01, 4, 4, P::RepeatCode, "ReadVersionCode"},
    CommandInfo{0x02, 4, 22, P::RepeatCode, "ReadCompileInfo"},
    CommandInfo{0x03, 4, 8, P::RepeatCode, "ReadBasicConfig"},
    CommandInfo{0x04, 8, 4, P::Data, "WriteBasicConfig"},
    CommandInfo{0x05, 4, 27, P::RepeatCode, "ReadLiveData"},
    CommandInfo{0x06, 4, 19, P::RepeatCode, "ReadLiveData"},
    CommandInfo{0x07, 4, 5, P::Index, "ReadByteParam"},
    CommandInfo{0x08, 5, 4, P::Data, "WriteByteParam"},
    CommandInfo{0x0B, 4, 52, P::RepeatCode, "ReadLiveDataFull"},
    CommandInfo{0x10, 4, 23, P::RepeatCode, "ReadModelBlock"},
    CommandInfo{0x12, 4, 6, P::Index, "ReadModelParam"},
    CommandInfo{0x13, 4, 19, P::RepeatCode, "ReadTroubleFlags"},
    CommandInfo{0x14, 4, 4, P::RepeatCode, "ClearTroubleCodes"},
    CommandInfo{0x15, 15, 4, P::Data, "WriteInjectorParams"},
    CommandInfo{0x16, 6, 4, P::Data, "WriteModelParam"},
    CommandInfo{0x17, 4, 15, P::Zero, "ReadInjectorParams"},
    CommandInfo{0x18, 4, 4, P::Index, "ValveAction"},
    CommandInfo{0x20, 4, 4, P::Index, "SetWorkType"},
    CommandInfo{0x21, 4, 13, P::RepeatCode, "ReadCalibrationState"},
    CommandInfo{0x22, 4, 4, P::RepeatCode, "ReadPcol"},
    CommandInfo{0x31, 5, 7, P::Index, "ReadMemWord"},
    CommandInfo{0x32, 7, 5, P::Data, "WriteMemWord"},
    CommandInfo{0x33, 5, 6, P::Index, "ReadMemByte"},
    CommandInfo{0x34, 6, 5, P::Data, "WriteMemByte"},
    CommandInfo{0x35, 4, 7, P::Zero, "ReadLevelSensorA"},
    CommandInfo{0x36, 4, 7, P::Zero, "ReadLevelSensorB"},
    CommandInfo{0x37, 8, 4, P::Data, "WriteLevelSensorA"},
    CommandInfo{0x38, 8, 4, P::Data, "WriteLevelSensorB"},
    CommandInfo{0x39, 4, 4, P::Index, "WriteEmulatorSwitches"},
    CommandInfo{0x3A, 4, 4, P::Zero, "ReadEmulatorSwitches"},
    CommandInfo{0x3B, 4, 6, P::Index, "ReadInjSystemDetect"},
    CommandInfo{0x3D, 7, 4, P::Data, "LockDevice"},
    CommandInfo{0x3E, 7, 4, P::Data, "UnlockDevice"},
    CommandInfo{0x3F, 4, 4, P::Index, "ReadLockState"},
    CommandInfo{0x40, 4, 5, P::Index, "ReadWordVar"},
    CommandInfo{0x50, 4, 5, P::RepeatCode, "ReadCalRPM"},
    CommandInfo{0x51, 4, 6, P::Index, "ReadWordParam"},
    CommandInfo{0x52, 6, 4, P::Data, "WriteWordParam"},
    CommandInfo{0x53, 4, 4, P::Index, "ReadIdentByte"},
    CommandInfo{0x54, 4, 44, P::Zero, "ReadComputerCodes"},
    CommandInfo{0x55, 11, 4, P::Data, "WriteComputerCode"},
    CommandInfo{0x56, 4, 6, P::Zero, "ReadInspection"},
    CommandInfo{0x57, 6, 4, P::Data, "WriteInspection"},
    CommandInfo{0x58, 4, 24, P::Index, "ReadErrorLogRecord"},
    CommandInfo{0x60, 4, 33, P::A5, "ReadAdaptationInfo"},
    CommandInfo{0x61, 4, 54, P::Index, "ReadAdaptationCorr"},
    CommandInfo{0x62, 54, 4, P::Data, "WriteAdaptationCorr"},
    CommandInfo{0x64, 4, 14, P::A5, "ReadLoadIndex"},
    CommandInfo{0x90, 4, 35, P::Zero, "ReadInjTestCounters"},
    CommandInfo{0x91, 4, 22, P::Zero, "ReadInjTestValues"},
    CommandInfo{0x92, 4, 4, P::Index, "StartInjTest"},
    CommandInfo{0x93, 4, 11, P::Zero, "ReadInjCorr"},
    CommandInfo{0x94, 11, 4, P::Data, "WriteInjCorr"},
    CommandInfo{0x95, 4, 43, P::Index, "ReadModel2SetB"},
    CommandInfo{0x96, 44, 4, P::Data, "WriteModel2SetB"},
    CommandInfo{0x97, 4, 23, P::Zero, "ReadCorrPcol"},
    CommandInfo{0x98, 23, 4, P::Data, "WriteCorrPcol"},
    CommandInfo{0xC0, 4, 11, P::Zero, "ReadModelPoints"},
    CommandInfo{0xC1, 11, 4, P::Data, "WriteModelPoints"},
    CommandInfo{0xD0, 4, 23, P::Zero, "ReadCorrPressure"},
    CommandInfo{0xD1, 23, 4, P::Data, "WriteCorrPressure"},
    CommandInfo{0xD2, 4, 23, P::Zero, "ReadCorrGasTemp"},
    CommandInfo{0xD3, 23, 4, P::Data, "WriteCorrGasTemp"},
    CommandInfo{0xD4, 4, 43, P::Index, "ReadModel2SetA"},
    CommandInfo{0xD5, 44, 4, P::Data, "WriteModel2SetA"},
    CommandInfo{0xD6, 4, 35, P::Index, "ReadPetrolMapBlock"},
    CommandInfo{0xD7, 4, 35, P::Index, "ReadGasMapBlock"},
    CommandInfo{0xD8, 4, 28, P::RepeatCode, "ReadBasicConfigG3"},
    CommandInfo{0xD9, 28, 4, P::Data, "WriteBasicConfigG3"},
    CommandInfo{0xDA, 23, 4, P::Data, "WriteCorrRPM"},
    CommandInfo{0xDB, 4, 23, P::Zero, "ReadCorrRPM"},
    CommandInfo{0xDC, 4, 9, P::Index, "ReadMapG3Row"},
    CommandInfo{0xDD, 4, 9, P::Index, "ReadMapG3RowB"},
    CommandInfo{0xDE, 4, 4, P::Index, "ClearMap"},
    CommandInfo{0xDF, 6, 4, P::Data, "WriteMapG3Row"},
};

static_assert(std::is_sorted(kCommands.begin(), kCommands.end(),
                             [](const CommandInfo &a, const CommandInfo &b) { return a.code < b.code; }));

constexpr std::size_t Longest(uint8_t CommandInfo::*field)
{
    std::size_t longest = 0;
    for (const CommandInfo &c : kCommands)
        longest = std::max<std::size_t>(longest, c.*field);
    return longest;
}

static_assert(Longest(&CommandInfo::answerLength) == kMaxAnswerLength,
              "kMaxAnswerLength must be the longest answer of the table");
static_assert(Longest(&CommandInfo::requestLength) == kMaxRequestLength,
              "kMaxRequestLength must be the longest request of the table");

} // namespace

std::span<const CommandInfo> CommandTable()
{
    return kCommands;
}

const CommandInfo *FindCommand(uint8_t code)
{
    const auto *it = std::lower_bound(kCommands.begin(), kCommands.end(), code,
                                      [](const CommandInfo &c, uint8_t v) { return c.code < v; });
    return it != kCommands.end() && it->code == code ? &*it : nullptr;
}

uint8_t FrameSum(std::span<const uint8_t> bytes)
{
    return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

} // namespace lumex
