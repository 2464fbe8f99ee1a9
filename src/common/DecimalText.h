// Reals typed by the installer: "1,5" and "1.5" are the same number, since
// the program shows a comma but many keyboards give a point.
#pragma once

#include <optional>
#include <string_view>

namespace lumex {

// The number of a text with an optional sign, digits and at most one ','
// or '.'; surrounding blanks are ignored. Nothing for anything else.
std::optional<double> ParseDecimal(std::string_view text);

} // namespace lumex
