// What a configuration file carries, as the simulated controller holds
// it: for tests that compare the controller's settings before and after an
// upgrade, a restore or a load.
#pragma once

#include "SimHarness.h"

#include "sim/controller/ControllerModel.h"

#include <array>
#include <memory>
#include <string>

namespace testsupport {

inline std::shared_ptr<sim::ControllerModel> Model(SimHarness &h)
{
    return std::dynamic_pointer_cast<sim::ControllerModel>(h.Sim().Device());
}

// What a configuration file carries, as the simulator holds it.
struct TSettings
{
    sim::ParameterStore::Core core;
    std::array<uint8_t, 256> byteParams{};
    sim::CorrTable cps{}, ctg{}, crpm{};
    std::array<sim::ModelPoint, 20> model2A{};
    bool operator==(const TSettings &) const = default;
};

// Names the parts that differ, for the failure message.
inline std::string Differing(const TSettings &a, const TSettings &b)
{
    std::string out;
    const auto core = [](const sim::ParameterStore::Core &c) {
        return std::to_string(c.T) + "," + std::to_string(c.RPM) + "," + std::to_string(c.InjMask) + "," +
               std::to_string(c.InjType) + "," + std::to_string(c.FuelType) + "," + std::to_string(c.RPMsource) + "," +
               std::to_string(c.EngineType);
    };
    if (!(a.core == b.core))
        out += " core " + core(a.core) + "/" + core(b.core);
    for (std::size_t i = 0; i < a.byteParams.size(); ++i)
        if (a.byteParams[i] != b.byteParams[i])
            out += " byte" + std::to_string(i) + ":" + std::to_string(a.byteParams[i]) + "/" +
                   std::to_string(b.byteParams[i]);
    if (a.cps != b.cps || a.ctg != b.ctg || a.crpm != b.crpm)
        out += " corrections";
    if (!(a.model2A == b.model2A))
        out += " model";
    return out;
}

inline TSettings SettingsOf(SimHarness &h)
{
    auto pause = h.Sim().Pause();
    const sim::ParameterStore s = Model(h)->Store();
    TSettings out{s.core, s.byteParams, s.cps, s.ctg, s.crpm, s.model2A};
    // Bits the controller keeps as written but never reports: no setting
    // lives there, so no file can carry them.
    out.core.Flags3Spare = 0;
    out.core.RPM &= 0x3FFF;
    return out;
}

} // namespace testsupport
