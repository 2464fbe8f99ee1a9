// Starting a sibling program of the same folder for a device generation
// this program does not serve.
#pragma once

#include <string>

namespace lumex {

// Starts `path` with the one argument "/nologo" and the program's own
// folder as working folder, detached from this process. False when it
// could not be started.
bool StartSiblingProgram(const std::string &path);

} // namespace lumex
