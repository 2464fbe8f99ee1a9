// The rules of the main window's polling tick that need no device: the
// pages and their poll modes, the tick interval, accessibility of the
// controller, the fuel switch and the generation layout.
#pragma once

#include "controller/LockState.h"
#include "controller/NorviData.h"
#include "controller/WorkType.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace lumex {

// Pages of the main page control, with the sub-pages that change polling.
enum class TPage : uint8_t
{
    Measure,      // TbSMeasure
    Config,       // TbSConfig
    Configurator, // TbSConfigurator
    Calibration,  // TbSCalibration
    Schema,       // TbSSchema
    Diagnostic,   // TbSDiagnostic
    Adapter       // TbSAdapter
};

enum class TSubPage : uint8_t
{
    None,
    ConfAutoCal,     // TbSConfAutoCal
    ConfVerify,      // TbSConfVerify
    ConfGasElements, // TbSConfGasElements
    ConfFinish,      // TbSConfFinish
    CalAuto,         // TbSCalAuto
    CalModel,        // TbSCalModel
    CalModel2,       // TbSCalModel2
    CalMap,          // TbSCalMap
    CalCorrections,  // TbSCalCorrections
    DgnAdvance       // TbSDgnAdvance
};

struct TPageView
{
    TPage Page = TPage::Measure;
    TSubPage Sub = TSubPage::None;
    int AdapterBank = 1; // the adapter bank the corrections page shows
};

// The page's object name ("TbSMeasure" ...) and back.
const char *PageObjectName(TPage page);
bool PageFromName(const std::string &name, TPage &page);

inline constexpr int kIntervalConnected = 200;
inline constexpr int kIntervalConfigPage = 500;
inline constexpr int kIntervalDisconnected = 1500;

// Link up: 500 ms on the configuration page, 200 ms elsewhere; down: 1500 ms.
int TickInterval(bool linkUp, TPage page);

// When the tick after one that started at `previousStart` starts: one
// interval after that start, so the poll cycle's own time does not stretch
// the period; at `now` when the tick overran the interval, without the
// burst of catch-up ticks a fixed grid would fire.
std::chrono::steady_clock::time_point NextTickStart(std::chrono::steady_clock::time_point previousStart,
                                                    std::chrono::milliseconds interval,
                                                    std::chrono::steady_clock::time_point now);

// The poll cycles of the page, in order: the first one's result is the
// cycle's; a configuration page's cycle result is not used.
struct TPollPlan
{
    std::vector<int> Modes;
    bool ResultUsed = true;
};
TPollPlan PollPlanFor(const TPageView &view);

// Unlocked, or a connected device (not-connected panel hidden) with any
// lock byte other than locked and no answer.
bool IsAccessible(uint8_t lockState, bool notConnectedPanelVisible);
// The device-locked panel: any lock byte other than unlocked and no answer.
bool LockPanelVisible(uint8_t lockState);

// Clears the whole image except VersionCode and InjSW.
void ClearImageExceptIdentity(TNorviData &data);

// The fuel switch on the status bar.
enum class TFuelShown : uint8_t
{
    Petrol,  // "strBenzyna" on red
    Waiting, // "strOczekiwanie" on grey
    Gas      // "strGaz" on green
};
TFuelShown FuelShown(uint8_t systemState);
// The work type a click sends: from state 3, gas (left) or gas immediately
// (right); from any other state, petrol (left) or petrol immediately (right).
TWorkType FuelClickWorkType(uint8_t systemState, bool rightButton);

// What a mouse press on the fuel panel does.
enum class TFuelPress : uint8_t
{
    Ignore,
    OpenMenu,
    SendWorkType
};
TFuelPress FuelPress(bool linkUp, bool calibrationRunning, bool ctrlHeld);

// Fuel menu entries and their work types.
struct TFuelMenuEntry
{
    const char *Caption;
    const char *ObjectName;
    TWorkType WorkType;
};
std::vector<TFuelMenuEntry> FuelMenuEntries();

// Generation layout: which groups of controls are shown.
struct TGenerationLayout
{
    bool ConfigPages = false;        // configuration, autocalibration, Model1 pages and menu entries
    bool ConfiguratorPages = false;  // configurator, Model2, corrections pages
    bool F3OnConfig = false;         // F3 selects "Konfiguracja"
    bool F3OnConfigurator = false;   // F3 selects "Asystent konfiguracji"
    bool G15Controls = false;        // master-mode switch, pressure-sensor type, emergency-start counter
    bool AdvancedDiagnostic = false; // IdentByte3 not 0
};
TGenerationLayout GenerationLayout(uint8_t versionCode, uint8_t identByte3);

// The version-dependent page the "F3" shortcut opens.
TPage F3Page(const TGenerationLayout &layout);

} // namespace lumex
