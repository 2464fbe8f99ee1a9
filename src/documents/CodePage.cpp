#include "documents/CodePage.h"

#include <array>
#include <iconv.h>
#include <map>
#include <mutex>
#include <unordered_map>

namespace lumex {

namespace {

constexpr char32_t Replacement = 0xFFFD;

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// One code page as a byte -> code point table, built once through iconv.
// Single-byte pages make a table both simpler and safer than streaming
// every text through iconv.
struct TCodePageTable
{
    std::array<char32_t, 256> ToUnicode{};
    std::unordered_map<char32_t, uint8_t> FromUnicode;
};

TCodePageTable BuildTable(std::string_view pageName)
{
    TCodePageTable table;
    iconv_t cd = iconv_open("UTF-32LE", std::string(pageName).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) // NOLINT(performance-no-int-to-ptr): the iconv failure value
        throw ECodePageError("code page not available: " + std::string(pageName));
    for (unsigned b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        unsigned char outBytes[8] = {};
        char *inPtr = &in;
        size_t inLeft = 1;
        char *outPtr = reinterpret_cast<char *>(outBytes);
        size_t outLeft = sizeof outBytes;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        char32_t cp = Replacement;
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && outLeft == 4)
            cp = static_cast<char32_t>(outBytes[0] | (outBytes[1] << 8) | (outBytes[2] << 16) | (outBytes[3] << 24));
        table.ToUnicode[b] = cp;
        if (cp != Replacement)
            table.FromUnicode.emplace(cp, static_cast<uint8_t>(b));
    }
    iconv_close(cd);
    return table;
}

const TCodePageTable &TableOf(uint8_t charset)
{
    static std::mutex mutex;
    static std::map<std::string_view, TCodePageTable> tables;
    std::string_view name = CodePageOfCharset(charset);
    std::lock_guard lock(mutex);
    auto it = tables.find(name);
    if (it == tables.end())
        it = tables.emplace(name, BuildTable(name)).first;
    return it->second;
}

// Next code point of UTF-8 text, or nothing for a malformed sequence.
bool NextCodePoint(std::string_view text, std::size_t &pos, char32_t &cp)
{
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || pos + length > text.size())
        return false;
    cp = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    static constexpr char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    pos += length;
    return true;
}

} // namespace

std::string_view CodePageOfCharset(uint8_t charset)
{
    switch (charset) {
    case 238:
        return "WINDOWS-1250";
    case 204:
        return "WINDOWS-1251";
    case 186:
        return "WINDOWS-1257";
    case 162:
        return "WINDOWS-1254";
    case 222:
        return "WINDOWS-874";
    default:
        return "WINDOWS-1252";
    }
}

std::string DecodeCodePage(std::string_view bytes, uint8_t charset)
{
    const auto &table = TableOf(charset);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char c : bytes)
        AppendUtf8(out, table.ToUnicode[static_cast<unsigned char>(c)]);
    return out;
}

std::string EncodeCodePage(std::string_view utf8, uint8_t charset)
{
    const auto &table = TableOf(charset);
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t start = pos;
        char32_t cp = 0;
        if (!NextCodePoint(utf8, pos, cp))
            throw ECodePageError("malformed UTF-8 at byte " + std::to_string(start));
        auto it = table.FromUnicode.find(cp);
        if (it == table.FromUnicode.end())
            throw ECodePageError("character at byte " + std::to_string(start) + " has no place in " +
                                 std::string(CodePageOfCharset(charset)));
        out += static_cast<char>(it->second);
    }
    return out;
}

} // namespace lumex
