#include "controller/ParamTables.h"

#include "controller/Version.h"
#include "controller/WireScaling.h"

#include <algorithm>
#include <array>

namespace lumex {

namespace {

using ByteField = uint8_t TNorviData::*;
using WordField = uint16_t TNorviData::*;

// A byte parameter: the byte field that keeps the whole value (if any), the
// mask applied to it, and the one-bit fields taken from its bits.
struct ByteParamDef
{
    uint8_t index;
    ByteField byte;
    uint8_t mask;
    std::array<ByteField, 8> bits;
};

constexpr std::array<ByteField, 8> kNoBits{};

constexpr std::array<ByteField, 8> Bit0(ByteField f)
{
    return {f, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}

using D = TNorviData;

// Indexes 13..15, 28 and 29 depend on more than the table can say and are
// handled in the functions below.
const std::array kByteParams{
    ByteParamDef{1, &D::LambdaType, 0x0F, kNoBits},
    ByteParamDef{2, &D::InjTypeName, 0xFF, kNoBits},
    ByteParamDef{3, &D::LowPD, 0xFF, kNoBits},
    ByteParamDef{4, &D::LowPT, 0xFF, kNoBits},
    ByteParamDef{5, nullptr, 0, Bit0(&D::PetrolInjPlusControl)},
    ByteParamDef{7, nullptr, 0, Bit0(&D::NoSeqential)},
    ByteParamDef{8, nullptr, 0, Bit0(&D::RPMSourceType)},
    ByteParamDef{10, &D::NozzleSize, 0xFF, kNoBits},
    ByteParamDef{11, &D::RedType, 0xFF, kNoBits},
    ByteParamDef{12, &D::InjSystemType, 0xFF, kNoBits},
    ByteParamDef{16, nullptr, 0, Bit0(&D::SemiGasControl)},
    ByteParamDef{17, nullptr, 0, Bit0(&D::MicroInjection)},
    ByteParamDef{18, nullptr, 0, Bit0(&D::HemiEngine)},
    ByteParamDef{19, &D::MapRPMRange, 0xFF, kNoBits},
    ByteParamDef{20, nullptr, 0, Bit0(&D::ExternalEmulator)},
    ByteParamDef{21, nullptr, 0, Bit0(&D::TuningMode)},
    ByteParamDef{22, nullptr, 0, Bit0(&D::PanelLED)},
    ByteParamDef{23, &D::MicroInjectionTime, 0xFF, kNoBits},
    ByteParamDef{24, nullptr, 0, Bit0(&D::ModelGasTimes)},
    ByteParamDef{25, &D::Param25, 0xFF, kNoBits},
    ByteParamDef{26, &D::Param25, 0xFF, kNoBits},
    ByteParamDef{27, nullptr, 0, Bit0(&D::MasterMode)},
    ByteParamDef{30, &D::WorkPress, 0xFF, kNoBits},
    ByteParamDef{31,
                 &D::Flags31,
                 0xFF,
                 {&D::RpmBelow, &D::RpmAbove, &D::LoadPAbove, &D::PreinjMode, &D::AlWorkOnGas, &D::RisingT,
                  &D::AdaptationMode, &D::TgasBelow}},
    ByteParamDef{32, &D::Flags32, 0xFF, Bit0(&D::GasTempSensorInFlow)},
    ByteParamDef{33, &D::ReserveType, 0xFF, kNoBits},
    ByteParamDef{34, &D::Param34, 0xFF, kNoBits},
    ByteParamDef{35, &D::TgasBelowVal, 0xFF, kNoBits},
    ByteParamDef{37,
                 &D::Flags37,
                 0xFF,
                 {&D::UseOnIdleModel, nullptr, &D::TredBelowAndLoad, &D::RPMWireNotConnect, &D::FuelOverlap,
                  &D::GasInjHeating, &D::PreinjectionProcessDuringCutOff, nullptr}},
    ByteParamDef{38, &D::TredBelowAndLoad_Tredval, 0xFF, kNoBits},
    ByteParamDef{39, &D::TredBelowAndLoad_Lval, 0xFF, kNoBits},
    ByteParamDef{40, &D::MaxCyclesMixedFuel, 0xFF, kNoBits},
    ByteParamDef{41, &D::Param41, 0xFF, kNoBits},
    ByteParamDef{42, &D::MinTredForGasInjHeating, 0xFF, kNoBits},
    ByteParamDef{43, &D::TgasBelowAndLoad_Lval, 0xFF, kNoBits},
    ByteParamDef{44, &D::MinPressDuringCuttOffForPreinjections, 0xFF, kNoBits},
    ByteParamDef{45, &D::TgasCorType, 0xFF, kNoBits},
    ByteParamDef{46, &D::RPMCorType, 0xFF, kNoBits},
    ByteParamDef{48, &D::Param48, 0xFF, kNoBits},
    ByteParamDef{49, &D::MazdaEnrichmentPercentage, 0xFF, kNoBits},
    ByteParamDef{50,
                 &D::Flags50,
                 0xFF,
                 {&D::PreinjectionsDuringCutOffForLowRPMEnabled, &D::MazdaIgnitionTypeCorrEnabled, nullptr, nullptr,
                  nullptr, nullptr, nullptr, nullptr}},
    ByteParamDef{52,
                 &D::Flags52,
                 0xFF,
                 {&D::FlashLubeSupportEnabled, &D::CutOffModeActivated, &D::AutoToGasOnControlPanelHidden,
                  &D::SygnalizeDrivingOnPetrolEnabled, &D::MinGasInjTimeEnabled, &D::MaxGasInjTimeEnabled,
                  &D::Flags52Bit6, nullptr}},
};

const ByteParamDef *FindByteParam(uint8_t index)
{
    const auto it = std::find_if(kByteParams.begin(), kByteParams.end(),
                                 [index](const ByteParamDef &p) { return p.index == index; });
    return it == kByteParams.end() ? nullptr : &*it;
}

bool IsLegacy(const TNorviData &d)
{
    return d.VersionCode == kVersion14 || d.VersionCode == kVersion15;
}

struct WordParamDef
{
    uint8_t index;
    WordField field;
};

const std::array kWordParams{
    WordParamDef{6, &D::Power},
    WordParamDef{7, &D::EngineCubicCapacity},
    WordParamDef{8, &D::IdleHotTb},
    WordParamDef{9, &D::EmulatorSwitchDelay},
    WordParamDef{10, &D::PostValveDelay},
    WordParamDef{11, &D::RpmBelowVal},
    WordParamDef{12, &D::RpmAboveVal},
    WordParamDef{14, &D::Markers},
    WordParamDef{16, &D::MaxTimeMixedFuel},
    WordParamDef{18, &D::MaxRpmForEnrichmentDuringCutOff},
    WordParamDef{19, &D::InjTimeForEnrichmentDuringCutOff},
    WordParamDef{20, &D::MinGasInjectionTime},
    WordParamDef{21, &D::MaxGasInjectionTime},
    WordParamDef{22, &D::MaxTbForLoad},
    WordParamDef{23, &D::NextInspection},
    WordParamDef{24, &D::AfterCutOffEmulSwitchDelay},
    WordParamDef{25, &D::OnCutOffDelay},
};

// Model parameter indexes.
constexpr uint8_t kMult = 1, kOffset = 2, kFirstP = 3, kFirstE = 7, kCorrMult = 11, kCorrOffset = 12, kCorrMask = 13,
                  kFirstCps = 14, kFirstCtg = 34, kFirstCrpm = 54, kCmActive = 74, kModelWord = 83, kObdAdapt = 104;

constexpr std::array<int32_t TNorviData::*, 4> kP{&D::P1, &D::P2, &D::P3, &D::P4};
constexpr std::array<int32_t TNorviData::*, 4> kE{&D::E1, &D::E2, &D::E3, &D::E4};

} // namespace

bool StoreByteParam(uint8_t index, uint8_t value, TNorviData &d)
{
    switch (index) {
    case 13:
    case 14:
    case 15:
        d.ByteParam13to15[index - 13] = value;
        return true;
    case 28:
        if (d.VersionCode == kVersion14) {
            // The 1.4 firmware reports its sensor through the variant.
            if (d.Variant == 0)
                d.PressureSensorType = 1;
            else if (d.Variant == 1 || d.Variant == 2)
                d.PressureSensorType = 2;
        } else {
            d.PressureSensorType = value;
        }
        return true;
    case 29:
        if (IsLegacy(d))
            d.LegacyParam29 = value;
        else
            d.LoadPAboveVal = value;
        return true;
    case 37:
        if (d.VersionCode == kVersion30 && !LetterAtLeast(d.SoftwareLetter, "C"))
            value = 1; // before "C" the idle model group does not exist
        break;
    default:
        break;
    }
    const ByteParamDef *def = FindByteParam(index);
    if (def == nullptr)
        return false;
    if (def->byte != nullptr)
        d.*(def->byte) = value & def->mask;
    for (unsigned bit = 0; bit < 8; ++bit) {
        if (def->bits[bit] != nullptr)
            d.*(def->bits[bit]) = (value >> bit) & 1;
    }
    return true;
}

std::optional<uint8_t> ByteParamValue(uint8_t index, const TNorviData &d)
{
    switch (index) {
    case 13:
    case 14:
    case 15:
        return d.ByteParam13to15[index - 13];
    case 28:
        return d.PressureSensorType;
    case 29:
        return IsLegacy(d) ? d.LegacyParam29 : d.LoadPAboveVal;
    default:
        break;
    }
    const ByteParamDef *def = FindByteParam(index);
    if (def == nullptr)
        return std::nullopt;
    unsigned value = def->byte != nullptr ? (d.*(def->byte) & def->mask) : 0u;
    for (unsigned bit = 0; bit < 8; ++bit) {
        if (def->bits[bit] == nullptr)
            continue;
        if (d.*(def->bits[bit]) != 0)
            value |= 1u << bit;
        else
            value &= ~(1u << bit);
    }
    return static_cast<uint8_t>(value);
}

bool StoreWordParam(uint8_t index, uint16_t value, TNorviData &d)
{
    if (index >= 1 && index <= 5) {
        d.Word1to5[index - 1] = value;
        return true;
    }
    for (const auto &p : kWordParams) {
        if (p.index == index) {
            d.*(p.field) = value;
            return true;
        }
    }
    return false;
}

std::optional<uint16_t> WordParamValue(uint8_t index, const TNorviData &d)
{
    if (index >= 1 && index <= 5)
        return d.Word1to5[index - 1];
    for (const auto &p : kWordParams) {
        if (p.index == index)
            return d.*(p.field);
    }
    return std::nullopt;
}

bool IsKnownModelParam(uint8_t index)
{
    return (index >= kMult && index <= kCmActive) || index == kModelWord || index == kObdAdapt;
}

bool StoreModelParam(uint8_t index, uint16_t wire, TNorviData &d)
{
    const auto low = static_cast<uint8_t>(wire & 0xFF);
    if (index == kMult)
        d.Mult = DecodeMult(wire);
    else if (index == kOffset)
        d.Offset = DecodeOffset(wire);
    else if (index >= kFirstP && index < kFirstE)
        d.*kP[index - kFirstP] = DecodeP(wire);
    else if (index >= kFirstE && index < kCorrMult)
        d.*kE[index - kFirstE] = DecodeE(wire);
    else if (index == kCorrMult)
        d.CorrectionMult = DecodeMult(wire);
    else if (index == kCorrOffset)
        d.CorrectionOffset = DecodeOffset(wire);
    else if (index == kCorrMask)
        d.CorrectionMask = low;
    else if (index >= kFirstCps && index < kFirstCtg)
        d.CPS[index - kFirstCps] = DecodeCorrection(low);
    else if (index >= kFirstCtg && index < kFirstCrpm)
        d.CTG[index - kFirstCtg] = DecodeCorrection(low);
    else if (index >= kFirstCrpm && index < kCmActive)
        d.CRPM[index - kFirstCrpm] = DecodeCorrection(low);
    else if (index == kCmActive)
        d.CMActive = low;
    else if (index == kModelWord)
        d.ModelWord83 = wire;
    else if (index == kObdAdapt)
        d.Model_OBDAdaptCorrConfig = low;
    else
        return false;
    return true;
}

std::optional<uint16_t> ModelParamValue(uint8_t index, const TNorviData &d)
{
    if (index == kMult)
        return EncodeMult(d.Mult);
    if (index == kOffset)
        return EncodeOffset(d.Offset);
    if (index >= kFirstP && index < kFirstE)
        return EncodeP(d.*kP[index - kFirstP]);
    if (index >= kFirstE && index < kCorrMult)
        return EncodeE(d.*kE[index - kFirstE]);
    if (index == kCorrMult)
        return EncodeMult(d.CorrectionMult);
    if (index == kCorrOffset)
        return EncodeOffset(d.CorrectionOffset);
    if (index == kCorrMask)
        return d.CorrectionMask;
    if (index >= kFirstCps && index < kFirstCtg)
        return EncodeCorrection(d.CPS[index - kFirstCps]);
    if (index >= kFirstCtg && index < kFirstCrpm)
        return EncodeCorrection(d.CTG[index - kFirstCtg]);
    if (index >= kFirstCrpm && index < kCmActive)
        return EncodeCorrection(d.CRPM[index - kFirstCrpm]);
    if (index == kCmActive)
        return d.CMActive;
    if (index == kModelWord)
        return d.ModelWord83;
    if (index == kObdAdapt)
        return d.Model_OBDAdaptCorrConfig;
    return std::nullopt;
}

std::optional<uint8_t> InjectorsForChannelCode(uint16_t code)
{
    switch (code) {
    case 0:
        return 0;
    case 1:
        return 4;
    case 2:
        return 6;
    case 3:
        return 8;
    default:
        return std::nullopt;
    }
}

std::optional<uint8_t> InjectorsForMask(uint8_t mask)
{
    switch (mask) {
    case 7:
        return 3;
    case 15:
        return 4;
    case 31:
        return 5;
    case 63:
        return 6;
    case 255:
        return 8;
    default:
        return std::nullopt;
    }
}

} // namespace lumex
