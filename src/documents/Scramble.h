// The self-inverse byte scrambling of language files, OBD code lists and
// scrambled map files: chunks of 1024 bytes, byte i of a chunk XOR the key
// XOR ((i + 1) mod the modulus).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <span>

namespace lumex {

// The one place where the key and the modulus are chosen; every scrambled
// file of the program depends on these two values.
inline constexpr uint8_t ScrambleKey = 0xA7;
inline constexpr unsigned ScrambleModulus = 233;
static_assert(ScrambleModulus >= 1 && ScrambleModulus <= 255);

inline constexpr unsigned ScrambleChunkSize = 1024;

// Scrambles (or unscrambles) a whole buffer in place.
void ScrambleBytes(std::span<uint8_t> bytes);
// Scrambles a stream in place from position 0, chunk by chunk; leaves the
// position at 0. Returns false when the stream fails on the way.
bool ScrambleStream(std::iostream &stream);

} // namespace lumex
