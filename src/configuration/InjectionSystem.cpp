#include "configuration/InjectionSystem.h"

#include <algorithm>

namespace lumex {

namespace {

constexpr int kPhasesPerWord = 4;
constexpr int kMaxInjectors = 8;
constexpr double kHpPerKw = 1.3636363636363636;
// Nozzle size = HP x kNozzlePerHp / injectors + kNozzleBase, then the
// corrections for the injection system and the fuel.
constexpr double kNozzlePerHp = 0.031;
constexpr double kNozzleBase = 1.31;
constexpr double kSemiSequentialCorrection = -0.1;
constexpr double kFullGroupCorrection = -0.2;
constexpr double kCngCorrection = 0.1;

} // namespace

std::vector<int> PhasesOf(uint16_t phaseWord)
{
    std::vector<int> phases;
    for (int i = 0; i < kPhasesPerWord; ++i)
        phases.push_back((phaseWord >> (4 * i)) & 0x0F);
    return phases;
}

TInjectionSystem DetectInjectionSystem(std::span<const uint16_t> phaseWords, int injectors)
{
    if (injectors <= 0 || injectors > kMaxInjectors)
        return TInjectionSystem::Other;
    const auto wordsNeeded = static_cast<std::size_t>((injectors + kPhasesPerWord - 1) / kPhasesPerWord);
    if (phaseWords.size() < wordsNeeded)
        return TInjectionSystem::Other;
    std::vector<int> phases;
    for (std::size_t w = 0; w < wordsNeeded; ++w) {
        const auto word = PhasesOf(phaseWords[w]);
        phases.insert(phases.end(), word.begin(), word.end());
    }
    phases.resize(static_cast<std::size_t>(injectors));
    const auto [lowest, highest] = std::minmax_element(phases.begin(), phases.end());
    // Full group first: with every injector in phase 1, an odd count would
    // otherwise pass the half-count test of the semi-sequential rule.
    if (*highest == 1 && *lowest == 1)
        return TInjectionSystem::FullGroup;
    if (*lowest != 1)
        return TInjectionSystem::Other;
    if (*highest == injectors)
        return TInjectionSystem::Sequential;
    if (2 * *highest == injectors)
        return TInjectionSystem::SemiSequential;
    return TInjectionSystem::Other;
}

std::vector<int> OfferedInjectorCounts(int hardwareChannels)
{
    std::vector<int> counts;
    for (int n : kInjectorCounts) {
        // Unreported hardware limits nothing: the installer's choice stands.
        if (hardwareChannels == 0 || n <= hardwareChannels)
            counts.push_back(n);
    }
    return counts;
}

std::optional<uint8_t> InjectorMask(int injectors)
{
    if (injectors < 1 || injectors > kMaxInjectors)
        return std::nullopt;
    return static_cast<uint8_t>((1u << injectors) - 1u);
}

double HorsePower(double powerKw)
{
    return powerKw * kHpPerKw;
}

double SuggestedNozzleSizeMm(double powerKw, int injectors, TInjectionSystem system, bool cng)
{
    if (injectors <= 0)
        return 0;
    double size = HorsePower(powerKw) * kNozzlePerHp / injectors + kNozzleBase;
    if (system == TInjectionSystem::SemiSequential)
        size += kSemiSequentialCorrection;
    else if (system == TInjectionSystem::FullGroup)
        size += kFullGroupCorrection;
    if (cng)
        size += kCngCorrection;
    return size;
}

} // namespace lumex
