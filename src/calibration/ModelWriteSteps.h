// The write steps every model write is made of, so the model pages and
// autocalibration send the same commands in the same order under the same
// step names.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>

namespace lumex {

class TDataManager;
class TWriteSequence;

// Model parameters of the gas model.
inline constexpr uint8_t kMultParam = 1, kOffsetParam = 2, kFirstPParam = 3, kLastEParam = 10;
inline constexpr uint8_t kCorrMultParam = 11, kCorrOffsetParam = 12, kCorrMaskParam = 13;
// Byte parameter 37, bit 0: use the model at idle.
inline constexpr uint8_t kIdleModelByteParam = 37;

// Multiplier and offset, then the correction line's multiplier, offset and mask.
void WriteModelLineSteps(TWriteSequence &w);
// Both halves of the point set, then (when `adaptedToo`) of the adapted set.
void WriteModel2PointSteps(TWriteSequence &w, TDataManager &m, bool adaptedToo);
void WriteIdlePointSteps(TWriteSequence &w, TDataManager &m, const TModelPoints &idle);

} // namespace lumex
