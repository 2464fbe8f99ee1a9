// The sixteen languages the program knows, in their fixed index order. The
// index is also the bit in the product profile's offered-language set and
// selects the language menu item.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumex {

struct TLanguageInfo
{
    std::string_view Code;
    uint8_t Charset; // font character-set identifier of the translated controls
    std::string_view MenuItem;
    std::string_view Caption; // menu caption as the window defines it
};

inline constexpr std::size_t LanguageCount = 16;

const std::array<TLanguageInfo, LanguageCount> &Languages();

// The code of language `index`; an index past the table leaves `current` as it is.
std::string LanguageCodeOf(unsigned index, const std::string &current);
// The character set of a language code; unknown codes give 0.
uint8_t CharsetOf(std::string_view code);
// Index of an exactly matching code.
std::optional<unsigned> LanguageIndexOf(std::string_view code);
bool IsKnownLanguageCode(std::string_view code);

// Character set of a catalogue language: the part before the first "_"
// compared exactly with the catalogue's own lower-case table.
uint8_t CatalogueCharsetOf(std::string_view catalogueLanguage);

} // namespace lumex
