// A combo box that shows a value list: each item carries its entry's raw
// value, and the texts are the language's for the box's name
// (ListEntryTexts). The configuration pages fill such boxes themselves, so
// the language manager leaves their items alone and a language change
// refills them, keeping what was chosen.
#pragma once

#include "configuration/ValueLists.h"

#include <cstddef>
#include <functional>

class QComboBox;

namespace lumex {

// Marks `box` as filled by its page (PageFilledListProperty).
void MarkPageFilled(QComboBox *box);

// Replaces the items of `box` with the entries of `id` that `keep` accepts
// (asked by entry index; every entry without it), in the texts of the
// language in force, each with its raw value as item data. Nothing is
// chosen afterwards.
void FillValueListBox(QComboBox *box, TValueListId id, const std::function<bool(std::size_t entry)> &keep = {});

// Rebuilds the items of `box` with `refill` and chooses again the item that
// carries the raw value chosen before (none when none was or it is gone).
// The box's signals are held meanwhile: a refill is not the installer's choice.
void RefillKeepingChoice(QComboBox *box, const std::function<void()> &refill);

} // namespace lumex
