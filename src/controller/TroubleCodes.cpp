#include "controller/TroubleCodes.h"

#include "common/Format.h"

namespace lumex {

namespace {

enum class TClassRule : uint8_t
{
    Error,
    Info,
    InfoOnHemiEngine,
    InfoInTuningMode
};

constexpr TClassRule E = TClassRule::Error;
constexpr TClassRule I = TClassRule::Info;
constexpr TClassRule H = TClassRule::InfoOnHemiEngine;
constexpr TClassRule T = TClassRule::InfoInTuningMode;

// Rows are groups 1..4, columns digits 1..8.
constexpr TClassRule kClassRules[kTroubleGroups][kTroubleDigits] = {
    {H, H, H, H, H, H, H, H},
    {E, E, E, E, E, E, E, E},
    {E, E, E, E, E, E, I, I},
    {E, E, E, T, I, I, I, I},
};

constexpr uint8_t kHemiEngineOn = 1;

} // namespace

TTroubleClass TroubleClassOf(int group, int digit, const TTroubleContext &context)
{
    if (group < 1 || group > kTroubleGroups || digit < 1 || digit > kTroubleDigits)
        return TTroubleClass::Error;
    switch (kClassRules[group - 1][digit - 1]) {
    case TClassRule::Info:
        return TTroubleClass::Info;
    case TClassRule::InfoOnHemiEngine:
        return context.HemiEngine == kHemiEngineOn ? TTroubleClass::Info : TTroubleClass::Error;
    case TClassRule::InfoInTuningMode:
        return context.TuningMode != 0 ? TTroubleClass::Info : TTroubleClass::Error;
    case TClassRule::Error:
        break;
    }
    return TTroubleClass::Error;
}

TTroubleCodes DecodeTroubleCodes(const std::array<uint8_t, 16> &flags, const TTroubleContext &context)
{
    TTroubleCodes codes;
    for (int group = 1; group <= kTroubleGroups; ++group) {
        const auto g = static_cast<std::size_t>(group - 1);
        for (int digit = 1; digit <= kTroubleDigits; ++digit) {
            const auto bit = static_cast<uint8_t>(1u << (digit - 1));
            const TTroubleCode code{group, digit, TroubleClassOf(group, digit, context)};
            if (flags[kActiveTroubleByte + g] & bit)
                codes.Active.push_back(code);
            if (flags[kStoredTroubleByte + g] & bit)
                codes.Stored.push_back(code);
        }
    }
    return codes;
}

std::string TroubleCodeName(const TTroubleCode &code)
{
    return FormatText("E10%d%d", code.Group, code.Digit);
}

std::string TroubleMessageKey(const TTroubleCode &code)
{
    return FormatText("err%d%d", code.Group - 1, code.Digit - 1);
}

const char *TroubleClassName(TTroubleClass troubleClass)
{
    return troubleClass == TTroubleClass::Info ? "INFO" : "ERROR";
}

std::string TroublePrefix(const TTroubleCode &code)
{
    return TroubleCodeName(code) + ": (" + TroubleClassName(code.Class) + ") ";
}

} // namespace lumex
