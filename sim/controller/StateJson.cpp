#include "sim/controller/StateJson.h"

#include "sim/controller/ControllerModel.h"
#include "sim/controller/FactoryDefaults.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <functional>
#include <set>

namespace sim {

namespace {

using Json = nlohmann::ordered_json;

// A loading failure; its text names the key at fault.
struct LoadError
{
    std::string text;
};

[[noreturn]] void Fail(const std::string &key, const std::string &what)
{
    throw LoadError{key + ": " + what};
}

long Int(const Json &v, const std::string &key, long lo, long hi)
{
    if (!v.is_number_integer() && !v.is_number_unsigned())
        Fail(key, "expected an integer, got " + v.dump());
    const long value =
        v.is_number_unsigned() ? static_cast<long>(std::min<uint64_t>(v.get<uint64_t>(), 1ull << 40)) : v.get<long>();
    if (value < lo || value > hi)
        Fail(key, "value " + std::to_string(value) + " is outside " + std::to_string(lo) + ".." + std::to_string(hi));
    return value;
}

double Real(const Json &v, const std::string &key)
{
    if (!v.is_number())
        Fail(key, "expected a number, got " + v.dump());
    const double value = v.get<double>();
    if (!std::isfinite(value))
        Fail(key, "expected a finite number");
    return value;
}

// Integer scaled by a factor, rounded, that must fit in lo..hi.
long Scaled(const Json &v, const std::string &key, double factor, long lo, long hi)
{
    const double scaled = std::round(Real(v, key) * factor);
    if (scaled < lo || scaled > hi)
        Fail(key, "value " + v.dump() + " does not fit the controller's range");
    return static_cast<long>(scaled);
}

const Json &Array(const Json &v, const std::string &key, std::size_t size)
{
    if (!v.is_array() || v.size() != size)
        Fail(key, "expected an array of " + std::to_string(size) + " entries");
    return v;
}

// A named field: how to read it out of the store and how to put it back.
struct Field
{
    std::string name;
    std::function<Json(const ParameterStore &)> get;
    std::function<void(ParameterStore &, const Json &)> set;
};

Field ByteField(const std::string &name, uint8_t index)
{
    return {name, [index](const ParameterStore &s) { return Json(s.byteParams[index]); },
            [index, name](ParameterStore &s, const Json &v) {
                s.byteParams[index] = static_cast<uint8_t>(Int(v, name, 0, 255));
            }};
}

// A signed percentage kept as a two's-complement byte parameter.
Field SignedByteField(const std::string &name, uint8_t index)
{
    return {name, [index](const ParameterStore &s) { return Json(static_cast<int8_t>(s.byteParams[index])); },
            [index, name](ParameterStore &s, const Json &v) {
                s.byteParams[index] = static_cast<uint8_t>(Int(v, name, -128, 255));
            }};
}

Field BitField(const std::string &name, uint8_t index, int shift, int width = 1)
{
    const auto mask = static_cast<uint8_t>(((1u << width) - 1) << shift);
    return {name, [=](const ParameterStore &s) { return Json((s.byteParams[index] & mask) >> shift); },
            [=](ParameterStore &s, const Json &v) {
                const long value = Int(v, name, 0, (1 << width) - 1);
                s.byteParams[index] = static_cast<uint8_t>((s.byteParams[index] & ~mask) | (value << shift));
            }};
}

Field WordField(const std::string &name, uint8_t index)
{
    return {name, [index](const ParameterStore &s) { return Json(s.wordParams[index]); },
            [index, name](ParameterStore &s, const Json &v) {
                s.wordParams[index] = static_cast<uint16_t>(Int(v, name, 0, 0xFFFF));
            }};
}

Field ModelRawField(const std::string &name, uint8_t index)
{
    return {name, [index](const ParameterStore &s) { return Json(s.modelParams[index]); },
            [index, name](ParameterStore &s, const Json &v) {
                s.modelParams[index] = static_cast<uint16_t>(Int(v, name, 0, 0xFFFF));
            }};
}

// Model parameter shown as wire / factor (Mult, Offset and their corrections).
Field ModelScaledField(const std::string &name, uint8_t index, double factor, bool isSigned)
{
    return {name,
            [=](const ParameterStore &s) {
                const double wire = isSigned ? static_cast<int16_t>(s.modelParams[index]) : s.modelParams[index];
                return Json(wire / factor);
            },
            [=](ParameterStore &s, const Json &v) {
                const long wire =
                    isSigned ? Scaled(v, name, factor, -32768, 32767) : Scaled(v, name, factor, 0, 0xFFFF);
                s.modelParams[index] = static_cast<uint16_t>(wire);
            }};
}

// The 1.4/1.5 breakpoints, kept by the client in whole milliseconds.
Field ModelPointField(const std::string &name, uint8_t index)
{
    return {name, [=](const ParameterStore &s) { return Json(std::lround(s.modelParams[index] / 187.0)); },
            [=](ParameterStore &s, const Json &v) {
                s.modelParams[index] = static_cast<uint16_t>(Scaled(v, name, 187.0, 0, 0xFFFF));
            }};
}

// Enrichments in percent: wire = (E / 100 + 1) x 4096.
Field EnrichmentField(const std::string &name, uint8_t index)
{
    return {name,
            [=](const ParameterStore &s) { return Json(std::lround((s.modelParams[index] / 4096.0 - 1.0) * 100.0)); },
            [=](ParameterStore &s, const Json &v) {
                const double wire = std::round((Real(v, name) / 100.0 + 1.0) * 4096.0);
                if (wire < 0 || wire > 0xFFFF)
                    Fail(name, "value " + v.dump() + " does not fit the controller's range");
                s.modelParams[index] = static_cast<uint16_t>(wire);
            }};
}

template <typename T> Json SignedArray(const T &values)
{
    Json out = Json::array();
    for (auto v : values)
        out.push_back(static_cast<int>(v));
    return out;
}

template <std::size_t N> void TakeSigned(std::array<int8_t, N> &out, const Json &v, const std::string &name)
{
    Array(v, name, N);
    for (std::size_t i = 0; i < N; ++i)
        out[i] = static_cast<int8_t>(Int(v[i], name + "[" + std::to_string(i) + "]", -128, 255));
}

Field TableField(const std::string &name, CorrTable ParameterStore::*table)
{
    return {name, [=](const ParameterStore &s) { return SignedArray(s.*table); },
            [=](ParameterStore &s, const Json &v) { TakeSigned(s.*table, v, name); }};
}

Field MemByteField(const std::string &name, uint16_t addr)
{
    return {name, [=](const ParameterStore &s) { return Json(s.MemByte(addr)); },
            [=](ParameterStore &s, const Json &v) { s.SetMemByte(addr, static_cast<uint8_t>(Int(v, name, 0, 255))); }};
}

Field MemWordField(const std::string &name, uint16_t addr)
{
    return {
        name, [=](const ParameterStore &s) { return Json(s.MemWord(addr)); },
        [=](ParameterStore &s, const Json &v) { s.SetMemWord(addr, static_cast<uint16_t>(Int(v, name, 0, 0xFFFF))); }};
}

Field CoreField(const std::string &name, long max, const std::function<uint16_t(const ParameterStore::Core &)> &get,
                const std::function<void(ParameterStore::Core &, uint16_t)> &set)
{
    return {name, [=](const ParameterStore &s) { return Json(get(s.core)); },
            [=](ParameterStore &s, const Json &v) { set(s.core, static_cast<uint16_t>(Int(v, name, 0, max))); }};
}

Json PointSet(const std::array<ModelPoint, 20> &set)
{
    Json out = Json::array();
    for (const auto &p : set)
        out.push_back(Json::array({p.x, p.y}));
    return out;
}

void TakePointSet(std::array<ModelPoint, 20> &set, const Json &v, const std::string &name)
{
    Array(v, name, 20);
    for (std::size_t i = 0; i < 20; ++i) {
        const std::string key = name + "[" + std::to_string(i) + "]";
        Array(v[i], key, 2);
        set[i] = {static_cast<uint16_t>(Int(v[i][0], key, 0, 0xFFFF)),
                  static_cast<uint16_t>(Int(v[i][1], key, 0, 0xFFFF))};
    }
}

Json MapTable(const MapG3Table &table)
{
    Json out = Json::array();
    for (const auto &row : table)
        out.push_back(Json::array({row[0], row[1], row[2]}));
    return out;
}

void TakeMapTable(MapG3Table &table, const Json &v, const std::string &name)
{
    Array(v, name, 40);
    for (std::size_t i = 0; i < 40; ++i) {
        const std::string key = name + "[" + std::to_string(i) + "]";
        Array(v[i], key, 3);
        for (std::size_t k = 0; k < 3; ++k)
            table[i][k] = static_cast<uint16_t>(Int(v[i][k], key, 0, 0xFFFF));
    }
}

Json AdaptJson(const AdaptTable &table)
{
    Json out = Json::array();
    for (const auto &row : table)
        out.push_back(SignedArray(row));
    return out;
}

void TakeAdapt(AdaptTable &table, const Json &v, const std::string &name)
{
    Array(v, name, 10);
    for (std::size_t i = 0; i < 10; ++i)
        TakeSigned(table[i], v[i], name + "[" + std::to_string(i) + "]");
}

template <typename T, std::size_t N> Json PlainArray(const std::array<T, N> &values)
{
    Json out = Json::array();
    for (auto v : values)
        out.push_back(v);
    return out;
}

template <typename T, std::size_t N>
void TakePlain(std::array<T, N> &out, const Json &v, const std::string &name, long max)
{
    Array(v, name, N);
    for (std::size_t i = 0; i < N; ++i)
        out[i] = static_cast<T>(Int(v[i], name + "[" + std::to_string(i) + "]", 0, max));
}

Json MapPointsJson(const ParameterStore &s, bool gas)
{
    Json out = Json::array();
    for (auto word : s.MapPoints(gas))
        out.push_back(word);
    return out;
}

void TakeMapPoints(ParameterStore &s, bool gas, const Json &v, const std::string &name)
{
    if (!v.is_array() || v.size() > 127)
        Fail(name, "expected an array of at most 127 point words");
    std::vector<uint16_t> words;
    for (std::size_t i = 0; i < v.size(); ++i)
        words.push_back(static_cast<uint16_t>(Int(v[i], name + "[" + std::to_string(i) + "]", 0, 0xFFFF)));
    s.SetMapPoints(gas, words);
}

const std::vector<Field> &Fields()
{
    using C = ParameterStore::Core;
    static const std::vector<Field> fields = [] {
        std::vector<Field> f;
        // Basic configuration.
        // The G3 block's first bytes repeat named fields below; taken first so
        // that a named field edited in a dump wins over the stale copy here.
        f.push_back({"ConfigG3Flags",
                     [](const ParameterStore &s) {
                         const auto block = s.G3Block();
                         return Json::array({block[0], block[1], block[2], block[3]});
                     },
                     [](ParameterStore &s, const Json &v) {
                         std::array<uint8_t, 4> flags{};
                         TakePlain(flags, v, "ConfigG3Flags", 255);
                         auto block = s.G3Block();
                         std::copy(flags.begin(), flags.end(), block.begin());
                         s.WriteG3Block(block);
                     }});
        f.push_back(CoreField(
            "T", 255, [](const C &c) { return c.T; }, [](C &c, uint16_t v) { c.T = static_cast<uint8_t>(v); }));
        f.push_back(CoreField(
            "RPM", 0xFFFF, [](const C &c) { return c.RPM; }, [](C &c, uint16_t v) { c.RPM = v; }));
        f.push_back(CoreField(
            "InjMask", 255, [](const C &c) { return c.InjMask; },
            [](C &c, uint16_t v) { c.InjMask = static_cast<uint8_t>(v); }));
        f.push_back(CoreField(
            "InjType", 3, [](const C &c) { return c.InjType; },
            [](C &c, uint16_t v) { c.InjType = static_cast<uint8_t>(v); }));
        f.push_back(CoreField(
            "FuelType", 1, [](const C &c) { return c.FuelType; },
            [](C &c, uint16_t v) { c.FuelType = static_cast<uint8_t>(v); }));
        f.push_back(CoreField(
            "RPMsource", 3, [](const C &c) { return c.RPMsource; },
            [](C &c, uint16_t v) { c.RPMsource = static_cast<uint8_t>(v); }));
        f.push_back(CoreField(
            "EngineType", 1, [](const C &c) { return c.EngineType; },
            [](C &c, uint16_t v) { c.EngineType = static_cast<uint8_t>(v); }));
        f.push_back(BitField("LambdaType", 1, 0, 4));
        f.push_back(ByteField("InjTypeName", 2));
        f.push_back(ByteField("LowPD", 3));
        f.push_back(ByteField("LowPT", 4));
        f.push_back(BitField("PetrolInjPlusControl", 5, 0));
        f.push_back(BitField("CAP_TIE_enable", 6, 0));
        f.push_back(BitField("NoSeqential", 7, 0));
        f.push_back(BitField("RPMSourceType", 8, 0));
        f.push_back(ByteField("NozzleSize", 10));
        f.push_back(ByteField("RedType", 11));
        f.push_back(ByteField("InjSystemType", 12));
        f.push_back(BitField("SemiGasControl", 16, 0));
        f.push_back(BitField("MicroInjection", 17, 0));
        f.push_back(BitField("HemiEngine", 18, 0));
        f.push_back(ByteField("MapRPMRange", 19));
        f.push_back(BitField("ExternalEmulator", 20, 0));
        f.push_back(BitField("TuningMode", 21, 0));
        f.push_back(BitField("PanelLED", 22, 0));
        f.push_back(ByteField("MicroInjectionTime", 23));
        f.push_back(BitField("ModelGasTimes", 24, 0));
        f.push_back(ByteField("Param25", 25));
        f.push_back(BitField("MasterMode", 27, 0));
        f.push_back(ByteField("PressureSensorType", 28));
        f.push_back(ByteField("LoadP>val", 29));
        f.push_back(ByteField("LegacyParam29", 29)); // the same byte as 1.4/1.5 clients name it
        f.push_back(ByteField("WorkPress", 30));
        f.push_back(ByteField("Flags31", 31));
        const char *flags31[8]{"RPM<",        "RPM>",    "LoadP>",         "PreinjMode",
                               "AlWorkOnGas", "RisingT", "AdaptationMode", "Tgas<"};
        for (int bit = 0; bit < 8; ++bit)
            f.push_back(BitField(flags31[bit], 31, bit));
        f.push_back(ByteField("Flags32", 32));
        f.push_back(BitField("GasTempSensorInFlow", 32, 0));
        f.push_back(ByteField("ReserveType", 33));
        f.push_back(ByteField("Param34", 34));
        f.push_back(ByteField("Tgas<val", 35));
        f.push_back(ByteField("Flags37", 37));
        const std::pair<const char *, int> flags37[]{{"UseOnIdleModel", 0},    {"Tred<&Load", 2},
                                                     {"RPMWireNotConnect", 3}, {"FuelOverlap", 4},
                                                     {"GasInjHeating", 5},     {"PreinjectionProcessDuringCutOff", 6}};
        for (const auto &[name, bit] : flags37)
            f.push_back(BitField(name, 37, bit));
        f.push_back(ByteField("Tred<&Load_Tredval", 38));
        f.push_back(ByteField("Tred<&Load_Lval", 39));
        f.push_back(ByteField("MaxCyclesMixedFuel", 40));
        f.push_back(ByteField("Param41", 41));
        f.push_back(ByteField("MinTredForGasInjHeating", 42));
        f.push_back(ByteField("Tgas<&Load_Lval", 43));
        f.push_back(ByteField("MinPressDuringCuttOffForPreinjections", 44));
        f.push_back(ByteField("TgasCorType", 45));
        f.push_back(ByteField("RPMCorType", 46));
        f.push_back(ByteField("Param48", 48));
        f.push_back(SignedByteField("MazdaEnrichmentPercentage", 49));
        f.push_back(ByteField("Flags50", 50));
        f.push_back(BitField("PreinjectionsDuringCutOffForLowRPMEnabled", 50, 0));
        f.push_back(BitField("MazdaIgnitionTypeCorrEnabled", 50, 1));
        f.push_back(ByteField("Flags52", 52));
        const char *flags52[6]{"FlashLubeSupportEnabled",       "CutOffModeActivated",
                               "AutoToGasOnControlPanelHidden", "SygnalizeDrivingOnPetrolEnabled",
                               "MinGasInjTimeEnabled",          "MaxGasInjTimeEnabled"};
        for (int bit = 0; bit < 6; ++bit)
            f.push_back(BitField(flags52[bit], 52, bit));

        // Word parameters.
        for (uint8_t i = 1; i <= 5; ++i)
            f.push_back(WordField("Word" + std::to_string(i), i));
        const std::pair<const char *, uint8_t> words[]{{"Power", 6},
                                                       {"EngineCubicCapacity", 7},
                                                       {"IdleHotTb", 8},
                                                       {"EmulatorSwitchDelay", 9},
                                                       {"PostValveDelay", 10},
                                                       {"RPM<val", 11},
                                                       {"RPM>val", 12},
                                                       {"Markers", 14},
                                                       {"MaxTimeMixedFuel", 16},
                                                       {"MaxRpmForEnrichmentDuringCutOff", 18},
                                                       {"InjTimeForEnrichmentDuringCutOff", 19},
                                                       {"MinGasInjectionTime", 20},
                                                       {"MaxGasInjectionTime", 21},
                                                       {"MaxTbForLoad", 22},
                                                       {"NextInspection", 23},
                                                       {"AfterCutOffEmulSwitchDelay", 24},
                                                       {"OnCutOffDelay", 25}};
        for (const auto &[name, index] : words)
            f.push_back(WordField(name, index));

        // Model.
        f.push_back(ModelScaledField("Mult", 1, 1024.0, false));
        f.push_back(ModelScaledField("Offset", 2, 187.0, true));
        for (uint8_t i = 0; i < 4; ++i) {
            f.push_back(ModelPointField("P" + std::to_string(i + 1), static_cast<uint8_t>(3 + i)));
            f.push_back(EnrichmentField("E" + std::to_string(i + 1), static_cast<uint8_t>(7 + i)));
        }
        f.push_back(ModelScaledField("CorrectionMult", 11, 1024.0, false));
        f.push_back(ModelScaledField("CorrectionOffset", 12, 187.0, true));
        f.push_back(ModelRawField("CorrectionMask", 13));
        f.push_back(ModelRawField("CMActive", 74));
        f.push_back(ModelRawField("ModelWord83", 83));
        f.push_back(ModelRawField("Model_OBDAdaptCorrConfig", 104));
        f.push_back(TableField("CPS", &ParameterStore::cps));
        f.push_back(TableField("CPCOL", &ParameterStore::cpcol));
        f.push_back(TableField("CTG", &ParameterStore::ctg));
        f.push_back(TableField("CRPM", &ParameterStore::crpm));
        const char *points[4]{"P1X", "P1Y", "P2X", "P2Y"};
        for (std::size_t i = 0; i < 4; ++i) {
            const std::string name = points[i];
            f.push_back({name, [i](const ParameterStore &s) { return Json(s.modelPoints[i] / 187.0); },
                         [i, name](ParameterStore &s, const Json &v) {
                             s.modelPoints[i] = static_cast<uint16_t>(Scaled(v, name, 187.0, 0, 0xFFFF));
                         }});
        }
        f.push_back({"Model2SetA", [](const ParameterStore &s) { return PointSet(s.model2A); },
                     [](ParameterStore &s, const Json &v) { TakePointSet(s.model2A, v, "Model2SetA"); }});
        f.push_back({"Model2SetB", [](const ParameterStore &s) { return PointSet(s.model2B); },
                     [](ParameterStore &s, const Json &v) { TakePointSet(s.model2B, v, "Model2SetB"); }});
        f.push_back({"InjCorr", [](const ParameterStore &s) { return SignedArray(s.injCorr); },
                     [](ParameterStore &s, const Json &v) { TakeSigned(s.injCorr, v, "InjCorr"); }});

        // Maps.
        f.push_back({"MapG3", [](const ParameterStore &s) { return MapTable(s.mapG3); },
                     [](ParameterStore &s, const Json &v) { TakeMapTable(s.mapG3, v, "MapG3"); }});
        f.push_back({"MapG3B", [](const ParameterStore &s) { return MapTable(s.mapG3B); },
                     [](ParameterStore &s, const Json &v) { TakeMapTable(s.mapG3B, v, "MapG3B"); }});
        f.push_back({"PetrolMapPoints", [](const ParameterStore &s) { return MapPointsJson(s, false); },
                     [](ParameterStore &s, const Json &v) { TakeMapPoints(s, false, v, "PetrolMapPoints"); }});
        f.push_back({"GasMapPoints", [](const ParameterStore &s) { return MapPointsJson(s, true); },
                     [](ParameterStore &s, const Json &v) { TakeMapPoints(s, true, v, "GasMapPoints"); }});

        // Records kept in controller memory.
        for (uint16_t i = 0; i < 4; ++i) {
            f.push_back(MemByteField("PW" + std::to_string(i), static_cast<uint16_t>(mem::kLevelA + i)));
            f.push_back(MemByteField("090" + std::to_string(i), static_cast<uint16_t>(mem::kLevelB + i)));
        }
        f.push_back({"InjectorRecord", [](const ParameterStore &s) { return PlainArray(s.InjectorRecord()); },
                     [](ParameterStore &s, const Json &v) {
                         std::array<uint8_t, 12> record{};
                         TakePlain(record, v, "InjectorRecord", 255);
                         s.SetInjectorRecord(record);
                     }});
        f.push_back(MemWordField("SerialDatePart", mem::kSerialDate));
        f.push_back({"SerialNumber",
                     [](const ParameterStore &s) {
                         return Json(static_cast<uint32_t>(s.MemWord(mem::kSerialHigh)) << 16 |
                                     s.MemWord(mem::kSerialLow));
                     },
                     [](ParameterStore &s, const Json &v) {
                         const auto n = static_cast<uint32_t>(Int(v, "SerialNumber", 0, 0xFFFFFFFFL));
                         s.SetMemWord(mem::kSerialHigh, static_cast<uint16_t>(n >> 16));
                         s.SetMemWord(mem::kSerialLow, static_cast<uint16_t>(n));
                     }});
        f.push_back(MemByteField("EmergencyStarts", mem::kEmergencyStarts));
        f.push_back(MemByteField("MaxBoardTempRaw", mem::kMaxBoardTemp));

        // Service records.
        f.push_back({"InspectionTimeDistRatio", [](const ParameterStore &s) { return Json(s.inspectionRatio); },
                     [](ParameterStore &s, const Json &v) {
                         s.inspectionRatio = static_cast<uint8_t>(Int(v, "InspectionTimeDistRatio", 0, 255));
                     }});
        f.push_back({"AdaptInfoBytes", [](const ParameterStore &s) { return PlainArray(s.adaptInfoBytes); },
                     [](ParameterStore &s, const Json &v) { TakePlain(s.adaptInfoBytes, v, "AdaptInfoBytes", 255); }});
        f.push_back(
            {"AdaptInfoWords", [](const ParameterStore &s) { return PlainArray(s.adaptInfoWords); },
             [](ParameterStore &s, const Json &v) { TakePlain(s.adaptInfoWords, v, "AdaptInfoWords", 0xFFFF); }});
        f.push_back({"AdaptCorrBank1", [](const ParameterStore &s) { return AdaptJson(s.adaptBank1); },
                     [](ParameterStore &s, const Json &v) { TakeAdapt(s.adaptBank1, v, "AdaptCorrBank1"); }});
        f.push_back({"AdaptCorrBank2", [](const ParameterStore &s) { return AdaptJson(s.adaptBank2); },
                     [](ParameterStore &s, const Json &v) { TakeAdapt(s.adaptBank2, v, "AdaptCorrBank2"); }});
        f.push_back({"ComputerCodes",
                     [](const ParameterStore &s) {
                         Json out = Json::array();
                         for (const auto &c : s.computerCodes)
                             out.push_back(Json::array({c.code, c.date}));
                         return out;
                     },
                     [](ParameterStore &s, const Json &v) {
                         Array(v, "ComputerCodes", 5);
                         for (std::size_t i = 0; i < 5; ++i) {
                             const std::string key = "ComputerCodes[" + std::to_string(i) + "]";
                             Array(v[i], key, 2);
                             s.computerCodes[i] = {static_cast<uint32_t>(Int(v[i][0], key, 0, 0xFFFFFFFFL)),
                                                   static_cast<uint32_t>(Int(v[i][1], key, 0, 0xFFFFFFFFL))};
                         }
                     }});
        f.push_back({"NewestComputerCode", [](const ParameterStore &s) { return Json(s.newestComputerCode); },
                     [](ParameterStore &s, const Json &v) {
                         s.newestComputerCode = static_cast<uint8_t>(Int(v, "NewestComputerCode", 0, 4));
                     }});
        f.push_back({"TroubleFlags", [](const ParameterStore &s) { return PlainArray(s.troubleFlags); },
                     [](ParameterStore &s, const Json &v) { TakePlain(s.troubleFlags, v, "TroubleFlags", 255); }});
        f.push_back({"ErrorLogHead", [](const ParameterStore &s) { return Json(s.errorLogHead); },
                     [](ParameterStore &s, const Json &v) {
                         s.errorLogHead = static_cast<uint8_t>(Int(v, "ErrorLogHead", 0, 9));
                     }});
        f.push_back({"ErrorLog",
                     [](const ParameterStore &s) {
                         Json out = Json::array();
                         for (const auto &record : s.errorLog)
                             out.push_back(PlainArray(record));
                         return out;
                     },
                     [](ParameterStore &s, const Json &v) {
                         Array(v, "ErrorLog", 10);
                         for (std::size_t i = 0; i < 10; ++i)
                             TakePlain(s.errorLog[i], v[i], "ErrorLog[" + std::to_string(i) + "]", 255);
                     }});
        return f;
    }();
    return fields;
}

// Objects from index to raw value.
template <typename T, std::size_t N> Json IndexedJson(const std::array<T, N> &values, const T &skip)
{
    Json out = Json::object();
    for (std::size_t i = 0; i < N; ++i) {
        if (values[i] != skip)
            out[std::to_string(i)] = values[i];
    }
    return out;
}

template <typename T, std::size_t N>
void TakeIndexed(std::array<T, N> &values, const Json &v, const std::string &name, long max)
{
    if (!v.is_object())
        Fail(name, "expected an object from index to value");
    for (const auto &[key, value] : v.items()) {
        char *end = nullptr;
        const long index = std::strtol(key.c_str(), &end, 10);
        if (key.empty() || *end != '\0' || index < 0 || index >= static_cast<long>(N))
            Fail(name, "index '" + key + "' is not 0.." + std::to_string(N - 1));
        std::string where = name;
        where += '.';
        where += key;
        values[static_cast<std::size_t>(index)] = static_cast<T>(Int(value, where, 0, max));
    }
}

std::string HexBytes(const std::array<uint8_t, mem::kSize> &bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

void TakeMemory(ParameterStore &s, const Json &v)
{
    if (v.is_string()) {
        const std::string &text = v.get_ref<const std::string &>();
        if (text.size() % 2 != 0 || text.size() > mem::kSize * 2)
            Fail("memory", "expected at most 1024 bytes as pairs of hex digits");
        for (std::size_t i = 0; i < text.size() / 2; ++i) {
            unsigned byte = 0;
            for (int k = 0; k < 2; ++k) {
                const char c = text[2 * i + static_cast<std::size_t>(k)];
                const int digit = (c >= '0' && c <= '9')   ? c - '0'
                                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                           : -1;
                if (digit < 0)
                    Fail("memory", "'" + std::string(1, c) + "' is not a hex digit");
                byte = byte << 4 | static_cast<unsigned>(digit);
            }
            s.memory[i] = static_cast<uint8_t>(byte);
        }
        return;
    }
    TakeIndexed(s.memory, v, "memory", 255);
}

std::string LetterText(uint8_t letter)
{
    return letter == 0 ? std::string() : std::string(1, static_cast<char>(letter));
}

ControllerIdentity TakeIdentity(const Json &v, ControllerIdentity id)
{
    if (!v.is_object())
        Fail("identity", "expected an object");
    for (const auto &[key, value] : v.items()) {
        const std::string name = "identity." + key;
        if (key == "VersionCode") {
            const auto code = static_cast<uint8_t>(Int(value, name, 0, 255));
            if (code != kGen14 && code != kGen15 && code != kGen30)
                Fail(name, "the model serves 0x14 (20), 0x15 (21) and 0x30 (48) only");
            id.versionCode = code;
        } else if (key == "SoftwareLetter") {
            if (value.is_string()) {
                const std::string &text = value.get_ref<const std::string &>();
                if (text.size() > 1)
                    Fail(name, "expected one character, or an empty string for none");
                id.letter = text.empty() ? 0 : static_cast<uint8_t>(text[0]);
            } else {
                id.letter = static_cast<uint8_t>(Int(value, name, 0, 255));
            }
        } else if (key == "Variant") {
            id.variant = static_cast<uint8_t>(Int(value, name, 0, 255));
        } else if (key == "IdentByte2") {
            id.identByte2 = static_cast<uint8_t>(Int(value, name, 0, 255));
        } else if (key == "IdentByte3") {
            id.identByte3 = static_cast<uint8_t>(Int(value, name, 0, 255));
        } else if (key == "PcCompatCode") {
            id.pcCompatCode = static_cast<uint8_t>(Int(value, name, 0, 255));
        } else if (key == "ExtraVersion") {
            id.extraVersion = static_cast<uint8_t>(Int(value, name, 0, 255));
        } else if (key == "CompileTime" || key == "CompileDate") {
            if (!value.is_string() || value.get_ref<const std::string &>().size() > (key == "CompileTime" ? 8u : 11u))
                Fail(name, key == "CompileTime" ? "expected a text of at most 8 characters"
                                                : "expected a text of at most 11 characters");
            (key == "CompileTime" ? id.compileTime : id.compileDate) = value.get<std::string>();
        } else if (key == "InjHW") {
            // 0 is a controller that does not report its channels.
            const long count = Int(value, name, 0, 8);
            if (count != 0 && count != 4 && count != 6 && count != 8)
                Fail(name, "hardware injector channels are 0 (not reported), 4, 6 or 8");
            id.injectorChannelCode = static_cast<uint8_t>(count == 0 ? 0 : count / 2 - 1);
        } else if (key == "MarketCode") {
            id.marketCode = static_cast<uint16_t>(Int(value, name, 0, 0xFFFF));
        } else {
            Fail(name, "unknown key");
        }
    }
    return id;
}

Json IdentityJson(const ControllerIdentity &id)
{
    Json j;
    j["VersionCode"] = id.versionCode;
    j["SoftwareLetter"] = LetterText(id.letter);
    j["Variant"] = id.variant;
    j["IdentByte2"] = id.identByte2;
    j["IdentByte3"] = id.identByte3;
    j["PcCompatCode"] = id.pcCompatCode;
    j["ExtraVersion"] = id.extraVersion;
    j["CompileTime"] = id.compileTime;
    j["CompileDate"] = id.compileDate;
    j["InjHW"] = id.HardwareInjectors();
    j["MarketCode"] = id.marketCode;
    return j;
}

Json CarJson(const CarModel &car)
{
    Json j;
    j["ambientC"] = car.ambientC;
    j["regulatorBar"] = car.regulatorBar;
    j["gasFactor"] = car.gasFactor;
    j["idleRpm"] = car.idleRpm;
    j["injectorFlow"] = PlainArray(car.injectorFlow);
    j["petrolInjection"] = car.petrolInjection;
    return j;
}

CarModel TakeCar(const Json &v, CarModel car)
{
    if (!v.is_object())
        Fail("car", "expected an object");
    for (const auto &item : v.items()) {
        const std::string &key = item.key();
        const Json &value = item.value();
        const std::string name = "car." + key;
        auto ranged = [&](double lo, double hi) {
            const double x = Real(value, name);
            if (x < lo || x > hi)
                Fail(name, "value " + value.dump() + " is outside " + Json(lo).dump() + ".." + Json(hi).dump());
            return x;
        };
        if (key == "ambientC")
            car.ambientC = ranged(-40, 50);
        else if (key == "regulatorBar")
            car.regulatorBar = ranged(0, 5);
        else if (key == "gasFactor")
            car.gasFactor = ranged(0.1, 5);
        else if (key == "idleRpm")
            car.idleRpm = ranged(400, 2000);
        else if (key == "injectorFlow")
            TakePlain(car.injectorFlow, value, name, 200);
        else if (key == "petrolInjection")
            car.petrolInjection = static_cast<uint8_t>(Int(value, name, 1, 3));
        else
            Fail(name, "unknown key");
    }
    return car;
}

} // namespace

bool StateJson::Load(ControllerModel &model, std::string_view text, std::string &error)
{
    try {
        const Json doc = Json::parse(text.begin(), text.end());
        if (!doc.is_object())
            Fail("state", "the document must be a JSON object");

        ControllerIdentity id = model.id_;
        if (doc.contains("identity"))
            id = TakeIdentity(doc["identity"], id);
        ParameterStore store = FactoryStore(id);
        ServiceState service;
        CarModel car = model.engine_.Car();
        if (doc.contains("car"))
            car = TakeCar(doc["car"], car);

        std::set<std::string> known{
            "identity", "car",    "live",      "byteParams", "wordParams",          "modelParams",
            "wordVars", "memory", "LockState", "Password",   "EmulatorSwitchState", "ValveOpen"};
        if (doc.contains("memory"))
            TakeMemory(store, doc["memory"]);
        if (doc.contains("byteParams"))
            TakeIndexed(store.byteParams, doc["byteParams"], "byteParams", 255);
        if (doc.contains("wordParams"))
            TakeIndexed(store.wordParams, doc["wordParams"], "wordParams", 0xFFFF);
        if (doc.contains("modelParams")) {
            std::array<uint16_t, 256> raw{};
            for (std::size_t i = 0; i < raw.size(); ++i)
                raw[i] = store.ModelParam(static_cast<uint8_t>(i));
            TakeIndexed(raw, doc["modelParams"], "modelParams", 0xFFFF);
            for (std::size_t i = 0; i < raw.size(); ++i)
                store.SetModelParam(static_cast<uint8_t>(i), raw[i]);
        }
        if (doc.contains("wordVars"))
            TakeIndexed(store.wordVars, doc["wordVars"], "wordVars", 0xFFFF);
        for (const Field &field : Fields()) {
            known.insert(field.name);
            if (doc.contains(field.name) && field.get(store) != doc[field.name])
                field.set(store, doc[field.name]);
        }
        for (const auto &[key, value] : doc.items()) {
            if (!known.count(key))
                Fail(key, "unknown key");
        }

        if (doc.contains("LockState"))
            service.lockState = static_cast<uint8_t>(Int(doc["LockState"], "LockState", 0, 255));
        if (doc.contains("Password"))
            service.password = static_cast<uint32_t>(Int(doc["Password"], "Password", 0, 0xFFFFFFFFL));
        if (doc.contains("EmulatorSwitchState"))
            service.emulatorMask = static_cast<uint8_t>(Int(doc["EmulatorSwitchState"], "EmulatorSwitchState", 0, 255));
        if (doc.contains("ValveOpen"))
            service.valveOpen = Int(doc["ValveOpen"], "ValveOpen", 0, 1) != 0;

        std::optional<EnginePhase> phase;
        FuelMode fuel = FuelMode::Automatic;
        std::vector<std::pair<Channel, int>> pinned;
        if (doc.contains("live")) {
            const Json &live = doc["live"];
            if (!live.is_object())
                Fail("live", "expected an object");
            for (const auto &[key, value] : live.items()) {
                const std::string name = "live." + key;
                if (key == "engine") {
                    const std::string p = value.is_string() ? value.get<std::string>() : "";
                    if (const auto named = EnginePhaseByName(p))
                        phase = named;
                    else if (p != "auto")
                        Fail(name, "expected \"auto\", \"off\", \"crank\", \"idle\" or \"drive\"");
                } else if (key == "fuel") {
                    const std::string f = value.is_string() ? value.get<std::string>() : "";
                    if (const auto mode = FuelModeByName(f))
                        fuel = *mode;
                    else
                        Fail(name, "expected \"auto\", \"petrol\" or \"gas\"");
                } else if (key == "collectMap") {
                    if (!value.is_boolean())
                        Fail(name, "expected true or false");
                    service.collectMap = value.get<bool>();
                } else if (key == "pinned") {
                    if (!value.is_object())
                        Fail(name, "expected an object from reading name to value");
                    for (const auto &[channelName, v] : value.items()) {
                        std::string where = name;
                        where += '.';
                        where += channelName;
                        const auto channel = ChannelByName(channelName);
                        if (!channel)
                            Fail(where, "unknown reading");
                        pinned.emplace_back(*channel, static_cast<int>(Int(v, where, 0, 65535)));
                    }
                } else {
                    Fail(name, "unknown key");
                }
            }
        }

        // Everything checked: replace the state in one go.
        model.id_ = id;
        model.store_ = store;
        model.service_ = service;
        model.engine_.Car() = car;
        model.engine_.ReleaseAll();
        model.engine_.Reset(model.seed_);
        if (phase)
            model.engine_.HoldPhase(*phase);
        model.engine_.SetFuelMode(fuel);
        for (const auto &[channel, value] : pinned)
            model.engine_.Override(channel, value);
        model.lastSystemState_ = kStateOff;
        model.gasSteps_ = 0;
        return true;
    } catch (const LoadError &e) {
        error = "state: " + e.text;
    } catch (const nlohmann::json::parse_error &e) {
        error = "state: not valid JSON (byte " + std::to_string(e.byte) + "): " + e.what();
    } catch (const nlohmann::json::exception &e) {
        error = std::string("state: ") + e.what();
    }
    return false;
}

std::string StateJson::Dump(const ControllerModel &model)
{
    const ParameterStore &s = model.store_;
    Json doc;
    doc["identity"] = IdentityJson(model.id_);
    doc["LockState"] = model.service_.lockState;
    doc["Password"] = model.service_.password;
    for (const Field &field : Fields())
        doc[field.name] = field.get(s);
    doc["EmulatorSwitchState"] = model.service_.emulatorMask;
    doc["ValveOpen"] = model.service_.valveOpen ? 1 : 0;
    doc["byteParams"] = IndexedJson(s.byteParams, uint8_t{0});
    doc["wordParams"] = IndexedJson(s.wordParams, uint16_t{0});
    std::array<uint16_t, 256> model_{};
    for (std::size_t i = 0; i < model_.size(); ++i)
        model_[i] = s.ModelParam(static_cast<uint8_t>(i));
    doc["modelParams"] = IndexedJson(model_, uint16_t{0});
    doc["wordVars"] = IndexedJson(s.wordVars, uint16_t{0});
    doc["memory"] = HexBytes(s.memory);
    doc["car"] = CarJson(model.engine_.Car());
    Json live;
    live["engine"] = model.engine_.Scripted() ? "auto" : EnginePhaseName(model.engine_.Phase());
    live["fuel"] = FuelModeName(model.engine_.Fuel());
    live["collectMap"] = model.service_.collectMap;
    Json pinned = Json::object();
    for (int c = 0; c < static_cast<int>(Channel::Count); ++c) {
        if (auto v = model.engine_.Overridden(static_cast<Channel>(c)))
            pinned[ChannelName(static_cast<Channel>(c))] = *v;
    }
    live["pinned"] = pinned;
    doc["live"] = live;
    return doc.dump(2) + "\n";
}

} // namespace sim
