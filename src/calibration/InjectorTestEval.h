// What the gas injector test's counts mean to the installer: the two bars
// per cylinder, the deviation of each cylinder from the reference one, the
// verdict, and the per-cylinder corrections that compensate the deviations.
#pragma once

#include "controller/NorviData.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumex {

// A flow count the controller reports when a cylinder gave no usable measurement.
inline constexpr uint16_t kInjTestNoMeasurement = 350;
// The reducer must be this warm for the test to start.
inline constexpr double kInjTestMinTredC = 60.0;
// The stored per-cylinder corrections are limited to this many percent.
inline constexpr int kInjCorrLimit = 20;

enum class TInjTestVerdict : uint8_t
{
    None = 0,                // no result available
    InNorm = 1,              // every deviation below 5 %
    ToCorrect = 2,           // the largest deviation 5 % to below 20 %
    ToReplace = 3,           // a deviation of 20 % or more
    ValveMayBeCorrupted = 4, // no cylinder measured at all
};

// The message key of a verdict; empty for None.
const char *InjTestVerdictKey(TInjTestVerdict verdict);

struct TInjTestEvaluation
{
    TInjTestVerdict Verdict = TInjTestVerdict::None;
    std::optional<std::size_t> Reference; // 0-based cylinder closest to the mean
    // Per cylinder 1..n, percent; none above n and when no deviation is computed.
    std::array<std::optional<double>, kCylinders> Deviation{};
};

// The verdict of the flow counts of the first `n` cylinders, computed only
// when the controller says a result is available.
TInjTestEvaluation EvaluateInjectorTest(const std::array<uint16_t, kCylinders> &values, std::size_t n,
                                        bool resultAvailable);

// The two bars of a cylinder on the chart.
struct TInjTestBar
{
    double Flow = 0; // 1000 / flow count for counts 1..349, else 0
    double Time = 0; // round(10,000,000 / time count) / 10, 0 for a zero count
};
TInjTestBar InjTestBarOf(int32_t counter, uint16_t value);

// The per-cylinder corrections after "copy": each of the first n cylinders
// moves by its rounded deviation, limited to -20..20; cylinders without a
// deviation keep theirs and those above n become 0.
std::array<int8_t, kCylinders> CopiedInjCorrections(const std::array<int8_t, kCylinders> &current,
                                                    const TInjTestEvaluation &evaluation, std::size_t n);

// The mask of the ticked cylinders among the first n.
uint8_t InjTestCylinderMask(const std::array<bool, kCylinders> &ticked, std::size_t n);

bool ReducerWarmForInjectorTest(double celsius);

} // namespace lumex
