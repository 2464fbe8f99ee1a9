#include "sim/controller/CommandSet.h"

#include "controller/CommandCodes.h"
#include "controller/CommandTable.h"
#include "sim/Trace.h"

#include <algorithm>
#include <array>

namespace sim {

namespace {

// The 1.4/1.5 firmware: the older block layout, no 3.0 tables or maps.
constexpr std::array<uint8_t, 37> kLegacySet{
    lumex::cmd::ReadVersionCode,      lumex::cmd::ReadCompileInfo,      lumex::cmd::ReadBasicConfig,
    lumex::cmd::WriteBasicConfig,     lumex::cmd::ReadLiveData,         lumex::cmd::ReadLiveDataHigh,
    lumex::cmd::ReadByteParam,        lumex::cmd::WriteByteParam,       lumex::cmd::ReadModelBlock,
    lumex::cmd::ReadModelParam,       lumex::cmd::ReadTroubleFlags,     lumex::cmd::ClearTroubleCodes,
    lumex::cmd::WriteInjectorParams,  lumex::cmd::WriteModelParam,      lumex::cmd::ValveAction,
    lumex::cmd::SetWorkType,          lumex::cmd::ReadCalibrationState, lumex::cmd::ReadPcol,
    lumex::cmd::ReadMemWord,          lumex::cmd::WriteMemWord,         lumex::cmd::ReadMemByte,
    lumex::cmd::WriteMemByte,         lumex::cmd::ReadLevelSensorA,     lumex::cmd::ReadLevelSensorB,
    lumex::cmd::WriteLevelSensorA,    lumex::cmd::WriteLevelSensorB,    lumex::cmd::WriteEmulatorSwitches,
    lumex::cmd::ReadEmulatorSwitches, lumex::cmd::ReadInjSystemDetect,  lumex::cmd::LockDevice,
    lumex::cmd::UnlockDevice,         lumex::cmd::ReadLockState,        lumex::cmd::ReadWordVar,
    lumex::cmd::ReadCalRPM,           lumex::cmd::ReadWordParam,        lumex::cmd::WriteWordParam,
    lumex::cmd::ReadIdentByte};

// The letter a 3.0 controller needs for a command; 'A' = every 3.0 letter,
// 0 = not a 3.0 command at all.
char Gen30Gate(uint8_t code)
{
    switch (code) {
    case lumex::cmd::ReadBasicConfig:
    case lumex::cmd::WriteBasicConfig:
        return 0; // the 1.4/1.5 basic block; 3.0 uses 0xD8/0xD9
    case lumex::cmd::ReadInjCorr:
    case lumex::cmd::WriteInjCorr: // per-cylinder gas corrections
    case lumex::cmd::ReadModel2SetB:
    case lumex::cmd::WriteModel2SetB: // adapted model points
    case lumex::cmd::ReadMapG3Row:
    case lumex::cmd::ReadMapG3RowB:
    case lumex::cmd::WriteMapG3Row: // G3 maps
        return 'D';
    case lumex::cmd::ReadCorrPcol:
    case lumex::cmd::WriteCorrPcol: // manifold-pressure correction table
        return 'F';
    case lumex::cmd::ReadLiveDataFull: // single live block
    case lumex::cmd::ReadComputerCodes:
    case lumex::cmd::WriteComputerCode: // programming-PC history
    case lumex::cmd::ReadInspection:
    case lumex::cmd::WriteInspection: // inspection
    case lumex::cmd::ReadAdaptationInfo:
    case lumex::cmd::ReadAdaptationCorr:
    case lumex::cmd::WriteAdaptationCorr: // adaptation
    case lumex::cmd::ReadLoadIndex:       // load index
        return 'G';
    default:
        return lumex::FindCommand(code) != nullptr ? 'A' : 0;
    }
}

} // namespace

bool Understands(const ControllerIdentity &id, uint8_t code)
{
    if (code == kJumpToBootloader)
        return true;
    if (id.IsLegacy())
        return std::find(kLegacySet.begin(), kLegacySet.end(), code) != kLegacySet.end();
    const char gate = Gen30Gate(code);
    if (gate == 0)
        return false;
    return gate == 'A' || id.LetterAtLeast(gate);
}

std::string WhyNotUnderstood(const ControllerIdentity &id, uint8_t code)
{
    if (Understands(id, code))
        return {};
    if (lumex::FindCommand(code) == nullptr)
        return "command " + HexByte(code) + " is unknown to every controller";
    if (id.IsLegacy())
        return "command " + HexByte(code) + " is not understood by a generation " + id.Text() + " controller";
    const char gate = Gen30Gate(code);
    if (gate == 0)
        return "command " + HexByte(code) + " belongs to generations 1.4/1.5, not to " + id.Text();
    return "command " + HexByte(code) + " needs firmware letter " + std::string(1, gate) +
           " or later; this controller is " + id.Text();
}

bool IsGuardedWrite(uint8_t code)
{
    switch (code) {
    case lumex::cmd::WriteBasicConfig:
    case lumex::cmd::WriteByteParam:
    case lumex::cmd::ClearTroubleCodes:
    case lumex::cmd::WriteInjectorParams:
    case lumex::cmd::WriteModelParam:
    case lumex::cmd::ValveAction:
    case lumex::cmd::WriteMemWord:
    case lumex::cmd::WriteMemByte:
    case lumex::cmd::WriteLevelSensorA:
    case lumex::cmd::WriteLevelSensorB:
    case lumex::cmd::WriteEmulatorSwitches:
    case lumex::cmd::WriteWordParam:
    case lumex::cmd::WriteComputerCode:
    case lumex::cmd::WriteInspection:
    case lumex::cmd::WriteAdaptationCorr:
    case lumex::cmd::StartInjTest:
    case lumex::cmd::WriteInjCorr:
    case lumex::cmd::WriteModel2SetB:
    case lumex::cmd::WriteCorrPcol:
    case lumex::cmd::WriteModelPoints:
    case lumex::cmd::WriteCorrPressure:
    case lumex::cmd::WriteCorrGasTemp:
    case lumex::cmd::WriteModel2SetA:
    case lumex::cmd::WriteBasicConfigG3:
    case lumex::cmd::WriteCorrRPM:
    case lumex::cmd::ClearMap:
    case lumex::cmd::WriteMapG3Row:
        return true;
    default:
        return false;
    }
}

} // namespace sim
