// The controller's state as a JSON document: an "installed car" to load, or
// a snapshot to compare a client's reads against.
//
// Top-level keys are the data-image field names of the values they hold
// ("T", "RPM", "InjMask", "Mult", "Offset", "P1".."P4", "E1".."E4", "CPS",
// "CTG", "CRPM", "CPCOL", "MapG3", "ConfigG3Flags", "TroubleFlags", ...), in
// the units the client's image keeps them (raw codes, ticks; "Mult" and
// "Offset" as the client scales them). Besides: "identity" (generation,
// letter, identification bytes, compile stamp, "InjHW"), "byteParams",
// "wordParams", "modelParams", "wordVars" (objects from index to raw value),
// "memory" (1 KiB as a hex string, or an object from address to byte),
// "LockState", "Password", "car" (the physical car) and "live" (engine
// phase, fuel request, pinned readings).
//
// Loading starts from the factory state of the identity, applies the raw
// objects, then every named field whose value differs from what the raw
// values already give, so a dump reloads exactly and a hand-written file may
// use either form. Unknown keys and out-of-range values are errors.
#pragma once

#include <string>
#include <string_view>

namespace sim {

class ControllerModel;

class StateJson
{
public:
    static bool Load(ControllerModel &model, std::string_view text, std::string &error);
    static std::string Dump(const ControllerModel &model);
};

} // namespace sim
