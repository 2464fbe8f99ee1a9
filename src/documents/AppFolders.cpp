#include "documents/AppFolders.h"

#include "documents/FileIo.h"
#include "documents/IniFile.h"

#include <cstdlib>

namespace lumex {

namespace {

std::string Environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string{};
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string DocumentsFolderFromUserDirs(std::string_view userDirsText, std::string_view home)
{
    constexpr std::string_view key = "XDG_DOCUMENTS_DIR=";
    for (std::string_view line : SplitLines(userDirsText)) {
        line = TrimSpaces(line);
        if (!line.starts_with(key))
            continue;
        std::string_view quoted = line.substr(key.size());
        if (quoted.size() < 2 || quoted.front() != '"')
            return {};
        std::string value;
        std::size_t i = 1;
        bool closed = false;
        for (; i < quoted.size(); ++i) {
            char c = quoted[i];
            if (c == '\\' && i + 1 < quoted.size()) {
                value += quoted[++i];
            } else if (c == '"') {
                closed = true;
                break;
            } else {
                value += c;
            }
        }
        if (!closed)
            return {};
        if (value.starts_with("$HOME")) {
            if (home.empty())
                return {};
            value = std::string(home) + value.substr(5);
        }
        if (value.empty() || value.front() != '/')
            return {};
        return WithoutTrailingSlash(value);
    }
    return {};
}

TAppFolders TAppFolders::FromEnvironment(std::string_view appFolderName)
{
    TAppFolders folders;
    folders.ProgramFolder = lumex::ProgramFolder();
    folders.ProgramFile = ProgramFileName();

    std::string home = WithoutTrailingSlash(Environment("HOME"));
    std::string configHome = Environment("XDG_CONFIG_HOME");
    // The base directory rules ignore a relative XDG_CONFIG_HOME.
    if (configHome.empty() || configHome.front() != '/')
        configHome = home.empty() ? std::string{} : home + "/.config";
    configHome = WithoutTrailingSlash(configHome);
    if (!configHome.empty())
        folders.LocalAppData = configHome + "/" + std::string(appFolderName);

    if (!configHome.empty()) {
        try {
            if (auto text = ReadWholeFile(configHome + "/user-dirs.dirs", std::size_t{64} * 1024))
                folders.Personal = DocumentsFolderFromUserDirs(*text, home);
        } catch (const EFileReadError &) {
        }
    }
    if (folders.Personal.empty() && !home.empty())
        folders.Personal = home + "/Documents";
    return folders;
}

} // namespace lumex
