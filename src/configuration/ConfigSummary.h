// The plain-text summary of the configuration the wizard pages show in
// their read-only memos: four sections built from the data image, the texts
// the wizard's lists show and the states of its boxes. Lines end in CR LF;
// every word comes from the language in force by message key.
#pragma once

#include "configuration/Question.h"
#include "configuration/WizardPage.h"
#include "controller/NorviData.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lumex {

// What the wizard's lists show now (empty when nothing is chosen).
struct TSummaryListTexts
{
    // Engine page.
    std::string InjSystemType, EngineType, Nozzle;
    // Installation page.
    std::string GasInjector, PressureSensor, Reducer, LevelSensor, RPMSourceType, RPMSource, WorkPressure, LambdaType;
    // Switching page.
    std::string SwitchRPM, EmulatorSwitchDelay, HeatingTemp, OverlapTime, OverlapCycles, LowPressure, LowPressureDelay,
        LowRPM, HighRPM, HighLoad, LowTgas, LowTgasLoad, LowTred, LowTredLoad;
    // Advanced page.
    std::string MicroInjectionTime, PostValveDelay, CutOffPressure;
};

// Which of the wizard's boxes are ticked.
struct TSummaryBoxes
{
    bool SensorInFlow = false, RPMWireNotConnected = false;
    bool GasInjHeating = false, FuelOverlap = false, LowRPM = false, HighRPM = false, HighLoad = false,
         TuningMode = false, LowTgas = false, LowTred = false;
    bool NonSequential = false, MicroInjection = false, HemiEngine = false, PetrolInjPlus = false,
         ExternalEmulator = false, SemiSeqGas = false, MasterMode = false, PreinjCutOff = false;
    bool AlwaysStartOnGasVisible = false, AlwaysStartOnGas = false;
};

struct TSummaryInput
{
    TSummaryListTexts Lists;
    TSummaryBoxes Boxes;
    char DecimalSeparator = '.'; // of the locale, for the numbers the summary formats itself
    TMessageTextFn Text = MessageTextInForce;
};

std::string EngineSummary(const TNorviData &d, const TSummaryInput &in);
std::string InstallationSummary(const TNorviData &d, const TSummaryInput &in);
std::string SwitchingSummary(const TNorviData &d, const TSummaryInput &in);
std::string AdvancedSummary(const TNorviData &d, const TSummaryInput &in);

// The memos; each shows the sections of the pages before its own.
enum class TSummaryMemo : uint8_t
{
    GasDetails,    // MemConfGasDetails: engine
    SwitchDetails, // MemConfSwitchDetails: engine, installation
    AdvDetails,    // MemConfAdvDetails: engine, installation, switching
    VerifyDetails, // MemConfVerifyDetails: all four
    AutoCalDetails // MemConfAutoCalDetails: all four
};

const char *SummaryMemoName(TSummaryMemo memo);
// How many sections, from the engine section on.
int SummaryMemoSections(TSummaryMemo memo);
// The memo on a wizard page, if it has one.
std::optional<TSummaryMemo> SummaryMemoOfPage(TWizardPage page);
// The memo's text: its sections one after the other.
std::string SummaryMemoText(TSummaryMemo memo, const TNorviData &d, const TSummaryInput &in);

} // namespace lumex
