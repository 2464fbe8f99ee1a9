#include "documents/LanguageFile.h"

#include "documents/CodePage.h"
#include "documents/IniFile.h"
#include "documents/Scramble.h"

namespace lumex {

std::vector<std::string> ReadScrambledLines(std::string bytes, uint8_t charset)
{
    ScrambleBytes({reinterpret_cast<uint8_t *>(bytes.data()), bytes.size()});
    std::string text = DecodeCodePage(bytes, charset);
    std::vector<std::string> lines;
    for (std::string_view line : SplitLines(text))
        lines.emplace_back(line);
    return lines;
}

TLanguageFileText ReadLanguageFileBytes(std::string bytes, uint8_t charset, std::string_view expectedVersion)
{
    TLanguageFileText result;
    result.Lines = ReadScrambledLines(std::move(bytes), charset);
    if (result.Lines.empty())
        return result;
    auto [name, value] = SplitNameValue(result.Lines.front());
    // The key is compared exactly: "fileversion" is not the version line.
    if (name != "FileVersion")
        return result;
    result.FoundVersion = std::string(value);
    result.Check = value == expectedVersion ? TLanguageFileCheck::Ok : TLanguageFileCheck::BadVersion;
    return result;
}

std::pair<std::string_view, std::string_view> SplitNameValue(std::string_view line)
{
    auto equals = line.find('=');
    if (equals == std::string_view::npos)
        return {std::string_view{}, line};
    return {line.substr(0, equals), line.substr(equals + 1)};
}

std::string_view SectionNameOf(std::string_view headerLine)
{
    auto close = headerLine.find(']');
    return close == std::string_view::npos ? headerLine : headerLine.substr(0, close + 1);
}

TComponentValue ParseComponentValue(std::string_view value)
{
    TComponentValue result;
    if (value == "^") {
        result.Kind = TComponentValue::TKind::Clear;
        return result;
    }
    if (value.empty() || value.front() != '|') {
        result.Text = std::string(value);
        return result;
    }
    result.Kind = TComponentValue::TKind::Hint;
    std::string_view rest = value.substr(1);
    auto split = rest.find("||");
    if (split == std::string_view::npos) {
        result.Text = std::string(rest);
        return result;
    }
    result.Text = std::string(rest.substr(0, split));
    std::string extension;
    std::string_view tail = rest.substr(split + 2);
    for (;;) {
        auto next = tail.find("||");
        extension += tail.substr(0, next);
        if (next == std::string_view::npos)
            break;
        extension += "\r\n";
        tail.remove_prefix(next + 2);
    }
    result.HintExtension = std::move(extension);
    return result;
}

} // namespace lumex
