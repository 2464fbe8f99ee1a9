#include "documents/LanguagePack.h"

#include "documents/CodePage.h"
#include "documents/IniFile.h"
#include "documents/LanguageFile.h"
#include "documents/Scramble.h"

#include <vector>

namespace lumex {

namespace {

std::string_view BaseName(std::string_view path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view WithoutExtension(std::string_view name)
{
    auto dot = name.find_last_of('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

} // namespace

bool IsLanguageFileName(std::string_view fileName)
{
    std::string_view name = WithoutExtension(BaseName(fileName));
    return name.size() > 1 && name.front() == '_';
}

std::optional<std::string> LanguageCodeOfResourceName(std::string_view fileName)
{
    std::string_view name = WithoutExtension(BaseName(fileName));
    constexpr std::string_view obdPrefix = "OBD-Codes-";
    if (name.starts_with(obdPrefix) && name.size() > obdPrefix.size())
        return std::string(name.substr(obdPrefix.size()));
    if (IsLanguageFileName(fileName))
        return std::string(name.substr(1));
    return std::nullopt;
}

std::string PackLanguageText(std::string_view utf8, uint8_t charset, const std::optional<std::string> &fileVersion)
{
    if (utf8.starts_with("\xEF\xBB\xBF"))
        utf8.remove_prefix(3);
    std::vector<std::string_view> lines = SplitLines(utf8);
    std::string versionLine;
    if (fileVersion) {
        versionLine = "FileVersion=" + *fileVersion;
        if (!lines.empty() && SplitNameValue(lines.front()).first == "FileVersion")
            lines.front() = versionLine;
        else
            lines.insert(lines.begin(), versionLine);
    }
    std::string bytes;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        try {
            bytes += EncodeCodePage(lines[i], charset);
        } catch (const ECodePageError &e) {
            throw ECodePageError("line " + std::to_string(i + 1) + ": " + e.what());
        }
        bytes += "\r\n";
    }
    ScrambleBytes({reinterpret_cast<uint8_t *>(bytes.data()), bytes.size()});
    return bytes;
}

std::string UnpackLanguageFile(std::string bytes, uint8_t charset)
{
    std::string text;
    for (const auto &line : ReadScrambledLines(std::move(bytes), charset)) {
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace lumex
