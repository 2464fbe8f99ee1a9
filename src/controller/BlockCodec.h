// Answers and request payloads of the parameter-block and service commands.
// Every decoder takes the whole answer frame (B[0] is the start byte) and
// refuses, storing nothing, a frame whose length is not the command's answer
// length or whose indexes do not fit the image.
#pragma once

#include "controller/AnswerDecode.h"
#include "controller/NorviData.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace lumex {

// --- Indexed parameters ---
// 0x07: B[3].
std::optional<uint8_t> DecodeByteParam(TAnswerBytes b);
// 0x51 and 0x12: B[3..4].
std::optional<uint16_t> DecodeWordParam(TAnswerBytes b);
std::optional<uint16_t> DecodeModelParam(TAnswerBytes b);

// --- Configuration blocks ---
// 0x03: T, RPM, flag byte, InjMask; InjSW from the mask (InjHW not applied).
bool DecodeBasicConfig(TAnswerBytes b, TNorviData &d);
// 0xD8: the whole 3.0 block, and its four flag bytes as they came.
bool DecodeBasicConfigG3(TAnswerBytes b, TNorviData &d);
// The 1.4/1.5 flag byte from the image.
uint8_t LegacyConfigFlags(const TNorviData &d);
// 0x04 payload: T, RPM high, RPM low, InjMask, flags.
std::array<uint8_t, 5> EncodeBasicConfig(const TNorviData &d);
// The four flag bytes of 0xD9: those last read, with the bits the image owns
// (and the injector mask) put in. Bits the system does not know are kept.
std::array<uint8_t, 4> G3ConfigFlags(const TNorviData &d);
// 0xD9 payload (25 bytes).
std::array<uint8_t, 25> EncodeBasicConfigG3(const TNorviData &d);

// --- Small records ---
// 0x35 (table A, PW0..PW3) and 0x36 (table B, 0900..0903).
bool DecodeLevelTable(bool tableB, TAnswerBytes b, TNorviData &d);
std::array<uint8_t, 4> LevelTable(bool tableB, const TNorviData &d);
// 0x17: the 12-byte injector record.
bool DecodeInjectorParams(TAnswerBytes b, TNorviData &d);
// 0x56: ratio and NextInspection.
bool DecodeInspection(TAnswerBytes b, TNorviData &d);

// --- Model ---
// 0x10: Mult, Offset, P1..P4, E1..E4.
bool DecodeModelBlock(TAnswerBytes b, TNorviData &d);
// 0xC0: the four reference points in ms.
bool DecodeModelPoints(TAnswerBytes b, TModelPoints &points);
// 0xC1 payload; nothing when a point does not fit a word.
std::optional<std::array<uint8_t, 8>> EncodeModelPoints(const TModelPoints &points);
// 0xD4 / 0x95 answer of `half` (0 or 1) into the set.
bool DecodeModel2Half(uint8_t code, unsigned half, TAnswerBytes b, TModel2Set &set);
// 0xD5 / 0x96 payload after the half byte; nothing when a coordinate does
// not fit a word or the half is not 0 or 1.
std::optional<std::array<uint8_t, 40>> EncodeModel2Half(unsigned half, const TModel2Set &set);

// --- Corrections ---
// Which of the four 20-point tables.
enum class TCorrTable
{
    CPS,   // gas pressure, 0xD0 / 0xD1
    CPCOL, // manifold pressure, 0x97 / 0x98
    CTG,   // gas temperature, 0xD2 / 0xD3
    CRPM   // engine speed, 0xDB / 0xDA
};
uint8_t CorrTableReadCode(TCorrTable t);
uint8_t CorrTableWriteCode(TCorrTable t);
const char *CorrTableName(TCorrTable t);
TCorrectionTable &CorrTableOf(TCorrTable t, TNorviData &d);
const TCorrectionTable &CorrTableOf(TCorrTable t, const TNorviData &d);
bool DecodeCorrTable(TCorrTable t, TAnswerBytes b, TNorviData &d);
// 0x93: InjCorr 1..8.
bool DecodeInjCorr(TAnswerBytes b, TNorviData &d);

// --- Maps ---
// 0xDC / 0xDD row r (0..39).
bool DecodeMapG3Row(uint8_t code, unsigned row, TAnswerBytes b, TNorviData &d);
// 0xD6 / 0xD7: sixteen point words, 0xFFFF read as 0.
std::optional<std::array<uint16_t, 16>> DecodeMapBlock(TAnswerBytes b);
// A map point word: kind, manifold pressure (bar) and injection time (ms).
TMapPoint DecodeMapPoint(uint16_t word, uint8_t pressureSensorType);
// Memory word 198: the petrol and gas counts, 127 for a count with bit 7 set.
uint8_t MapPointCount(uint8_t countByte);

// --- Adaptation ---
// 0x60: AdaptInfoBytes and AdaptInfoWords.
bool DecodeAdaptationInfo(TAnswerBytes b, TNorviData &d);
// The 0x61/0x62 selector, nothing for a bank other than 1/2 or a half other
// than 0/1.
std::optional<uint8_t> AdaptationSelector(unsigned bank, unsigned half);
// 0x61: rows of the half; false (nothing stored) when the echoed selector
// differs from the one asked for.
bool DecodeAdaptationCorr(uint8_t selector, TAnswerBytes b, TNorviData &d);
// 0x62 payload after the selector: the 50 bytes of the half's five rows.
std::array<uint8_t, 50> EncodeAdaptationHalf(uint8_t selector, const TNorviData &d);

// --- Service ---
// 0x13: TroubleFlags.
bool DecodeTroubleFlags(TAnswerBytes b, TNorviData &d);
// 0x21, decoded for 1.4/1.5 or for 3.0.
bool DecodeCalibrationState(TAnswerBytes b, bool g3, TNorviData &d);
// 0x58: ErrorLogHead and the record of `slot` (0..9).
bool DecodeErrorLogRecord(unsigned slot, TAnswerBytes b, TNorviData &d);
// 0x33: B[4].
std::optional<uint8_t> DecodeMemByte(TAnswerBytes b);
// 0x3A: EmulatorSwitchState.
bool DecodeEmulatorSwitches(TAnswerBytes b, TNorviData &d);
// 0x3B half 1 or 2: the word of four phase nibbles.
bool DecodeInjSystemDetect(unsigned half, TAnswerBytes b, TNorviData &d);
// 0x90 and 0x91.
bool DecodeInjTestCounters(TAnswerBytes b, TNorviData &d);
bool DecodeInjTestValues(TAnswerBytes b, TNorviData &d);
// 0x54: the five programming-PC entries and the newest index.
bool DecodeComputerCodes(TAnswerBytes b, TNorviData &d);

// Big-endian bytes of a word or a 32-bit value.
inline std::array<uint8_t, 2> BigEndian16(uint16_t v)
{
    return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF)};
}
inline std::array<uint8_t, 4> BigEndian32(uint32_t v)
{
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v & 0xFF)};
}

} // namespace lumex
