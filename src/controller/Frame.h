// Building request frames and receiving answer frames of the controller
// protocol: 0xC0, code, parameters, additive checksum out; a fixed-length
// answer with its own start byte and checksum back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumex {

class TComMultiPort;

// Longest frame either way (0x61's answer and 0x62's request are 54 bytes).
inline constexpr std::size_t kMaxFrame = 64;

// The whole request frame for a command: 0xC0, code, parameters, checksum.
std::vector<uint8_t> BuildRequest(uint8_t code, std::span<const uint8_t> params);

// True when the last byte equals the sum of all bytes before it, modulo 256.
// Frames shorter than two bytes are never valid.
bool FrameChecksumValid(std::span<const uint8_t> frame);

// One attempt at a whole answer of frame.size() bytes that must start with
// startByte: one byte first (a wrong one ends the attempt there), then the
// rest in one read, then the checksum. On any failure the buffer comes back
// all zeros. Touches no lock and no link state.
bool ReceiveFrame(TComMultiPort &port, std::span<uint8_t> frame, uint8_t startByte);

// Big-endian word at frame[at], at+1.
inline uint16_t Word(std::span<const uint8_t> frame, std::size_t at)
{
    return static_cast<uint16_t>((frame[at] << 8) | frame[at + 1]);
}

} // namespace lumex
