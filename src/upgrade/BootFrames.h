// The bootloader's frames: 4-byte requests 0xBC, command, parameter, sum;
// the 39-byte block write; answers 0xBD, echo, data, sum of a length fixed
// by the command. Pure byte work, no port.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace lumex {

inline constexpr uint8_t kBootRequestStart = 0xBC;
inline constexpr uint8_t kBootAnswerStart = 0xBD;
inline constexpr uint8_t kBootFamilyController = 3; // the gas controller's family ("G3")
inline constexpr uint8_t kBootFamilyAdapter = 40;   // the adapter device ("ADAPTER")

inline constexpr uint8_t kBootVersionCommand = 0xE1;
inline constexpr uint8_t kBootInitCommand = 0xE2;
inline constexpr uint8_t kBootFlashEraseCommand = 0xE3;
inline constexpr uint8_t kBootEepromEraseInitCommand = 0xE4;
inline constexpr uint8_t kBootEepromEraseCommand = 0xE5;
inline constexpr uint8_t kBootWriteBlockCommand = 0xE6;
inline constexpr uint8_t kBootSetWriteEepromCommand = 0xE8;
inline constexpr uint8_t kBootStartCommand = 0xEE;
inline constexpr uint8_t kBootInfoCommand = 0xF0;
// The bootloader's echo in the answer to the header block.
inline constexpr uint8_t kBootHeaderAccepted = 0xFF;

inline constexpr uint8_t kBootInfoFamily = 1;
inline constexpr uint8_t kBootInfoStatus = 2;
inline constexpr uint8_t kBootInfoResetStatus = 3;

inline constexpr std::size_t kBootRequestLength = 4;
inline constexpr std::size_t kBootBlockData = 36;
inline constexpr std::size_t kBootBlockRequestLength = kBootBlockData + 3;

using TBootRequest = std::array<uint8_t, kBootRequestLength>;
using TBootBlock = std::array<uint8_t, kBootBlockData>;
using TBootBlockFrame = std::array<uint8_t, kBootBlockRequestLength>;

// Sum of the bytes modulo 256.
uint8_t BootSum(std::span<const uint8_t> bytes);
TBootRequest BootRequest(uint8_t command, uint8_t param);
// 0xBC, 0xE6, the block, sum over the 38 bytes before it.
TBootBlockFrame BootBlockFrame(const TBootBlock &block);
// The answer length a command's request gets; 0 for none (the start
// command) or a command the bootloader does not know.
std::size_t BootAnswerLength(uint8_t command);
// Last byte equals the sum of the bytes before it.
bool BootAnswerSumValid(std::span<const uint8_t> answer);

// "BOOT1", "G3", "G4", "TRUCK", "FSI", "DIESEL", "ADAPTER"; empty otherwise.
std::string FamilyName(uint8_t family);

} // namespace lumex
