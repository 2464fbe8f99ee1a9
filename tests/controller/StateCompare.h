// Compares what the client read (the JSON of its data image, keyed by field
// name) with the state the simulated controller holds (its state JSON, keyed
// by the same names). A few fields are held differently on the two sides by
// the protocol's own rules; those are normalised here, each with its reason.
#pragma once

#include "controller/Conversions.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace blockstest {

using nlohmann::json;

struct TCompareReport
{
    std::vector<std::string> mismatches;
    std::vector<std::string> compared;
    std::vector<std::string> unmatched; // client keys the state has no counterpart for
};

inline bool SameValue(const json &a, const json &b, bool moduloByte)
{
    if (a.is_array() && b.is_array()) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (!SameValue(a[i], b[i], moduloByte))
                return false;
        }
        return true;
    }
    if (a.is_number() && b.is_number()) {
        if (a.is_number_float() || b.is_number_float())
            return std::fabs(a.get<double>() - b.get<double>()) < 1e-9;
        const long long x = a.get<long long>(), y = b.get<long long>();
        return moduloByte ? ((x - y) % 256 == 0) : x == y;
    }
    return a == b;
}

// `generation` is 0x14, 0x15 or 0x30.
inline TCompareReport CompareWithState(const json &client, const json &state, int generation)
{
    TCompareReport r;
    const json &identity = state.at("identity");
    const bool g3 = generation == 0x30;
    for (const auto &[key, value] : client.items()) {
        json expected;
        bool moduloByte = false;
        if (key == "VersionCode" || key == "SoftwareLetter" || key == "InjHW") {
            expected = identity.at(key);
        } else if (key == "InjSW" || key == "PetrolPoints" || key == "GasPoints") {
            r.unmatched.push_back(key); // derived by the client; checked on their own
            continue;
        } else if (!state.contains(key)) {
            r.unmatched.push_back(key);
            continue;
        } else {
            expected = state.at(key);
        }
        if (key == "RPM") {
            expected = expected.get<int>() & 0x3FFF; // the block keeps 14 bits
        } else if (key == "InjType" && g3) {
            expected = expected.get<int>() & 2; // the 3.0 block gives bit 1 only
        } else if (key == "LambdaType" && g3) {
            expected = expected.get<int>() & 7; // three bits in the 3.0 flag byte
        } else if (key == "PressureSensorType" && generation == 0x14) {
            const int variant = identity.at("Variant").get<int>();
            expected = variant == 0 ? 1 : (variant == 1 || variant == 2) ? 2 : 0;
        } else if (key == "RPMWireNotConnect" && !g3) {
            expected = state.at("WorkPress"); // 1.4/1.5 keep byte 30 here too
        } else if (key == "InjCorr" || key == "MazdaEnrichmentPercentage") {
            moduloByte = true; // signed on the controller, a byte in the image
        } else if (key == "MapG3B" || key == "MapG3") {
            moduloByte = false;
        }
        r.compared.push_back(key);
        if (!SameValue(value, expected, moduloByte))
            r.mismatches.push_back(key + ": client " + value.dump() + ", controller " + expected.dump());
    }
    return r;
}

// The map points a list of point words gives: empty slots (0 and 0xFFFF)
// skipped, each point as pressure, time and kind.
inline json ExpectedPoints(const json &words, uint8_t pressureSensorType)
{
    json list = json::array();
    for (const auto &w : words) {
        const auto word = w.get<uint16_t>();
        if (word == 0 || word == 0xFFFF)
            continue;
        // Bits 15..13 kind, 12..7 pressure code c (raw c*2+10), 6..0 time code t (t*32 ticks).
        const int kind = word >> 13;
        const int c = (word >> 7) & 0x3F;
        const int t = word & 0x7F;
        list.push_back({{"Pressure", lumex::PcolBar(static_cast<uint8_t>(c * 2 + 10), pressureSensorType)},
                        {"TimeMs", t * 32 / 187.0},
                        {"Kind", kind}});
    }
    return list;
}

} // namespace blockstest
