// INI files: parse, read every key, rewrite, and parse the result again;
// also the user-dirs file that locates the documents folder.
#include "documents/AppFolders.h"
#include "documents/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string_view text(reinterpret_cast<const char *>(data), size);
    auto ini = lumex::TIniFile::Parse(text);
    // Untouched, the text comes back as it was (line ends normalised).
    auto again = lumex::TIniFile::Parse(ini.Text());
    if (again.Sections() != ini.Sections())
        __builtin_trap();
    for (const auto &section : ini.Sections())
        for (const auto &key : ini.Keys(section)) {
            (void)ini.ReadInteger(section, key, 1);
            if (ini.ReadString(section, key, "") != again.ReadString(section, key, ""))
                __builtin_trap();
        }
    try {
        std::string_view key = text.substr(0, text.size() / 3);
        std::string_view value = text.substr(text.size() / 3, text.size() / 3);
        ini.WriteString("Settings", key, value);
        // What was written reads back after a round trip through the text.
        auto written = lumex::TIniFile::Parse(ini.Text());
        if (written.ReadString("Settings", lumex::TrimSpaces(key), "\x01") != lumex::TrimSpaces(value))
            __builtin_trap();
    } catch (const std::invalid_argument &) {
        // Names and values that would break the file are refused.
    }
    (void)lumex::DocumentsFolderFromUserDirs(text, "/home/user");
    return 0;
}
