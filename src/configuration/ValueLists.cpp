#include "configuration/ValueLists.h"

#include "configuration/InjectionSystem.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <stdexcept>

namespace lumex {

namespace {

using Texts = std::vector<std::string>;
using Raws = std::vector<uint16_t>;

constexpr uint16_t kTicksPerMs = 187;
constexpr uint16_t kTwoMsPerTenth = 50; // a tenth of a second in 2-ms units
constexpr unsigned kPeriodBits = 0x3FFF;

// "1,5": tenths with one decimal, as the lists show reals.
std::string OneDecimal(int tenths)
{
    const std::string sign = tenths < 0 ? "-" : "";
    const int a = tenths < 0 ? -tenths : tenths;
    return sign + std::to_string(a / 10) + "," + std::to_string(a % 10);
}

// "1" for whole numbers, "1,5" otherwise.
std::string Trimmed(int tenths)
{
    return tenths % 10 == 0 ? std::to_string(tenths / 10) : OneDecimal(tenths);
}

std::vector<int> Range(int from, int to, int step)
{
    std::vector<int> v;
    for (int n = from; n <= to; n += step)
        v.push_back(n);
    return v;
}

// Entries from numbers: the text and the raw value each derive from the number.
template <typename TextFn, typename RawFn>
TValueList Generated(TValueListId id, const char *name, const std::vector<int> &numbers, TextFn text, RawFn raw)
{
    TValueList l{id, name, {}, {}, {}, false};
    for (int n : numbers) {
        l.entries.push_back(text(n));
        l.raws.push_back(static_cast<uint16_t>(raw(n)));
    }
    return l;
}

// Entries whose stored value is the number itself.
TValueList Numbers(TValueListId id, const char *name, const std::vector<int> &numbers)
{
    return Generated(
        id, name, numbers, [](int n) { return std::to_string(n); }, [](int n) { return n; });
}

// Entries whose stored value is the list position (or position + `first`).
TValueList Positions(TValueListId id, const char *name, Texts texts, int first = 0)
{
    TValueList l{id, name, std::move(texts), {}, {}, false};
    for (std::size_t i = 0; i < l.entries.size(); ++i)
        l.raws.push_back(static_cast<uint16_t>(static_cast<int>(i) + first));
    return l;
}

// Entries from numbers shown by `text`, stored as a table typed out.
template <typename TextFn>
TValueList Typed(TValueListId id, const char *name, const std::vector<int> &numbers, TextFn text, Raws raws)
{
    TValueList l{id, name, {}, std::move(raws), {}, false};
    for (int n : numbers)
        l.entries.push_back(text(n));
    return l;
}

std::string Integer(int n)
{
    return std::to_string(n);
}

std::vector<TValueList> BuildLists()
{
    using I = TValueListId;
    std::vector<TValueList> v;

    v.push_back(Typed(I::SwitchTemperature, "switch temperature", Range(20, 70, 5), Integer,
                      {142, 127, 114, 100, 88, 77, 67, 58, 51, 44, 38}));
    TValueList rpm = Typed(I::SwitchRpm, "switch RPM", Range(400, 2000, 200), Integer,
                           {56100, 37400, 28050, 22440, 18700, 16028, 14024, 12464, 11220});
    rpm.matchOnly = {10200, 9348, 8628, 8012, 7480}; // 2200 .. 3000 rpm
    rpm.periodWord = true;
    v.push_back(std::move(rpm));
    v.push_back(Generated(I::EmulatorSwitchDelay, "emulator switch delay", {0, 2, 4, 6, 8, 10, 20, 30, 40, 50}, Trimmed,
                          [](int tenths) { return tenths * kTwoMsPerTenth; }));
    std::vector<int> postValve = Range(1, 9, 1);
    for (int t : {10, 20, 40, 60, 80, 100})
        postValve.push_back(t);
    v.push_back(Generated(I::PostValveDelay, "post-valve delay", postValve, OneDecimal,
                          [](int tenths) { return tenths * kTwoMsPerTenth; }));
    v.push_back(Typed(I::LowPressureThreshold, "low-pressure threshold", Range(3, 9, 1), OneDecimal,
                      {38, 47, 57, 66, 76, 85, 94}));
    std::vector<int> lowPd = Range(1, 9, 1);
    for (int t : Range(10, 50, 5))
        lowPd.push_back(t);
    v.push_back(
        Generated(I::LowPressureDelay, "low-pressure delay", lowPd, Trimmed, [](int tenths) { return tenths; }));
    v.push_back(Typed(I::MicroInjectionTime, "micro-injection time", Range(2, 26, 1),
                      [](int tenths) { return "<" + OneDecimal(tenths); },
                      {19,  28,  37,  47,  56,  65,  75,  84,  94,  103, 112, 122, 131,
                       140, 150, 159, 168, 178, 187, 196, 206, 215, 224, 234, 243}));
    v.push_back(
        Generated(I::NozzleSize, "nozzle size", Range(15, 40, 1), OneDecimal, [](int tenths) { return tenths; }));
    v.push_back(Generated(I::NozzleSizeLegacy, "nozzle size (1.4/1.5)", Range(15, 35, 1), OneDecimal,
                          [](int tenths) { return tenths; }));
    v.push_back(Typed(
        I::LowGasTemperature, "low gas temperature", Range(-10, 10, 1), Integer,
        {217, 215, 213, 211, 209, 207, 205, 203, 200, 198, 195, 193, 191, 188, 186, 183, 181, 178, 175, 172, 170}));
    TValueList heating = Typed(I::GasInjHeatingTred, "gas-injector heating temperature", Range(-5, 40, 5), Integer,
                               {207, 196, 183, 169, 156, 142, 128, 114, 101, 88});
    heating.matchOnly = {77, 67, 58, 50, 44, 37, 33, 28}; // 45 .. 80 °C
    v.push_back(std::move(heating));
    v.push_back(Typed(I::LowTredWithLoad, "low reducer temperature with load", Range(20, 80, 5), Integer,
                      {142, 127, 114, 100, 88, 77, 67, 58, 51, 44, 38, 33, 28}));
    v.push_back(Typed(I::CutOffPressure, "cut-off pressure", Range(16, 23, 1), OneDecimal,
                      {160, 170, 179, 188, 198, 207, 217, 226}));
    v.push_back(Numbers(I::LowRpmReturn, "low RPM return", Range(400, 2000, 100)));
    v.push_back(Numbers(I::HighRpmReturn, "high RPM return", Range(3000, 8000, 500)));
    v.push_back(Generated(
        I::HighLoadReturn, "high load return", Range(50, 95, 5), [](int n) { return std::to_string(n) + "%"; },
        [](int n) { return n; }));
    v.push_back(Numbers(I::LoadThreshold, "load threshold", Range(20, 95, 5)));
    v.push_back(Positions(I::FuelOverlapCycles, "fuel overlap cycles", {"0", "1", "2", "3", "4", "5"}));
    v.push_back(Generated(I::InjectionTimeMs, "injection time", Range(1, 10, 1), Integer,
                          [](int ms) { return ms * kTicksPerMs; }));
    v.push_back(Numbers(I::EnrichmentMaxRpm, "enrichment maximum RPM",
                        {1000, 1100, 1200, 1300, 1400, 1500, 2000, 2200, 2500, 2700, 3000, 3200, 3500}));
    v.push_back(Generated(I::MazdaCorrection, "Mazda correction", Range(-100, 50, 5), Integer, SignedPercentByte));
    v.push_back(Typed(
        I::MinGasInjectionTime, "minimum gas injection time",
        {20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50}, OneDecimal,
        {374, 411, 449, 486, 524, 561, 598, 636, 673, 711, 748, 766, 785, 804, 822, 841, 860, 878, 897, 916, 935}));
    v.push_back(Generated(I::MaxGasInjectionTime, "maximum gas injection time", Range(15, 25, 1), Integer,
                          [](int ms) { return ms * kTicksPerMs; }));
    v.push_back(Generated(I::OnCutOffDelay, "on-cut-off delay", Range(1, 10, 1), Integer,
                          [](int s) { return s * 10 * kTwoMsPerTenth; }));
    v.push_back(TValueList{I::NextInspection,
                           "next inspection",
                           {"NotSet", "1000", "2000", "5000", "7000", "10000"},
                           {0, 1000, 2000, 5000, 7000, 10000},
                           {},
                           false});
    v.push_back(Numbers(I::InspectionRatio, "inspection ratio", Range(20, 70, 10)));

    v.push_back(Positions(I::Fuel, "fuel", {"LPG", "CNG"}));
    v.push_back(Positions(I::EngineType, "engine type", {"STANDARD", "TURBO"}));
    TValueList count{I::InjectorCount, "injector count", {}, {}, {}, false};
    for (int n : kInjectorCounts) {
        count.entries.push_back(std::to_string(n));
        count.raws.push_back(*InjectorMask(n));
    }
    v.push_back(std::move(count));
    v.push_back(Positions(I::InjectionSystemType, "injection system type",
                          {"INNY", "SEKWENCYJNY", "PÓŁSEKWENCYJNY", "FULLGROUP"}));
    v.push_back(Positions(I::IgnitionType, "ignition type",
                          {"1 cewka na 1 cylinder", "DIS - podwójna cewka", "Obrotomierz", "Obrotomierz 2"}));
    v.push_back(Positions(I::RpmSourceType, "RPM source type", {"Wtryskiwacze benzynowe", "RPM"}));
    v.push_back(Positions(I::LevelSensor, "level sensor type", {"Rezerwa", "ORVEX PW", "AEB 1050", "0-90"}));
    v.push_back(
        Positions(I::Reducer, "reducer type", {"INNY", "ORVEX A", "ORVEX A TURBO", "ORVEX B", "ORVEX B TURBO"}));
    // Type 0 is "no lambda probe": the list has no entry for it.
    TValueList lambda = Positions(I::LambdaType, "lambda type",
                                  {"0 - 1 V", "0 - 5 V +", "0 - 5 V -", "5 - 0 V +", "5 - 0 V -", "0,8 - 1,6 V"}, 1);
    lambda.matchOnly = {0};
    v.push_back(std::move(lambda));
    v.push_back(Positions(I::PressureSensor, "pressure sensor",
                          {"PS-CC1", "PS-CC2", "PS-CCT3", "PS-CCT3-ATM (PPO)", "PS-CCT3-250"}, 1));
    v.push_back(Positions(I::PressureSensorLegacy, "pressure sensor (1.4/1.5)", {"PS-CC1", "PS-CC2/CCT3"}, 1));
    v.push_back(Positions(I::GasInjector, "gas injector",
                          {"MATRIX (5ohms)",
                           "REG",
                           "VALTEK (3ohms)",
                           "AG (12ohms)",
                           "ZAVOLI",
                           "LUMEX JET",
                           "MWM-FOCUS",
                           "TAURUS",
                           "ROMANO",
                           "ROMANO-FAST",
                           "TAVIRA (3ohms)",
                           "RAIL IG1,IG2 (3ohms)",
                           "VALTEK (1ohm)",
                           "RAIL IG1,IG2 (1ohm)",
                           "NXGAS (3ohms)",
                           "NXGAS (1ohm)",
                           "PLANI jet",
                           "Brivel-mono (3ohms)",
                           "KEIHIN (1ohm)",
                           "MATRIX (3ohms)",
                           "KOLTEC ",
                           "RAIL HORIZON IG3(E3)",
                           "RAIL HORIZON IG3(E2)",
                           "RAIL IG1,IG2 (2ohms)",
                           "VALTEK (2ohms)",
                           "-",
                           "-",
                           "-",
                           "MATRIX (2ohms)",
                           "VALTEK TYPE34"}));

    for (std::size_t i = 0; i < v.size(); ++i) {
        if (static_cast<std::size_t>(v[i].id) != i)
            throw std::logic_error("value lists out of TValueListId order");
    }
    return v;
}

const std::vector<TValueList> &Lists()
{
    static const std::vector<TValueList> lists = BuildLists();
    return lists;
}

unsigned Comparable(const TValueList &l, unsigned raw)
{
    return l.periodWord ? raw & kPeriodBits : raw;
}

std::string Normalised(std::string_view text)
{
    std::string s(text);
    if (!s.empty() && s.front() == '<')
        s.erase(0, 1);
    if (!s.empty() && s.back() == '%')
        s.pop_back();
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

} // namespace

uint8_t SignedPercentByte(int percent)
{
    return static_cast<uint8_t>(percent & 0xFF);
}

int SignedPercentValue(uint8_t raw)
{
    return raw >= 0x80 ? static_cast<int>(raw) - 0x100 : static_cast<int>(raw);
}

std::span<const TValueList> AllValueLists()
{
    return Lists();
}

const TValueList &ValueList(TValueListId id)
{
    return Lists().at(static_cast<std::size_t>(id));
}

std::optional<std::size_t> IndexOfRaw(TValueListId id, unsigned raw)
{
    const TValueList &l = ValueList(id);
    const unsigned wanted = Comparable(l, raw);
    for (std::size_t i = 0; i < l.raws.size(); ++i) {
        if (Comparable(l, l.raws[i]) == wanted)
            return i;
    }
    return std::nullopt;
}

bool MatchesRaw(TValueListId id, unsigned raw)
{
    const TValueList &l = ValueList(id);
    const unsigned wanted = Comparable(l, raw);
    return IndexOfRaw(id, raw).has_value() ||
           std::any_of(l.matchOnly.begin(), l.matchOnly.end(), [&](uint16_t r) { return Comparable(l, r) == wanted; });
}

std::optional<uint16_t> RawOf(TValueListId id, std::size_t index)
{
    const TValueList &l = ValueList(id);
    if (index >= l.raws.size())
        return std::nullopt;
    return l.raws[index];
}

std::optional<std::size_t> IndexOfText(TValueListId id, std::string_view text)
{
    const TValueList &l = ValueList(id);
    for (std::size_t i = 0; i < l.entries.size(); ++i) {
        if (l.entries[i] == text)
            return i;
    }
    const std::string wanted = Normalised(text);
    for (std::size_t i = 0; i < l.entries.size(); ++i) {
        if (Normalised(l.entries[i]) == wanted)
            return i;
    }
    return std::nullopt;
}

} // namespace lumex
