// The command line of the main configurator: the installer's switches
// ("-OFFLINE", "-LOWRESOLUTION", "-NOCONNECT", any case) and the options
// that point it at a device or make it take a picture of itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumex {

struct TStartOptions
{
    bool Offline = false;                 // -OFFLINE
    bool LowResolutionAllowed = false;    // -LOWRESOLUTION
    bool NoAutoSearch = false;            // -NOCONNECT
    bool Demo = false;                    // --demo: the built-in simulated controller
    uint8_t DemoGeneration = 0x30;        // --demo-controller 14|15|30[L]: its generation
    std::optional<char> DemoLetter = 'G'; //   and firmware letter (the generation's own without one)
    std::string DemoState;                // --demo-state FILE: the installed car it starts with
    std::string PortPath;                 // --port PATH: a device path instead of a port number
    std::string ScreenshotFile;           // --screenshot FILE
    std::string Page;                     // --page NAME
    int AfterMs = 3000;                   // --after MS
    int RecordSeconds = 0;                // --record S: record S seconds on the recorder page once connected
    std::string RecordCsv;                // --record-csv FILE: then export the recording
    std::vector<std::string> Problems;    // options that could not be used
};

// Unknown arguments are ignored, as the installer's shortcuts may carry
// anything; options with a missing or bad value are reported in Problems.
TStartOptions ParseStartOptions(const std::vector<std::string> &args);

} // namespace lumex
