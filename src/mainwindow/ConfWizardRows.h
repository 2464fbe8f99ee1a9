// The controls of the 3.0 configuration wizard, page by page: which
// configuration field each one edits, its built-in caption and the box
// that enables it. The kind of control follows from the field (a flag is a
// box, a field with a list is a list, a number is an edit).
#pragma once

#include "configuration/WizardPage.h"

#include <span>

namespace lumex {

struct TWizardRow
{
    TWizardPage Page;
    const char *Control;           // object name; the language files translate its caption by "Lbl" + name
    const char *Field;             // configuration field name
    const char *Caption;           // built-in Polish caption
    const char *Enabler = nullptr; // the box (by control name) that enables this control
};

std::span<const TWizardRow> WizardRows();
const TWizardRow *FindWizardRow(const char *control);

} // namespace lumex
