// The four linear correction tables without a device: their axes, the
// ready-made gas temperature and RPM presets, the standard pressure
// correction and its shift along the axis, and how an edit text becomes a
// table entry.
#pragma once

#include "controller/NorviData.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumex {

// Preset codes of TgasCorType and RPMCorType; any other value marks none.
enum class TCorrPreset : uint8_t
{
    Zero = 1,
    Standard = 2,
    Small = 3,
    Big = 4,
    User = 5
};

// The preset a type byte names, when it names one.
std::optional<TCorrPreset> CorrPresetOf(uint8_t typeByte);
constexpr uint8_t CorrPresetCode(TCorrPreset p)
{
    return static_cast<uint8_t>(p);
}

// Activity bits of CMActive.
inline constexpr uint8_t kCMActivePsys = 0x01;
inline constexpr uint8_t kCMActiveTgas = 0x02;
inline constexpr uint8_t kCMActiveRpm = 0x04;
inline constexpr uint8_t kCMActivePcol = 0x08; // only from revision G

// The tables of a preset that has one (Zero, Standard, Small, Big); nothing
// for User and unknown codes.
std::optional<TCorrectionTable> TgasPresetTable(uint8_t typeByte);
std::optional<TCorrectionTable> RpmPresetTable(uint8_t typeByte);

// True when the table differs in any position from the Standard, Small or
// Big preset the type byte names; false for every other code.
bool CheckTgasCorrForUserChanges(const TCorrectionTable &ctg, uint8_t typeByte);
bool CheckRpmCorrForUserChanges(const TCorrectionTable &crpm, uint8_t typeByte);

// Axis labels above the 20 edits of a table.
enum class TCorrAxis : uint8_t
{
    Pressure, // CPS and CPCOL: "0,2" ... "2,0", " > "
    GasTemp,  // CTG: -10 ... 80 degrees C, " > "
    Rpm       // CRPM: 500 ... 6000, "   > "
};
std::array<std::string, kCorrectionPoints> CorrAxisLabels(TCorrAxis axis);

// Raw pressure codes of the pressure axis points 0.2 ... 2.1 bar (W) and the
// standard shape of the supply pressure correction (S), zero at 1.0 bar.
extern const std::array<uint8_t, kCorrectionPoints> kPressureAxisCodes;
extern const TCorrectionTable kStandardPressureShape;

// CPS for a working pressure code: the shape moved so that its zero sits on
// the working pressure's axis point; positions that fall off an end repeat
// the shape's first or last value.
TCorrectionTable StandardPressureCorrection(uint8_t workPress);
// The table moved by `steps` axis positions: negative towards lower
// pressures (the tail repeats the last value), positive towards higher ones
// (the head repeats the first value).
TCorrectionTable ShiftedPressureCorrection(const TCorrectionTable &table, int steps);

// An edit's text as a table entry: a decimal integer, limited to -128..127;
// empty or non-numeric text counts as 0.
int8_t CorrectionFromText(std::string_view text);
// The same text when it is an entry as typed: a decimal integer with an
// optional sign, from -128 to 127; nothing for anything else, so a write
// can refuse it instead of sending a 0 or a limit.
std::optional<int8_t> CheckedCorrectionFromText(std::string_view text);
int8_t ClampCorrection(long long value);

// The gas temperature table and type byte for a sensor placement: Standard
// in the flow (Big on controllers of compatibility code 19), Small outside.
inline constexpr uint8_t kBigTgasCompatCode = 19;
TCorrectionTable TgasTableForPlacement(bool inFlow, uint8_t pcCompatCode);
TCorrPreset TgasPresetForPlacement(bool inFlow);

} // namespace lumex
