// Single-byte Windows code pages of the language files, by font character
// set: 238 Central European, 204 Cyrillic, 186 Baltic, 162 Turkish, 222 Thai,
// anything else Western.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lumex {

class ECodePageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The iconv name of the code page of a character set ("WINDOWS-1250" ...).
std::string_view CodePageOfCharset(uint8_t charset);

// Single-byte text to UTF-8; a byte the code page leaves undefined becomes
// U+FFFD so that no input can fail.
std::string DecodeCodePage(std::string_view bytes, uint8_t charset);

// UTF-8 to single-byte text; throws ECodePageError for malformed UTF-8 or a
// character the code page cannot hold, naming its byte offset.
std::string EncodeCodePage(std::string_view utf8, uint8_t charset);

} // namespace lumex
