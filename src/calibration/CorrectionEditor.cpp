#include "calibration/CorrectionEditor.h"

#include "controller/Version.h"

namespace lumex {

namespace {

using TPresetFn = std::optional<TCorrectionTable> (*)(uint8_t);
using TCheckFn = bool (*)(const TCorrectionTable &, uint8_t);

// One group of preset buttons: its table, its type byte and its presets.
struct TGroup
{
    TCorrectionTable TNorviData::*Table;
    uint8_t TNorviData::*Type;
    TPresetFn Preset;
    TCheckFn UserChanged;
};

constexpr TGroup kTgas{&TNorviData::CTG, &TNorviData::TgasCorType, TgasPresetTable, CheckTgasCorrForUserChanges};
constexpr TGroup kRpm{&TNorviData::CRPM, &TNorviData::RPMCorType, RpmPresetTable, CheckRpmCorrForUserChanges};

void Apply(const TGroup &g, TNorviData &d, uint8_t typeByte)
{
    if (const auto table = g.Preset(typeByte))
        d.*g.Table = *table;
}

std::optional<TCorrPreset> DownFromType(const TNorviData &d, const TGroup &g)
{
    const auto p = CorrPresetOf(d.*g.Type);
    if (!p || *p == TCorrPreset::Zero)
        return std::nullopt;
    return p;
}

bool Press(const TGroup &g, TNorviData &d, TCorrPreset button)
{
    if (!CorrPresetButtonEnabled(d, button) || button == TCorrPreset::Zero)
        return false;
    if (button == TCorrPreset::User)
        return true; // shows the button of the type byte; the table stays
    if (StoresCorrectionTypes(d))
        d.*g.Type = CorrPresetCode(button);
    Apply(g, d, CorrPresetCode(button));
    return true;
}

bool Edited(const TGroup &g, TNorviData &d, const TCorrectionTexts &texts)
{
    d.*g.Table = TableFromTexts(texts);
    if (!g.UserChanged(d.*g.Table, d.*g.Type))
        return false;
    d.*g.Type = CorrPresetCode(TCorrPreset::User);
    return true;
}

} // namespace

TCorrectionTable TableFromTexts(const TCorrectionTexts &texts)
{
    TCorrectionTable table{};
    for (std::size_t k = 0; k < kCorrectionPoints; ++k)
        table[k] = CorrectionFromText(texts[k]);
    return table;
}

TCorrectionTexts TextsFromTable(const TCorrectionTable &table)
{
    TCorrectionTexts texts;
    for (std::size_t k = 0; k < kCorrectionPoints; ++k)
        texts[k] = std::to_string(table[k]);
    return texts;
}

void ApplyTgasPreset(TNorviData &d, uint8_t typeByte)
{
    Apply(kTgas, d, typeByte);
}

void ApplyRpmPreset(TNorviData &d, uint8_t typeByte)
{
    Apply(kRpm, d, typeByte);
}

bool StoresCorrectionTypes(const TNorviData &d)
{
    return Is30From(d, "D");
}

std::optional<TCorrPreset> TgasButtonDown(const TNorviData &d)
{
    if (!StoresCorrectionTypes(d))
        return std::nullopt;
    return DownFromType(d, kTgas);
}

std::optional<TCorrPreset> RpmButtonDown(const TNorviData &d)
{
    if (!StoresCorrectionTypes(d))
        return TCorrPreset::Standard;
    return DownFromType(d, kRpm);
}

bool CorrPresetButtonEnabled(const TNorviData &d, TCorrPreset button)
{
    return StoresCorrectionTypes(d) || button == TCorrPreset::Standard;
}

bool PressTgasPreset(TNorviData &d, TCorrPreset button)
{
    return Press(kTgas, d, button);
}

bool PressRpmPreset(TNorviData &d, TCorrPreset button)
{
    return Press(kRpm, d, button);
}

bool TgasEdited(TNorviData &d, const TCorrectionTexts &texts)
{
    return Edited(kTgas, d, texts);
}

bool RpmEdited(TNorviData &d, const TCorrectionTexts &texts)
{
    return Edited(kRpm, d, texts);
}

} // namespace lumex
