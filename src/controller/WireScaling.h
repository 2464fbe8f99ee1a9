// Conversions between the data image's engineering values and the 16-bit
// and 8-bit wire values of the model and correction parameters. Encoders
// refuse a value the wire cannot carry: wrapping it would write a different
// model into the controller than the one the user sees.
#pragma once

#include <cstdint>
#include <optional>

namespace lumex {

// Multiplier (Mult, CorrectionMult): value × 1024, unsigned word.
std::optional<uint16_t> EncodeMult(double mult);
double DecodeMult(uint16_t wire);

// Offset (Offset, CorrectionOffset) in ms: value × 187, signed word.
std::optional<uint16_t> EncodeOffset(double ms);
double DecodeOffset(uint16_t wire);

// Model points P1..P4: P × 187, unsigned word; reading rounds wire / 187.
std::optional<uint16_t> EncodeP(int32_t p);
int32_t DecodeP(uint16_t wire);

// Enrichments E1..E4 in percent: (E / 100 + 1) × 4096, unsigned word;
// reading rounds (wire / 4096 − 1) × 100.
std::optional<uint16_t> EncodeE(int32_t e);
int32_t DecodeE(uint16_t wire);

// Correction table entries: signed percent in one byte.
std::optional<uint8_t> EncodeCorrection(int value);
inline int8_t DecodeCorrection(uint8_t wire)
{
    return static_cast<int8_t>(wire);
}

// Times in ms sent as ticks (model reference points): value × 187,
// unsigned word.
std::optional<uint16_t> EncodeTicks(double ms);

} // namespace lumex
