// The controller's map point word: bits 13-15 the RPM range, bits 7-12 the
// pressure bin, bits 0-6 the time in units of 32 ticks. Decoding lives with
// the other answer decoders (DecodeMapPoint); this is the way back.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <optional>

namespace lumex {

inline constexpr unsigned kMapBinCount = 64;   // six bits
inline constexpr unsigned kMapTimeCodes = 128; // seven bits
inline constexpr unsigned kMapRangeCodes = 8;  // three bits

// The pressure bin of a manifold pressure: the sensor code of the pressure,
// rounded, less 10, halved toward zero. Nothing when it is outside 0..63.
std::optional<unsigned> MapPressureBin(double bar, uint8_t pressureSensorType);
// The time code of an injection time: ms x 187 / 32 rounded; nothing
// outside 0..127.
std::optional<unsigned> MapTimeCode(double ms);

// The word of a point, or nothing when a field does not fit its bits.
std::optional<uint16_t> EncodeMapWord(const TMapPoint &point, uint8_t pressureSensorType);

} // namespace lumex
