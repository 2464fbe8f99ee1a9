#include "documents/IniFile.h"

#include "documents/FileIo.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace lumex {

bool SameName(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view TrimSpaces(std::string_view text)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t stop = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, stop - start));
        std::size_t next = stop + 1;
        if (stop + 1 < text.size() && text[stop] == '\r' && text[stop + 1] == '\n')
            ++next;
        start = next;
    }
    return lines;
}

namespace {

bool IsComment(std::string_view trimmed)
{
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// "[name]" gives name; anything else is no header.
std::optional<std::string_view> HeaderName(std::string_view trimmed)
{
    if (trimmed.empty() || trimmed.front() != '[')
        return std::nullopt;
    auto close = trimmed.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return TrimSpaces(trimmed.substr(1, close - 1));
}

void CheckSingleLine(std::string_view text, const char *what)
{
    if (text.find_first_of("\r\n") != std::string_view::npos)
        throw std::invalid_argument(std::string("INI ") + what + " must be a single line");
}

} // namespace

TIniFile TIniFile::Parse(std::string_view text)
{
    TIniFile ini;
    // A file written with LF alone is rewritten with LF; CRLF and bare CR
    // files get CRLF.
    auto firstBreak = text.find_first_of("\r\n");
    if (firstBreak != std::string_view::npos && text[firstBreak] == '\n')
        ini.lineBreak_ = "\n";
    for (std::string_view raw : SplitLines(text)) {
        std::string_view trimmed = TrimSpaces(raw);
        if (auto header = HeaderName(trimmed)) {
            ini.sections_.push_back(TSection{std::string(*header), std::string(raw), {}});
            continue;
        }
        TLine line;
        line.Raw = std::string(raw);
        auto equals = trimmed.find('=');
        if (!IsComment(trimmed) && equals != std::string_view::npos) {
            line.Name = std::string(TrimSpaces(trimmed.substr(0, equals)));
            line.Value = std::string(TrimSpaces(trimmed.substr(equals + 1)));
        }
        (ini.sections_.empty() ? ini.preamble_ : ini.sections_.back().Lines).push_back(std::move(line));
    }
    return ini;
}

TIniFile TIniFile::Load(const std::string &path)
{
    try {
        auto bytes = ReadWholeFile(path, MaxFileSize);
        return bytes ? Parse(*bytes) : TIniFile{};
    } catch (const EFileReadError &e) {
        throw EIniFileError(e.what());
    }
}

void TIniFile::Save(const std::string &path) const
{
    WriteFileAtomically(path, Text());
}

std::string TIniFile::Text() const
{
    std::string out;
    auto emit = [&](const TLine &line) {
        out += line.Changed ? line.Name + "=" + line.Value : line.Raw;
        out += lineBreak_;
    };
    for (const auto &line : preamble_)
        emit(line);
    for (const auto &section : sections_) {
        out += section.Header;
        out += lineBreak_;
        for (const auto &line : section.Lines)
            emit(line);
    }
    return out;
}

const TIniFile::TSection *TIniFile::FindSection(std::string_view name) const
{
    for (const auto &section : sections_)
        if (SameName(section.Name, name))
            return &section;
    return nullptr;
}

TIniFile::TSection *TIniFile::FindSection(std::string_view name)
{
    return const_cast<TSection *>(std::as_const(*this).FindSection(name));
}

const TIniFile::TLine *TIniFile::FindKey(const TSection &section, std::string_view key)
{
    for (const auto &line : section.Lines)
        if (!line.Name.empty() && SameName(line.Name, key))
            return &line;
    return nullptr;
}

std::vector<std::string> TIniFile::Sections() const
{
    std::vector<std::string> names;
    for (const auto &section : sections_)
        if (FindSection(section.Name) == &section)
            names.push_back(section.Name);
    return names;
}

std::vector<std::string> TIniFile::Keys(std::string_view sectionName) const
{
    std::vector<std::string> keys;
    if (const TSection *section = FindSection(sectionName))
        for (const auto &line : section->Lines)
            if (!line.Name.empty() && FindKey(*section, line.Name) == &line)
                keys.push_back(line.Name);
    return keys;
}

bool TIniFile::SectionExists(std::string_view section) const
{
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const
{
    return Value(section, key).has_value();
}

std::optional<std::string> TIniFile::Value(std::string_view sectionName, std::string_view key) const
{
    const TSection *section = FindSection(sectionName);
    if (!section)
        return std::nullopt;
    const TLine *line = FindKey(*section, key);
    if (!line)
        return std::nullopt;
    return line->Value;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    auto value = Value(section, key);
    return value ? *value : std::string(fallback);
}

long long TIniFile::ReadInteger(std::string_view section, std::string_view key, long long fallback) const
{
    auto value = Value(section, key);
    if (!value)
        return fallback;
    std::string_view text = *value;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == '$') {
        base = 16;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return fallback;
    unsigned long long magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc{} || end != text.data() + text.size())
        return fallback;
    constexpr unsigned long long limit = 9223372036854775807ULL;
    if (magnitude > limit + (negative ? 1 : 0))
        return fallback;
    if (negative)
        return magnitude == limit + 1 ? static_cast<long long>(-limit - 1) : -static_cast<long long>(magnitude);
    return static_cast<long long>(magnitude);
}

void TIniFile::WriteString(std::string_view sectionName, std::string_view key, std::string_view value)
{
    CheckSingleLine(sectionName, "section name");
    CheckSingleLine(key, "key");
    CheckSingleLine(value, "value");
    std::string_view trimmedKey = TrimSpaces(key);
    if (trimmedKey.empty() || trimmedKey.find('=') != std::string_view::npos || trimmedKey.front() == '[' ||
        trimmedKey.front() == ';' || trimmedKey.front() == '#')
        throw std::invalid_argument("unusable INI key: " + std::string(key));
    std::string_view trimmedSection = TrimSpaces(sectionName);
    if (trimmedSection.find(']') != std::string_view::npos)
        throw std::invalid_argument("unusable INI section name: " + std::string(sectionName));

    TSection *section = FindSection(trimmedSection);
    if (!section) {
        sections_.push_back(TSection{std::string(trimmedSection), "[" + std::string(trimmedSection) + "]", {}});
        section = &sections_.back();
    }
    if (const TLine *found = FindKey(*section, trimmedKey)) {
        auto &line = const_cast<TLine &>(*found);
        if (line.Value != TrimSpaces(value)) {
            line.Value = std::string(TrimSpaces(value));
            line.Changed = true;
        }
        return;
    }
    TLine line;
    line.Name = std::string(trimmedKey);
    line.Value = std::string(TrimSpaces(value));
    line.Changed = true;
    // After the section's last key, so trailing blank lines and comments
    // keep separating it from the next section.
    auto lastKey =
        std::find_if(section->Lines.rbegin(), section->Lines.rend(), [](const TLine &l) { return !l.Name.empty(); });
    section->Lines.insert(lastKey.base(), std::move(line));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, long long value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::DeleteKey(std::string_view sectionName, std::string_view key)
{
    if (TSection *section = FindSection(sectionName))
        if (const TLine *line = FindKey(*section, key))
            section->Lines.erase(section->Lines.begin() + (line - section->Lines.data()));
}

void TIniFile::EraseSection(std::string_view sectionName)
{
    if (const TSection *section = FindSection(sectionName))
        sections_.erase(sections_.begin() + (section - sections_.data()));
}

} // namespace lumex
