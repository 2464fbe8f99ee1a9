// An INI file kept line by line: sections and keys stay in their order,
// comments and keys nobody asked about survive a rewrite unchanged. Section
// and key names compare without regard to ASCII case, and the first
// occurrence of a name wins. CRLF, LF and a bare CR all end a line, so no
// line ever holds a CR and a rewrite reads back the same; a rewrite uses LF
// for a file that came with LF, CRLF otherwise (and for a new file).
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

class EIniFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TIniFile
{
public:
    // Settings and module files are small; anything bigger is not one of ours.
    static constexpr std::size_t MaxFileSize = std::size_t{16} * 1024 * 1024;

    TIniFile() = default;
    static TIniFile Parse(std::string_view text);
    // A missing file gives an empty INI; an unreadable or oversized one throws
    // EIniFileError.
    static TIniFile Load(const std::string &path);
    // Writes atomically; throws EFileWriteError.
    void Save(const std::string &path) const;
    std::string Text() const;

    std::vector<std::string> Sections() const;
    // Keys of the first section of that name, in file order, first
    // occurrences only.
    std::vector<std::string> Keys(std::string_view section) const;
    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;

    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
    // Decimal with an optional sign, or hexadecimal after "0x" or "$";
    // anything else, or a number out of range, gives `fallback`.
    long long ReadInteger(std::string_view section, std::string_view key, long long fallback) const;

    // Changes the first occurrence in place, or appends the key to the section
    // (the section to the file). Names and values must be single-line; a name
    // must not contain "=" nor start with "[" (std::invalid_argument).
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, long long value);
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);

    const std::string &LineBreak() const { return lineBreak_; }
    void SetLineBreak(std::string lineBreak) { lineBreak_ = std::move(lineBreak); }

private:
    struct TLine
    {
        std::string Raw;   // the line as read, without its line end
        std::string Name;  // empty for anything that is not a key line
        std::string Value; // trimmed
        bool Changed = false;
    };
    struct TSection
    {
        std::string Name;
        std::string Header;
        std::vector<TLine> Lines;
    };

    const TSection *FindSection(std::string_view name) const;
    TSection *FindSection(std::string_view name);
    static const TLine *FindKey(const TSection &section, std::string_view key);

    std::vector<TLine> preamble_; // lines before the first section
    std::vector<TSection> sections_;
    std::string lineBreak_ = "\r\n";
};

// Case-insensitive ASCII comparison of two names.
bool SameName(std::string_view a, std::string_view b);
std::string_view TrimSpaces(std::string_view text);
// Splits text at CRLF, LF or a bare CR; a final line end does not start
// another line.
std::vector<std::string_view> SplitLines(std::string_view text);

} // namespace lumex
