#include "mainwindow/ConfWizardRows.h"

#include <cstring>

namespace lumex {

namespace {

using P = TWizardPage;

const TWizardRow kRows[] = {
    // Engine.
    {P::Engine, "CmBConfFuel", "FuelType", "Paliwo"},
    {P::Engine, "CmBConfInjCount", "InjSW", "Liczba wtryskiwaczy"},
    {P::Engine, "CmBConfEngineType", "EngineType", "Typ silnika"},
    {P::Engine, "EdtConfCubicCap", "EngineCubicCapacity", "Pojemność silnika [cm3]"},
    {P::Engine, "EdtConfPower", "Power", "Moc silnika [kW]"},
    {P::Engine, "CmBConfInjSystemType", "InjSystemType", "Typ wtrysku benzyny"},
    {P::Engine, "CmBConfNozzleSize", "NozzleSize", "Średnica dysz [mm]"},
    // Installation.
    {P::GasElements, "CmBConfGasInjType", "InjTypeName", "Wtryskiwacze gazowe"},
    {P::GasElements, "CmBConfPressureSensor", "PressureSensorType", "Czujnik ciśnienia"},
    {P::GasElements, "ChBConfSensInFlow", "GasTempSensorInFlow", "Czujnik temperatury gazu w przepływie"},
    {P::GasElements, "CmBConfReducer", "RedType", "Reduktor"},
    {P::GasElements, "CmBConfLevelSensor", "ReserveType", "Czujnik poziomu gazu"},
    {P::GasElements, "ChBConfRPMWireNotConnect", "RPMWireNotConnect", "Przewód RPM niepodłączony"},
    {P::GasElements, "CmBConfRPMSourceType", "RPMSourceType", "Źródło sygnału obrotów"},
    {P::GasElements, "CmBConfRPMSource", "RPMsource", "Typ zapłonu"},
    {P::GasElements, "EdtConfIdleHotTb", "IdleHotTb", "Czas wtrysku benzyny na biegu jałowym [ms]"},
    {P::GasElements, "CmBConfLambdaType", "LambdaType", "Typ sondy lambda", "ChBConfLambda"},
    {P::GasElements, "ChBConfFlashLube", "FlashLubeSupportEnabled",
     "Wejście sondy jako czujnik poziomu środka smarnego"},
    // Switching.
    {P::Switching, "CmBConfNomTred", "T", "Temperatura przełączenia [°C]"},
    {P::Switching, "CmBConfNomRPM", "RPM", "Obroty przełączenia"},
    {P::Switching, "CmBConfEmulSwitchDelay", "EmulatorSwitchDelay", "Opóźnienie przełączania emulatorów [s]"},
    {P::Switching, "ChBConfGasInjHeating", "GasInjHeating", "Podgrzewanie wtryskiwaczy gazowych poniżej [°C]"},
    {P::Switching, "CmBConfGasInjHeatingTred", "MinTredForGasInjHeating", "", "ChBConfGasInjHeating"},
    {P::Switching, "ChBConfFuelOverlap", "FuelOverlap", "Nakładanie paliw przy przełączaniu"},
    {P::Switching, "CmBConfOverlapCycles", "MaxCyclesMixedFuel", "Cykle", "ChBConfFuelOverlap"},
    {P::Switching, "CmBConfOverlapTime", "MaxTimeMixedFuel", "Czas [ms]", "ChBConfFuelOverlap"},
    {P::Switching, "CmBConfLowPressure", "LowPT", "Powrót na benzynę przy ciśnieniu poniżej [bar]"},
    {P::Switching, "CmBConfLowPressureDelay", "LowPD", "przez [s]"},
    {P::Switching, "ChBConfLowRPM", "RPM<", "Obroty poniżej"},
    {P::Switching, "CmBConfLowRPM", "RPM<val", "", "ChBConfLowRPM"},
    {P::Switching, "ChBConfHighRPM", "RPM>", "Obroty powyżej"},
    {P::Switching, "CmBConfHighRPM", "RPM>val", "", "ChBConfHighRPM"},
    {P::Switching, "ChBConfHighLoad", "LoadP>", "Obciążenie powyżej [%]"},
    {P::Switching, "CmBConfHighLoad", "LoadP>val", "", "ChBConfHighLoad"},
    {P::Switching, "ChBConfLowTgas", "Tgas<", "Temperatura gazu poniżej [°C]"},
    {P::Switching, "CmBConfLowTgas", "Tgas<val", "", "ChBConfLowTgas"},
    {P::Switching, "CmBConfLowTgasLoad", "Tgas<&Load_Lval", "i obciążenie powyżej [%]", "ChBConfLowTgas"},
    {P::Switching, "ChBConfLowTred", "Tred<&Load", "Temperatura reduktora poniżej [°C]"},
    {P::Switching, "CmBConfLowTred", "Tred<&Load_Tredval", "", "ChBConfLowTred"},
    {P::Switching, "CmBConfLowTredLoad", "Tred<&Load_Lval", "i obciążenie powyżej [%]", "ChBConfLowTred"},
    {P::Switching, "ChBConfCutOff", "CutOffModeActivated", "Powrót na benzynę przy odcięciu dłuższym niż [s]"},
    {P::Switching, "CmBConfOnCutOffDelay", "OnCutOffDelay", "", "ChBConfCutOff"},
    {P::Switching, "CmBConfAfterCutOffDelay", "AfterCutOffEmulSwitchDelay", "przełączanie emulatorów co [s]",
     "ChBConfCutOff"},
    {P::Switching, "ChBConfRisingT", "RisingT", "Podnieś temperaturę przełączenia przy Tgaz < 10 °C"},
    {P::Switching, "ChBConfSignalPetrol", "SygnalizeDrivingOnPetrolEnabled", "Sygnalizuj jazdę na benzynie"},
    // Advanced.
    {P::Advanced, "ChBConfNonSequential", "NoSeqential", "Samochód bez wtrysku sekwencyjnego"},
    {P::Advanced, "ChBConfMicroInjection", "MicroInjection", "Mikrowtryski benzyny krótsze niż [ms]"},
    {P::Advanced, "CmBConfMicroInjectionTime", "MicroInjectionTime", "", "ChBConfMicroInjection"},
    {P::Advanced, "ChBConfHemiEngine", "HemiEngine", "Silnik HEMI"},
    {P::Advanced, "ChBConfPetrolInjPlus", "PetrolInjPlusControl", "Wtryskiwacze benzynowe sterowane plusem"},
    {P::Advanced, "ChBConfExternalEmulator", "ExternalEmulator", "Zewnętrzny emulator wtryskiwaczy"},
    {P::Advanced, "CmBConfPostValveDelay", "PostValveDelay", "Wcześniejsze otwarcie zaworów [s]"},
    {P::Advanced, "ChBConfSemiSeqGas", "SemiGasControl", "Półsekwencyjne sterowanie gazem"},
    {P::Advanced, "ChBConfMasterMode", "MasterMode", "Tryb master"},
    {P::Advanced, "ChBConfTuningMode", "TuningMode", "Wtryskiwacze benzynowe stale otwarte"},
    {P::Advanced, "ChBConfCapTie", "CAP_TIE_enable", "Czuły odczyt czasów wtrysku benzyny"},
    {P::Advanced, "ChBConfPreinjCutOff", "PreinjectionProcessDuringCutOff", "Kontrola ciśnienia przy odcięciu [bar]"},
    {P::Advanced, "CmBConfCutOffPressure", "MinPressDuringCuttOffForPreinjections", "", "ChBConfPreinjCutOff"},
    {P::Advanced, "ChBConfEnrichCutOff", "PreinjectionsDuringCutOffForLowRPMEnabled",
     "Wzbogacenie przy odcięciu poniżej obrotów"},
    {P::Advanced, "CmBConfEnrichMaxRpm", "MaxRpmForEnrichmentDuringCutOff", "", "ChBConfEnrichCutOff"},
    {P::Advanced, "CmBConfEnrichTime", "InjTimeForEnrichmentDuringCutOff", "czas wtrysku [ms]", "ChBConfEnrichCutOff"},
    {P::Advanced, "ChBConfMazda", "MazdaIgnitionTypeCorrEnabled", "Korekta przy zmianie trybu wtrysku [%]"},
    {P::Advanced, "CmBConfMazda", "MazdaEnrichmentPercentage", "", "ChBConfMazda"},
    {P::Advanced, "ChBConfMinGasTime", "MinGasInjTimeEnabled", "Minimalny czas wtrysku gazu [ms]"},
    {P::Advanced, "CmBConfMinGasTime", "MinGasInjectionTime", "", "ChBConfMinGasTime"},
    {P::Advanced, "ChBConfMaxGasTime", "MaxGasInjTimeEnabled", "Maksymalny czas wtrysku gazu [ms]"},
    {P::Advanced, "CmBConfMaxGasTime", "MaxGasInjectionTime", "", "ChBConfMaxGasTime"},
};

using R = TConfControl;

const TWizardRule kRules[] = {
    {"ChBConfLambda", R::ChBConfLambda},
    {"CmBConfLambdaType", R::CmBConfLambdaType},
    {"ChBConfFlashLube", R::ChBConfFlashLube},
    {"ChBConfMicroInjection", R::ChBConfMicroInjection},
    {"CmBConfMicroInjectionTime", R::CmBConfMicroInjectionTime},
    {"ChBConfExternalEmulator", R::ChBConfExternalEmulator},
    {"CmBConfPostValveDelay", R::CmBConfPostValveDelay},
    {"ChBConfPetrolInjPlus", R::ChBConfPetrolInjPlus},
    {"ChBConfLowRPM", R::ChBConfRpmBelow},
    {"CmBConfLowRPM", R::CmBConfRpmBelow},
    {"ChBConfHighRPM", R::ChBConfRpmAbove},
    {"CmBConfHighRPM", R::CmBConfRpmAbove},
    {"ChBConfHighLoad", R::ChBConfLoadAbove},
    {"CmBConfHighLoad", R::CmBConfLoadAbove},
    {"ChBConfLowTgas", R::ChBConfTgasBelow},
    {"CmBConfLowTgas", R::CmBConfTgasBelow},
    {"CmBConfLowTgasLoad", R::CmBConfTgasBelowLoad},
    {"ChBConfLowTred", R::ChBConfTredBelow},
    {"CmBConfLowTred", R::CmBConfTredBelow},
    {"CmBConfLowTredLoad", R::CmBConfTredBelowLoad},
    {"ChBConfRPMWireNotConnect", R::ChBConfRPMWireNotConnect},
    {"CmBConfRPMSourceType", R::CmBConfRPMSourceType},
    {"ChBConfFuelOverlap", R::ChBConfFuelOverlap},
    {"CmBConfOverlapCycles", R::CmBConfOverlapCycles},
    {"CmBConfOverlapTime", R::CmBConfOverlapTime},
    {"ChBConfGasInjHeating", R::ChBConfGasInjHeating},
    {"CmBConfGasInjHeatingTred", R::CmBConfGasInjHeatingTemp},
    {"ChBConfPreinjCutOff", R::ChBConfCutOffPressure},
    {"CmBConfCutOffPressure", R::CmBConfCutOffPressure},
    {"ChBConfEnrichCutOff", R::ChBConfEnrichment},
    {"CmBConfEnrichTime", R::CmBConfEnrichmentTime},
    {"CmBConfEnrichMaxRpm", R::CmBConfEnrichmentRpm},
    {"ChBConfMazda", R::ChBConfMazda},
    {"CmBConfMazda", R::CmBConfMazdaPercent},
    {"ChBConfMinGasTime", R::ChBConfMinGasInj},
    {"CmBConfMinGasTime", R::CmBConfMinGasInj},
    {"ChBConfMaxGasTime", R::ChBConfMaxGasInj},
    {"CmBConfMaxGasTime", R::CmBConfMaxGasInj},
    {"ChBConfCutOff", R::ChBConfCutOffReturn},
    {"CmBConfAfterCutOffDelay", R::CmBConfAfterCutOffDelay},
    {"CmBConfOnCutOffDelay", R::CmBConfOnCutOffDelay},
    {"ChBConfSensInFlow", R::ChBConfGasTempInFlow},
    {"CmBConfLevelSensor", R::CmBConfLevelSensor},
    {"BtnConfLevSensConfig", R::BtnConfLevelSensor},
};

} // namespace

std::span<const TWizardRule> WizardRules()
{
    return kRules;
}

std::optional<TConfControl> WizardRuleOf(const char *control)
{
    for (const TWizardRule &r : kRules)
        if (std::strcmp(r.Control, control) == 0)
            return r.Rule;
    return std::nullopt;
}

std::span<const TWizardRow> WizardRows()
{
    return kRows;
}

const TWizardRow *FindWizardRow(const char *control)
{
    for (const TWizardRow &r : kRows)
        if (std::strcmp(r.Control, control) == 0)
            return &r;
    return nullptr;
}

} // namespace lumex
