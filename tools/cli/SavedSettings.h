// What the program's settings file holds for the command line: the port
// and the language the window last used. Only read: the command line never
// creates the program's folders or files.
#pragma once

#include <optional>
#include <string>

namespace cli {

struct SavedSettings
{
    std::string file;        // where the settings file is (or would be)
    bool found = false;      // the file exists and could be read
    std::optional<int> port; // "ComMultiPort", when the file names one
    std::string language;    // "Language" when known, else the default
};

SavedSettings ReadSavedSettings();

} // namespace cli
