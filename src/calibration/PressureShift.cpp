#include "calibration/PressureShift.h"

#include <algorithm>

namespace lumex {

int WorkPressurePosition(uint8_t code)
{
    const auto it = std::find(kWorkPressureCodes.begin(), kWorkPressureCodes.end(), code);
    if (it == kWorkPressureCodes.end())
        return static_cast<int>(kWorkPressureCodes.size());
    return static_cast<int>(it - kWorkPressureCodes.begin()) + 1;
}

TCorrectionTable ShiftedPressureCorrection(const TCorrectionTable &table, int steps)
{
    const int n = static_cast<int>(table.size());
    TCorrectionTable shifted{};
    for (int a = 1; a <= n; ++a) {
        const int from = std::clamp(a - steps, 1, n);
        shifted[static_cast<std::size_t>(a - 1)] = table[static_cast<std::size_t>(from - 1)];
    }
    return shifted;
}

} // namespace lumex
