// The pressure correction follows a change of the working pressure made on
// the Model2 page: the table moves along its axis by the number of list
// positions the working pressure moved.
#pragma once

#include "controller/NorviData.h"

#include <array>
#include <cstdint>

namespace lumex {

// Raw pressure codes of the working pressure list "0,70" … "2,00" bar.
inline constexpr std::array<uint8_t, 14> kWorkPressureCodes{76,  85,  94,  104, 113, 123, 132,
                                                            141, 151, 160, 170, 179, 188, 198};

// Position (1..14) of a code in the working pressure list; 14 for a code
// that is not in it.
int WorkPressurePosition(uint8_t code);

// The table moved by `steps` positions: towards higher pressures for
// positive steps (the head repeats the first value), towards lower ones for
// negative steps (the tail repeats the last value).
TCorrectionTable ShiftedPressureCorrection(const TCorrectionTable &table, int steps);

} // namespace lumex
