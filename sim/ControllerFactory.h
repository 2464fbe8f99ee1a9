// Builds the simulated controller for an identity. The line host, the
// in-process simulator and lumex2-sim only see it through this binding: a
// responder for the line plus its state file loader and its control lines.
#pragma once

#include "sim/Responder.h"
#include <optional>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace sim {

// The identity asked for on the command line or in the options.
struct ControllerChoice
{
    uint8_t generation = 0x30;     // 0x14, 0x15 or 0x30
    std::optional<uint8_t> letter; // firmware letter byte; empty = the generation's usual one
    uint8_t variant = 0;
};

struct ControllerBinding
{
    std::shared_ptr<Responder> responder;
    // bool(path, error): loads a saved controller state (JSON).
    std::function<bool(const std::string &, std::string &)> loadState;
    // bool(line, reply): one textual control command the controller knows.
    std::function<bool(const std::string &, std::string &)> control;
};

ControllerBinding MakeController(const ControllerChoice &choice, uint64_t seed);

} // namespace sim
