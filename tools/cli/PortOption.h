// "--port N|PATH" for the commands that talk to a device: a number goes
// through the port map like the "COM n" the user picks in the program, a
// path is opened as given. Without it, the window's saved port is used.
#pragma once

#include "CliContext.h"
#include "serial/ComMultiPort.h"

#include <memory>
#include <string>

namespace cli {

struct PortChoice
{
    int number = 0;   // 1..255 when a number was given
    std::string path; // when a path was given
};

// false (with a message) for a missing option or a number outside 1..255.
bool ParsePortChoice(const std::string &text, PortChoice &choice, std::string &error);
// The port of --port; without it, the port the program saved in its
// settings file, named on ctx.err. False with a message when neither is there.
bool ResolvePortChoice(const CliContext &ctx, PortChoice &choice, std::string &error);

// The port of ctx.port, open, with the controller's line settings and
// time-outs. On failure the message is on ctx.err, exitCode holds the exit
// status (usage or device) and the result is empty.
std::unique_ptr<lumex::TComMultiPort> OpenPort(const CliContext &ctx, int &exitCode);

// After an open failure: for a port the user may not open, how to get the
// permission, on ctx.err in the language in force.
void ReportPermissionHint(const CliContext &ctx, const lumex::EComPortError &error, const std::string &port);

} // namespace cli
