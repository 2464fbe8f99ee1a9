// Decoding of answer frames into the data image. Each decoder takes the
// whole answer frame (B[0] is the start byte) and refuses, storing nothing,
// a frame whose length is not the command's answer length.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <optional>
#include <span>

namespace lumex {

using TAnswerBytes = std::span<const uint8_t>;

// 0x01: VersionCode.
bool DecodeVersionCode(TAnswerBytes b, TNorviData &d);
// 0x02: CompileTime and CompileDate (text up to the first zero byte).
bool DecodeCompileInfo(TAnswerBytes b, TNorviData &d);
// 0x53: identification byte `index` into its field; indexes above 6 are
// stored nowhere.
bool DecodeIdentByte(unsigned index, TAnswerBytes b, TNorviData &d);
// 0x05: cylinders 1-4 and the sensor readings.
bool DecodeLiveData(TAnswerBytes b, TNorviData &d);
// 0x06: cylinders 5-8.
bool DecodeLiveDataHigh(TAnswerBytes b, TNorviData &d);
// 0x0B: all live readings of letter "G" and later.
bool DecodeLiveDataFull(TAnswerBytes b, TNorviData &d);
// 0x22: PcolRaw.
bool DecodePcol(TAnswerBytes b, TNorviData &d);
// 0x50: CalRpmPeriod.
bool DecodeCalRPM(TAnswerBytes b, TNorviData &d);
// 0x64: LoadIndex.
bool DecodeLoadIndex(TAnswerBytes b, TNorviData &d);
// 0x3F: LockState.
bool DecodeLockState(TAnswerBytes b, TNorviData &d);

// 0x40: the word variable's value.
std::optional<uint16_t> DecodeWordVar(TAnswerBytes b);
// 0x31: the memory word's value.
std::optional<uint16_t> DecodeMemWord(TAnswerBytes b);

// The firmware letter for an identification byte: empty for 0.
std::string LetterFromByte(uint8_t value);

} // namespace lumex
