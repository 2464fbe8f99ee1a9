// The gas temperature and RPM tables as the corrections page edits them:
// the preset buttons, the type bytes that remember the preset, and edits
// that turn a preset into a user-defined table. Everything stays in the
// data image; nothing is sent until the corrections write.
#pragma once

#include "calibration/CorrectionTables.h"
#include "controller/NorviData.h"

#include <array>
#include <optional>
#include <string>

namespace lumex {

using TCorrectionTexts = std::array<std::string, kCorrectionPoints>;

// The twenty edit texts of a table, position k from edit k.
TCorrectionTable TableFromTexts(const TCorrectionTexts &texts);
TCorrectionTexts TextsFromTable(const TCorrectionTable &table);

// Program-logic operations: copy a preset into CTG / CRPM (Zero clears the
// table; User and unknown codes leave it as it is). They send nothing and
// leave CMActive alone.
void ApplyTgasPreset(TNorviData &d, uint8_t typeByte);
void ApplyRpmPreset(TNorviData &d, uint8_t typeByte);

// Controllers that store the type bytes (3.0 from revision D).
bool StoresCorrectionTypes(const TNorviData &d);

// The button of a group that is down: the one of the type byte from
// revision D (none for codes other than Standard..User). Before revision D
// the Tgas group is all up and the RPM group shows Standard.
std::optional<TCorrPreset> TgasButtonDown(const TNorviData &d);
std::optional<TCorrPreset> RpmButtonDown(const TNorviData &d);
// Whether a button can be pressed: before revision D only Standard.
bool CorrPresetButtonEnabled(const TNorviData &d, TCorrPreset button);

// A press of a preset button. Standard, Small and Big load their preset and,
// from revision D, set the type byte; before revision D Standard is a
// one-shot loader. User-defined changes nothing. False when the button is
// disabled (nothing changes).
bool PressTgasPreset(TNorviData &d, TCorrPreset button);
bool PressRpmPreset(TNorviData &d, TCorrPreset button);

// An edit of the table: all twenty texts are taken into the table; when it
// no longer equals the preset of the type byte, the type becomes User. True
// when the type changed.
bool TgasEdited(TNorviData &d, const TCorrectionTexts &texts);
bool RpmEdited(TNorviData &d, const TCorrectionTexts &texts);

} // namespace lumex
