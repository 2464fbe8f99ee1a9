#include "controller/AnswerDecode.h"

#include "controller/CommandCodes.h"
#include "controller/CommandTable.h"
#include "controller/Frame.h"
#include "controller/Version.h"

#include <algorithm>

namespace lumex {

namespace {

bool HasLength(TAnswerBytes b, uint8_t code)
{
    const CommandInfo *entry = FindCommand(code);
    return entry != nullptr && b.size() == entry->answerLength;
}

// A cylinder whose petrol time is 0 has no gas time to show either.
void ClearGasWithoutPetrol(TNorviData &d, std::size_t first, std::size_t count)
{
    for (std::size_t k = first; k < first + count && k < kCylinders; ++k) {
        if (d.PetrolTime[k] == 0)
            d.GasTime[k] = 0;
    }
}

// B[2..25] of 0x05, shared with 0x0B.
void DecodeCylinders1to4(TAnswerBytes b, TNorviData &d)
{
    d.PsysRaw = b[2];
    d.TredRaw = b[3];
    d.TgasRaw = b[4];
    d.SupplyRaw = b[5];
    d.LevelSensorRaw = b[6];
    d.LambdaRaw = b[7];
    d.RpmPeriod = Word(b, 8);
    d.SystemState = static_cast<uint8_t>(b[10] >> 5);
    d.PetrolTime[0] = (b[10] & 0x1F) * 256 + b[11];
    d.Cyl2Flag = static_cast<uint8_t>(b[12] >> 7);
    d.PetrolTime[1] = (b[12] & 0x7F) * 256 + b[13];
    d.PetrolTime[2] = Word(b, 14);
    d.PetrolTime[3] = Word(b, 16);
    for (std::size_t k = 0; k < 4; ++k)
        d.GasTime[k] = Word(b, 18 + 2 * k);
}

// Four petrol words from `petrolAt`, four gas words from `gasAt`, cylinders 5-8.
void DecodeCylinders5to8(TAnswerBytes b, std::size_t petrolAt, std::size_t gasAt, TNorviData &d)
{
    for (std::size_t k = 0; k < 4; ++k) {
        d.PetrolTime[4 + k] = Word(b, petrolAt + 2 * k);
        d.GasTime[4 + k] = Word(b, gasAt + 2 * k);
    }
}

std::string TextUpToZero(TAnswerBytes bytes)
{
    const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    return std::string(bytes.begin(), end);
}

} // namespace

std::string LetterFromByte(uint8_t value)
{
    return value == 0 ? std::string() : std::string(1, static_cast<char>(value));
}

bool DecodeVersionCode(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadVersionCode))
        return false;
    d.VersionCode = b[2];
    return true;
}

bool DecodeCompileInfo(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadCompileInfo))
        return false;
    d.CompileTime = TextUpToZero(b.subspan(2, 8));
    d.CompileDate = TextUpToZero(b.subspan(10, 11));
    return true;
}

bool DecodeIdentByte(unsigned index, TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadIdentByte))
        return false;
    const uint8_t v = b[2];
    switch (index) {
    case 0:
        d.SoftwareLetter = LetterFromByte(v);
        break;
    case 1:
        d.Variant = v;
        break;
    case 2:
        d.IdentByte2 = v;
        break;
    case 3:
        d.IdentByte3 = v;
        break;
    case 4:
        d.PcCompatCode = v;
        break;
    case 5:
        d.WorkState = v;
        break;
    case 6:
        d.ExtraVersion = HasExtraVersion(d) ? v : uint8_t{255};
        break;
    default:
        break;
    }
    return true;
}

bool DecodeLiveData(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadLiveData))
        return false;
    DecodeCylinders1to4(b, d);
    ClearGasWithoutPetrol(d, 0, 4);
    return true;
}

bool DecodeLiveDataHigh(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadLiveDataHigh))
        return false;
    DecodeCylinders5to8(b, 2, 10, d);
    ClearGasWithoutPetrol(d, 4, 4);
    return true;
}

bool DecodeLiveDataFull(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadLiveDataFull))
        return false;
    DecodeCylinders1to4(b, d);
    DecodeCylinders5to8(b, 26, 34, d);
    d.PcolRaw = b[42];
    d.NominalTredG = b[43];
    d.PetrolOverloadMask = b[44];
    d.GasOverloadMask = b[45];
    d.EmulatorSwitchState = b[46];
    d.ValveOpen = b[47] != 0 ? 1 : 0;
    d.TpcbRaw = b[48];
    d.WorkState = b[49];
    d.LoadPercent = b[50];
    ClearGasWithoutPetrol(d, 0, kCylinders);
    return true;
}

bool DecodePcol(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadPcol))
        return false;
    d.PcolRaw = b[2];
    return true;
}

bool DecodeCalRPM(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadCalRPM))
        return false;
    d.CalRpmPeriod = Word(b, 2);
    return true;
}

bool DecodeLoadIndex(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadLoadIndex))
        return false;
    d.LoadIndex = b[4];
    return true;
}

bool DecodeLockState(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadLockState))
        return false;
    d.LockState = b[2];
    return true;
}

std::optional<uint16_t> DecodeWordVar(TAnswerBytes b)
{
    if (!HasLength(b, cmd::ReadWordVar))
        return std::nullopt;
    return Word(b, 2);
}

std::optional<uint16_t> DecodeMemWord(TAnswerBytes b)
{
    if (!HasLength(b, cmd::ReadMemWord))
        return std::nullopt;
    return Word(b, 4);
}

} // namespace lumex
