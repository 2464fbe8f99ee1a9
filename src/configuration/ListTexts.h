// The texts a configuration page's list shows in the language in force. A
// language file translates a list by its control's name in the main
// window's section, as any list of items: a "^" line, then one line per
// entry in the list's order, e.g.
//     CmBKnfFuel=^
//     CmBKnfFuel=LPG
//     CmBKnfFuel=CNG
// The page keeps filling the list from the value table (the entries carry
// the raw values) and takes only the texts from the language.
#pragma once

#include "configuration/ValueLists.h"

#include <string>
#include <string_view>
#include <vector>

namespace lumex {

// The language's items for `control` when it gives one per entry of the
// list; the built-in texts otherwise (no language, no "^" line for the
// control, or a count that does not match).
std::vector<std::string> ListEntryTexts(TValueListId id, std::string_view control);
// The same choice with the language's items given (none: built-in).
std::vector<std::string> ListEntryTexts(TValueListId id, const std::vector<std::string> *translated);

} // namespace lumex
