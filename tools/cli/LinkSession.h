// What the controller-link commands share: pointing the process-wide
// controller link at --port, connecting it the way the poll cycle does, and
// turning the data image into text or JSON objects keyed by field name.
#pragma once

#include "CliContext.h"

#include "controller/ControllerLink.h"

#include <nlohmann/json.hpp>

#include <string>

namespace cli {

// Points the link's port at ctx.port and checks that it opens. false with
// the message on ctx.err and the exit status in exitCode otherwise.
bool PrepareLink(const CliContext &ctx, lumex::TControllerLink &link, int &exitCode);

// The reconnection a poll cycle makes while the link is down. false, with a
// message on ctx.err, when no supported controller came up.
bool ConnectLink(const CliContext &ctx, lumex::TControllerLink &link);

// Identification fields plus VersionDigits, VersionString (short),
// VersionStringLong, ControllerSerial and SoftwareCompatible.
nlohmann::json IdentificationJson(const lumex::TControllerLink &link, const std::string &serial);
// Raw live-reading fields of the image.
nlohmann::json ReadingsJson(const lumex::TNorviData &d);

// One JSON object on one line; bytes that are not UTF-8 are replaced.
std::string JsonLine(const nlohmann::json &j);

} // namespace cli
