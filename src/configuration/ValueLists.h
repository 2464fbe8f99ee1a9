// The lists the installer picks configuration values from: the texts a list
// shows and, position by position, the raw value the controller stores.
// Filling a list selects the entry whose raw value equals the stored one;
// a stored value no entry has leaves the list without a selection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

enum class TValueListId : uint8_t
{
    // Value lists.
    SwitchTemperature,
    SwitchRpm,
    EmulatorSwitchDelay, // also the after-cut-off delay
    PostValveDelay,
    LowPressureThreshold,
    LowPressureDelay,
    MicroInjectionTime,
    NozzleSize,
    NozzleSizeLegacy,
    LowGasTemperature,
    GasInjHeatingTred,
    LowTredWithLoad,
    CutOffPressure,
    LowRpmReturn,
    HighRpmReturn,
    HighLoadReturn,
    LoadThreshold, // with low Tgas and with low Tred
    FuelOverlapCycles,
    InjectionTimeMs, // fuel overlap time and enrichment injection time on cut-off
    EnrichmentMaxRpm,
    MazdaCorrection,
    MinGasInjectionTime,
    MaxGasInjectionTime,
    OnCutOffDelay,
    NextInspection,
    InspectionRatio,
    // Enumerations.
    Fuel,
    EngineType,
    InjectorCount,
    InjectionSystemType,
    IgnitionType,
    RpmSourceType,
    LevelSensor,
    Reducer,
    LambdaType,
    PressureSensor,
    PressureSensorLegacy,
    GasInjector,
};

struct TValueList
{
    TValueListId id;
    const char *name; // for messages and listings
    std::vector<std::string> entries;
    std::vector<uint16_t> raws; // parallel to entries
    // Stored values the controller may hold that no entry shows.
    std::vector<uint16_t> matchOnly;
    // Compared on the low 14 bits (a switch speed period).
    bool periodWord = false;
};

// Every list, in TValueListId order.
std::span<const TValueList> AllValueLists();
const TValueList &ValueList(TValueListId id);

// The entry that shows `raw`; nothing when no entry does (also for a value
// the list only matches).
std::optional<std::size_t> IndexOfRaw(TValueListId id, unsigned raw);
// Whether the list knows `raw`, shown or matching only.
bool MatchesRaw(TValueListId id, unsigned raw);
// The raw value of entry `index`; nothing outside the list.
std::optional<uint16_t> RawOf(TValueListId id, std::size_t index);
// The entry whose text is `text`: exact, or with "." for the decimal comma
// and without the leading "<" or trailing "%" some lists show.
std::optional<std::size_t> IndexOfText(TValueListId id, std::string_view text);

// Signed percent as a byte: -100 -> 156.
uint8_t SignedPercentByte(int percent);
int SignedPercentValue(uint8_t raw);

} // namespace lumex
