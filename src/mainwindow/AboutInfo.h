// What the about box says: the device fields it reads from the controller
// each time it is shown, and the five lines its icon copies.
#pragma once

#include <string>

namespace lumex {

class TDataManager;

struct TAboutDevice
{
    bool Known = false;          // a controller identified itself
    std::string Version;         // the long version string
    std::string CompilationTime; // compile date, a space, compile time
    std::string Serial;
};

// On the device thread: the compile information and the identification,
// then the serial number when a controller answered. Without one the reads
// fail quietly and the result is not Known.
TAboutDevice ReadAboutDevice(TDataManager &manager);

// The about box's texts as they stand on screen, labels with their colons.
struct TAboutTexts
{
    std::string ProductName;
    std::string FileVersionLabel, FileVersion;
    std::string DateLabel, BuildDate;
    std::string DeviceLabel, DeviceVersion, CompilationTime;
    std::string SerialLabel, Serial;
};

// Five lines, each ended by CR LF, the way a support desk asks for them.
std::string AboutClipboardText(const TAboutTexts &texts);

} // namespace lumex
