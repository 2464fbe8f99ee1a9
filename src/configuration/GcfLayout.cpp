#include "configuration/GcfLayout.h"

#include "calibration/CorrectionTables.h"
#include "controller/Version.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace lumex {

namespace {

using D = TNorviData;
using TGet = std::function<double(const TNorviData &, const TImagePoints &)>;
using TSet = std::function<void(TNorviData &, TImagePoints &, double)>;

constexpr double kByteMax = 255, kWordMax = 65535, kSignedMin = -128, kSignedMax = 127;
constexpr int kMaxInjectors = 8;
// The wire limits of the model's reals (WireScaling): a multiplier is
// value x 1024 in a word, an offset value x 187 in a signed word, a time in
// ms value x 187 in a word.
constexpr double kMultMax = 65535.0 / 1024, kOffsetMin = -32768.0 / 187, kOffsetMax = 32767.0 / 187;
constexpr double kTicksPerMs = 187, kMsMax = 65535.0 / kTicksPerMs;
// Model points P1..P4 travel as P x 187, enrichments as (E / 100 + 1) x 4096.
constexpr double kPMax = 65535.0 / kTicksPerMs, kEMin = -100, kEMax = 65535.0 / 4096 * 100 - 100;

TGet Fixed(double value)
{
    return [value](const TNorviData &, const TImagePoints &) { return value; };
}

int Rounded(double v)
{
    return static_cast<int>(std::lround(v));
}

// The layouts are written as scripts, key by key in file order.
class TBuilder
{
public:
    explicit TBuilder(const TNorviData &controller) : d_(controller) {}

    bool From(const char *letter) const { return Is30From(d_, letter); }

    // A key of the configuration field of the same name.
    void Field(const char *section, const char *key, TGcfType type, double def, TGcfPart part = TGcfPart::Config)
    {
        const TConfigField *f = FindConfigField(key);
        TGcfItem item = Plain(section, key, type, def, 0, kWordMax, part);
        item.Field = f;
        item.Get = [f](const TNorviData &d, const TImagePoints &) { return RawValue(*f, d); };
        item.Set = [f](TNorviData &d, TImagePoints &, double v) {
            SetRawValue(*f, d, static_cast<unsigned>(Rounded(v)));
        };
        items_.push_back(std::move(item));
    }
    void Byte(const char *section, std::string key, uint8_t D::*m, TGcfType type, double def,
              TGcfPart part = TGcfPart::Config)
    {
        TGcfItem item = Plain(section, std::move(key), type, def, 0, type == TGcfType::Bool ? 1 : kByteMax, part);
        item.Get = [m](const TNorviData &d, const TImagePoints &) { return d.*m; };
        item.Set = [m](TNorviData &d, TImagePoints &, double v) { d.*m = static_cast<uint8_t>(Rounded(v)); };
        items_.push_back(std::move(item));
    }
    void Word(const char *section, std::string key, uint16_t D::*m, double def, TGcfPart part = TGcfPart::Config)
    {
        TGcfItem item = Plain(section, std::move(key), TGcfType::Int, def, 0, kWordMax, part);
        item.Get = [m](const TNorviData &d, const TImagePoints &) { return d.*m; };
        item.Set = [m](TNorviData &d, TImagePoints &, double v) { d.*m = static_cast<uint16_t>(Rounded(v)); };
        items_.push_back(std::move(item));
    }
    // A signed byte the image keeps as its two's complement.
    void Signed(const char *section, std::string key, const std::function<uint8_t &(TNorviData &)> &at, TGet def,
                TGcfPart part = TGcfPart::Config)
    {
        TGcfItem item = Plain(section, std::move(key), TGcfType::Int, 0, kSignedMin, kSignedMax, part);
        item.Default = std::move(def);
        item.Get = [at](const TNorviData &d, const TImagePoints &) {
            return static_cast<int8_t>(at(const_cast<TNorviData &>(d)));
        };
        item.Set = [at](TNorviData &d, TImagePoints &, double v) {
            at(d) = static_cast<uint8_t>(static_cast<int8_t>(Rounded(v)));
        };
        items_.push_back(std::move(item));
    }
    void Real(const char *section, const char *key, double D::*m, double def, double min, double max,
              TGcfPart part = TGcfPart::Model)
    {
        TGcfItem item = Plain(section, key, TGcfType::Real, def, min, max, part);
        item.Get = [m](const TNorviData &d, const TImagePoints &) { return d.*m; };
        item.Set = [m](TNorviData &d, TImagePoints &, double v) { d.*m = v; };
        items_.push_back(std::move(item));
    }
    void Int32(const char *section, const char *key, int32_t D::*m, double def, double min, double max)
    {
        TGcfItem item = Plain(section, key, TGcfType::Int, def, min, max, TGcfPart::Model);
        item.Get = [m](const TNorviData &d, const TImagePoints &) { return d.*m; };
        item.Set = [m](TNorviData &d, TImagePoints &, double v) { d.*m = Rounded(v); };
        items_.push_back(std::move(item));
    }
    void Custom(TGcfItem item) { items_.push_back(std::move(item)); }

    static TGcfItem Plain(const char *section, std::string key, TGcfType type, double def, double min, double max,
                          TGcfPart part)
    {
        TGcfItem item;
        item.Section = section;
        item.Key = std::move(key);
        item.Type = type;
        item.Part = part;
        item.Min = min;
        item.Max = max;
        item.Default = Fixed(def);
        return item;
    }

    std::vector<TGcfItem> Take() { return std::move(items_); }

private:
    const TNorviData &d_;
    std::vector<TGcfItem> items_;
};

// InjSW is the count of injectors in use; the image keeps the mask too.
TGcfItem InjectorsInUse(double def)
{
    TGcfItem item = TBuilder::Plain(kGcfConfig, "InjSW", TGcfType::Int, def, 1, kMaxInjectors, TGcfPart::Config);
    item.Get = [](const TNorviData &d, const TImagePoints &) { return d.InjSW; };
    item.Set = [](TNorviData &d, TImagePoints &, double v) {
        const int n = Rounded(v);
        d.InjSW = static_cast<uint8_t>(n);
        d.InjMask = static_cast<uint8_t>((1u << n) - 1);
    };
    return item;
}

// The hardware channels are the controller's, never the file's: the key is
// written for the reader and loads into nothing.
TGcfItem InjectorChannels(double def)
{
    TGcfItem item = TBuilder::Plain(kGcfConfig, "InjHW", TGcfType::Int, def, 0, kByteMax, TGcfPart::Config);
    item.Get = [](const TNorviData &d, const TImagePoints &) { return d.InjHW; };
    return item;
}

// T is the raw temperature byte, written as a real.
TGcfItem SwitchTemperature()
{
    TGcfItem item = TBuilder::Plain(kGcfConfig, "T", TGcfType::Real, 97, 0, kByteMax, TGcfPart::Config);
    const TConfigField *f = FindConfigField("T");
    item.Field = f;
    item.Get = [](const TNorviData &d, const TImagePoints &) { return d.T; };
    item.Set = [](TNorviData &d, TImagePoints &, double v) { d.T = static_cast<uint8_t>(Rounded(v)); };
    return item;
}

void LevelSensorKeys(TBuilder &b)
{
    constexpr std::array<const char *, 4> kA{"PW0", "PW1", "PW2", "PW3"};
    constexpr std::array<const char *, 4> kB{"0900", "0901", "0902", "0903"};
    constexpr std::array<double, 4> kADefault{200, 143, 92, 40};
    constexpr std::array<double, 4> kBDefault{21, 47, 61, 72};
    for (std::size_t i = 0; i < 4; ++i)
        b.Field(kGcfConfig, kA[i], TGcfType::Int, kADefault[i]);
    for (std::size_t i = 0; i < 4; ++i)
        b.Field(kGcfConfig, kB[i], TGcfType::Int, kBDefault[i]);
}

void Config30(TBuilder &b)
{
    using T = TGcfType;
    const char *c = kGcfConfig;
    b.Field(c, "FuelType", T::Bool, 0);
    b.Custom(InjectorsInUse(4));
    b.Custom(InjectorChannels(4));
    b.Field(c, "EngineCubicCapacity", T::Int, 0);
    b.Field(c, "Power", T::Int, 66);
    b.Field(c, "InjSystemType", T::Int, 1);
    b.Field(c, "EngineType", T::Int, 0);
    b.Field(c, "NozzleSize", T::Int, 20);
    b.Field(c, "InjTypeName", T::Int, 0);
    b.Field(c, "InjType", T::Int, 0);
    b.Field(c, "PressureSensorType", T::Int, 3);
    b.Field(c, "GasTempSensorInFlow", T::Bool, 1);
    b.Field(c, "ReserveType", T::Int, 1);
    b.Field(c, "PanelLED", T::Bool, 0);
    LevelSensorKeys(b);
    b.Field(c, "RedType", T::Int, 0);
    b.Field(c, "RPMsource", T::Int, 0);
    b.Field(c, "RPMSourceType", T::Bool, 0);
    b.Field(c, "WorkPress", T::Int, 104);
    b.Field(c, "IdleHotTb", T::Int, 0);
    b.Field(c, "LambdaType", T::Int, 0);
    b.Custom(SwitchTemperature());
    b.Field(c, "RisingT", T::Bool, 1);
    b.Field(c, "RPM", T::Int, 56100);
    b.Field(c, "EmulatorSwitchDelay", T::Int, 500);
    b.Field(c, "LowPT", T::Int, 47);
    b.Field(c, "LowPD", T::Int, 4);
    b.Field(c, "RPM<", T::Bool, 0);
    b.Field(c, "RPM<val", T::Int, 400);
    b.Field(c, "RPM>", T::Bool, 0);
    b.Field(c, "RPM>val", T::Int, 8000);
    b.Field(c, "LoadP>", T::Bool, 0);
    b.Field(c, "LoadP>val", T::Int, 90);
    b.Field(c, "TuningMode", T::Bool, 0);
    b.Field(c, "Tgas<", T::Bool, 0);
    b.Field(c, "Tgas<val", T::Int, 195);
    b.Field(c, "NoSeqential", T::Bool, 0);
    b.Field(c, "MicroInjection", T::Bool, 0);
    b.Field(c, "MicroInjectionTime", T::Int, 14);
    b.Field(c, "HemiEngine", T::Bool, 0);
    b.Field(c, "PetrolInjPlusControl", T::Bool, 0);
    b.Field(c, "ExternalEmulator", T::Bool, 0);
    b.Field(c, "PostValveDelay", T::Int, 1);
    for (const char *k : {"SemiGasControl", "MasterMode", "CAP_TIE_enable", "PreinjMode", "AlWorkOnGas"})
        b.Field(c, k, T::Bool, 0);
    if (b.From("C")) {
        b.Field(c, "RPMWireNotConnect", T::Bool, 0);
        b.Field(c, "PreinjectionProcessDuringCutOff", T::Bool, 1);
        b.Field(c, "GasInjHeating", T::Bool, 0);
        b.Field(c, "MinTredForGasInjHeating", T::Int, 156);
        b.Field(c, "FuelOverlap", T::Bool, 0);
        b.Field(c, "MaxCyclesMixedFuel", T::Int, 1);
        b.Field(c, "MaxTimeMixedFuel", T::Int, 748);
        b.Field(c, "Tred<&Load", T::Bool, 0);
        b.Field(c, "Tred<&Load_Tredval", T::Int, 77);
        b.Field(c, "Tred<&Load_Lval", T::Int, 50);
    }
    if (b.From("D")) {
        b.Field(c, "MinPressDuringCuttOffForPreinjections", T::Int, 226);
        b.Field(c, "Tgas<&Load_Lval", T::Int, 50);
        b.Field(c, "AdaptationMode", T::Bool, 0);
        b.Field(c, "Markers", T::Int, 0);
    }
    if (b.From("F")) {
        b.Field(c, "PreinjectionsDuringCutOffForLowRPMEnabled", T::Bool, 0);
        b.Field(c, "InjTimeForEnrichmentDuringCutOff", T::Int, 748);
        b.Field(c, "MaxRpmForEnrichmentDuringCutOff", T::Int, 2500);
        b.Field(c, "MazdaIgnitionTypeCorrEnabled", T::Bool, 0);
        b.Signed(
            c, "MazdaEnrichmentPercentage", [](TNorviData &d) -> uint8_t & { return d.MazdaEnrichmentPercentage; },
            Fixed(0));
    }
    if (b.From("G")) {
        for (const char *k : {"FlashLubeSupportEnabled", "AutoToGasOnControlPanelHidden", "CutOffModeActivated"})
            b.Field(c, k, T::Bool, 0);
        b.Field(c, "AfterCutOffEmulSwitchDelay", T::Int, 500);
        b.Field(c, "OnCutOffDelay", T::Int, 2000);
        b.Field(c, "SygnalizeDrivingOnPetrolEnabled", T::Bool, 1);
        b.Field(c, "MinGasInjTimeEnabled", T::Bool, 0);
        b.Field(c, "MaxGasInjTimeEnabled", T::Bool, 0);
        b.Field(c, "MinGasInjectionTime", T::Int, 374);
        b.Field(c, "MaxGasInjectionTime", T::Int, 3740);
        b.Field(c, "NextInspection", T::Int, 0);
        b.Field(c, "InspectionTimeDistRatio", T::Int, 50);
    }
}

// A missing point below 7 lies on the model line; later ones are empty.
constexpr std::size_t kLinePoints = 7;
constexpr double kLineStep = 5;
constexpr double kEmptyPoint = 65535;

void ModelPoints30(TBuilder &b)
{
    for (std::size_t n = 0; n < kModel2Points; ++n) {
        for (const bool x : {true, false}) {
            TGcfItem item = TBuilder::Plain(kGcfModel, (x ? "M2XP" : "M2YP") + std::to_string(n), TGcfType::Int, 0, 0,
                                            kWordMax, TGcfPart::Model);
            item.Default = [n, x](const TNorviData &d, const TImagePoints &) {
                if (n >= kLinePoints)
                    return kEmptyPoint;
                const double px = kLineStep * static_cast<double>(n);
                return x ? px : std::round(px * d.Mult + d.Offset);
            };
            item.Get = [n, x](const TNorviData &d, const TImagePoints &) {
                return x ? d.Model2SetA[n].X : d.Model2SetA[n].Y;
            };
            item.Set = [n, x](TNorviData &d, TImagePoints &, double v) {
                (x ? d.Model2SetA[n].X : d.Model2SetA[n].Y) = Rounded(v);
            };
            b.Custom(std::move(item));
        }
    }
}

using TTableOf = TCorrectionTable D::*;

void CorrectionTable(TBuilder &b, const char *prefix, TTableOf table,
                     const std::function<TCorrectionTable(const D &)> &def)
{
    for (std::size_t i = 0; i < kCorrectionPoints; ++i) {
        b.Signed(
            kGcfModel, prefix + std::to_string(i + 1),
            [table, i](TNorviData &d) -> uint8_t & { return reinterpret_cast<uint8_t &>((d.*table)[i]); },
            [def, i](const TNorviData &d, const TImagePoints &) { return def(d)[i]; }, TGcfPart::Corrections);
    }
}

void IdlePoint(TBuilder &b, const char *key, double TModelPoints::*m, double def)
{
    TGcfItem item = TBuilder::Plain(kGcfModel, key, TGcfType::Real, def, 0, kMsMax, TGcfPart::Model);
    item.Get = [m](const TNorviData &, const TImagePoints &p) { return p.ModelPoints.*m; };
    item.Set = [m](TNorviData &, TImagePoints &p, double v) { p.ModelPoints.*m = v; };
    b.Custom(std::move(item));
}

void Model30(TBuilder &b)
{
    const char *m = kGcfModel;
    b.Real(m, "Mult", &D::Mult, 1.0, 0, kMultMax);
    b.Real(m, "Offset", &D::Offset, 1.0, kOffsetMin, kOffsetMax);
    b.Real(m, "CorrectionMult", &D::CorrectionMult, 1.0, 0, kMultMax, TGcfPart::Corrections);
    b.Real(m, "CorrectionOffset", &D::CorrectionOffset, 0.0, kOffsetMin, kOffsetMax, TGcfPart::Corrections);
    b.Byte(m, "CorrectionMask", &D::CorrectionMask, TGcfType::Int, 0, TGcfPart::Corrections);
    ModelPoints30(b);
    b.Byte(m, "CMActive", &D::CMActive, TGcfType::Int, kCMActivePsys | kCMActiveTgas, TGcfPart::Corrections);
    CorrectionTable(b, "CPS", &D::CPS, [](const D &d) { return StandardPressureCorrection(d.WorkPress); });
    CorrectionTable(b, "CTG", &D::CTG,
                    [](const D &d) { return TgasTableForPlacement(d.GasTempSensorInFlow != 0, d.PcCompatCode); });
    CorrectionTable(b, "CRPM", &D::CRPM,
                    [](const D &) { return *RpmPresetTable(CorrPresetCode(TCorrPreset::Standard)); });
    if (b.From("F"))
        CorrectionTable(b, "CPCOL", &D::CPCOL, [](const D &) { return TCorrectionTable{}; });
    IdlePoint(b, "P1X", &TModelPoints::P1X, 3.0);
    IdlePoint(b, "P1Y", &TModelPoints::P1Y, 4.0);
    IdlePoint(b, "P2X", &TModelPoints::P2X, 6.0);
    IdlePoint(b, "P2Y", &TModelPoints::P2Y, 7.0);
    if (b.From("C"))
        b.Field(m, "UseOnIdleModel", TGcfType::Bool, 1, TGcfPart::Model);
    if (b.From("D")) {
        TGcfItem tgas = TBuilder::Plain(m, "TgasCorType", TGcfType::Int, 0, 0, kByteMax, TGcfPart::Model);
        tgas.Default = [](const TNorviData &d, const TImagePoints &) {
            return CorrPresetCode(TgasPresetForPlacement(d.GasTempSensorInFlow != 0));
        };
        tgas.Get = [](const TNorviData &d, const TImagePoints &) { return d.TgasCorType; };
        tgas.Set = [](TNorviData &d, TImagePoints &, double v) { d.TgasCorType = static_cast<uint8_t>(Rounded(v)); };
        b.Custom(std::move(tgas));
        b.Byte(m, "RPMCorType", &D::RPMCorType, TGcfType::Int, CorrPresetCode(TCorrPreset::Zero), TGcfPart::Model);
    }
}

void Map30(TBuilder &b)
{
    b.Byte(kGcfMap, "MapRPMRange", &D::MapRPMRange, TGcfType::Int, 2, TGcfPart::Model);
    if (!b.From("D"))
        return;
    for (std::size_t n = 0; n < kMapG3Rows; ++n) {
        for (std::size_t w = 0; w < 3; ++w) {
            TGcfItem item = TBuilder::Plain(kGcfMap, "MapG3_" + std::to_string(n) + "_" + std::to_string(w),
                                            TGcfType::Int, 0, 0, kWordMax, TGcfPart::Map);
            item.Get = [n, w](const TNorviData &d, const TImagePoints &) { return d.MapG3[n][w]; };
            // Only the first word is taken back: the controller learns the others.
            if (w == 0)
                item.Set = [n](TNorviData &d, TImagePoints &, double v) {
                    d.MapG3[n][0] = static_cast<uint16_t>(Rounded(v));
                };
            b.Custom(std::move(item));
        }
    }
}

void GasInjCorr30(TBuilder &b)
{
    for (std::size_t i = 0; i < kCylinders; ++i)
        b.Signed(
            kGcfGasInjCorr, "InjCorr" + std::to_string(i + 1), [i](TNorviData &d) -> uint8_t & { return d.InjCorr[i]; },
            Fixed(0));
}

void MapCorrections30(TBuilder &b)
{
    const char *s = kGcfMapCorrections;
    b.Byte(s, "Model_OBDAdaptCorrConfig", &D::Model_OBDAdaptCorrConfig, TGcfType::Int, 0, TGcfPart::Corrections);
    for (const int bank : {1, 2}) {
        for (std::size_t r = 0; r < kAdaptRows; ++r) {
            for (std::size_t c = 0; c < kAdaptRows; ++c) {
                b.Signed(
                    s,
                    "AdaptCorrectionsBank" + std::to_string(bank) + "_" + std::to_string(r) + "_" + std::to_string(c),
                    [bank, r, c](TNorviData &d) -> uint8_t & {
                        return reinterpret_cast<uint8_t &>((bank == 1 ? d.AdaptCorrBank1 : d.AdaptCorrBank2)[r][c]);
                    },
                    Fixed(0), TGcfPart::Corrections);
            }
        }
    }
    b.Word(s, "MaxTbForLoad", &D::MaxTbForLoad, 4675, TGcfPart::Corrections);
}

void Layout30(TBuilder &b)
{
    Config30(b);
    Model30(b);
    Map30(b);
    if (b.From("D"))
        GasInjCorr30(b);
    if (b.From("G"))
        MapCorrections30(b);
}

void Layout1x(TBuilder &b)
{
    using T = TGcfType;
    const char *c = kGcfConfig;
    b.Custom(InjectorsInUse(4));
    b.Custom(InjectorChannels(4));
    b.Field(c, "EngineType", T::Int, 0);
    b.Field(c, "EngineCubicCapacity", T::Int, 0);
    b.Field(c, "Power", T::Int, 66);
    b.Field(c, "InjSystemType", T::Int, 0);
    b.Field(c, "IdleHotTb", T::Int, 0);
    b.Field(c, "FuelType", T::Bool, 0);
    b.Field(c, "InjTypeName", T::Int, 0);
    b.Field(c, "InjType", T::Int, 0);
    b.Field(c, "RedType", T::Int, 0);
    b.Field(c, "NozzleSize", T::Int, 6);
    b.Field(c, "RPMsource", T::Int, 0);
    b.Field(c, "RPMSourceType", T::Bool, 0);
    b.Field(c, "ReserveType", T::Int, 1);
    LevelSensorKeys(b);
    b.Custom(SwitchTemperature());
    b.Field(c, "RPM", T::Int, 56100);
    b.Field(c, "EmulatorSwitchDelay", T::Int, 500);
    b.Field(c, "PostValveDelay", T::Int, 1);
    b.Field(c, "LowPT", T::Int, 38);
    b.Field(c, "LowPD", T::Int, 5);
    b.Field(c, "NoSeqential", T::Bool, 0);
    b.Field(c, "SemiGasControl", T::Bool, 0);
    b.Field(c, "MicroInjection", T::Bool, 0);
    b.Field(c, "MicroInjectionTime", T::Int, 14);
    for (const char *k : {"HemiEngine", "TuningMode", "MasterMode"})
        b.Field(c, k, T::Bool, 0);
    b.Field(c, "LambdaType", T::Int, 0);
    b.Field(c, "PressureSensorType", T::Int, 2);

    const char *m = kGcfModel;
    b.Real(m, "Mult", &D::Mult, 1.0, 0, kMultMax);
    b.Real(m, "Offset", &D::Offset, 1.0, kOffsetMin, kOffsetMax);
    constexpr std::array<int32_t D::*, 4> kP{&D::P1, &D::P2, &D::P3, &D::P4};
    constexpr std::array<int32_t D::*, 4> kE{&D::E1, &D::E2, &D::E3, &D::E4};
    for (std::size_t i = 0; i < 4; ++i)
        b.Int32(m, ("P" + std::to_string(i + 1)).c_str(), kP[i], kLineStep * static_cast<double>(i + 1), 0, kPMax);
    for (std::size_t i = 0; i < 4; ++i)
        b.Int32(m, ("E" + std::to_string(i + 1)).c_str(), kE[i], 0, kEMin, kEMax);
    b.Real(m, "CorrectionMult", &D::CorrectionMult, 1.0, 0, kMultMax);
    b.Real(m, "CorrectionOffset", &D::CorrectionOffset, 0.0, kOffsetMin, kOffsetMax);
    b.Byte(m, "CorrectionMask", &D::CorrectionMask, TGcfType::Int, 0, TGcfPart::Model);
}

} // namespace

std::vector<TGcfItem> GcfItems(const TNorviData &controller)
{
    TBuilder b(controller);
    if (controller.VersionCode == kVersion30)
        Layout30(b);
    else if (controller.VersionCode == kVersion14 || controller.VersionCode == kVersion15)
        Layout1x(b);
    return b.Take();
}

std::string GcfValueText(const TGcfItem &item, double value)
{
    if (item.Type != TGcfType::Real)
        return std::to_string(std::llround(value));
    char text[64];
    const auto r = std::to_chars(std::begin(text), std::end(text), value);
    return std::string(text, r.ptr);
}

std::optional<double> GcfParseValue(const TGcfItem &item, std::string_view text)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    if (item.Type != TGcfType::Real) {
        long long v = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
        if (r.ec != std::errc() || r.ptr != text.data() + text.size())
            return std::nullopt;
        if (item.Type == TGcfType::Bool)
            return v != 0 ? 1.0 : 0.0;
        return static_cast<double>(v);
    }
    // Files written where the decimal separator is a comma load too.
    std::string copy(text);
    for (char &ch : copy) {
        if (ch == ',')
            ch = '.';
    }
    double v = 0;
    const auto r = std::from_chars(copy.data(), copy.data() + copy.size(), v);
    if (r.ec != std::errc() || r.ptr != copy.data() + copy.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace lumex
