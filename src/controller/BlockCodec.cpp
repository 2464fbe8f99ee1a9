#include "controller/BlockCodec.h"

#include "controller/CommandCodes.h"
#include "controller/CommandTable.h"
#include "controller/Conversions.h"
#include "controller/Frame.h"
#include "controller/ParamTables.h"
#include "controller/WireScaling.h"

#include <algorithm>

namespace lumex {

namespace {

bool HasLength(TAnswerBytes b, uint8_t code)
{
    const CommandInfo *entry = FindCommand(code);
    return entry != nullptr && b.size() == entry->answerLength;
}

uint32_t Long(TAnswerBytes b, std::size_t at)
{
    return static_cast<uint32_t>(Word(b, at)) << 16 | Word(b, at + 2);
}

uint8_t Bit(uint8_t value, unsigned bit)
{
    return (value >> bit) & 1;
}

uint8_t PutBit(uint8_t byte, unsigned bit, uint8_t flag)
{
    const auto mask = static_cast<uint8_t>(1u << bit);
    return static_cast<uint8_t>(flag != 0 ? (byte | mask) : (byte & ~mask));
}

// InjSW from the mask (other masks leave it), then never above InjHW.
void ApplyMask(uint8_t mask, TNorviData &d)
{
    d.InjMask = mask;
    if (const auto n = InjectorsForMask(mask))
        d.InjSW = *n;
}

} // namespace

std::optional<uint8_t> DecodeByteParam(TAnswerBytes b)
{
    if (!HasLength(b, cmd::ReadByteParam))
        return std::nullopt;
    return b[3];
}

std::optional<uint16_t> DecodeWordParam(TAnswerBytes b)
{
    if (!HasLength(b, cmd::ReadWordParam))
        return std::nullopt;
    return Word(b, 3);
}

std::optional<uint16_t> DecodeModelParam(TAnswerBytes b)
{
    if (!HasLength(b, cmd::ReadModelParam))
        return std::nullopt;
    return Word(b, 3);
}

bool DecodeBasicConfig(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadBasicConfig))
        return false;
    d.T = b[2];
    d.RPM = Word(b, 3) & 0x3FFF;
    const uint8_t flags = b[5];
    d.InjType = flags & 3;
    d.ReserveType = (flags >> 2) & 3;
    d.FuelType = Bit(flags, 4);
    d.RPMsource = (flags >> 5) & 3;
    d.EngineType = Bit(flags, 7);
    ApplyMask(b[6], d);
    return true;
}

bool DecodeBasicConfigG3(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadBasicConfigG3))
        return false;
    const uint8_t f1 = b[2];
    d.InjType = f1 & 2;
    d.FuelType = Bit(f1, 4);
    d.RPMsource = (f1 >> 5) & 3;
    d.EngineType = Bit(f1, 7);
    ApplyMask(b[3], d);
    const uint8_t f2 = b[4];
    d.LambdaType = f2 & 7;
    d.PetrolInjPlusControl = Bit(f2, 3);
    d.NoSeqential = Bit(f2, 4);
    d.RPMSourceType = Bit(f2, 5);
    d.ExternalEmulator = Bit(f2, 6);
    d.CAP_TIE_enable = Bit(f2, 7);
    const uint8_t f3 = b[5];
    d.SemiGasControl = Bit(f3, 0);
    d.MicroInjection = Bit(f3, 1);
    d.HemiEngine = Bit(f3, 2);
    d.TuningMode = Bit(f3, 3);
    d.MasterMode = Bit(f3, 7);
    d.ConfigG3Flags = {b[2], b[3], b[4], b[5]};
    d.T = b[6];
    d.RPM = Word(b, 7) & 0x3FFF;
    d.InjTypeName = b[9];
    d.EngineCubicCapacity = Word(b, 10);
    d.Power = Word(b, 12);
    d.IdleHotTb = Word(b, 14);
    d.InjSystemType = b[16];
    d.RedType = b[17];
    d.NozzleSize = b[18];
    d.EmulatorSwitchDelay = Word(b, 19);
    d.PostValveDelay = Word(b, 21);
    d.LowPD = b[23];
    d.LowPT = b[24];
    d.MicroInjectionTime = b[25];
    d.PressureSensorType = b[26];
    return true;
}

uint8_t LegacyConfigFlags(const TNorviData &d)
{
    return static_cast<uint8_t>((d.InjType & 3) | (d.ReserveType & 3) << 2 | (d.FuelType & 1) << 4 |
                                (d.RPMsource & 3) << 5 | (d.EngineType & 1) << 7);
}

std::array<uint8_t, 5> EncodeBasicConfig(const TNorviData &d)
{
    const auto rpm = BigEndian16(d.RPM & 0x3FFF);
    return {d.T, rpm[0], rpm[1], d.InjMask, LegacyConfigFlags(d)};
}

std::array<uint8_t, 4> G3ConfigFlags(const TNorviData &d)
{
    std::array<uint8_t, 4> f = d.ConfigG3Flags;
    f[0] = PutBit(f[0], 1, d.InjType & 2);
    f[0] = PutBit(f[0], 4, d.FuelType);
    f[0] = static_cast<uint8_t>((f[0] & ~0x60) | (d.RPMsource & 3) << 5);
    f[0] = PutBit(f[0], 7, d.EngineType);
    f[1] = d.InjMask;
    f[2] = static_cast<uint8_t>((f[2] & ~7) | (d.LambdaType & 7));
    f[2] = PutBit(f[2], 3, d.PetrolInjPlusControl);
    f[2] = PutBit(f[2], 4, d.NoSeqential);
    f[2] = PutBit(f[2], 5, d.RPMSourceType);
    f[2] = PutBit(f[2], 6, d.ExternalEmulator);
    f[2] = PutBit(f[2], 7, d.CAP_TIE_enable);
    f[3] = PutBit(f[3], 0, d.SemiGasControl);
    f[3] = PutBit(f[3], 1, d.MicroInjection);
    f[3] = PutBit(f[3], 2, d.HemiEngine);
    f[3] = PutBit(f[3], 3, d.TuningMode);
    f[3] = PutBit(f[3], 7, d.MasterMode);
    return f;
}

std::array<uint8_t, 25> EncodeBasicConfigG3(const TNorviData &d)
{
    const auto flags = G3ConfigFlags(d);
    const auto rpm = BigEndian16(d.RPM & 0x3FFF);
    const auto ccm = BigEndian16(d.EngineCubicCapacity);
    const auto power = BigEndian16(d.Power);
    const auto idle = BigEndian16(d.IdleHotTb);
    const auto emul = BigEndian16(d.EmulatorSwitchDelay);
    const auto valve = BigEndian16(d.PostValveDelay);
    return {flags[0],
            flags[1],
            flags[2],
            flags[3],
            d.T,
            rpm[0],
            rpm[1],
            d.InjTypeName,
            ccm[0],
            ccm[1],
            power[0],
            power[1],
            idle[0],
            idle[1],
            d.InjSystemType,
            d.RedType,
            d.NozzleSize,
            emul[0],
            emul[1],
            valve[0],
            valve[1],
            d.LowPD,
            d.LowPT,
            d.MicroInjectionTime,
            d.PressureSensorType};
}

bool DecodeLevelTable(bool tableB, TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, tableB ? cmd::ReadLevelSensorB : cmd::ReadLevelSensorA))
        return false;
    if (tableB) {
        d.Level0900 = b[2];
        d.Level0901 = b[3];
        d.Level0902 = b[4];
        d.Level0903 = b[5];
    } else {
        d.PW0 = b[2];
        d.PW1 = b[3];
        d.PW2 = b[4];
        d.PW3 = b[5];
    }
    return true;
}

std::array<uint8_t, 4> LevelTable(bool tableB, const TNorviData &d)
{
    if (tableB)
        return {d.Level0900, d.Level0901, d.Level0902, d.Level0903};
    return {d.PW0, d.PW1, d.PW2, d.PW3};
}

bool DecodeInjectorParams(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadInjectorParams))
        return false;
    // The whole record is kept so that writing it back after an edit does
    // not zero the bytes the pages do not show.
    std::copy_n(b.begin() + 2, d.InjectorRecord.size(), d.InjectorRecord.begin());
    return true;
}

bool DecodeInspection(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadInspection))
        return false;
    d.InspectionTimeDistRatio = b[2];
    d.NextInspection = Word(b, 3);
    return true;
}

bool DecodeModelBlock(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadModelBlock))
        return false;
    for (uint8_t i = 0; i < 10; ++i)
        StoreModelParam(static_cast<uint8_t>(1 + i), Word(b, 2 + 2 * i), d);
    return true;
}

bool DecodeModelPoints(TAnswerBytes b, TModelPoints &points)
{
    if (!HasLength(b, cmd::ReadModelPoints))
        return false;
    points.P1X = TimeMs(Word(b, 2));
    points.P1Y = TimeMs(Word(b, 4));
    points.P2X = TimeMs(Word(b, 6));
    points.P2Y = TimeMs(Word(b, 8));
    return true;
}

std::optional<std::array<uint8_t, 8>> EncodeModelPoints(const TModelPoints &points)
{
    std::array<uint8_t, 8> out{};
    const double values[4]{points.P1X, points.P1Y, points.P2X, points.P2Y};
    for (std::size_t i = 0; i < 4; ++i) {
        const auto ticks = EncodeTicks(values[i]);
        if (!ticks)
            return std::nullopt;
        const auto w = BigEndian16(*ticks);
        out[2 * i] = w[0];
        out[2 * i + 1] = w[1];
    }
    return out;
}

bool DecodeModel2Half(uint8_t code, unsigned half, TAnswerBytes b, TModel2Set &set)
{
    const auto first = Model2HalfFirstPoint(half);
    if ((code != cmd::ReadModel2SetA && code != cmd::ReadModel2SetB) || !first || !HasLength(b, code))
        return false;
    for (std::size_t i = 0; i < kModel2HalfPoints; ++i) {
        set[*first + i].X = Word(b, 2 + 4 * i);
        set[*first + i].Y = Word(b, 4 + 4 * i);
    }
    return true;
}

std::optional<std::array<uint8_t, 40>> EncodeModel2Half(unsigned half, const TModel2Set &set)
{
    const auto first = Model2HalfFirstPoint(half);
    if (!first)
        return std::nullopt;
    std::array<uint8_t, 40> out{};
    for (std::size_t i = 0; i < kModel2HalfPoints; ++i) {
        const TModel2Point &p = set[*first + i];
        if (p.X < 0 || p.X > 0xFFFF || p.Y < 0 || p.Y > 0xFFFF)
            return std::nullopt;
        const auto x = BigEndian16(static_cast<uint16_t>(p.X));
        const auto y = BigEndian16(static_cast<uint16_t>(p.Y));
        out[4 * i] = x[0];
        out[4 * i + 1] = x[1];
        out[4 * i + 2] = y[0];
        out[4 * i + 3] = y[1];
    }
    return out;
}

uint8_t CorrTableReadCode(TCorrTable t)
{
    switch (t) {
    case TCorrTable::CPS:
        return cmd::ReadCorrPressure;
    case TCorrTable::CPCOL:
        return cmd::ReadCorrPcol;
    case TCorrTable::CTG:
        return cmd::ReadCorrGasTemp;
    case TCorrTable::CRPM:
        return cmd::ReadCorrRPM;
    }
    return 0;
}

uint8_t CorrTableWriteCode(TCorrTable t)
{
    switch (t) {
    case TCorrTable::CPS:
        return cmd::WriteCorrPressure;
    case TCorrTable::CPCOL:
        return cmd::WriteCorrPcol;
    case TCorrTable::CTG:
        return cmd::WriteCorrGasTemp;
    case TCorrTable::CRPM:
        return cmd::WriteCorrRPM;
    }
    return 0;
}

const char *CorrTableName(TCorrTable t)
{
    switch (t) {
    case TCorrTable::CPS:
        return "CPS";
    case TCorrTable::CPCOL:
        return "CPCOL";
    case TCorrTable::CTG:
        return "CTG";
    case TCorrTable::CRPM:
        return "CRPM";
    }
    return "";
}

namespace {

template <typename Data> auto &TableIn(TCorrTable t, Data &d)
{
    switch (t) {
    case TCorrTable::CPCOL:
        return d.CPCOL;
    case TCorrTable::CTG:
        return d.CTG;
    case TCorrTable::CRPM:
        return d.CRPM;
    case TCorrTable::CPS:
        break;
    }
    return d.CPS;
}

} // namespace

TCorrectionTable &CorrTableOf(TCorrTable t, TNorviData &d)
{
    return TableIn(t, d);
}

const TCorrectionTable &CorrTableOf(TCorrTable t, const TNorviData &d)
{
    return TableIn(t, d);
}

bool DecodeCorrTable(TCorrTable t, TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, CorrTableReadCode(t)))
        return false;
    TCorrectionTable &table = CorrTableOf(t, d);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = DecodeCorrection(b[2 + i]);
    return true;
}

bool DecodeInjCorr(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadInjCorr))
        return false;
    std::copy_n(b.begin() + 2, d.InjCorr.size(), d.InjCorr.begin());
    return true;
}

bool DecodeMapG3Row(uint8_t code, unsigned row, TAnswerBytes b, TNorviData &d)
{
    if ((code != cmd::ReadMapG3Row && code != cmd::ReadMapG3RowB) || row >= kMapG3Rows || !HasLength(b, code))
        return false;
    auto &target = (code == cmd::ReadMapG3Row ? d.MapG3 : d.MapG3B)[row];
    for (std::size_t i = 0; i < 3; ++i)
        target[i] = Word(b, 2 + 2 * i);
    return true;
}

std::optional<std::array<uint16_t, 16>> DecodeMapBlock(TAnswerBytes b)
{
    if (!HasLength(b, cmd::ReadPetrolMapBlock))
        return std::nullopt;
    std::array<uint16_t, 16> words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const uint16_t w = Word(b, 2 + 2 * i);
        words[i] = w == 0xFFFF ? 0 : w;
    }
    return words;
}

TMapPoint DecodeMapPoint(uint16_t word, uint8_t pressureSensorType)
{
    TMapPoint p;
    p.Kind = static_cast<uint8_t>(word >> 13);
    const unsigned c = (word >> 7) & 0x3F;
    const unsigned t = word & 0x7F;
    p.Pressure = PcolBar(static_cast<uint8_t>(c * 2 + 10), pressureSensorType);
    p.TimeMs = TimeMs(t * 32.0);
    return p;
}

uint8_t MapPointCount(uint8_t countByte)
{
    return (countByte & 0x80) != 0 ? 127 : countByte;
}

bool DecodeAdaptationInfo(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadAdaptationInfo))
        return false;
    std::copy_n(b.begin() + 2, d.AdaptInfoBytes.size(), d.AdaptInfoBytes.begin());
    for (std::size_t i = 0; i < d.AdaptInfoWords.size(); ++i)
        d.AdaptInfoWords[i] = Word(b, 12 + 2 * i);
    return true;
}

std::optional<uint8_t> AdaptationSelector(unsigned bank, unsigned half)
{
    if ((bank != 1 && bank != 2) || half > 1)
        return std::nullopt;
    return static_cast<uint8_t>(bank * 16 + half);
}

namespace {

template <typename Data> auto &AdaptBank(uint8_t selector, Data &d)
{
    return (selector >> 4) == 2 ? d.AdaptCorrBank2 : d.AdaptCorrBank1;
}

} // namespace

bool DecodeAdaptationCorr(uint8_t selector, TAnswerBytes b, TNorviData &d)
{
    const std::size_t half = selector & 0x0F;
    if (!HasLength(b, cmd::ReadAdaptationCorr) || half > 1 || b[2] != selector)
        return false;
    TAdaptTable &table = AdaptBank(selector, d);
    for (std::size_t row = 0; row < 5; ++row) {
        for (std::size_t col = 0; col < 10; ++col)
            table[half * 5 + row][col] = static_cast<int8_t>(b[3 + row * 10 + col]);
    }
    return true;
}

std::array<uint8_t, 50> EncodeAdaptationHalf(uint8_t selector, const TNorviData &d)
{
    const std::size_t half = (selector & 0x0F) > 1 ? 0 : (selector & 0x0F);
    const TAdaptTable &table = AdaptBank(selector, d);
    std::array<uint8_t, 50> out{};
    for (std::size_t row = 0; row < 5; ++row) {
        for (std::size_t col = 0; col < 10; ++col)
            out[row * 10 + col] = static_cast<uint8_t>(table[half * 5 + row][col]);
    }
    return out;
}

bool DecodeTroubleFlags(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadTroubleFlags))
        return false;
    std::copy_n(b.begin() + 2, d.TroubleFlags.size(), d.TroubleFlags.begin());
    return true;
}

bool DecodeCalibrationState(TAnswerBytes b, bool g3, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadCalibrationState))
        return false;
    d.CalState = b[2] & 0x0F;
    d.SystemState = static_cast<uint8_t>(b[2] >> 4);
    if (g3) {
        d.CalTimeA = Word(b, 3);
        d.CalWordC = Word(b, 5);
        d.CalTimeB = Word(b, 7);
        d.CalPhase = b[9];
        d.CalProgress = b[10];
    } else {
        d.CalWordD = Word(b, 3);
        d.CalWordE = Word(b, 5);
        d.CalRpmPeriod = Word(b, 7);
        d.CalProgress = b[10];
        d.CalByte48 = b[11];
    }
    return true;
}

bool DecodeErrorLogRecord(unsigned slot, TAnswerBytes b, TNorviData &d)
{
    if (slot >= kErrorLogSlots || !HasLength(b, cmd::ReadErrorLogRecord))
        return false;
    d.ErrorLogHead = b[2];
    std::copy_n(b.begin() + 3, kErrorLogRecordSize, d.ErrorLog[slot].begin());
    return true;
}

std::optional<uint8_t> DecodeMemByte(TAnswerBytes b)
{
    if (!HasLength(b, cmd::ReadMemByte))
        return std::nullopt;
    return b[4];
}

bool DecodeEmulatorSwitches(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadEmulatorSwitches))
        return false;
    d.EmulatorSwitchState = b[2];
    return true;
}

bool DecodeInjSystemDetect(unsigned half, TAnswerBytes b, TNorviData &d)
{
    if ((half != 1 && half != 2) || !HasLength(b, cmd::ReadInjSystemDetect))
        return false;
    d.InjSystemDetect[half - 1] = Word(b, 3);
    return true;
}

bool DecodeInjTestCounters(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadInjTestCounters))
        return false;
    for (std::size_t i = 0; i < kCylinders; ++i)
        d.InjTestCounters[i] = static_cast<int32_t>(Long(b, 2 + 4 * i));
    return true;
}

bool DecodeInjTestValues(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadInjTestValues))
        return false;
    for (std::size_t i = 0; i < kCylinders; ++i)
        d.InjTestValues[i] = Word(b, 2 + 2 * i);
    std::copy_n(b.begin() + 18, d.InjTestBytes.size(), d.InjTestBytes.begin());
    return true;
}

bool DecodeComputerCodes(TAnswerBytes b, TNorviData &d)
{
    if (!HasLength(b, cmd::ReadComputerCodes))
        return false;
    for (std::size_t i = 0; i < kComputerCodeSlots; ++i) {
        d.ComputerCodes[i].Code = Long(b, 2 + 8 * i);
        d.ComputerCodes[i].Date = Long(b, 6 + 8 * i);
    }
    d.NewestComputerCode = b[42];
    return true;
}

} // namespace lumex
