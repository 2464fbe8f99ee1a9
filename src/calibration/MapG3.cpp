#include "calibration/MapG3.h"

#include "controller/Conversions.h"

#include <cmath>

namespace lumex {

namespace {

constexpr double kFirstBinBar = 0.2;
constexpr double kBinStepBar = 0.05;

struct TG3Layout
{
    std::size_t InUse;
    std::size_t MediumFrom; // entries below are small load
    std::size_t LargeFrom;
    std::size_t CompleteAt; // valid entries that make the map complete
};

constexpr TG3Layout kStandard{17, 5, 10, 16};
constexpr TG3Layout kTurbo{40, 13, 26, 39};

const TG3Layout &Layout(bool turbo)
{
    return turbo ? kTurbo : kStandard;
}

} // namespace

double G3BinPressure(std::size_t bin)
{
    return kFirstBinBar + kBinStepBar * static_cast<double>(bin);
}

std::optional<std::size_t> G3BinOf(double bar)
{
    if (!std::isfinite(bar))
        return std::nullopt;
    const double j = std::round((bar - kFirstBinBar) / kBinStepBar);
    if (j < 0 || j >= static_cast<double>(kMapG3Rows))
        return std::nullopt;
    return static_cast<std::size_t>(j);
}

std::size_t G3EntriesInUse(bool turbo)
{
    return Layout(turbo).InUse;
}

TLoadClass G3LoadClass(std::size_t bin, bool turbo)
{
    const TG3Layout &l = Layout(turbo);
    if (bin < l.MediumFrom)
        return TLoadClass::Small;
    return bin >= l.LargeFrom ? TLoadClass::Large : TLoadClass::Medium;
}

TG3Coverage EvaluateG3(const TMapG3 &map, bool turbo)
{
    const TG3Layout &l = Layout(turbo);
    TG3Coverage c;
    for (std::size_t j = 0; j < l.InUse; ++j) {
        if (!IsValidG3Word(map[j][0]))
            continue;
        ++c.ValidEntries;
        c.LoadCovered[static_cast<std::size_t>(G3LoadClass(j, turbo))] = true;
    }
    c.Complete = c.ValidEntries >= l.CompleteAt;
    return c;
}

std::array<std::optional<double>, kMapG3Rows> G3PetrolTimes(const TMapG3 &map, bool turbo)
{
    std::array<std::optional<double>, kMapG3Rows> times{};
    const std::size_t inUse = Layout(turbo).InUse;
    for (std::size_t j = 0; j < inUse; ++j) {
        if (IsValidG3Word(map[j][0]))
            times[j] = TimeMs(G3Ticks(map[j][0]));
    }
    for (std::size_t j = 1; j < inUse; ++j) {
        if (times[j] || !times[j - 1])
            continue;
        std::size_t next = j + 1;
        while (next < inUse && !times[next])
            ++next;
        if (next >= inUse)
            break; // after the last valid bin nothing is known
        // From the previous bin (maybe itself filled) toward the next valid one.
        const double step = (*times[next] - *times[j - 1]) / static_cast<double>(next - j + 1);
        times[j] = *times[j - 1] + step;
    }
    return times;
}

} // namespace lumex
