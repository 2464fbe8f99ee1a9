// Checks of configuration input before anything is sent: a value typed or
// picked as the page shows it, a raw value, and the image as a whole just
// before a configuration write. Every refusal comes with a message that
// names the field.
#pragma once

#include "configuration/ConfigFields.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

struct TFieldInput
{
    std::optional<unsigned> Raw; // the value to store; empty when refused
    std::string Error;

    explicit operator bool() const { return Raw.has_value(); }
};

// Whether the configuration write sends the field for this controller; the
// message says why not.
std::optional<std::string> NotWritable(const TConfigField &field, const TNorviData &d);

// A list entry text, or a number in the field's unit ("2,9" ms for the idle
// time, "1598" cm³): negative and non-numeric text is refused.
TFieldInput ParseShownValue(const TConfigField &field, const TNorviData &d, std::string_view text);
// A raw value: one the field's list knows, a flag of 0 or 1, or a number in
// the field's range.
TFieldInput CheckRawValue(const TConfigField &field, const TNorviData &d, unsigned long raw);

// The image's values the configuration write must not send (an injector
// mask of 0, a capacity or power out of range), one message each.
std::vector<std::string> WriteBlockers(const TNorviData &d);

} // namespace lumex
