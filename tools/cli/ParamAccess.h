// What "get" and "set" share: the parameter kinds, reading one parameter in
// raw units, and the usage checks made before the port is opened.
#pragma once

#include "CliContext.h"

#include "controller/DataManager.h"

#include <cstdint>
#include <optional>
#include <string>

namespace cli {

enum class ParamKind
{
    Byte,  // 0x07 / 0x08
    Word,  // 0x51 / 0x52
    Model, // 0x12 / 0x16, wire value
    Info   // word variable 0x40, read-only
};

std::optional<ParamKind> ParseParamKind(const std::string &text);
const char *ParamKindName(ParamKind kind);
// Largest raw value of the kind.
uint32_t ParamKindMax(ParamKind kind);

// One read in raw units; nothing when the controller did not answer.
std::optional<uint32_t> ReadParam(lumex::TDataManager &manager, ParamKind kind, uint8_t index);

} // namespace cli
