// The controller data image: one record of everything read from the gas
// controller, kept in raw controller units. Conversions to engineering units
// happen only for display (Conversions.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace lumex {

// One point of a Model2 point set.
struct TModel2Point
{
    int32_t X = 0;
    int32_t Y = 0;
};

// One entry of the programming-PC history: the PC's code and the date code.
struct TComputerCode
{
    uint32_t Code = 0;
    uint32_t Date = 0;
};

inline constexpr std::size_t kCylinders = 8;
inline constexpr std::size_t kMapG3Rows = 40;
inline constexpr std::size_t kModel2Points = 20;
inline constexpr std::size_t kModel2HalfPoints = 10;
inline constexpr std::size_t kCorrectionPoints = 20;
inline constexpr std::size_t kAdaptRows = 10;
inline constexpr std::size_t kComputerCodeSlots = 5;
inline constexpr std::size_t kErrorLogSlots = 10;
inline constexpr std::size_t kErrorLogRecordSize = 20;

using TMapG3 = std::array<std::array<uint16_t, 3>, kMapG3Rows>;
using TModel2Set = std::array<TModel2Point, kModel2Points>;
using TCorrectionTable = std::array<int8_t, kCorrectionPoints>;
using TAdaptTable = std::array<std::array<int8_t, 10>, kAdaptRows>;
using TErrorLogRecord = std::array<uint8_t, kErrorLogRecordSize>;

struct TNorviData
{
    // --- Identification and status ---
    uint8_t VersionCode = 0; // 0x14, 0x15, 0x30; 0 = no device identified
    uint8_t LockState = 0;   // kLockUnlocked = writable (controller/LockState.h)
    uint8_t PressureSensorType = 0;
    uint8_t LegacyParam29 = 0;
    std::string CompileTime;
    std::string CompileDate;
    std::string SoftwareLetter; // empty or one character
    uint8_t Variant = 0;
    uint8_t IdentByte2 = 0;
    uint8_t IdentByte3 = 0;
    uint8_t PcCompatCode = 0;
    uint8_t UsaFlag = 0;
    uint8_t ReservedDigit = 0; // never written
    uint8_t WorkState = 0;
    uint8_t ExtraVersion = 0; // 255 = none

    // --- Live extras of the single live block 0x0B ---
    uint8_t PetrolOverloadMask = 0;
    uint8_t GasOverloadMask = 0;
    uint8_t EmulatorSwitchState = 0;
    uint8_t ValveOpen = 0;
    uint8_t TpcbRaw = 0;
    uint8_t LoadPercent = 0;
    uint8_t NominalTredG = 0;

    // --- Autocalibration state (0x21) ---
    uint8_t CalProgress = 0;
    uint8_t CalState = 0;
    uint8_t CalPhase = 0;
    uint16_t CalTimeA = 0;
    uint16_t CalTimeB = 0;
    uint16_t CalWordC = 0;
    uint16_t CalWordD = 0;
    uint16_t CalWordE = 0;
    uint16_t CalRpmPeriod = 0; // also written by 0x50
    uint8_t CalByte48 = 0;

    // --- Configuration: basic block ---
    uint8_t T = 0;    // nominal reducer temperature, temperature-table raw
    uint16_t RPM = 0; // low 14 bits
    uint8_t InjMask = 0;
    uint8_t InjSW = 0; // injectors in use, limited to InjHW
    uint8_t InjHW = 0; // hardware injector channels
    uint8_t InjType = 0;
    uint8_t ReserveType = 0;
    uint8_t FuelType = 0;
    uint8_t RPMsource = 0;
    uint8_t EngineType = 0;
    uint8_t LambdaType = 0;
    uint8_t PetrolInjPlusControl = 0;
    uint8_t NoSeqential = 0;
    uint8_t RPMSourceType = 0;
    uint8_t ExternalEmulator = 0;
    uint8_t CAP_TIE_enable = 0;
    uint8_t SemiGasControl = 0;
    uint8_t MicroInjection = 0;
    uint8_t HemiEngine = 0;
    uint8_t TuningMode = 0;
    uint8_t MasterMode = 0;
    uint8_t InjTypeName = 0;
    uint8_t InjSystemType = 0;
    uint8_t RedType = 0;
    uint8_t NozzleSize = 0;
    uint8_t LowPD = 0;
    uint8_t LowPT = 0;
    uint8_t MicroInjectionTime = 0;
    uint16_t EngineCubicCapacity = 0;
    uint16_t Power = 0;
    uint16_t IdleHotTb = 0; // 1/187 ms
    uint16_t EmulatorSwitchDelay = 0;
    uint16_t PostValveDelay = 0;

    // --- Configuration: level sensor tables (0x35 / 0x36) ---
    uint8_t PW0 = 0, PW1 = 0, PW2 = 0, PW3 = 0;
    uint8_t Level0900 = 0, Level0901 = 0, Level0902 = 0, Level0903 = 0;

    // --- Configuration: byte parameters ---
    std::array<uint8_t, 3> ByteParam13to15{}; // kept, not interpreted
    uint8_t MapRPMRange = 0;
    uint8_t PanelLED = 0;
    uint8_t ModelGasTimes = 0; // gas times shown from the model
    uint8_t Param25 = 0;
    uint8_t LoadPAboveVal = 0; // "LoadP>val"
    uint8_t WorkPress = 0;
    uint8_t Flags31 = 0;
    uint8_t RpmBelow = 0;   // "RPM<"
    uint8_t RpmAbove = 0;   // "RPM>"
    uint8_t LoadPAbove = 0; // "LoadP>"
    uint8_t PreinjMode = 0;
    uint8_t AlWorkOnGas = 0;
    uint8_t RisingT = 0;
    uint8_t AdaptationMode = 0;
    uint8_t TgasBelow = 0; // "Tgas<"
    uint8_t Flags32 = 0;
    uint8_t GasTempSensorInFlow = 0;
    uint8_t Param34 = 0;
    uint8_t TgasBelowVal = 0; // "Tgas<val"
    uint8_t Flags37 = 0;
    uint8_t UseOnIdleModel = 0;
    uint8_t TredBelowAndLoad = 0; // "Tred<&Load"
    uint8_t RPMWireNotConnect = 0;
    uint8_t FuelOverlap = 0;
    uint8_t GasInjHeating = 0;
    uint8_t PreinjectionProcessDuringCutOff = 0;
    uint8_t TredBelowAndLoad_Tredval = 0; // "Tred<&Load_Tredval"
    uint8_t TredBelowAndLoad_Lval = 0;    // "Tred<&Load_Lval"
    uint8_t MaxCyclesMixedFuel = 0;
    uint8_t Param41 = 0;
    uint8_t MinTredForGasInjHeating = 0;
    uint8_t TgasBelowAndLoad_Lval = 0; // "Tgas<&Load_Lval"
    uint8_t MinPressDuringCuttOffForPreinjections = 0;
    uint8_t TgasCorType = 0;
    uint8_t RPMCorType = 0;
    uint8_t Param48 = 0;
    uint8_t MazdaEnrichmentPercentage = 0;
    uint8_t Flags50 = 0;
    uint8_t PreinjectionsDuringCutOffForLowRPMEnabled = 0;
    uint8_t MazdaIgnitionTypeCorrEnabled = 0;
    uint8_t Flags52 = 0;
    uint8_t FlashLubeSupportEnabled = 0;
    uint8_t CutOffModeActivated = 0;
    uint8_t AutoToGasOnControlPanelHidden = 0;
    uint8_t SygnalizeDrivingOnPetrolEnabled = 0;
    uint8_t MinGasInjTimeEnabled = 0;
    uint8_t MaxGasInjTimeEnabled = 0;
    uint8_t Flags52Bit6 = 0;

    // --- Configuration: word parameters ---
    std::array<uint16_t, 5> Word1to5{}; // kept, not interpreted
    uint16_t RpmBelowVal = 0;           // "RPM<val"
    uint16_t RpmAboveVal = 0;           // "RPM>val"
    uint16_t Markers = 0;
    uint16_t MaxTimeMixedFuel = 0;
    uint16_t MaxRpmForEnrichmentDuringCutOff = 0;
    uint16_t InjTimeForEnrichmentDuringCutOff = 0;

    // --- Injector record and detection ---
    std::array<uint8_t, 12> InjectorRecord{};  // last record read by 0x17
    std::array<uint16_t, 2> InjSystemDetect{}; // 0x3B, cylinders 1-4 and 5-8

    // --- Trouble flags (0x13) ---
    std::array<uint8_t, 16> TroubleFlags{};

    // --- Maps ---
    TMapG3 MapG3{};
    TMapG3 MapG3B{};

    // --- Model ---
    TModel2Set Model2SetA{};
    TModel2Set Model2SetB{};
    double Offset = 0; // ms
    double Mult = 0;
    int32_t P1 = 0, P2 = 0, P3 = 0, P4 = 0;
    int32_t E1 = 0, E2 = 0, E3 = 0, E4 = 0;
    double CorrectionOffset = 0;
    double CorrectionMult = 0;
    uint8_t CorrectionMask = 0;
    uint8_t CMActive = 0;
    uint16_t ModelWord83 = 0;
    uint8_t Model_OBDAdaptCorrConfig = 0;

    // --- Correction tables ---
    TCorrectionTable CPS{};
    TCorrectionTable CPCOL{};
    TCorrectionTable CTG{};
    TCorrectionTable CRPM{};

    // --- Live readings ---
    uint8_t PsysRaw = 0;
    uint8_t PcolRaw = 0;
    uint8_t TredRaw = 0;
    uint8_t TgasRaw = 0;
    uint8_t SupplyRaw = 0;
    uint8_t LevelSensorRaw = 0;
    uint8_t LambdaRaw = 0;
    uint8_t SystemState = 0; // 5 = running on gas
    uint16_t RpmPeriod = 0;  // 1/187 ms
    std::array<int32_t, kCylinders> PetrolTime{};
    std::array<int32_t, kCylinders> GasTime{};
    uint8_t Cyl2Flag = 0;

    // --- Service and adaptation ---
    std::array<int32_t, kCylinders> InjTestCounters{};
    std::array<uint16_t, kCylinders> InjTestValues{};
    std::array<uint8_t, kCylinders> InjCorr{};
    std::array<uint8_t, 3> InjTestBytes{};
    std::array<uint8_t, 10> AdaptInfoBytes{};
    std::array<uint16_t, 10> AdaptInfoWords{};
    TAdaptTable AdaptCorrBank1{};
    TAdaptTable AdaptCorrBank2{};
    uint8_t LoadIndex = 0;
    uint16_t MaxTbForLoad = 0;
    std::array<TComputerCode, kComputerCodeSlots> ComputerCodes{};
    uint8_t NewestComputerCode = 0;
    uint16_t NextInspection = 0;
    uint8_t InspectionTimeDistRatio = 0;
    uint16_t AfterCutOffEmulSwitchDelay = 0;
    uint16_t OnCutOffDelay = 0;
    uint16_t MinGasInjectionTime = 0;
    uint16_t MaxGasInjectionTime = 0;
    uint8_t ErrorLogHead = 0;
    std::array<TErrorLogRecord, kErrorLogSlots> ErrorLog{};
    uint8_t CorrMapCountA = 0;
    uint8_t CorrMapCountB = 0;
    uint8_t WordVar41Low = 0;
    std::array<uint8_t, 4> ConfigG3Flags{};
};

// Model reference points (0xC0), in ms.
struct TModelPoints
{
    double P1X = 0, P1Y = 0, P2X = 0, P2Y = 0;
};

// One point of a petrol or gas map point list.
struct TMapPoint
{
    double Pressure = 0; // manifold pressure, bar
    double TimeMs = 0;   // injection time, ms
    uint8_t Kind = 0;
};

inline constexpr std::size_t kMapPointCapacity = 128;

struct TMapPointList
{
    std::array<TMapPoint, kMapPointCapacity> Points{};
    uint8_t Count = 0;
};

// The values that belong to the image without being part of the record.
struct TImagePoints
{
    TModelPoints ModelPoints;
    TMapPointList PetrolPoints;
    TMapPointList GasPoints;
};

// Indexes the controller sends are checked before they index the image: a
// wrong byte must not read or write outside the arrays.

// Slot of the newest programming-PC entry, when the controller's index is valid.
inline std::optional<std::size_t> NewestComputerCodeSlot(const TNorviData &d)
{
    if (d.NewestComputerCode < kComputerCodeSlots)
        return d.NewestComputerCode;
    return std::nullopt;
}

// Slot of the error-log head, when valid.
inline std::optional<std::size_t> ErrorLogHeadSlot(const TNorviData &d)
{
    if (d.ErrorLogHead < kErrorLogSlots)
        return d.ErrorLogHead;
    return std::nullopt;
}

// Row of the adaptation tables the engine is in, when valid.
inline std::optional<std::size_t> LoadRow(const TNorviData &d)
{
    if (d.LoadIndex < kAdaptRows)
        return d.LoadIndex;
    return std::nullopt;
}

// First point of a Model2 half (0 or 1), when valid.
inline std::optional<std::size_t> Model2HalfFirstPoint(unsigned half)
{
    if (half < 2)
        return half * kModel2HalfPoints;
    return std::nullopt;
}

} // namespace lumex
