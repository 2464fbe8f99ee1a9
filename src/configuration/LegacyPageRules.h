// The configuration pages of 1.4 and 1.5 controllers ("basic" and
// "advanced"): which control edits which configuration field, what the
// firmware revision and the hardware let the page show, and what a list
// with nothing chosen sends.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace lumex {

enum class TLegacySubPage : uint8_t
{
    Basic,
    Advanced
};

enum class TLegacyControlKind : uint8_t
{
    List,  // a value list of the field
    Check, // a one-bit field
    Edit   // a number typed in (power, capacity, idle hot Tb)
};

// The group box a control sits in; the groups make the page read as the
// installer describes the car.
enum class TLegacyGroup : uint8_t
{
    Engine,
    Installation,
    Switching,
    Options
};

struct TLegacyControl
{
    const char *Control; // object name, also what the language files address
    const char *Field;   // the configuration field it edits
    TLegacySubPage Page;
    TLegacyGroup Group;
    TLegacyControlKind Kind;
    const char *Caption; // the page's built-in (Polish) label or box text
};

// Every control of the two pages, in page order.
std::span<const TLegacyControl> LegacyPageControls();
const TLegacyControl *FindLegacyControl(std::string_view control);

// The raw value a list with nothing chosen sends; none when the value last
// read goes back unchanged.
std::optional<unsigned> LegacyNeutralRaw(std::string_view field);

// What the controller's generation, revision and hardware let the pages show.
struct TLegacyPageGates
{
    bool AlwaysStartOnGas = false;    // 1.5 from "D"
    bool RpmWireNotConnected = false; // 1.5 from "E"
    bool MasterMode = false;          // 1.5
    bool PressureSensor = false;      // 1.5
    bool EmulatorSwitchDelay = false; // boards that report IdentByte3
};
TLegacyPageGates LegacyPageGates(const TNorviData &data);
// Whether the control is shown at all on this controller.
bool LegacyControlGated(const TLegacyPageGates &gates, std::string_view control);

} // namespace lumex
