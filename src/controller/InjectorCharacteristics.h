// The injector characteristics the program carries: one 12-byte injector
// record (0x15 layout: word, four bytes, word, two bytes, word; words high
// byte first) per characteristic index. A configuration whose gas injector
// has a characteristic sends its record along.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace lumex {

using TInjectorRecord = std::array<uint8_t, 12>;

inline constexpr uint8_t kFirstCharacteristic = 1;
inline constexpr uint8_t kLastCharacteristic = 17;

// The record of characteristic `index`; nothing outside 1..17.
std::optional<TInjectorRecord> InjectorCharacteristicRecord(uint8_t index);

} // namespace lumex
