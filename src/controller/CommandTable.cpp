#include "controller/CommandTable.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace lumex {

namespace {

using P = ParamKind;

constexpr std::array kCommands{
    CommandSpec{0x01, 4, 4, P::RepeatCode, "ReadVersionCode"},
    CommandSpec{0x02, 4, 22, P::RepeatCode, "ReadCompileInfo"},
    CommandSpec{0x03, 4, 8, P::RepeatCode, "ReadBasicConfig"},
    CommandSpec{0x04, 8, 4, P::Data, "WriteBasicConfig"},
    CommandSpec{0x05, 4, 27, P::RepeatCode, "ReadLiveData"},
    CommandSpec{0x06, 4, 19, P::RepeatCode, "ReadLiveData"},
    CommandSpec{0x07, 4, 5, P::Index, "ReadByteParam"},
    CommandSpec{0x08, 5, 4, P::Data, "WriteByteParam"},
    CommandSpec{0x0B, 4, 52, P::RepeatCode, "ReadLiveDataFull"},
    CommandSpec{0x10, 4, 23, P::RepeatCode, "ReadModelBlock"},
    CommandSpec{0x12, 4, 6, P::Index, "ReadModelParam"},
    CommandSpec{0x13, 4, 19, P::RepeatCode, "ReadTroubleFlags"},
    CommandSpec{0x14, 4, 4, P::RepeatCode, "ClearTroubleCodes"},
    CommandSpec{0x15, 15, 4, P::Data, "WriteInjectorParams"},
    CommandSpec{0x16, 6, 4, P::Data, "WriteModelParam"},
    CommandSpec{0x17, 4, 15, P::Zero, "ReadInjectorParams"},
    CommandSpec{0x18, 4, 4, P::Index, "ValveAction"},
    CommandSpec{0x20, 4, 4, P::Index, "SetWorkType"},
    CommandSpec{0x21, 4, 13, P::RepeatCode, "ReadCalibrationState"},
    CommandSpec{0x22, 4, 4, P::RepeatCode, "ReadPcol"},
    CommandSpec{0x31, 5, 7, P::Index, "ReadMemWord"},
    CommandSpec{0x32, 7, 5, P::Data, "WriteMemWord"},
    CommandSpec{0x33, 5, 6, P::Index, "ReadMemByte"},
    CommandSpec{0x34, 6, 5, P::Data, "WriteMemByte"},
    CommandSpec{0x35, 4, 7, P::Zero, "ReadLevelSensorA"},
    CommandSpec{0x36, 4, 7, P::Zero, "ReadLevelSensorB"},
    CommandSpec{0x37, 8, 4, P::Data, "WriteLevelSensorA"},
    CommandSpec{0x38, 8, 4, P::Data, "WriteLevelSensorB"},
    CommandSpec{0x39, 4, 4, P::Index, "WriteEmulatorSwitches"},
    CommandSpec{0x3A, 4, 4, P::Zero, "ReadEmulatorSwitches"},
    CommandSpec{0x3B, 4, 6, P::Index, "ReadInjSystemDetect"},
    CommandSpec{0x3D, 7, 4, P::Data, "LockDevice"},
    CommandSpec{0x3E, 7, 4, P::Data, "UnlockDevice"},
    CommandSpec{0x3F, 4, 4, P::Index, "ReadLockState"},
    CommandSpec{0x40, 4, 5, P::Index, "ReadWordVar"},
    CommandSpec{0x50, 4, 5, P::RepeatCode, "ReadCalRPM"},
    CommandSpec{0x51, 4, 6, P::Index, "ReadWordParam"},
    CommandSpec{0x52, 6, 4, P::Data, "WriteWordParam"},
    CommandSpec{0x53, 4, 4, P::Index, "ReadIdentByte"},
    CommandSpec{0x54, 4, 44, P::Zero, "ReadComputerCodes"},
    CommandSpec{0x55, 11, 4, P::Data, "WriteComputerCode"},
    CommandSpec{0x56, 4, 6, P::Zero, "ReadInspection"},
    CommandSpec{0x57, 6, 4, P::Data, "WriteInspection"},
    CommandSpec{0x58, 4, 24, P::Index, "ReadErrorLogRecord"},
    CommandSpec{0x60, 4, 33, P::A5, "ReadAdaptationInfo"},
    CommandSpec{0x61, 4, 54, P::Index, "ReadAdaptationCorr"},
    CommandSpec{0x62, 54, 4, P::Data, "WriteAdaptationCorr"},
    CommandSpec{0x64, 4, 14, P::A5, "ReadLoadIndex"},
    CommandSpec{0x90, 4, 35, P::Zero, "ReadInjTestCounters"},
    CommandSpec{0x91, 4, 22, P::Zero, "ReadInjTestValues"},
    CommandSpec{0x92, 4, 4, P::Index, "StartInjTest"},
    CommandSpec{0x93, 4, 11, P::Zero, "ReadInjCorr"},
    CommandSpec{0x94, 11, 4, P::Data, "WriteInjCorr"},
    CommandSpec{0x95, 4, 43, P::Index, "ReadModel2SetB"},
    CommandSpec{0x96, 44, 4, P::Data, "WriteModel2SetB"},
    CommandSpec{0x97, 4, 23, P::Zero, "ReadCorrPcol"},
    CommandSpec{0x98, 23, 4, P::Data, "WriteCorrPcol"},
    CommandSpec{0xC0, 4, 11, P::Zero, "ReadModelPoints"},
    CommandSpec{0xC1, 11, 4, P::Data, "WriteModelPoints"},
    CommandSpec{0xD0, 4, 23, P::Zero, "ReadCorrPressure"},
    CommandSpec{0xD1, 23, 4, P::Data, "WriteCorrPressure"},
    CommandSpec{0xD2, 4, 23, P::Zero, "ReadCorrGasTemp"},
    CommandSpec{0xD3, 23, 4, P::Data, "WriteCorrGasTemp"},
    CommandSpec{0xD4, 4, 43, P::Index, "ReadModel2SetA"},
    CommandSpec{0xD5, 44, 4, P::Data, "WriteModel2SetA"},
    CommandSpec{0xD6, 4, 35, P::Index, "ReadPetrolMapBlock"},
    CommandSpec{0xD7, 4, 35, P::Index, "ReadGasMapBlock"},
    CommandSpec{0xD8, 4, 28, P::RepeatCode, "ReadBasicConfigG3"},
    CommandSpec{0xD9, 28, 4, P::Data, "WriteBasicConfigG3"},
    CommandSpec{0xDA, 23, 4, P::Data, "WriteCorrRPM"},
    CommandSpec{0xDB, 4, 23, P::Zero, "ReadCorrRPM"},
    CommandSpec{0xDC, 4, 9, P::Index, "ReadMapG3Row"},
    CommandSpec{0xDD, 4, 9, P::Index, "ReadMapG3RowB"},
    CommandSpec{0xDE, 4, 4, P::Index, "ClearMap"},
    CommandSpec{0xDF, 6, 4, P::Data, "WriteMapG3Row"},
};

static_assert(std::is_sorted(kCommands.begin(), kCommands.end(),
                             [](const CommandSpec &a, const CommandSpec &b) { return a.code < b.code; }));

} // namespace

std::span<const CommandSpec> CommandTable()
{
    return kCommands;
}

const CommandSpec *FindCommand(uint8_t code)
{
    const auto *it = std::lower_bound(kCommands.begin(), kCommands.end(), code,
                                      [](const CommandSpec &c, uint8_t v) { return c.code < v; });
    return it != kCommands.end() && it->code == code ? &*it : nullptr;
}

uint8_t FrameSum(std::span<const uint8_t> bytes)
{
    return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u));
}

} // namespace lumex
