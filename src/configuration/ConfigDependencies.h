// The dependencies between the configuration pages' controls, without the
// window: from the boxes, the chosen list entries, the controller's
// generation and revision and the pressure sensor, which controls are
// enabled or shown, and which values are forced. The 3.0 wizard enables and
// disables; the 1.4/1.5 pages show and hide instead.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace lumex {

enum class TConfControl : uint8_t
{
    ChBConfLambda,
    CmBConfLambdaType,
    ChBConfFlashLube, // lambda input used as lubricant-level input
    ChBConfMicroInjection,
    CmBConfMicroInjectionTime,
    ChBConfExternalEmulator,
    CmBConfPostValveDelay,
    ChBConfPetrolInjPlus,
    ChBConfRpmBelow,
    CmBConfRpmBelow,
    ChBConfRpmAbove,
    CmBConfRpmAbove,
    ChBConfLoadAbove,
    CmBConfLoadAbove,
    ChBConfTgasBelow,
    CmBConfTgasBelow,
    CmBConfTgasBelowLoad,
    ChBConfTredBelow,
    CmBConfTredBelow,
    CmBConfTredBelowLoad,
    ChBConfRPMWireNotConnect,
    CmBConfRPMSourceType,
    ChBConfFuelOverlap,
    CmBConfOverlapCycles,
    CmBConfOverlapTime,
    ChBConfGasInjHeating,
    CmBConfGasInjHeatingTemp,
    ChBConfCutOffPressure,
    CmBConfCutOffPressure,
    ChBConfEnrichment,
    CmBConfEnrichmentTime,
    CmBConfEnrichmentRpm,
    ChBConfMazda,
    CmBConfMazdaPercent,
    ChBConfMinGasInj,
    CmBConfMinGasInj,
    ChBConfMaxGasInj,
    CmBConfMaxGasInj,
    ChBConfCutOffReturn,
    CmBConfAfterCutOffDelay,
    CmBConfOnCutOffDelay,
    ChBConfGasTempInFlow,
    CmBConfLevelSensor,
    BtnConfLevelSensor, // the level-sensor configuration button
    TbSModAdaptation,   // the model adaptation tab
    Count
};

inline constexpr std::size_t kConfControlCount = static_cast<std::size_t>(TConfControl::Count);

const char *ConfControlName(TConfControl control);

// Pressure sensor element codes with their own rules.
inline constexpr uint8_t kSensorPsCc1 = 1;
// RPM source type list entry 0: from the petrol injector pulses.
inline constexpr int kRpmFromPetrolInjectors = 0;

// What the page holds now. Lists: the chosen entry (-1 none) and how many
// entries they have. The lambda type list's entries are types 1..6.
struct TConfControls
{
    TConfControls() { Index.fill(-1); }

    std::array<bool, kConfControlCount> Checked{};
    std::array<int, kConfControlCount> Index{};
    std::array<int, kConfControlCount> Count{};
    uint8_t PressureSensorCode = 0;

    bool IsChecked(TConfControl c) const { return Checked[static_cast<std::size_t>(c)]; }
    int IndexOf(TConfControl c) const { return Index[static_cast<std::size_t>(c)]; }
};

// The controller the page serves: version code 0x14, 0x15 or 0x30 and letter.
struct TConfContext
{
    uint8_t VersionCode = 0x30;
    std::string Letter;
};

struct TControlView
{
    bool Enabled = true;
    bool Visible = true;
};

struct TConfView
{
    std::array<TControlView, kConfControlCount> Controls{};
    // The lambda read-outs of the other pages.
    bool LambdaReadoutsVisible = false;

    const TControlView &Of(TConfControl c) const { return Controls[static_cast<std::size_t>(c)]; }
};

// The installer ticks or clears a box: ticking a return-to-petrol condition
// (or the lambda box) with nothing chosen in its list selects the first
// entry, for the high-RPM and high-load conditions the last; ticking the
// plus-controlled petrol injectors ticks the external emulator too;
// clearing the lambda box clears the lambda type.
void CheckBox(TConfControls &controls, TConfControl box, bool checked, const TConfContext &context);

// The installer chooses a pressure sensor: PS-CC1 and PS-CC2 clear the
// gas-temperature-sensor-in-flow box, the CCT3 sensors (3, 4) tick it, 5
// leaves it; PS-CC1 also clears the RPM-wire-not-connected box.
void ChoosePressureSensor(TConfControls &controls, uint8_t code);

// The forced values (applied to `controls`) and what is enabled and shown.
TConfView ResolveDependencies(TConfControls &controls, const TConfContext &context);

// The lambda type the page stands for: 0 while the box is clear.
uint8_t LambdaTypeOf(const TConfControls &controls);

} // namespace lumex
