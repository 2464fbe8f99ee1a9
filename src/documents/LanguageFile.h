// Reading the bytes of a language file: unscramble, decode the code page,
// split into lines and check the version line; and the pieces of a line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumex {

enum class TLanguageFileCheck
{
    Ok,
    BadStructure,
    BadVersion
};

struct TLanguageFileText
{
    TLanguageFileCheck Check = TLanguageFileCheck::BadStructure;
    std::vector<std::string> Lines; // UTF-8, line ends removed
    std::string FoundVersion;       // value of line 1 when it is the version line
};

// `bytes` as stored (scrambled). Line 1 must be "FileVersion=" + expected.
TLanguageFileText ReadLanguageFileBytes(std::string bytes, uint8_t charset, std::string_view expectedVersion);

// Unscrambled, decoded lines of any scrambled text file (OBD code lists).
std::vector<std::string> ReadScrambledLines(std::string bytes, uint8_t charset);

// "name=value": the text before and after the first "="; without "=" the
// name is empty and the value is the whole line.
std::pair<std::string_view, std::string_view> SplitNameValue(std::string_view line);

// The section named by a header line: the text up to and including the first
// "]" (the whole line when there is none).
std::string_view SectionNameOf(std::string_view headerLine);

// The value of a component line, taken apart.
struct TComponentValue
{
    enum class TKind
    {
        Text,
        Hint,
        Clear
    };
    TKind Kind = TKind::Text;
    std::string Text;                         // caption, item, memo line or hint
    std::optional<std::string> HintExtension; // lines joined by CR LF
};

TComponentValue ParseComponentValue(std::string_view value);

} // namespace lumex
