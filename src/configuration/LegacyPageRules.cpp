#include "configuration/LegacyPageRules.h"

#include "controller/Version.h"

#include <algorithm>
#include <array>

namespace lumex {

namespace {

using P = TLegacySubPage;
using G = TLegacyGroup;
using K = TLegacyControlKind;

constexpr std::array kControls{
    TLegacyControl{"CmBKnfFuel", "FuelType", P::Basic, G::Engine, K::List, "Paliwo"},
    TLegacyControl{"CmBKnfInjCount", "InjSW", P::Basic, G::Engine, K::List, "Liczba wtryskiwaczy"},
    TLegacyControl{"CmBKnfEngineType", "EngineType", P::Basic, G::Engine, K::List, "Typ silnika"},
    TLegacyControl{"EdtKnfCubicCapacity", "EngineCubicCapacity", P::Basic, G::Engine, K::Edit,
                   "Pojemność silnika [cm³]"},
    TLegacyControl{"EdtKnfPower", "Power", P::Basic, G::Engine, K::Edit, "Moc silnika [kW]"},
    TLegacyControl{"CmBKnfInjSystemType", "InjSystemType", P::Basic, G::Engine, K::List, "System wtrysku benzyny"},
    TLegacyControl{"CmBKnfRPMSource", "RPMsource", P::Basic, G::Engine, K::List, "Typ zapłonu"},
    TLegacyControl{"CmBKnfRPMSourceType", "RPMSourceType", P::Basic, G::Engine, K::List, "Sygnał obrotów z"},
    TLegacyControl{"EdtKnfIdleHotTb", "IdleHotTb", P::Basic, G::Engine, K::Edit, "Tb biegu jałowego [ms]"},
    TLegacyControl{"CmBKnfInjType", "InjTypeName", P::Basic, G::Installation, K::List, "Wtryskiwacze gazowe"},
    TLegacyControl{"CmBKnfNozzle", "NozzleSize", P::Basic, G::Installation, K::List, "Dysze [mm]"},
    TLegacyControl{"CmBKnfRedType", "RedType", P::Basic, G::Installation, K::List, "Reduktor"},
    TLegacyControl{"CmBKnfPressureSensor", "PressureSensorType", P::Basic, G::Installation, K::List,
                   "Czujnik ciśnienia"},
    TLegacyControl{"CmBKnfReserveType", "ReserveType", P::Basic, G::Installation, K::List, "Czujnik poziomu gazu"},
    TLegacyControl{"CmBKnfLambdaType", "LambdaType", P::Basic, G::Installation, K::List, "Typ sondy lambda"},
    TLegacyControl{"CmBKnfNomTred", "T", P::Basic, G::Switching, K::List, "Temp. przełączenia [°C]"},
    TLegacyControl{"CmBKnfNomRPM", "RPM", P::Basic, G::Switching, K::List, "Obroty przełącz. [obr/min]"},
    TLegacyControl{"CmBKnfEmulatorDelay", "EmulatorSwitchDelay", P::Basic, G::Switching, K::List,
                   "Opóźnienie emulatorów [s]"},
    TLegacyControl{"CmBKnfLowPT", "LowPT", P::Basic, G::Switching, K::List, "Powrót na benzynę: ciśnienie < [bar]"},
    TLegacyControl{"CmBKnfLowPD", "LowPD", P::Basic, G::Switching, K::List, "przez czas [s]"},
    TLegacyControl{"ChBKnfNoSeqential", "NoSeqential", P::Advanced, G::Options, K::Check,
                   "Samochód z niesekwencyjnym wtryskiem benzyny"},
    TLegacyControl{"ChBKnfSemiGasControl", "SemiGasControl", P::Advanced, G::Options, K::Check,
                   "Półsekwencyjne sterowanie wtryskiem gazu"},
    TLegacyControl{"ChBKnfMicroInjection", "MicroInjection", P::Advanced, G::Options, K::Check,
                   "Silnik z mikrowtryskami benzyny"},
    TLegacyControl{"CmBKnfMicroInjectionTime", "MicroInjectionTime", P::Advanced, G::Options, K::List,
                   "Mikrowtrysk: impuls krótszy niż [ms]"},
    TLegacyControl{"ChBKnfHemiEngine", "HemiEngine", P::Advanced, G::Options, K::Check, "Silnik HEMI"},
    TLegacyControl{"ChBKnfTuningMode", "TuningMode", P::Advanced, G::Options, K::Check,
                   "Silnik wysilony (turbo lub tuning)"},
    TLegacyControl{"ChBKnfPetrolInjPlusControl", "PetrolInjPlusControl", P::Advanced, G::Options, K::Check,
                   "Wtryskiwacze benzyny sterowane od plusa"},
    TLegacyControl{"ChBKnfExternalEmulator", "ExternalEmulator", P::Advanced, G::Options, K::Check,
                   "Zewnętrzny emulator wtryskiwaczy benzyny"},
    TLegacyControl{"CmBKnfPostValveDelay", "PostValveDelay", P::Advanced, G::Options, K::List,
                   "Wcześniejsze otwarcie zaworów gazu [s]"},
    TLegacyControl{"ChBKnfMasterMode", "MasterMode", P::Advanced, G::Options, K::Check, "Tryb master"},
    TLegacyControl{"ChBKnfAlWorkOnGas", "AlWorkOnGas", P::Advanced, G::Options, K::Check, "Zawsze uruchamiaj na gazie"},
    TLegacyControl{"ChBKnfRPMWireNotConnect", "RPMWireNotConnect", P::Advanced, G::Options, K::Check,
                   "Przewód RPM niepodłączony"},
};

struct TNeutral
{
    std::string_view Field;
    unsigned Raw;
};

// A list left empty still sends a value the controller accepts; the lists
// not named here send back what was read.
constexpr std::array kNeutral{
    TNeutral{"NozzleSize", 0},         TNeutral{"RedType", 0},    TNeutral{"PostValveDelay", 50},
    TNeutral{"PressureSensorType", 2}, TNeutral{"LambdaType", 0},
};

struct TGate
{
    std::string_view Control;
    bool TLegacyPageGates::*Shown;
};

constexpr std::array kGates{
    TGate{"ChBKnfAlWorkOnGas", &TLegacyPageGates::AlwaysStartOnGas},
    TGate{"ChBKnfRPMWireNotConnect", &TLegacyPageGates::RpmWireNotConnected},
    TGate{"ChBKnfMasterMode", &TLegacyPageGates::MasterMode},
    TGate{"CmBKnfPressureSensor", &TLegacyPageGates::PressureSensor},
    TGate{"CmBKnfEmulatorDelay", &TLegacyPageGates::EmulatorSwitchDelay},
};

} // namespace

std::span<const TLegacyControl> LegacyPageControls()
{
    return kControls;
}

const TLegacyControl *FindLegacyControl(std::string_view control)
{
    const auto it =
        std::find_if(kControls.begin(), kControls.end(), [control](const auto &c) { return c.Control == control; });
    return it == kControls.end() ? nullptr : &*it;
}

std::optional<unsigned> LegacyNeutralRaw(std::string_view field)
{
    for (const TNeutral &n : kNeutral) {
        if (n.Field == field)
            return n.Raw;
    }
    return std::nullopt;
}

TLegacyPageGates LegacyPageGates(const TNorviData &data)
{
    const bool is15 = data.VersionCode == kVersion15;
    TLegacyPageGates g;
    g.AlwaysStartOnGas = is15 && LetterAtLeast(data.SoftwareLetter, "D");
    g.RpmWireNotConnected = is15 && LetterAtLeast(data.SoftwareLetter, "E");
    g.MasterMode = is15;
    g.PressureSensor = is15;
    g.EmulatorSwitchDelay = data.IdentByte3 != 0;
    return g;
}

bool LegacyControlGated(const TLegacyPageGates &gates, std::string_view control)
{
    for (const TGate &g : kGates) {
        if (g.Control == control)
            return gates.*(g.Shown);
    }
    return true;
}

} // namespace lumex
