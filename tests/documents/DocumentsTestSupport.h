// Temporary folders and packed language files for the language and
// settings tests.
#pragma once

#include "documents/LanguagePack.h"
#include "documents/Languages.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace lumex::test {

class TTempFolder
{
public:
    TTempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumex-docs-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TTempFolder()
    {
        std::error_code error;
        // Read-only leftovers of a test must not block the clean-up.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, error);
        std::filesystem::remove_all(path_, error);
    }
    TTempFolder(const TTempFolder &) = delete;
    TTempFolder &operator=(const TTempFolder &) = delete;

    // The folder with a trailing "/".
    std::string Path() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string &path, const std::string &bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A language file "_<code>.lng" in `resourceFolder` from UTF-8 lines; the
// text's own first line is kept as written (no version is filled in).
inline void WriteLanguageFile(const std::string &resourceFolder, const std::string &code, const std::string &utf8)
{
    WriteBytes(resourceFolder + "_" + code + ".lng", PackLanguageText(utf8, CharsetOf(code), std::nullopt));
}

inline void WriteObdList(const std::string &resourceFolder, const std::string &language, const std::string &utf8)
{
    WriteBytes(resourceFolder + "OBD-Codes-" + language + ".lng",
               PackLanguageText(utf8, CharsetOf(language), std::nullopt));
}

} // namespace lumex::test
