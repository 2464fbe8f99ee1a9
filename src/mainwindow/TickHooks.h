// The steps of the polling tick that belong to later subsystems: the
// adapter module framework, the model and calibration pages and the
// oscilloscope. The tick calls them in its order; until those subsystems
// install their own hooks these steps do nothing.
#pragma once

#include <cstdint>

namespace lumex {

struct TDeviceSnapshot;

class TTickHooks
{
public:
    virtual ~TTickHooks() = default;

    // Module framework (adapter modules on the same port).
    virtual void RebuildAdapterPages() {}
    virtual void DeactivateModules() {}
    virtual void RestartModules(int /*portNumber*/) {}
    virtual void MirrorObdAdaptationFlag() {}
    virtual void ModuleWorkStep() {}
    // True once after the set of modules changed.
    virtual bool ModulesChanged() { return false; }
    virtual bool ObdAdaptationSupported() { return false; }
    virtual void RefreshAdapterAvailability() {}
    // What the adapter windows show, into each snapshot.
    virtual void FillSnapshot(TDeviceSnapshot & /*snapshot*/) {}

    // After a connection: the model data of the generation (Model1 for
    // 0x14/0x15, Model2 and the corrections for 0x30).
    virtual void ReadModelData(uint8_t /*versionCode*/) {}
    // Once per tick with the link up: the calibration sub-page displays.
    virtual void CalibrationDisplays() {}
    // After an ok cycle while the oscilloscope runs.
    virtual void OscilloscopeSample() {}
};

} // namespace lumex
