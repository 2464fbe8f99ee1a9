#include "upgrade/BootFrames.h"

#include <algorithm>
#include <numeric>

namespace lumex {

namespace {

struct TFamilyEntry
{
    uint8_t code;
    const char *name;
};

constexpr std::array<TFamilyEntry, 7> kFamilies{{
    {1, "BOOT1"},
    {3, "G3"},
    {4, "G4"},
    {10, "TRUCK"},
    {20, "FSI"},
    {30, "DIESEL"},
    {40, "ADAPTER"},
}};

struct TAnswerLength
{
    uint8_t command;
    std::size_t length;
};

constexpr std::array<TAnswerLength, 9> kAnswerLengths{{
    {kBootVersionCommand, 6},
    {kBootInfoCommand, 7},
    {kBootInitCommand, 4},
    {kBootFlashEraseCommand, 4},
    {kBootSetWriteEepromCommand, 4},
    {kBootEepromEraseInitCommand, 4},
    {kBootEepromEraseCommand, 4},
    {kBootWriteBlockCommand, 4},
    {kBootStartCommand, 0},
}};

} // namespace

uint8_t BootSum(std::span<const uint8_t> bytes)
{
    return static_cast<uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0U));
}

TBootRequest BootRequest(uint8_t command, uint8_t param)
{
    TBootRequest r{kBootRequestStart, command, param, 0};
    r[3] = BootSum(std::span<const uint8_t>(r.data(), 3));
    return r;
}

TBootBlockFrame BootBlockFrame(const TBootBlock &block)
{
    TBootBlockFrame f{};
    f[0] = kBootRequestStart;
    f[1] = kBootWriteBlockCommand;
    std::copy(block.begin(), block.end(), f.begin() + 2);
    f.back() = BootSum(std::span<const uint8_t>(f.data(), f.size() - 1));
    return f;
}

std::size_t BootAnswerLength(uint8_t command)
{
    const auto *it = std::find_if(kAnswerLengths.begin(), kAnswerLengths.end(),
                                  [command](const auto &e) { return e.command == command; });
    return it == kAnswerLengths.end() ? 0 : it->length;
}

bool BootAnswerSumValid(std::span<const uint8_t> answer)
{
    return answer.size() >= 2 && BootSum(answer.first(answer.size() - 1)) == answer.back();
}

std::string FamilyName(uint8_t family)
{
    const auto *it =
        std::find_if(kFamilies.begin(), kFamilies.end(), [family](const auto &e) { return e.code == family; });
    return it == kFamilies.end() ? std::string() : std::string(it->name);
}

} // namespace lumex
