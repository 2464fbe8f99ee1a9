#include "configuration/ConfigValidator.h"

#include "configuration/InjectionSystem.h"
#include "controller/Conversions.h"
#include "controller/ParamTables.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

namespace lumex {

namespace {

// Upper bounds of the edit fields: the digits the pages take.
struct TFieldLimit
{
    const char *name;
    unsigned max;
};
constexpr std::array kLimits{TFieldLimit{"EngineCubicCapacity", 9999}, TFieldLimit{"Power", 999}};

unsigned MaxOf(const TConfigField &field, const TNorviData &d)
{
    for (const auto &l : kLimits) {
        if (std::string_view(field.Name) == l.name)
            return l.max;
    }
    return MaxRaw(field, d);
}

std::string Named(const TConfigField &field, const std::string &what)
{
    return std::string(field.Name) + ": " + what;
}

TFieldInput Refuse(const TConfigField &field, const std::string &what)
{
    return {std::nullopt, Named(field, what)};
}

std::string Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

// Digits with at most one decimal separator ("," or "."); nothing else.
std::optional<double> ParseDecimal(const std::string &text, bool allowFraction)
{
    if (text.empty())
        return std::nullopt;
    bool separator = false, digit = false;
    std::string c_locale;
    for (char ch : text) {
        if (std::isdigit(static_cast<unsigned char>(ch))) {
            digit = true;
            c_locale += ch;
        } else if ((ch == ',' || ch == '.') && allowFraction && !separator) {
            separator = true;
            c_locale += '.';
        } else {
            return std::nullopt;
        }
    }
    if (!digit || c_locale.size() > 12)
        return std::nullopt;
    return std::stod(c_locale);
}

TFieldInput NumberInput(const TConfigField &field, const TNorviData &d, const std::string &text)
{
    if (!text.empty() && text.front() == '-')
        return Refuse(field, "\"" + text + "\" is negative");
    const bool ms = field.Encoding == TEncoding::Ticks;
    const auto value = ParseDecimal(text, ms);
    if (!value)
        return Refuse(field, "\"" + text + "\" is not a number");
    const double raw = ms ? std::round(*value * kTicksPerMs) : *value;
    const unsigned max = MaxOf(field, d);
    if (raw > max) {
        const std::string limit = ms ? "up to " + std::to_string(max) + " ticks (" +
                                           std::to_string(static_cast<int>(max / kTicksPerMs)) + " ms)"
                                     : "up to " + std::to_string(max);
        return Refuse(field, "\"" + text + "\" is out of range, " + limit);
    }
    return {static_cast<unsigned>(raw), {}};
}

TFieldInput MaskInput(const TConfigField &field, const TNorviData &d, unsigned mask)
{
    const auto count = InjectorsForMask(static_cast<uint8_t>(mask));
    if (mask == 0 || mask > 0xFF || !count)
        return Refuse(field, "mask " + std::to_string(mask) + " is not an injector count (3, 4, 5, 6 or 8)");
    const auto offered = OfferedInjectorCounts(d.InjHW);
    if (std::find(offered.begin(), offered.end(), int{*count}) == offered.end())
        return Refuse(field, std::to_string(*count) + " injectors, but the controller has " +
                                 std::to_string(d.InjHW) + " channels");
    return {mask, {}};
}

} // namespace

std::optional<std::string> NotWritable(const TConfigField &field, const TNorviData &d)
{
    const auto place = PlaceOn(field, d);
    if (!place)
        return Named(field, "this controller has no such setting");
    if (place->Transfer != TTransfer::ReadWrite)
        return Named(field, "the configuration write does not send it");
    return std::nullopt;
}

TFieldInput ParseShownValue(const TConfigField &field, const TNorviData &d, std::string_view shown)
{
    const std::string text = Trim(shown);
    if (const auto list = ListOf(field, d)) {
        const auto index = IndexOfText(*list, text);
        if (!index)
            return Refuse(field, "\"" + text + "\" is not an entry of the " + ValueList(*list).name + " list");
        const unsigned raw = *RawOf(*list, *index);
        return field.Encoding == TEncoding::InjectorMask ? MaskInput(field, d, raw) : TFieldInput{raw, {}};
    }
    if (field.Encoding == TEncoding::Flag && text != "0" && text != "1")
        return Refuse(field, "\"" + text + "\" is neither 0 nor 1");
    return NumberInput(field, d, text);
}

TFieldInput CheckRawValue(const TConfigField &field, const TNorviData &d, unsigned long raw)
{
    if (field.Encoding == TEncoding::InjectorMask)
        return MaskInput(field, d, static_cast<unsigned>(std::min(raw, 0xFFFFul)));
    if (field.Encoding == TEncoding::Flag && raw > 1)
        return Refuse(field, std::to_string(raw) + " is neither 0 nor 1");
    if (const auto list = ListOf(field, d)) {
        if (raw > 0xFFFF || !MatchesRaw(*list, static_cast<unsigned>(raw)))
            return Refuse(field, std::to_string(raw) + " is not a value of the " + ValueList(*list).name + " list");
        return {static_cast<unsigned>(raw), {}};
    }
    if (raw > MaxOf(field, d))
        return Refuse(field, std::to_string(raw) + " is out of range, up to " + std::to_string(MaxOf(field, d)));
    return {static_cast<unsigned>(raw), {}};
}

std::vector<std::string> WriteBlockers(const TNorviData &d)
{
    std::vector<std::string> problems;
    for (const TConfigField *f : FieldsPresent(d)) {
        if (NotWritable(*f, d))
            continue;
        const unsigned raw = RawValue(*f, d);
        if (f->Encoding == TEncoding::InjectorMask) {
            if (raw == 0 || !InjectorsForMask(static_cast<uint8_t>(raw)))
                problems.push_back(Named(*f, "mask " + std::to_string(raw) + " selects no injector count"));
        } else if (raw > MaxOf(*f, d)) {
            problems.push_back(Named(*f, std::to_string(raw) + " is out of range, up to " +
                                             std::to_string(MaxOf(*f, d))));
        }
    }
    return problems;
}

} // namespace lumex
