// The installation schema (how the gas system is wired, labelled in one
// language) and the about box's logo, drawn by us.
#pragma once

#include <QImage>
#include <string_view>
#include <vector>

namespace lumex::pictures {

// Sized to print at its natural size on an A4 landscape sheet inside 10 mm
// margins (96 pixels to the inch).
inline constexpr int kSchemaWidth = 1040;
inline constexpr int kSchemaHeight = 700;

struct TSchemaLanguage
{
    std::string_view Code; // the language file's code: "PL", "EN", ...
    std::string_view Title;
    // Tank, multivalve, filter, reducer, gas injectors, MAP sensor,
    // controller, switch, petrol injectors, engine, battery, ignition,
    // lambda probe, car's petrol ECU, water (coolant) circuit, legend.
    std::vector<std::string_view> Labels;
};

const std::vector<TSchemaLanguage> &SchemaLanguages();
QImage DrawSchema(const TSchemaLanguage &language);
QImage DrawLogo();

} // namespace lumex::pictures
