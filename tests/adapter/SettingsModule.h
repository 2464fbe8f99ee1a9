// A sub-module with one parameter of every saved kind in section "OBD",
// standing in for the OBD module in the file and plug-in tests. Its
// configuration write sends the adapter's acknowledged 0x0A command, so a
// fault on that command makes the write fail.
#pragma once

#include "modules/AppLogic.h"
#include "modules/Sections.h"

#include <array>
#include <vector>

namespace adaptertest {

class TDevStateSettings : public lumex::TBaseDevState
{
public:
    explicit TDevStateSettings(lumex::TDeviceState &aggregate)
        : TBaseDevState(aggregate), Reading(Create<lumex::TByteVariable>("OBD:SettingsReading")),
          Corr(CreateParam<lumex::TDoubleVariable>(0, "OBD:Corr", 1)),
          CorrLow(CreateParam<lumex::TDoubleVariable>(0, "OBD:CorrLow", 1)),
          CorrHigh(CreateParam<lumex::TDoubleVariable>(0, "OBD:CorrHigh", 1)),
          Level(CreateParam<lumex::TByteVariable>(20, "OBD:Level")),
          Delay(CreateParam<lumex::TWordVariable>(1000, "OBD:Delay")),
          Offset(CreateParam<lumex::TSmallIntVariable>(-5, "OBD:Offset")),
          Enabled(CreateParam<lumex::TBoolByteVariable>(1, "OBD:Enabled")),
          PidAllow(CreateParam<lumex::TBoolByteVariable>(0x03, "OBD:PidAllow"))
    {
        for (lumex::TDoubleVariable *d : {&Corr, &CorrLow, &CorrHigh}) {
            d->SetLimits(-128, 127);
            d->SetOnRawToValue(lumex::MakeRawToValue([](const lumex::TVariable &, std::span<const uint8_t> raw) {
                return static_cast<double>(static_cast<int8_t>(raw[0]));
            }));
            d->SetOnValueToRaw(lumex::MakeValueToRaw([](const lumex::TVariable &, double x, std::span<uint8_t> raw) {
                raw[0] = static_cast<uint8_t>(static_cast<int8_t>(x));
            }));
        }
    }
    lumex::TByteVariable &Reading;
    lumex::TDoubleVariable &Corr, &CorrLow, &CorrHigh;
    lumex::TByteVariable &Level;
    lumex::TWordVariable &Delay;
    lumex::TSmallIntVariable &Offset;
    lumex::TBoolByteVariable &Enabled;
    lumex::TBoolByteVariable &PidAllow;
};

class TUIStateSettings : public TDevStateSettings
{
public:
    TUIStateSettings(lumex::TDeviceState &aggregate, TDevStateSettings &twin)
        : TDevStateSettings(aggregate), Pid1(Create<lumex::TBoolByteVariable>("OBD:Pid1", uint8_t{1}, PidAllow))
    {
        Twin = &twin;
    }
    lumex::TBoolByteVariable &Pid1;
};

class TModuleSettings : public lumex::TBaseModule
{
public:
    TModuleSettings(lumex::TLogic &logic, lumex::TBaseProtocol &protocol)
        : TBaseModule(logic.Manager(), &protocol), dev_(logic.Manager().DevState()), ui_(logic.UIState(), dev_)
    {
        logic.ConfigurationWriters.push_back([this] { return WriteConfiguration(); });
    }
    lumex::TBaseDevState &GetUIState() override { return ui_; }
    TDevStateSettings &Dev() { return dev_; }
    TUIStateSettings &UI() { return ui_; }

    void Detect() override { SetDeviceCompatible(ParentModule != nullptr && ParentModule->IsConnected()); }
    // A status poll each step, as the OBD module will have.
    void WorkStep() override
    {
        livePolled.push_back(Manager().InPollSet(lumex::TPollGroup::ObdLiveData));
        if (!IsConnected())
            return;
        std::array<uint8_t, 4> answer{};
        Exchange(std::array<uint8_t, 2>{0x0B, 0xA5}, answer);
    }
    bool WriteConfiguration()
    {
        if (!IsConnected())
            return false;
        std::array<uint8_t, 4> answer{};
        ++writes;
        return Exchange(std::array<uint8_t, 2>{0x0A, 0xA5}, answer);
    }
    int writes = 0;
    // Whether group 14 was set, at each step.
    std::vector<bool> livePolled;

private:
    TDevStateSettings dev_;
    TUIStateSettings ui_;
};

inline lumex::TModuleFactory SettingsFactory()
{
    return [](lumex::TLogic &logic, lumex::TBaseProtocol &protocol, lumex::TModuleAdapter &) {
        return std::make_unique<TModuleSettings>(logic, protocol);
    };
}

} // namespace adaptertest
