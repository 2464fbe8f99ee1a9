// The simulator's own firmware image convention. The program never looks
// inside an image; the simulated bootloader does, to decide whether what it
// was given would run and as which version. Block 0 (36 bytes):
//   0..3   "LXFW"
//   4      device family (3 the controller, 40 the adapter)
//   5      version code (0x30)
//   6      firmware letter ('G')
//   7      0
//   8..11  image length in bytes, little-endian (at least 36)
//   12..13 CRC-16/XMODEM of image bytes 36..length-1, high byte first
//   14..35 0
// The bytes after block 0 are filler the generator makes up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sim {

inline constexpr std::size_t kImageHeaderLength = 36;

struct ImageHeader
{
    uint8_t family = 3;
    uint8_t version = 0x30;
    uint8_t letter = 'G';
    uint32_t length = 0;
    uint16_t crc = 0;
};

// An image of `length` bytes (at least the header) with made-up contents
// after the header, for tests and the generator.
std::vector<uint8_t> MakeImage(uint8_t family, uint8_t version, uint8_t letter, std::size_t length, uint32_t seed = 1);
// The header of `block0`, when it carries the magic.
std::optional<ImageHeader> ParseImageHeader(std::span<const uint8_t> block0);
// `flash` starts with a whole image whose CRC matches.
std::optional<ImageHeader> ValidImage(std::span<const uint8_t> flash);

} // namespace sim
