// Where the per-user folders are on this platform: the local application
// data folder (the per-user configuration folder) and the user's documents
// folder, plus the program's own folder and file name.
#pragma once

#include <string>
#include <string_view>

namespace lumex {

struct TAppFolders
{
    std::string LocalAppData;  // "$XDG_CONFIG_HOME/<app>" or "~/.config/<app>"; empty when unknown
    std::string Personal;      // the documents folder; empty when unknown
    std::string ProgramFolder; // with a trailing "/"
    std::string ProgramFile;   // the executable's file name

    // From XDG_CONFIG_HOME, HOME and the user-dirs file, the way
    // `xdg-user-dir DOCUMENTS` finds the documents folder (else ~/Documents).
    static TAppFolders FromEnvironment(std::string_view appFolderName);
};

// XDG_DOCUMENTS_DIR of a user-dirs.dirs text with "$HOME" expanded; empty when
// the text does not set it to an absolute path.
std::string DocumentsFolderFromUserDirs(std::string_view userDirsText, std::string_view home);

} // namespace lumex
