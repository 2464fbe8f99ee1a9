// How a configuration field is shown: the chosen list entry, or the number
// with its unit in the language in force.
#pragma once

#include "configuration/ConfigFields.h"

#include <string>

namespace lumex {

// The list entry the raw value selects (empty when none does, as a list
// without a selection), or the number with its unit.
std::string DisplayText(const TConfigField &field, const TNorviData &d);

// The unit text of the language in force without the brackets labels put
// around it; empty for a field without a unit.
std::string UnitText(const TConfigField &field);

// `value` with `decimals` decimals and "," as the separator, as lists and
// edit fields show reals.
std::string DecimalComma(double value, int decimals);

} // namespace lumex
