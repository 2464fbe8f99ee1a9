#include "configuration/ConfigFields.h"

#include "controller/ParamTables.h"
#include "controller/Version.h"
#include "documents/MessageKeys.h"

#include <algorithm>
#include <array>

namespace lumex {

namespace {

using D = TNorviData;
using E = TEncoding;
using L = TValueListId;
using P = TPlaceKind;
using T = TTransfer;

constexpr TGenerationPlace kAbsent{};

// Places, by where they travel.
constexpr TFieldPlace Blk(uint8_t byte, uint8_t shift = 0, uint8_t width = 8)
{
    return {P::Block30, byte, shift, width};
}
constexpr TFieldPlace BlkWord(uint8_t byte, uint8_t width = 16)
{
    return {P::Block30, byte, 0, width};
}
constexpr TFieldPlace Main(uint8_t byte, uint8_t shift = 0, uint8_t width = 8)
{
    return {P::MainBlock, byte, shift, width};
}
constexpr TFieldPlace B(uint8_t index, uint8_t width = 8)
{
    return {P::ByteParam, index, 0, width};
}
constexpr TFieldPlace Bit(uint8_t index, uint8_t bit)
{
    return {P::ByteParam, index, bit, 1};
}
constexpr TFieldPlace W(uint8_t index)
{
    return {P::WordParam, index, 0, 16};
}

constexpr TGenerationPlace On(TFieldPlace place, const char *from = nullptr, T transfer = T::ReadWrite)
{
    return {place, from, transfer};
}

// The main block in read order: temperature, speed (two bytes), flags, mask.
constexpr uint8_t kMainT = 0, kMainRpm = 1, kMainFlags = 3, kMainMask = 4;
constexpr uint8_t kChannelsVar = 28;
constexpr uint8_t kPeriodBits = 14;

using namespace msg;

// A field the 3.0 byte parameters carry and 1.4/1.5 do not have.
TConfigField Only30(const char *name, TGenerationPlace g30, TImageField image, E encoding,
                    const char *unit = nullptr, std::optional<L> list = std::nullopt)
{
    return {name, g30, kAbsent, image, std::nullopt, unit, encoding, list, std::nullopt};
}

TConfigField Flag30(const char *name, uint8_t index, uint8_t bit, TByteField image, const char *from = nullptr)
{
    return Only30(name, On(Bit(index, bit), from), image, E::Flag);
}

// A field of both generations kept in the same image field.
TConfigField Both(const char *name, TGenerationPlace g30, TGenerationPlace g1x, TImageField image, E encoding,
                  const char *unit = nullptr, std::optional<L> list = std::nullopt)
{
    return {name, g30, g1x, image, std::nullopt, unit, encoding, list, std::nullopt};
}

std::vector<TConfigField> BuildFields()
{
    std::vector<TConfigField> f{
        Both("FuelType", On(Blk(0, 4, 1)), On(Main(kMainFlags, 4, 1)), &D::FuelType, E::Enumeration, nullptr,
             L::Fuel),
        Both("InjSW", On(Blk(1)), On(Main(kMainMask)), &D::InjMask, E::InjectorMask, nullptr, L::InjectorCount),
        Both("InjHW", On({P::InfoWord, kChannelsVar, 0, 16}, nullptr, T::ReadOnly),
             On({P::InfoWord, kChannelsVar, 0, 16}, nullptr, T::ReadOnly), &D::InjHW, E::Plain),
        Both("EngineType", On(Blk(0, 7, 1)), On(Main(kMainFlags, 7, 1)), &D::EngineType, E::Enumeration, nullptr,
             L::EngineType),
        Both("EngineCubicCapacity", On(BlkWord(8)), On(W(7)), &D::EngineCubicCapacity, E::Plain, strUnitCC),
        Both("Power", On(BlkWord(10)), On(W(6)), &D::Power, E::Plain, strUnitKW),
        Both("InjSystemType", On(Blk(14)), On(B(12)), &D::InjSystemType, E::Enumeration, nullptr,
             L::InjectionSystemType),
        {"NozzleSize", On(Blk(16)), On(B(10)), &D::NozzleSize, std::nullopt, strUnitMM, E::Plain, L::NozzleSize,
         L::NozzleSizeLegacy},
        Both("InjTypeName", On(Blk(7)), On(B(2)), &D::InjTypeName, E::Enumeration, nullptr, L::GasInjector),
        Both("InjType", On(Blk(0, 0, 2)), On(Main(kMainFlags, 0, 2)), &D::InjType, E::Plain),
        {"PressureSensorType", On(Blk(24)), On(B(28)), &D::PressureSensorType, std::nullopt, nullptr,
         E::Enumeration, L::PressureSensor, L::PressureSensorLegacy},
        Flag30("GasTempSensorInFlow", 32, 0, &D::GasTempSensorInFlow),
        Both("ReserveType", On(B(33)), On(Main(kMainFlags, 2, 2)), &D::ReserveType, E::Enumeration, nullptr,
             L::LevelSensor),
        Both("RedType", On(Blk(15)), On(B(11)), &D::RedType, E::Enumeration, nullptr, L::Reducer),
        Both("RPMsource", On(Blk(0, 5, 2)), On(Main(kMainFlags, 5, 2)), &D::RPMsource, E::Enumeration, nullptr,
             L::IgnitionType),
        Both("RPMSourceType", On(Blk(2, 5, 1)), On(B(8, 1)), &D::RPMSourceType, E::Enumeration, nullptr,
             L::RpmSourceType),
        Both("IdleHotTb", On(BlkWord(12)), On(W(8)), &D::IdleHotTb, E::Ticks, strUnitMSec),
        Both("LambdaType", On(Blk(2, 0, 3)), On(B(1, 4)), &D::LambdaType, E::Enumeration, nullptr, L::LambdaType),
        Both("T", On(Blk(4)), On(Main(kMainT)), &D::T, E::RawTemperature, strUnitTemp, L::SwitchTemperature),
        Both("RPM", On(BlkWord(5, kPeriodBits)), On({P::MainBlock, kMainRpm, 0, kPeriodBits}), &D::RPM, E::RpmPeriod,
             strUnitRPM, L::SwitchRpm),
        Both("EmulatorSwitchDelay", On(BlkWord(17)), On(W(9)), &D::EmulatorSwitchDelay, E::TwoMs, strUnitSecShort,
             L::EmulatorSwitchDelay),
        Both("PostValveDelay", On(BlkWord(19)), On(W(10)), &D::PostValveDelay, E::TwoMs, strUnitSecShort,
             L::PostValveDelay),
        Both("LowPT", On(Blk(22)), On(B(4)), &D::LowPT, E::RawPressure, strUnitBar, L::LowPressureThreshold),
        Both("LowPD", On(Blk(21)), On(B(3)), &D::LowPD, E::TenthSec, strUnitSecShort, L::LowPressureDelay),
        Both("NoSeqential", On(Blk(2, 4, 1)), On(Bit(7, 0)), &D::NoSeqential, E::Flag),
        Both("SemiGasControl", On(Blk(3, 0, 1)), On(Bit(16, 0)), &D::SemiGasControl, E::Flag),
        Both("MicroInjection", On(Blk(3, 1, 1)), On(Bit(17, 0)), &D::MicroInjection, E::Flag),
        Both("MicroInjectionTime", On(Blk(23)), On(B(23)), &D::MicroInjectionTime, E::Ticks, strUnitMSec,
             L::MicroInjectionTime),
        Both("HemiEngine", On(Blk(3, 2, 1)), On(Bit(18, 0)), &D::HemiEngine, E::Flag),
        Both("TuningMode", On(Blk(3, 3, 1)), On(Bit(21, 0)), &D::TuningMode, E::Flag),
        Both("PetrolInjPlusControl", On(Blk(2, 3, 1)), On(Bit(5, 0)), &D::PetrolInjPlusControl, E::Flag),
        Both("ExternalEmulator", On(Blk(2, 6, 1)), On(Bit(20, 0)), &D::ExternalEmulator, E::Flag),
        Both("MasterMode", On(Blk(3, 7, 1)), On(Bit(27, 0)), &D::MasterMode, E::Flag),
        // On 1.4/1.5 the diagnostics page carries it, not the configuration.
        Both("CAP_TIE_enable", On(Blk(2, 7, 1)), On(Bit(6, 0), nullptr, T::Separate), &D::CAP_TIE_enable, E::Flag),
        Flag30("RPM<", 31, 0, &D::RpmBelow),
        Only30("RPM<val", On(W(11)), &D::RpmBelowVal, E::Plain, strUnitRPM, L::LowRpmReturn),
        Flag30("RPM>", 31, 1, &D::RpmAbove),
        Only30("RPM>val", On(W(12)), &D::RpmAboveVal, E::Plain, strUnitRPM, L::HighRpmReturn),
        Flag30("LoadP>", 31, 2, &D::LoadPAbove),
        Only30("LoadP>val", On(B(29)), &D::LoadPAboveVal, E::Plain, strUnitPercent, L::HighLoadReturn),
        Flag30("PreinjMode", 31, 3, &D::PreinjMode),
        // 1.4/1.5 keep byte 29 whole; 1.5 from "D" writes it from this setting.
        {"AlWorkOnGas", On(Bit(31, 4)), On(B(29), "D"), &D::AlWorkOnGas, TImageField{&D::LegacyParam29}, nullptr,
         E::Flag, std::nullopt, std::nullopt},
        Flag30("RisingT", 31, 5, &D::RisingT),
        Flag30("AdaptationMode", 31, 6, &D::AdaptationMode),
        Flag30("Tgas<", 31, 7, &D::TgasBelow),
        Only30("Tgas<val", On(B(35)), &D::TgasBelowVal, E::RawTemperature, strUnitTemp, L::LowGasTemperature),
        Only30("Tgas<&Load_Lval", On(B(43), "D"), &D::TgasBelowAndLoad_Lval, E::Plain, strUnitPercent,
               L::LoadThreshold),
        Only30("WorkPress", On(B(30), nullptr, T::Separate), &D::WorkPress, E::RawPressure),
        Only30("Markers", On(W(14), nullptr, T::ReadOnly), &D::Markers, E::Plain),
        Both("PanelLED", On(Bit(22, 0), nullptr, T::Separate), On(Bit(22, 0), nullptr, T::Separate), &D::PanelLED,
             E::Flag),
    };
    constexpr std::array<const char *, 4> kLevelA{"PW0", "PW1", "PW2", "PW3"};
    constexpr std::array<const char *, 4> kLevelB{"0900", "0901", "0902", "0903"};
    constexpr std::array<TByteField, 4> kLevelAFields{&D::PW0, &D::PW1, &D::PW2, &D::PW3};
    constexpr std::array<TByteField, 4> kLevelBFields{&D::Level0900, &D::Level0901, &D::Level0902, &D::Level0903};
    for (uint8_t i = 0; i < 4; ++i) {
        const auto a = On({P::LevelTableA, i, 0, 8}, nullptr, T::ReadOnly);
        const auto b = On({P::LevelTableB, i, 0, 8}, nullptr, T::ReadOnly);
        f.push_back(Both(kLevelA[i], a, a, kLevelAFields[i], E::Plain));
        f.push_back(Both(kLevelB[i], b, b, kLevelBFields[i], E::Plain));
    }
    const std::vector<TConfigField> more{
        Both("RPMWireNotConnect", On(Bit(37, 3), "C"), On(B(30), "E"), &D::RPMWireNotConnect, E::Flag),
        Flag30("UseOnIdleModel", 37, 0, &D::UseOnIdleModel),
        Flag30("Tred<&Load", 37, 2, &D::TredBelowAndLoad),
        Only30("Tred<&Load_Tredval", On(B(38)), &D::TredBelowAndLoad_Tredval, E::RawTemperature, strUnitTemp,
               L::LowTredWithLoad),
        Only30("Tred<&Load_Lval", On(B(39)), &D::TredBelowAndLoad_Lval, E::Plain, strUnitPercent, L::LoadThreshold),
        Flag30("FuelOverlap", 37, 4, &D::FuelOverlap),
        Only30("MaxCyclesMixedFuel", On(B(40)), &D::MaxCyclesMixedFuel, E::Plain, strUnitCycles,
               L::FuelOverlapCycles),
        Only30("MaxTimeMixedFuel", On(W(16)), &D::MaxTimeMixedFuel, E::Ticks, strUnitMSec, L::InjectionTimeMs),
        Flag30("GasInjHeating", 37, 5, &D::GasInjHeating),
        Only30("MinTredForGasInjHeating", On(B(42)), &D::MinTredForGasInjHeating, E::RawTemperature, strUnitTemp,
               L::GasInjHeatingTred),
        Flag30("PreinjectionProcessDuringCutOff", 37, 6, &D::PreinjectionProcessDuringCutOff, "D"),
        Only30("MinPressDuringCuttOffForPreinjections", On(B(44), "D"), &D::MinPressDuringCuttOffForPreinjections,
               E::RawPressure, strUnitBar, L::CutOffPressure),
        Flag30("PreinjectionsDuringCutOffForLowRPMEnabled", 50, 0, &D::PreinjectionsDuringCutOffForLowRPMEnabled,
               "F"),
        Only30("InjTimeForEnrichmentDuringCutOff", On(W(19), "F"), &D::InjTimeForEnrichmentDuringCutOff, E::Ticks,
               strUnitMSec, L::InjectionTimeMs),
        Only30("MaxRpmForEnrichmentDuringCutOff", On(W(18), "F"), &D::MaxRpmForEnrichmentDuringCutOff, E::Plain,
               strUnitRPM, L::EnrichmentMaxRpm),
        Flag30("MazdaIgnitionTypeCorrEnabled", 50, 1, &D::MazdaIgnitionTypeCorrEnabled, "F"),
        Only30("MazdaEnrichmentPercentage", On(B(49), "F"), &D::MazdaEnrichmentPercentage, E::SignedPercent,
               strUnitPercent, L::MazdaCorrection),
        Flag30("FlashLubeSupportEnabled", 52, 0, &D::FlashLubeSupportEnabled, "G"),
        Flag30("CutOffModeActivated", 52, 1, &D::CutOffModeActivated, "G"),
        Only30("AfterCutOffEmulSwitchDelay", On(W(24), "G"), &D::AfterCutOffEmulSwitchDelay, E::TwoMs,
               strUnitSecShort, L::EmulatorSwitchDelay),
        Only30("OnCutOffDelay", On(W(25), "G"), &D::OnCutOffDelay, E::TwoMs, strUnitSecShort, L::OnCutOffDelay),
        Flag30("AutoToGasOnControlPanelHidden", 52, 2, &D::AutoToGasOnControlPanelHidden, "G"),
        Flag30("SygnalizeDrivingOnPetrolEnabled", 52, 3, &D::SygnalizeDrivingOnPetrolEnabled, "G"),
        Flag30("MinGasInjTimeEnabled", 52, 4, &D::MinGasInjTimeEnabled, "G"),
        Only30("MinGasInjectionTime", On(W(20), "G"), &D::MinGasInjectionTime, E::Ticks, strUnitMSec,
               L::MinGasInjectionTime),
        Flag30("MaxGasInjTimeEnabled", 52, 5, &D::MaxGasInjTimeEnabled, "G"),
        Only30("MaxGasInjectionTime", On(W(21), "G"), &D::MaxGasInjectionTime, E::Ticks, strUnitMSec,
               L::MaxGasInjectionTime),
        // The inspection record has a command of its own (the finish page's "Set").
        Only30("NextInspection", On({P::Inspection, 1, 0, 16}, "G", T::ReadOnly), &D::NextInspection, E::Plain,
               strUnitKm, L::NextInspection),
        Only30("InspectionTimeDistRatio", On({P::Inspection, 0, 0, 8}, "G", T::ReadOnly), &D::InspectionTimeDistRatio,
               E::Plain, strUnitKmH, L::InspectionRatio),
    };
    f.insert(f.end(), more.begin(), more.end());
    return f;
}

const std::vector<TConfigField> &Fields()
{
    static const std::vector<TConfigField> fields = BuildFields();
    return fields;
}

bool IsLegacy(const TNorviData &d)
{
    return d.VersionCode == kVersion14 || d.VersionCode == kVersion15;
}

const TImageField &ImageOf(const TConfigField &field, const TNorviData &d)
{
    return IsLegacy(d) && field.ImageG1x ? *field.ImageG1x : field.Image;
}

unsigned WidthMask(uint8_t width)
{
    return width >= 16 ? 0xFFFFu : (1u << width) - 1u;
}

} // namespace

std::span<const TConfigField> ConfigFields()
{
    return Fields();
}

const TConfigField *FindConfigField(std::string_view name)
{
    const auto &all = Fields();
    const auto it = std::find_if(all.begin(), all.end(), [name](const TConfigField &f) { return f.Name == name; });
    return it == all.end() ? nullptr : &*it;
}

std::optional<TGenerationPlace> PlaceOn(const TConfigField &field, const TNorviData &d)
{
    if (d.VersionCode == kVersion30) {
        if (field.G30.Place.Kind == P::None)
            return std::nullopt;
        if (field.G30.From != nullptr && !Is30From(d, field.G30.From))
            return std::nullopt;
        return field.G30;
    }
    if (IsLegacy(d)) {
        if (field.G1x.Place.Kind == P::None)
            return std::nullopt;
        if (field.G1x.From != nullptr &&
            (d.VersionCode != kVersion15 || !LetterAtLeast(d.SoftwareLetter, field.G1x.From)))
            return std::nullopt;
        return field.G1x;
    }
    return std::nullopt;
}

bool IsPresent(const TConfigField &field, const TNorviData &d)
{
    return PlaceOn(field, d).has_value();
}

std::vector<const TConfigField *> FieldsPresent(const TNorviData &d)
{
    std::vector<const TConfigField *> present;
    for (const TConfigField &f : Fields()) {
        if (IsPresent(f, d))
            present.push_back(&f);
    }
    return present;
}

unsigned RawValue(const TConfigField &field, const TNorviData &d)
{
    return std::visit([&d](auto member) -> unsigned { return d.*member; }, ImageOf(field, d));
}

void SetRawValue(const TConfigField &field, TNorviData &d, unsigned raw)
{
    std::visit(
        [&d, raw](auto member) {
            using V = std::remove_reference_t<decltype(d.*member)>;
            d.*member = static_cast<V>(raw);
        },
        ImageOf(field, d));
    if (field.Encoding == E::InjectorMask) {
        if (const auto n = InjectorsForMask(d.InjMask))
            d.InjSW = *n;
    }
}

unsigned MaxRaw(const TConfigField &field, const TNorviData &d)
{
    const auto place = PlaceOn(field, d);
    const uint8_t width = place ? place->Place.Width : 16;
    const bool byteImage = std::holds_alternative<TByteField>(ImageOf(field, d));
    return std::min(WidthMask(width), byteImage ? 0xFFu : 0xFFFFu);
}

std::optional<TValueListId> ListOf(const TConfigField &field, const TNorviData &d)
{
    return IsLegacy(d) && field.ListG1x ? field.ListG1x : field.List;
}

unsigned ReadBackMask(const TConfigField &field, const TNorviData &d)
{
    if (d.VersionCode == kVersion30 && field.Image == TImageField{&D::InjType})
        return 0x02;
    const auto place = PlaceOn(field, d);
    return place ? WidthMask(place->Place.Width) : 0xFFFFu;
}

bool ReadBackReplaced(const TConfigField &field, const TNorviData &d)
{
    const auto place = PlaceOn(field, d);
    if (!place)
        return false;
    if (d.VersionCode == kVersion30 && place->Place.Kind == P::ByteParam && place->Place.Index == 37)
        return !Is30From(d, "C");
    return d.VersionCode == kVersion14 && field.Image == TImageField{&D::PressureSensorType};
}

} // namespace lumex
