// The compact petrol map of 3.0 controllers from revision D: 40 pressure
// bins from 0.2 bar in steps of 0.05 bar. Each word has a valid bit and a
// time in ticks; the first word of an entry is the bin's petrol Tb.
#pragma once

#include "controller/NorviData.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumex {

inline constexpr uint16_t kMapG3ValidBit = 0x8000;
inline constexpr uint16_t kMapG3TimeMask = 0x0FFF;

enum class TLoadClass : uint8_t
{
    Small,
    Medium,
    Large
};

inline bool IsValidG3Word(uint16_t word)
{
    return (word & kMapG3ValidBit) != 0;
}
inline uint16_t G3Ticks(uint16_t word)
{
    return static_cast<uint16_t>(word & kMapG3TimeMask);
}

// The pressure of bin j, bar.
double G3BinPressure(std::size_t bin);
// The bin nearest to a pressure; nothing outside the 40 bins.
std::optional<std::size_t> G3BinOf(double bar);

// Entries a standard engine uses (17) or a turbo engine (40).
std::size_t G3EntriesInUse(bool turbo);
TLoadClass G3LoadClass(std::size_t bin, bool turbo);

// What the three load lamps and the completeness check show.
struct TG3Coverage
{
    std::size_t ValidEntries = 0;
    std::array<bool, 3> LoadCovered{}; // by TLoadClass
    bool Complete = false;             // 16 valid entries, 39 for a turbo engine
    bool CoversAllLoads() const { return LoadCovered[0] && LoadCovered[1] && LoadCovered[2]; }
};
TG3Coverage EvaluateG3(const TMapG3 &map, bool turbo);

// The petrol Tb (ms) of each bin in use; an invalid bin between two valid
// ones is interpolated from the previous bin toward the next valid one;
// bins before the first or after the last valid one stay empty.
std::array<std::optional<double>, kMapG3Rows> G3PetrolTimes(const TMapG3 &map, bool turbo);

} // namespace lumex
