// Numeric command-line arguments: decimal, or hexadecimal with "0x".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

// The value of `text` when it is a whole number in 0..max; nothing for
// anything else (signs, blanks, trailing characters, overflow).
std::optional<uint32_t> ParseNumber(const std::string &text, uint32_t max);

} // namespace cli
