#include "calibration/InjectorTestEval.h"

#include "documents/MessageKeys.h"

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

constexpr double kNormLimit = 5.0;     // percent
constexpr double kReplaceLimit = 20.0; // percent

TInjTestVerdict ClassOf(double deviation)
{
    const double a = std::fabs(deviation);
    if (a < kNormLimit)
        return TInjTestVerdict::InNorm;
    if (a < kReplaceLimit)
        return TInjTestVerdict::ToCorrect;
    return TInjTestVerdict::ToReplace;
}

} // namespace

const char *InjTestVerdictKey(TInjTestVerdict verdict)
{
    switch (verdict) {
    case TInjTestVerdict::InNorm:
        return msg::strGasInjInNorm;
    case TInjTestVerdict::ToCorrect:
        return msg::strGasInjToCorrect;
    case TInjTestVerdict::ToReplace:
        return msg::strGasInjToReplaced;
    case TInjTestVerdict::ValveMayBeCorrupted:
        return msg::strValveMayBeCorrupted;
    case TInjTestVerdict::None:
        break;
    }
    return "";
}

TInjTestEvaluation EvaluateInjectorTest(const std::array<uint16_t, kCylinders> &values, std::size_t n,
                                        bool resultAvailable)
{
    TInjTestEvaluation e;
    n = std::min(n, kCylinders);
    if (!resultAvailable || n == 0)
        return e;
    const auto first = values.begin(), last = values.begin() + static_cast<std::ptrdiff_t>(n);
    if (std::all_of(first, last, [](uint16_t v) { return v == kInjTestNoMeasurement; })) {
        e.Verdict = TInjTestVerdict::ValveMayBeCorrupted;
        return e;
    }
    double mean = 0;
    for (auto it = first; it != last; ++it)
        mean += *it;
    mean /= static_cast<double>(n);
    std::size_t ref = 0;
    for (std::size_t i = 1; i < n; ++i) {
        // Strictly closer only: on equal distance the lower cylinder stays.
        if (std::fabs(values[i] - mean) < std::fabs(values[ref] - mean))
            ref = i;
    }
    e.Reference = ref;
    const double r = values[ref];
    e.Verdict = TInjTestVerdict::InNorm;
    for (std::size_t i = 0; i < n; ++i) {
        const double d = r == 0 ? 0.0 : (values[i] - r) / r * 100.0;
        e.Deviation[i] = d;
        e.Verdict = std::max(e.Verdict, ClassOf(d));
    }
    return e;
}

TInjTestBar InjTestBarOf(int32_t counter, uint16_t value)
{
    TInjTestBar bar;
    if (counter != 0)
        bar.Time = std::round(10'000'000.0 / counter) / 10.0;
    if (value >= 1 && value < kInjTestNoMeasurement)
        bar.Flow = 1000.0 / value;
    return bar;
}

std::array<int8_t, kCylinders> CopiedInjCorrections(const std::array<int8_t, kCylinders> &current,
                                                    const TInjTestEvaluation &evaluation, std::size_t n)
{
    std::array<int8_t, kCylinders> out{};
    n = std::min(n, kCylinders);
    for (std::size_t i = 0; i < n; ++i) {
        const auto &d = evaluation.Deviation[i];
        const double moved = d ? std::round(current[i] + *d) : current[i];
        out[i] = static_cast<int8_t>(std::clamp<double>(moved, -kInjCorrLimit, kInjCorrLimit));
    }
    return out;
}

uint8_t InjTestCylinderMask(const std::array<bool, kCylinders> &ticked, std::size_t n)
{
    uint8_t mask = 0;
    for (std::size_t i = 0; i < std::min(n, kCylinders); ++i) {
        if (ticked[i])
            mask = static_cast<uint8_t>(mask | (1u << i));
    }
    return mask;
}

bool ReducerWarmForInjectorTest(double celsius)
{
    return celsius >= kInjTestMinTredC;
}

} // namespace lumex
