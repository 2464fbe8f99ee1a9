// Lists of the 3.0 wizard that the shared value lists do not give as they
// stand: the element-code lists cut to what the product offers, and the
// working-pressure list the installation summary names.
#pragma once

#include "configuration/ValueLists.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lumex {

struct TListEntry
{
    std::string Text;
    uint16_t Raw = 0;
};

// The entries of an element-code list (injectors, pressure sensors) the
// product offers, in the product's order, each with its code; codes the list
// does not know are left out. Nothing offered means every entry.
std::vector<TListEntry> OfferedEntries(TValueListId list, const std::vector<int> &offeredCodes);

// "0,70" ... "2,00" bar with their raw pressure codes.
const std::vector<TListEntry> &WorkPressureEntries();

} // namespace lumex
