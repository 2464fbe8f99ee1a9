// The controls of the 3.0 configuration wizard, page by page: which
// configuration field each one edits, its built-in caption and the box
// that enables it. The kind of control follows from the field (a flag is a
// box, a field with a list is a list, a number is an edit).
#pragma once

#include "configuration/ConfigDependencies.h"
#include "configuration/WizardPage.h"

#include <optional>
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

// A wizard control the dependency rules know, by its name here.
struct TWizardRule
{
    const char *Control;
    TConfControl Rule;
};

std::span<const TWizardRule> WizardRules();
// The rule of a control; nothing for controls without one.
std::optional<TConfControl> WizardRuleOf(const char *control);

} // namespace lumex
