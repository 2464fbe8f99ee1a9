// The petrol injection system and the gas injector sizing that follows from
// it: the system detected from the petrol injectors' phase groups, the
// injector counts a controller's hardware allows, and the nozzle size the
// configuration pages suggest.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lumex {

// The raw values the controller stores for the injection system type.
enum class TInjectionSystem : uint8_t
{
    Other = 0,
    Sequential = 1,
    SemiSequential = 2,
    FullGroup = 3
};

// The injector counts a configuration can choose.
inline constexpr int kInjectorCounts[] = {3, 4, 5, 6, 8};

// The petrol injectors' phase groups: one word per four injectors, four
// 4-bit phase numbers, injector 1 in the lowest nibble. Only the first
// `injectors` phases count; with fewer words than that, or no injectors,
// nothing can be told and the result is Other.
TInjectionSystem DetectInjectionSystem(std::span<const uint16_t> phaseWords, int injectors);

// The four phase numbers of one phase-group word, injector order.
std::vector<int> PhasesOf(uint16_t phaseWord);

// The injector counts offered for the hardware channels (info word 28 as
// decoded: 4, 6 or 8; 0 when the controller does not report them).
std::vector<int> OfferedInjectorCounts(int hardwareChannels);

// The injector channel mask of a count (2^n - 1); none for a count outside
// 1..8, so a mask of 0 can never be built.
std::optional<uint8_t> InjectorMask(int injectors);

// The suggested gas nozzle size in mm: power in kW, injector count (0 when
// none is chosen, which suggests 0), the injection system and the fuel.
double SuggestedNozzleSizeMm(double powerKw, int injectors, TInjectionSystem system, bool cng);

// Power in horsepower for the label next to the kW value.
double HorsePower(double powerKw);

} // namespace lumex
