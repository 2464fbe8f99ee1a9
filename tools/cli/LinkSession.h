// What the controller-link commands share: pointing the process-wide
// controller link at --port, connecting it the way the poll cycle does, and
// turning the data image into text or JSON objects keyed by field name.
#pragma once

#include "CliContext.h"

#include "controller/ControllerLink.h"

#include <nlohmann/json.hpp>

#include <string>

namespace cli {

// Points the link's port at ctx.port, checks that it opens and makes the
// reconnection a poll cycle makes while the link is down. kExitOk when a
// supported controller came up; otherwise the exit status, with the message
// on ctx.err.
int OpenLink(const CliContext &ctx, lumex::TControllerLink &link);
// Only the first half of OpenLink: points the port at ctx.port and checks
// that it opens, for commands that talk to a device before it is connected
// as a controller (a bootloader). False with `exitCode` set and the message
// (and the permission hint) on ctx.err.
bool OpenLinkPort(const CliContext &ctx, lumex::TControllerLink &link, int &exitCode);

// Identification fields plus VersionDigits, VersionString (short),
// VersionStringLong, ControllerSerial and SoftwareCompatible.
nlohmann::json IdentificationJson(const lumex::TControllerLink &link, const std::string &serial);
// Raw live-reading fields of the image.
nlohmann::json ReadingsJson(const lumex::TNorviData &d);

// One JSON object on one line; bytes that are not UTF-8 are replaced.
std::string JsonLine(const nlohmann::json &j);

} // namespace cli
