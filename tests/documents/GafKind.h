// The module settings file (.gaf) for the crash test. It is saved from an
// adapter, so a simulated one runs in the process that saves; its content
// carries the save time, which the comparison leaves out.
#pragma once

#include <string>

namespace lumex::crashtest {

// Starts the simulated adapter and connects to it, if not done yet.
void StartSimulatedAdapter();

// Writes save number n's value into the simulated adapter's OBD
// configuration, then saves the file the way the adapter page does.
void SaveGafThroughProgram(const std::string &path, unsigned n);

// True when `bytes` are save n's file, whatever its save time. Needs one
// save made in this process first (its text is the pattern).
bool IsGafContent(const std::string &bytes, unsigned n);

// Empty when the program's reader takes `bytes` as a whole module settings
// file; otherwise what is wrong.
std::string GafReadProblem(const std::string &bytes);

} // namespace lumex::crashtest
