// Typed access to the configuration fields of the data image: one getter
// and one setter per field, plus the few fields that are shown in other
// units than they are stored.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>

namespace lumex {

class TDataManager;

// Byte fields of the configuration.
#define LUMEX_DEV_BYTE_FIELDS(X)                                                                                       \
    X(T)                                                                                                               \
    X(InjMask)                                                                                                         \
    X(InjSW)                                                                                                           \
    X(InjHW)                                                                                                           \
    X(InjType)                                                                                                         \
    X(ReserveType)                                                                                                     \
    X(FuelType)                                                                                                        \
    X(RPMsource)                                                                                                       \
    X(LambdaType)                                                                                                      \
    X(InjTypeName)                                                                                                     \
    X(InjSystemType)                                                                                                   \
    X(RedType)                                                                                                         \
    X(NozzleSize)                                                                                                      \
    X(LowPD)                                                                                                           \
    X(LowPT)                                                                                                           \
    X(MicroInjectionTime)                                                                                              \
    X(PressureSensorType)                                                                                              \
    X(PW0)                                                                                                             \
    X(PW1)                                                                                                             \
    X(PW2)                                                                                                             \
    X(PW3)                                                                                                             \
    X(Level0900)                                                                                                       \
    X(Level0901)                                                                                                       \
    X(Level0902)                                                                                                       \
    X(Level0903)                                                                                                       \
    X(MapRPMRange)                                                                                                     \
    X(Param25)                                                                                                         \
    X(LoadPAboveVal)                                                                                                   \
    X(WorkPress)                                                                                                       \
    X(Flags31)                                                                                                         \
    X(Flags32)                                                                                                         \
    X(Param34)                                                                                                         \
    X(TgasBelowVal)                                                                                                    \
    X(Flags37)                                                                                                         \
    X(TredBelowAndLoad_Tredval)                                                                                        \
    X(TredBelowAndLoad_Lval)                                                                                           \
    X(MaxCyclesMixedFuel)                                                                                              \
    X(Param41)                                                                                                         \
    X(MinTredForGasInjHeating)                                                                                         \
    X(TgasBelowAndLoad_Lval)                                                                                           \
    X(MinPressDuringCuttOffForPreinjections)                                                                           \
    X(TgasCorType)                                                                                                     \
    X(RPMCorType)                                                                                                      \
    X(Param48)                                                                                                         \
    X(MazdaEnrichmentPercentage)                                                                                       \
    X(Flags50)                                                                                                         \
    X(Flags52)                                                                                                         \
    X(LegacyParam29)                                                                                                   \
    X(InspectionTimeDistRatio)

// Word fields of the configuration.
#define LUMEX_DEV_WORD_FIELDS(X)                                                                                       \
    X(RPM)                                                                                                             \
    X(EngineCubicCapacity)                                                                                             \
    X(Power)                                                                                                           \
    X(IdleHotTb)                                                                                                       \
    X(EmulatorSwitchDelay)                                                                                             \
    X(PostValveDelay)                                                                                                  \
    X(RpmBelowVal)                                                                                                     \
    X(RpmAboveVal)                                                                                                     \
    X(Markers)                                                                                                         \
    X(MaxTimeMixedFuel)                                                                                                \
    X(MaxRpmForEnrichmentDuringCutOff)                                                                                 \
    X(InjTimeForEnrichmentDuringCutOff)                                                                                \
    X(MinGasInjectionTime)                                                                                             \
    X(MaxGasInjectionTime)                                                                                             \
    X(MaxTbForLoad)                                                                                                    \
    X(NextInspection)                                                                                                  \
    X(AfterCutOffEmulSwitchDelay)                                                                                      \
    X(OnCutOffDelay)

// One-bit fields of the configuration, stored as 0 or 1.
#define LUMEX_DEV_FLAG_FIELDS(X)                                                                                       \
    X(EngineType)                                                                                                      \
    X(PetrolInjPlusControl)                                                                                            \
    X(NoSeqential)                                                                                                     \
    X(RPMSourceType)                                                                                                   \
    X(ExternalEmulator)                                                                                                \
    X(CAP_TIE_enable)                                                                                                  \
    X(SemiGasControl)                                                                                                  \
    X(MicroInjection)                                                                                                  \
    X(HemiEngine)                                                                                                      \
    X(TuningMode)                                                                                                      \
    X(MasterMode)                                                                                                      \
    X(PanelLED)                                                                                                        \
    X(ModelGasTimes)                                                                                                   \
    X(RpmBelow)                                                                                                        \
    X(RpmAbove)                                                                                                        \
    X(LoadPAbove)                                                                                                      \
    X(PreinjMode)                                                                                                      \
    X(AlWorkOnGas)                                                                                                     \
    X(RisingT)                                                                                                         \
    X(AdaptationMode)                                                                                                  \
    X(TgasBelow)                                                                                                       \
    X(GasTempSensorInFlow)                                                                                             \
    X(UseOnIdleModel)                                                                                                  \
    X(TredBelowAndLoad)                                                                                                \
    X(RPMWireNotConnect)                                                                                               \
    X(FuelOverlap)                                                                                                     \
    X(GasInjHeating)                                                                                                   \
    X(PreinjectionProcessDuringCutOff)                                                                                 \
    X(PreinjectionsDuringCutOffForLowRPMEnabled)                                                                       \
    X(MazdaIgnitionTypeCorrEnabled)                                                                                    \
    X(FlashLubeSupportEnabled)                                                                                         \
    X(CutOffModeActivated)                                                                                             \
    X(AutoToGasOnControlPanelHidden)                                                                                   \
    X(SygnalizeDrivingOnPetrolEnabled)                                                                                 \
    X(MinGasInjTimeEnabled)                                                                                            \
    X(MaxGasInjTimeEnabled)

class TDevData
{
public:
    TDevData(TNorviData &data, TDataManager &manager) : data_(data), manager_(manager) {}
    TDevData(const TDevData &) = delete;
    TDevData &operator=(const TDevData &) = delete;
    virtual ~TDevData() = default;

#define LUMEX_DEV_BYTE(Name)                                                                                           \
    uint8_t Name() const                                                                                               \
    {                                                                                                                  \
        return data_.Name;                                                                                             \
    }                                                                                                                  \
    void Set##Name(uint8_t value)                                                                                      \
    {                                                                                                                  \
        data_.Name = value;                                                                                            \
    }
#define LUMEX_DEV_WORD(Name)                                                                                           \
    uint16_t Name() const                                                                                              \
    {                                                                                                                  \
        return data_.Name;                                                                                             \
    }                                                                                                                  \
    void Set##Name(uint16_t value)                                                                                     \
    {                                                                                                                  \
        data_.Name = value;                                                                                            \
    }
#define LUMEX_DEV_FLAG(Name)                                                                                           \
    bool Name() const                                                                                                  \
    {                                                                                                                  \
        return data_.Name != 0;                                                                                        \
    }                                                                                                                  \
    void Set##Name(bool value)                                                                                         \
    {                                                                                                                  \
        data_.Name = value ? 1 : 0;                                                                                    \
    }
    LUMEX_DEV_BYTE_FIELDS(LUMEX_DEV_BYTE)
    LUMEX_DEV_WORD_FIELDS(LUMEX_DEV_WORD)
    LUMEX_DEV_FLAG_FIELDS(LUMEX_DEV_FLAG)
#undef LUMEX_DEV_BYTE
#undef LUMEX_DEV_WORD
#undef LUMEX_DEV_FLAG

    // The fuel in the form the pages use: LPG when FuelType is 0.
    bool LPG() const
    {
        return data_.FuelType == 0;
    }
    void SetLPG(bool value)
    {
        data_.FuelType = value ? 0 : 1;
    }

    // IdleHotTb in ms; the setter rounds to the controller's 1/187 ms and
    // keeps the value inside a word.
    double IdleHotTbMs() const;
    void SetIdleHotTbMs(double ms);
    // Autocalibration times in ms.
    double CalTimeAMs() const;
    double CalTimeBMs() const;

    // Wizard markers: bit operations on Markers by marker number 0..15;
    // other numbers change nothing and read as clear.
    static constexpr unsigned kMarkerCount = 16;
    bool Marker(unsigned number) const;
    void SetMarker(unsigned number);
    void ClearMarker(unsigned number);

    // Reading and writing the configuration of the current generation, with
    // the follow-up parameters (ConfigurationIO.h). The write stops at the
    // first step that fails; WriteGenerationConfiguration tells which.
    virtual bool ReadConfiguration();
    virtual bool WriteConfiguration();

protected:
    TNorviData &data_;
    TDataManager &manager_;
};

// The edited copy's access class: the same accessors.
class TUIStateData : public TDevData
{
public:
    using TDevData::TDevData;
};

} // namespace lumex
