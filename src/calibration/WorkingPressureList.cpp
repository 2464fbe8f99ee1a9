#include "calibration/WorkingPressureList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace lumex {

const std::array<TWorkingPressureEntry, kWorkingPressureCount> &WorkingPressureList()
{
    static constexpr std::array<TWorkingPressureEntry, kWorkingPressureCount> kList{{
        {"0,70", 76},
        {"0,80", 85},
        {"0,90", 94},
        {"1,00", 104},
        {"1,10", 113},
        {"1,20", 123},
        {"1,30", 132},
        {"1,40", 141},
        {"1,50", 151},
        {"1,60", 160},
        {"1,70", 170},
        {"1,80", 179},
        {"1,90", 188},
        {"2,00", 198},
    }};
    return kList;
}

std::optional<std::size_t> WorkingPressureIndex(uint8_t raw)
{
    const auto &list = WorkingPressureList();
    const auto it =
        std::find_if(list.begin(), list.end(), [raw](const TWorkingPressureEntry &e) { return e.Raw == raw; });
    if (it == list.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - list.begin());
}

std::optional<std::size_t> WorkingPressureIndexOfBar(double bar)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", bar);
    if (char *dot = std::strchr(text, '.'))
        *dot = ',';
    const auto &list = WorkingPressureList();
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&text](const TWorkingPressureEntry &e) { return std::strcmp(e.Text, text) == 0; });
    if (it == list.end())
        return std::nullopt;
    return static_cast<std::size_t>(it - list.begin());
}

int WorkPressShiftSteps(uint8_t oldRaw, uint8_t newRaw)
{
    const auto position = [](uint8_t raw) {
        return static_cast<int>(WorkingPressureIndex(raw).value_or(kWorkingPressureCount - 1)) + 1;
    };
    return position(newRaw) - position(oldRaw);
}

} // namespace lumex
