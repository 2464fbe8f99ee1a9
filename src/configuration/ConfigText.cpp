#include "configuration/ConfigText.h"

#include "controller/Conversions.h"
#include "documents/LangManager.h"

#include <algorithm>
#include <cstdio>

namespace lumex {

std::string DecimalComma(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

std::string UnitText(const TConfigField &field)
{
    if (field.UnitKey == nullptr)
        return {};
    std::string unit = MessageText(field.UnitKey);
    if (unit.size() >= 2 && unit.front() == '[' && unit.back() == ']')
        unit = unit.substr(1, unit.size() - 2);
    return unit;
}

std::string DisplayText(const TConfigField &field, const TNorviData &d)
{
    const unsigned raw = RawValue(field, d);
    if (const auto list = ListOf(field, d)) {
        const auto index = IndexOfRaw(*list, raw);
        return index ? ValueList(*list).entries[*index] : std::string{};
    }
    std::string number;
    if (field.Encoding == TEncoding::Ticks)
        number = DecimalComma(TimeMs(raw), 2);
    else
        number = std::to_string(raw);
    const std::string unit = UnitText(field);
    return unit.empty() ? number : number + " " + unit;
}

} // namespace lumex
