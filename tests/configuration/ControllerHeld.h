// What the simulated controller holds at a configuration field's place,
// read from its memory rather than through the client's decoding.
#pragma once

#include "configuration/ConfigFields.h"
#include "sim/controller/ParameterStore.h"

#include <nlohmann/json.hpp>

#include <span>

namespace cfgtest {

using namespace lumex;
using nlohmann::json;

inline unsigned Bits(unsigned value, const TFieldPlace &p)
{
    const unsigned mask = p.Width >= 16 ? 0xFFFFu : (1u << p.Width) - 1u;
    return (value >> p.Shift) & mask;
}

inline unsigned BlockValue(std::span<const uint8_t> block, const TFieldPlace &p)
{
    return p.Width > 8 ? (unsigned{block[p.Index]} << 8 | block[p.Index + 1]) : block[p.Index];
}

// `identity` is the identity object of the controller's state dump.
inline unsigned HeldByController(const TConfigField &f, const TNorviData &d, const sim::ParameterStore &s,
                                 const json &identity)
{
    const TFieldPlace p = PlaceOn(f, d)->Place;
    if (ReadBackReplaced(f, d)) {
        if (d.VersionCode == 0x30)
            return Bits(1, p); // byte 37 before "C"
        const int variant = identity.at("Variant").get<int>();
        return variant == 0 ? 1 : 2;
    }
    switch (p.Kind) {
    case TPlaceKind::Block30:
        return Bits(BlockValue(s.G3Block(), p), p);
    case TPlaceKind::MainBlock:
        return Bits(BlockValue(s.LegacyBlock(), p), p);
    case TPlaceKind::ByteParam:
        return Bits(s.byteParams[p.Index], p);
    case TPlaceKind::WordParam:
        return Bits(s.wordParams[p.Index], p);
    case TPlaceKind::InfoWord:
        return identity.at("InjHW").get<unsigned>();
    case TPlaceKind::LevelTableA:
    case TPlaceKind::LevelTableB:
        return s.LevelTable(p.Kind == TPlaceKind::LevelTableB)[p.Index];
    case TPlaceKind::Inspection:
        return p.Index == 0 ? s.inspectionRatio : s.wordParams[23];
    case TPlaceKind::None:
        break;
    }
    return 0xFFFFFFFF;
}

} // namespace cfgtest
