#include "configuration/ConfigSummary.h"

#include "controller/Conversions.h"
#include "documents/MessageKeys.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace lumex {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Horsepower per kilowatt as the summary counts it.
constexpr double kHpPerKw = 15.0 / 11.0;

// A real with the locale's decimal separator.
std::string Real(double value, int decimals, char separator)
{
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.*f", decimals, value);
    std::string text(buffer.data());
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text[dot] = separator;
    return text;
}

// The summary's text builder: one call per line shape, the words by key.
class TLines
{
public:
    explicit TLines(const TSummaryInput &in) : in_(in) {}

    std::string T(std::string_view key) const { return in_.Text(key); }
    char Separator() const { return in_.DecimalSeparator; }

    // "label"
    TLines &Line(std::string_view key, bool shown = true)
    {
        if (shown)
            text_ += T(key) + std::string(kCrLf);
        return *this;
    }
    // "label: value unit"
    TLines &Colon(std::string_view key, const std::string &value, std::string_view unitKey = {}, bool shown = true)
    {
        if (shown)
            text_ += T(key) + ": " + value + Unit(unitKey) + std::string(kCrLf);
        return *this;
    }
    // "label value unit"
    TLines &Spaced(std::string_view key, const std::string &value, std::string_view unitKey = {}, bool shown = true)
    {
        if (shown)
            text_ += T(key) + " " + value + Unit(unitKey) + std::string(kCrLf);
        return *this;
    }
    // Anything else composed by the caller, with the line end.
    TLines &Raw(const std::string &line, bool shown = true)
    {
        if (shown)
            text_ += line + std::string(kCrLf);
        return *this;
    }
    std::string Unit(std::string_view unitKey) const { return unitKey.empty() ? std::string() : T(unitKey); }
    std::string Text() const { return text_; }

private:
    const TSummaryInput &in_;
    std::string text_;
};

std::string FuelText(const TNorviData &d, const TLines &l)
{
    if (d.FuelType == 0)
        return l.T(msg::strConfFuelLPG);
    if (d.FuelType == 1)
        return l.T(msg::strConfFuelCNG);
    return {};
}

} // namespace

std::string EngineSummary(const TNorviData &d, const TSummaryInput &in)
{
    const auto &s = in.Lists;
    TLines l(in);
    const std::string power = std::to_string(d.Power) + l.T(msg::strUnitKW) + " (" +
                              Real(d.Power * kHpPerKw, 1, l.Separator()) + l.T(msg::strUnitHP) + ")";
    return l.Line(msg::strConfEngine)
        .Colon(msg::strConfFuel, FuelText(d, l))
        .Colon(msg::strConfInjCount, std::to_string(d.InjSW))
        .Colon(msg::strConfCubicCap, std::to_string(d.EngineCubicCapacity), msg::strUnitCC)
        .Colon(msg::strConfInjSysType, s.InjSystemType)
        .Colon(msg::strConfEngineType, s.EngineType)
        .Colon(msg::strConfEnginePower, power)
        .Colon(msg::strConfNozzles, s.Nozzle, msg::strUnitMM)
        .Text();
}

std::string InstallationSummary(const TNorviData &d, const TSummaryInput &in)
{
    const auto &s = in.Lists;
    const auto &b = in.Boxes;
    TLines l(in);
    return l.Line(msg::strConfInstallation)
        .Colon(msg::strConfGasInj, s.GasInjector)
        .Colon(msg::strConfPressSensType, s.PressureSensor)
        .Line(msg::strConfSensInFlow, b.SensorInFlow)
        .Colon(msg::strConfReducerType, s.Reducer)
        .Colon(msg::strConfGasSensType, s.LevelSensor)
        .Line(msg::strConfRPMNotConnected, b.RPMWireNotConnected)
        .Colon(msg::strConfRPMSourceType, s.RPMSourceType, {}, !b.RPMWireNotConnected)
        .Colon(msg::strConfRPMSource, s.RPMSource)
        .Colon(msg::strConfWorkPressure, s.WorkPressure, msg::strUnitBar)
        .Colon(msg::strConfIdleHotTb, Real(TimeMs(d.IdleHotTb), 1, l.Separator()), msg::strUnitMSec)
        .Colon(msg::strConfLambdaType, s.LambdaType, {}, d.LambdaType >= 1)
        .Text();
}

std::string SwitchingSummary(const TNorviData &d, const TSummaryInput &in)
{
    const auto &s = in.Lists;
    const auto &b = in.Boxes;
    TLines l(in);
    const std::string temp = l.T(msg::strUnitTemp);
    const std::string overlap = l.T(msg::strConfFuelOverlap) + " " + s.OverlapTime + l.T(msg::strUnitMSec) + ", " +
                                s.OverlapCycles + l.T(msg::strUnitCycles);
    const std::string lowPressure = l.T(msg::strConfSwPLowPressure) + " " + s.LowPressure + l.T(msg::strUnitBar) + " " +
                                    l.T(msg::strConfSwPLowTime) + " " + s.LowPressureDelay + l.T(msg::strUnitSecShort);
    auto withLoad = [&](std::string_view key, const std::string &value, const std::string &load) {
        return l.T(key) + " " + value + temp + " " + l.T(msg::strConfAndLoadRetPetrol) + " " + load + "%";
    };
    return l.Line(msg::strConfSwitching)
        .Line(msg::strConfSwToGas)
        .Colon(msg::strConfGasSwitchTemp, Real(TempC(d.T), 1, l.Separator()), msg::strUnitTemp)
        .Colon(msg::strConfGasSwitchRPM, s.SwitchRPM, msg::strUnitRPM)
        .Colon(msg::strConfGasSwitchEmul, s.EmulatorSwitchDelay, msg::strUnitSecShort)
        .Spaced(msg::strConfGasInjectorsHeating, s.HeatingTemp, msg::strUnitTemp, b.GasInjHeating)
        .Raw(overlap, b.FuelOverlap)
        .Line(msg::strConfSwToPetrol)
        .Raw(lowPressure)
        .Line(msg::strConfPetrolGasAuto)
        .Spaced(msg::strConfLowRPMRetPetrol, s.LowRPM, msg::strUnitRPM, b.LowRPM)
        .Spaced(msg::strConfHighRPMRetPetrol, s.HighRPM, msg::strUnitRPM, b.HighRPM)
        .Spaced(msg::strConfHighLoadRetPetrol, s.HighLoad, {}, b.HighLoad)
        .Line(msg::strConfTuningMode, b.TuningMode)
        .Raw(withLoad(msg::strConfLowTgasHighLoadRetPetrol, s.LowTgas, s.LowTgasLoad), b.LowTgas)
        .Raw(withLoad(msg::strConfLowTredHighLoadRetPetrol, s.LowTred, s.LowTredLoad), b.LowTred)
        .Text();
}

std::string AdvancedSummary(const TNorviData &, const TSummaryInput &in)
{
    const auto &s = in.Lists;
    const auto &b = in.Boxes;
    TLines l(in);
    return l.Line(msg::strConfAdvanced)
        .Line(msg::strConfNonSequential, b.NonSequential)
        .Spaced(msg::strConfMicroInjection, s.MicroInjectionTime, msg::strUnitMSec, b.MicroInjection)
        .Line(msg::strConfHemiEngine, b.HemiEngine)
        .Line(msg::strConfPetrolInjPlus, b.PetrolInjPlus)
        // With an external emulator the valves' early opening does not apply.
        .Line(msg::strConfExternalEmulator, b.ExternalEmulator)
        .Colon(msg::strConfPostValveDelay, s.PostValveDelay, msg::strUnitSecShort, !b.ExternalEmulator)
        .Line(msg::strConfSemiSeqGas, b.SemiSeqGas)
        .Line(msg::strConfMasterMode, b.MasterMode)
        .Spaced(msg::strConfPreinjectionProcessDuringCutOff, s.CutOffPressure, msg::strUnitBar, b.PreinjCutOff)
        .Line(msg::strConfAlwaysStartOnGas, b.AlwaysStartOnGasVisible && b.AlwaysStartOnGas)
        .Text();
}

namespace {

using TSectionBuilder = std::string (*)(const TNorviData &, const TSummaryInput &);
constexpr std::array<TSectionBuilder, 4> kSections{EngineSummary, InstallationSummary, SwitchingSummary,
                                                   AdvancedSummary};

struct TMemoRow
{
    TSummaryMemo Memo;
    const char *Name;
    TWizardPage Page;
    int Sections;
};

constexpr std::array<TMemoRow, 5> kMemos{{
    {TSummaryMemo::GasDetails, "MemConfGasDetails", TWizardPage::GasElements, 1},
    {TSummaryMemo::SwitchDetails, "MemConfSwitchDetails", TWizardPage::Switching, 2},
    {TSummaryMemo::AdvDetails, "MemConfAdvDetails", TWizardPage::Advanced, 3},
    {TSummaryMemo::VerifyDetails, "MemConfVerifyDetails", TWizardPage::Verify, 4},
    {TSummaryMemo::AutoCalDetails, "MemConfAutoCalDetails", TWizardPage::AutoCal, 4},
}};

const TMemoRow &RowOf(TSummaryMemo memo)
{
    for (const auto &row : kMemos) {
        if (row.Memo == memo)
            return row;
    }
    return kMemos.front();
}

} // namespace

const char *SummaryMemoName(TSummaryMemo memo)
{
    return RowOf(memo).Name;
}

int SummaryMemoSections(TSummaryMemo memo)
{
    return RowOf(memo).Sections;
}

std::optional<TSummaryMemo> SummaryMemoOfPage(TWizardPage page)
{
    for (const auto &row : kMemos) {
        if (row.Page == page)
            return row.Memo;
    }
    return std::nullopt;
}

std::string SummaryMemoText(TSummaryMemo memo, const TNorviData &d, const TSummaryInput &in)
{
    std::string text;
    for (int i = 0; i < SummaryMemoSections(memo); ++i)
        text += kSections[static_cast<std::size_t>(i)](d, in);
    return text;
}

} // namespace lumex
