// Making language files and OBD code lists from UTF-8 source texts, and
// reading them back: the code page of the language, CR LF line ends, the
// program's version on the first line of a language file, scrambled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumex {

// The language code a resource name implies: "_CZ.lng" and "_CZ.txt" give
// "CZ", "OBD-Codes-en_GB.lng" gives "en_GB"; other names give nothing.
std::optional<std::string> LanguageCodeOfResourceName(std::string_view fileName);
// True for a language file name ("_" + code + extension).
bool IsLanguageFileName(std::string_view fileName);

// UTF-8 source to stored bytes. With `fileVersion`, line 1 becomes
// "FileVersion=" + version (replacing a version line the source has).
// Throws ECodePageError naming the line of a character the page lacks.
std::string PackLanguageText(std::string_view utf8, uint8_t charset, const std::optional<std::string> &fileVersion);

// Stored bytes back to UTF-8 text with LF line ends.
std::string UnpackLanguageFile(std::string bytes, uint8_t charset);

} // namespace lumex
