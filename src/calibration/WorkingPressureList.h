// The fourteen working pressures an installer can choose ("0,70" ... "2,00"
// bar) with their raw pressure codes, shared by the configuration page, the
// working-pressure window and the Model2 page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace lumex {

struct TWorkingPressureEntry
{
    const char *Text; // "0,70"
    uint8_t Raw;
};

inline constexpr std::size_t kWorkingPressureCount = 14;
const std::array<TWorkingPressureEntry, kWorkingPressureCount> &WorkingPressureList();

// The entry whose raw code equals `raw`; none selects nothing.
std::optional<std::size_t> WorkingPressureIndex(uint8_t raw);
// The entry whose text equals `bar` shown as "%.2f" with a decimal comma.
std::optional<std::size_t> WorkingPressureIndexOfBar(double bar);

// Axis positions the pressure correction moves when the working pressure
// changes from `oldRaw` to `newRaw`: the difference of their list positions,
// a code outside the list counting as position 14.
int WorkPressShiftSteps(uint8_t oldRaw, uint8_t newRaw);

} // namespace lumex
