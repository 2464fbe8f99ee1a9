// What the fault matrix checks in the data image: every value is either
// the one the simulated controller holds or the zero of a cleared answer
// buffer (the error rule stores those from the second failing cycle on).
// Anything else came from a corrupted frame.
#pragma once

#include "ConfigJson.h"

#include "controller/NorviData.h"
#include "mainwindow/DeviceSnapshot.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace faultmatrix {

using nlohmann::json;

inline bool IsZero(const json &v)
{
    if (v.is_number())
        return v.get<double>() == 0;
    if (v.is_string())
        return v.get<std::string>().empty();
    if (v.is_boolean())
        return !v.get<bool>();
    return v.is_null();
}

// Leaves of `image` that match none of `truths` nor zero, as "Key[3]: 7".
inline void StrayLeaves(const json &image, const std::vector<const json *> &truths, const std::string &path,
                        std::vector<std::string> &out)
{
    if (image.is_array() || image.is_object()) {
        for (auto it = image.begin(); it != image.end(); ++it) {
            const std::string key = image.is_array()
                                        ? path + "[" + std::to_string(std::distance(image.begin(), it)) + "]"
                                        : (path.empty() ? it.key() : path + "." + it.key());
            std::vector<const json *> inner;
            for (const json *t : truths) {
                if (image.is_array() && t->is_array() && t->size() == image.size())
                    inner.push_back(&(*t)[static_cast<std::size_t>(std::distance(image.begin(), it))]);
                else if (image.is_object() && t->is_object() && t->contains(it.key()))
                    inner.push_back(&t->at(it.key()));
            }
            StrayLeaves(*it, inner, key, out);
        }
        return;
    }
    if (IsZero(image))
        return;
    for (const json *t : truths)
        if (*t == image)
            return;
    out.push_back(path + ": " + image.dump());
}

// The configuration part of the image, keyed as the command line prints it.
// The identity is the truth's own: an image cleared by a lost link would
// otherwise be printed with a different set of fields.
inline json ImageJson(lumex::TNorviData data, const lumex::TImagePoints &points, const lumex::TNorviData &identity)
{
    data.VersionCode = identity.VersionCode;
    data.SoftwareLetter = identity.SoftwareLetter;
    data.InjHW = identity.InjHW;
    return cli::FullConfigurationJson(data, points);
}

// The live readings the simulator holds pinned.
struct TLiveValues
{
    uint8_t Psys = 0, Pcol = 0, Tred = 0, Tgas = 0, Supply = 0, Level = 0, Lambda = 0, State = 0;
    uint16_t RpmPeriod = 0;
    std::array<int32_t, lumex::kCylinders> Petrol{};

    static TLiveValues Of(const lumex::TNorviData &d)
    {
        return {d.PsysRaw,        d.PcolRaw,   d.TredRaw,     d.TgasRaw,   d.SupplyRaw,
                d.LevelSensorRaw, d.LambdaRaw, d.SystemState, d.RpmPeriod, d.PetrolTime};
    }
    bool operator==(const TLiveValues &) const = default;
};

// Names the live values of `seen` that are neither the truth nor zero.
inline std::string StrayLive(const TLiveValues &seen, const TLiveValues &truth)
{
    std::string out;
    const auto check = [&](const char *name, long long v, long long t) {
        if (v != 0 && v != t)
            out += std::string(" ") + name + "=" + std::to_string(v) + "/" + std::to_string(t);
    };
    check("Psys", seen.Psys, truth.Psys);
    check("Pcol", seen.Pcol, truth.Pcol);
    check("Tred", seen.Tred, truth.Tred);
    check("Tgas", seen.Tgas, truth.Tgas);
    check("Supply", seen.Supply, truth.Supply);
    check("Level", seen.Level, truth.Level);
    check("Lambda", seen.Lambda, truth.Lambda);
    check("State", seen.State, truth.State);
    check("RpmPeriod", seen.RpmPeriod, truth.RpmPeriod);
    for (std::size_t i = 0; i < seen.Petrol.size(); ++i)
        check("Petrol", seen.Petrol[i], truth.Petrol[i]);
    return out;
}

// The adapter's identity as the snapshot shows it while connected.
inline std::string AdapterIdentity(const lumex::TAdapterSnapshot &a)
{
    return a.Version + "|" + a.VersionFull + "|" + a.Built + "|" + a.Serial + "|" + std::to_string(a.MainVersion) +
           "|" + std::to_string(a.Product);
}

} // namespace faultmatrix
