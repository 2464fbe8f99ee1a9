// The keys of a configuration file (.gcf), one table per layout: which
// section and key, how the value is written, the default a load takes when
// the key is missing or its value is invalid, from which firmware revision
// the key exists, and where the value lives in the data image. Saving,
// loading and the difference report all walk the same table, so a key can
// never be saved one way and loaded another.
#pragma once

#include "configuration/ConfigFields.h"
#include "controller/NorviData.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

inline constexpr char kGcfInfo[] = "Info";
inline constexpr char kGcfConfig[] = "Config";
inline constexpr char kGcfModel[] = "Model";
inline constexpr char kGcfMap[] = "Map";
inline constexpr char kGcfGasInjCorr[] = "GasInjCorr";
inline constexpr char kGcfMapCorrections[] = "MapCorrections";

enum class TGcfType : uint8_t
{
    Int,  // decimal integer
    Bool, // 1 or 0; any non-zero integer reads as 1
    Real  // decimal with a point; a comma is accepted on reading
};

// Which loads take the key.
enum class TGcfPart : uint8_t
{
    Config,      // a full load only
    Model,       // a full load and the model-only load
    Corrections, // a full load only, written with the corrections
    Map          // a full load only, from revision F
};

struct TGcfItem
{
    std::string Section;
    std::string Key;
    TGcfType Type = TGcfType::Int;
    TGcfPart Part = TGcfPart::Config;
    double Min = 0, Max = 0; // the values a load accepts, when no configuration field checks it
    // The value a load takes for a missing or invalid key; it may depend on
    // what the load has taken so far (the model points on Mult and Offset).
    std::function<double(const TNorviData &, const TImagePoints &)> Default;
    std::function<double(const TNorviData &, const TImagePoints &)> Get;
    std::function<void(TNorviData &, TImagePoints &, double)> Set;
    // The configuration field behind the key, for the list check and texts.
    const TConfigField *Field = nullptr;
};

// The keys a save writes for this controller's generation and revision, in
// file order (without the Info section). Empty for a generation without a
// layout.
std::vector<TGcfItem> GcfItems(const TNorviData &controller);

// The value as the file writes it: integers in decimal, reals in the
// shortest form that reads back exactly, with a point.
std::string GcfValueText(const TGcfItem &item, double value);
// A value as read: decimal integers (with sign), reals with a point or a
// comma. Nothing when the text is not a number.
std::optional<double> GcfParseValue(const TGcfItem &item, std::string_view text);

} // namespace lumex
