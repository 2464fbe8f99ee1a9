// Registry of the components the language files may translate, by window
// section (see KnownComponents.def).
#pragma once

#include <string_view>

namespace lumex {

bool IsKnownComponent(std::string_view section, std::string_view component);

} // namespace lumex
