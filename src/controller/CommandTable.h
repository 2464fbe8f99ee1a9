// Every command the PC sends to the gas controller, with the total lengths
// of its request and answer frames. Shared by the protocol object and the
// simulator so the two can never disagree on a length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lumex {

inline constexpr uint8_t kRequestStart = 0xC0;
inline constexpr uint8_t kAnswerStart = 0xD0;
inline constexpr std::size_t kAckLength = 4;
// The longest frames of the table below (0x61's answer, 0x62's request).
// The table's own file checks them at compile time, so a buffer sized from
// them cannot be outgrown by a row added later.
inline constexpr std::size_t kMaxAnswerLength = 54;
inline constexpr std::size_t kMaxRequestLength = 54;

// What the one parameter byte of a read request holds.
enum class ParamKind : uint8_t
{
    RepeatCode, // the code again (C0 05 05 CA)
    Zero,       // 0x00
    A5,         // 0xA5
    Index,      // an index, row, half, slot, selector or address
    Data        // a write: parameters and data bytes
};

struct CommandInfo
{
    uint8_t code;
    uint8_t requestLength; // whole frame: 0xC0, code, parameters, checksum
    uint8_t answerLength;  // whole frame: 0xD0 .. checksum
    ParamKind param;
    const char *operation; // the TDataManager operation that sends it
};

// The table, in code order. 0x3F appears once; its two request forms (00
// and 01) share the lengths.
std::span<const CommandInfo> CommandTable();
// The entry for a code, or nullptr for a code the controller does not know.
const CommandInfo *FindCommand(uint8_t code);

// Sum of the bytes modulo 256: the checksum of a request frame.
uint8_t FrameSum(std::span<const uint8_t> bytes);

} // namespace lumex
