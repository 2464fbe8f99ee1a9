// The list of OBD trouble-code descriptions of one language: lines of a
// five-character code, one separator character and the description.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumex {

// "P0301 (description)" for a generic code (second character "0", "2" or
// "3") found in the list; any other code, or one not listed, unchanged.
std::string OBDCodeTextOf(const std::vector<std::string> &codes, std::string_view code);

} // namespace lumex
