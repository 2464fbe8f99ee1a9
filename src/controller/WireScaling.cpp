#include "controller/WireScaling.h"

#include "controller/Conversions.h"

#include <cmath>

namespace lumex {

namespace {

// The nearest integer of `value`, when it is finite and lies in [lo, hi].
std::optional<long long> RoundedWithin(double value, long long lo, long long hi)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::round(value);
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi))
        return std::nullopt;
    return static_cast<long long>(r);
}

std::optional<uint16_t> UnsignedWord(double value)
{
    const auto r = RoundedWithin(value, 0, 0xFFFF);
    if (!r)
        return std::nullopt;
    return static_cast<uint16_t>(*r);
}

constexpr double kMultScale = 1024.0;
constexpr double kEnrichScale = 4096.0;

} // namespace

std::optional<uint16_t> EncodeMult(double mult)
{
    return UnsignedWord(mult * kMultScale);
}

double DecodeMult(uint16_t wire)
{
    return wire / kMultScale;
}

std::optional<uint16_t> EncodeOffset(double ms)
{
    const auto r = RoundedWithin(ms * kTicksPerMs, -32768, 32767);
    if (!r)
        return std::nullopt;
    return static_cast<uint16_t>(static_cast<int16_t>(*r));
}

double DecodeOffset(uint16_t wire)
{
    return static_cast<int16_t>(wire) / kTicksPerMs;
}

std::optional<uint16_t> EncodeP(int32_t p)
{
    return UnsignedWord(static_cast<double>(p) * kTicksPerMs);
}

int32_t DecodeP(uint16_t wire)
{
    return static_cast<int32_t>(std::lround(wire / kTicksPerMs));
}

std::optional<uint16_t> EncodeE(int32_t e)
{
    return UnsignedWord((static_cast<double>(e) / 100.0 + 1.0) * kEnrichScale);
}

int32_t DecodeE(uint16_t wire)
{
    return static_cast<int32_t>(std::lround((wire / kEnrichScale - 1.0) * 100.0));
}

std::optional<uint8_t> EncodeCorrection(int value)
{
    if (value < -128 || value > 127)
        return std::nullopt;
    return static_cast<uint8_t>(static_cast<int8_t>(value));
}

std::optional<uint16_t> EncodeTicks(double ms)
{
    return UnsignedWord(ms * kTicksPerMs);
}

} // namespace lumex
