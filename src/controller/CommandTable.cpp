#include "controller/CommandTable.h"

#include "controller/CommandCodes.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace lumex {

namespace {

using P = ParamKind;

constexpr std::array kCommands{
    CommandInfo{cmd::ReadVersionCode, 4, 4, P::RepeatCode, "ReadVersionCode"},
    CommandInfo{cmd::ReadCompileInfo, 4, 22, P::RepeatCode, "ReadCompileInfo"},
    CommandInfo{cmd::ReadBasicConfig, 4, 8, P::RepeatCode, "ReadBasicConfig"},
    CommandInfo{cmd::WriteBasicConfig, 8, 4, P::Data, "WriteBasicConfig"},
    CommandInfo{cmd::ReadLiveData, 4, 27, P::RepeatCode, "ReadLiveData"},
    CommandInfo{cmd::ReadLiveDataHigh, 4, 19, P::RepeatCode, "ReadLiveData"},
    CommandInfo{cmd::ReadByteParam, 4, 5, P::Index, "ReadByteParam"},
    CommandInfo{cmd::WriteByteParam, 5, 4, P::Data, "WriteByteParam"},
    CommandInfo{cmd::ReadLiveDataFull, 4, 52, P::RepeatCode, "ReadLiveDataFull"},
    CommandInfo{cmd::ReadModelBlock, 4, 23, P::RepeatCode, "ReadModelBlock"},
    CommandInfo{cmd::ReadModelParam, 4, 6, P::Index, "ReadModelParam"},
    CommandInfo{cmd::ReadTroubleFlags, 4, 19, P::RepeatCode, "ReadTroubleFlags"},
    CommandInfo{cmd::ClearTroubleCodes, 4, 4, P::RepeatCode, "ClearTroubleCodes"},
    CommandInfo{cmd::WriteInjectorParams, 15, 4, P::Data, "WriteInjectorParams"},
    CommandInfo{cmd::WriteModelParam, 6, 4, P::Data, "WriteModelParam"},
    CommandInfo{cmd::ReadInjectorParams, 4, 15, P::Zero, "ReadInjectorParams"},
    CommandInfo{cmd::ValveAction, 4, 4, P::Index, "ValveAction"},
    CommandInfo{cmd::SetWorkType, 4, 4, P::Index, "SetWorkType"},
    CommandInfo{cmd::ReadCalibrationState, 4, 13, P::RepeatCode, "ReadCalibrationState"},
    CommandInfo{cmd::ReadPcol, 4, 4, P::RepeatCode, "ReadPcol"},
    CommandInfo{cmd::ReadMemWord, 5, 7, P::Index, "ReadMemWord"},
    CommandInfo{cmd::WriteMemWord, 7, 5, P::Data, "WriteMemWord"},
    CommandInfo{cmd::ReadMemByte, 5, 6, P::Index, "ReadMemByte"},
    CommandInfo{cmd::WriteMemByte, 6, 5, P::Data, "WriteMemByte"},
    CommandInfo{cmd::ReadLevelSensorA, 4, 7, P::Zero, "ReadLevelSensorA"},
    CommandInfo{cmd::ReadLevelSensorB, 4, 7, P::Zero, "ReadLevelSensorB"},
    CommandInfo{cmd::WriteLevelSensorA, 8, 4, P::Data, "WriteLevelSensorA"},
    CommandInfo{cmd::WriteLevelSensorB, 8, 4, P::Data, "WriteLevelSensorB"},
    CommandInfo{cmd::WriteEmulatorSwitches, 4, 4, P::Index, "WriteEmulatorSwitches"},
    CommandInfo{cmd::ReadEmulatorSwitches, 4, 4, P::Zero, "ReadEmulatorSwitches"},
    CommandInfo{cmd::ReadInjSystemDetect, 4, 6, P::Index, "ReadInjSystemDetect"},
    CommandInfo{cmd::LockDevice, 7, 4, P::Data, "LockDevice"},
    CommandInfo{cmd::UnlockDevice, 7, 4, P::Data, "UnlockDevice"},
    CommandInfo{cmd::ReadLockState, 4, 4, P::Index, "ReadLockState"},
    CommandInfo{cmd::ReadWordVar, 4, 5, P::Index, "ReadWordVar"},
    CommandInfo{cmd::ReadCalRPM, 4, 5, P::RepeatCode, "ReadCalRPM"},
    CommandInfo{cmd::ReadWordParam, 4, 6, P::Index, "ReadWordParam"},
    CommandInfo{cmd::WriteWordParam, 6, 4, P::Data, "WriteWordParam"},
    CommandInfo{cmd::ReadIdentByte, 4, 4, P::Index, "ReadIdentByte"},
    CommandInfo{cmd::ReadComputerCodes, 4, 44, P::Zero, "ReadComputerCodes"},
    CommandInfo{cmd::WriteComputerCode, 11, 4, P::Data, "WriteComputerCode"},
    CommandInfo{cmd::ReadInspection, 4, 6, P::Zero, "ReadInspection"},
    CommandInfo{cmd::WriteInspection, 6, 4, P::Data, "WriteInspection"},
    CommandInfo{cmd::ReadErrorLogRecord, 4, 24, P::Index, "ReadErrorLogRecord"},
    CommandInfo{cmd::ReadAdaptationInfo, 4, 33, P::A5, "ReadAdaptationInfo"},
    CommandInfo{cmd::ReadAdaptationCorr, 4, 54, P::Index, "ReadAdaptationCorr"},
    CommandInfo{cmd::WriteAdaptationCorr, 54, 4, P::Data, "WriteAdaptationCorr"},
    CommandInfo{cmd::ReadLoadIndex, 4, 14, P::A5, "ReadLoadIndex"},
    CommandInfo{cmd::ReadInjTestCounters, 4, 35, P::Zero, "ReadInjTestCounters"},
    CommandInfo{cmd::ReadInjTestValues, 4, 22, P::Zero, "ReadInjTestValues"},
    CommandInfo{cmd::StartInjTest, 4, 4, P::Index, "StartInjTest"},
    CommandInfo{cmd::ReadInjCorr, 4, 11, P::Zero, "ReadInjCorr"},
    CommandInfo{cmd::WriteInjCorr, 11, 4, P::Data, "WriteInjCorr"},
    CommandInfo{cmd::ReadModel2SetB, 4, 43, P::Index, "ReadModel2SetB"},
    CommandInfo{cmd::WriteModel2SetB, 44, 4, P::Data, "WriteModel2SetB"},
    CommandInfo{cmd::ReadCorrPcol, 4, 23, P::Zero, "ReadCorrPcol"},
    CommandInfo{cmd::WriteCorrPcol, 23, 4, P::Data, "WriteCorrPcol"},
    CommandInfo{cmd::ReadModelPoints, 4, 11, P::Zero, "ReadModelPoints"},
    CommandInfo{cmd::WriteModelPoints, 11, 4, P::Data, "WriteModelPoints"},
    CommandInfo{cmd::ReadCorrPressure, 4, 23, P::Zero, "ReadCorrPressure"},
    CommandInfo{cmd::WriteCorrPressure, 23, 4, P::Data, "WriteCorrPressure"},
    CommandInfo{cmd::ReadCorrGasTemp, 4, 23, P::Zero, "ReadCorrGasTemp"},
    CommandInfo{cmd::WriteCorrGasTemp, 23, 4, P::Data, "WriteCorrGasTemp"},
    CommandInfo{cmd::ReadModel2SetA, 4, 43, P::Index, "ReadModel2SetA"},
    CommandInfo{cmd::WriteModel2SetA, 44, 4, P::Data, "WriteModel2SetA"},
    CommandInfo{cmd::ReadPetrolMapBlock, 4, 35, P::Index, "ReadPetrolMapBlock"},
    CommandInfo{cmd::ReadGasMapBlock, 4, 35, P::Index, "ReadGasMapBlock"},
    CommandInfo{cmd::ReadBasicConfigG3, 4, 28, P::RepeatCode, "ReadBasicConfigG3"},
    CommandInfo{cmd::WriteBasicConfigG3, 28, 4, P::Data, "WriteBasicConfigG3"},
    CommandInfo{cmd::WriteCorrRPM, 23, 4, P::Data, "WriteCorrRPM"},
    CommandInfo{cmd::ReadCorrRPM, 4, 23, P::Zero, "ReadCorrRPM"},
    CommandInfo{cmd::ReadMapG3Row, 4, 9, P::Index, "ReadMapG3Row"},
    CommandInfo{cmd::ReadMapG3RowB, 4, 9, P::Index, "ReadMapG3RowB"},
    CommandInfo{cmd::ClearMap, 4, 4, P::Index, "ClearMap"},
    CommandInfo{cmd::WriteMapG3Row, 6, 4, P::Data, "WriteMapG3Row"},
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
