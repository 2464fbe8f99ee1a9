// The legacy program's start-up rules that need no window: the screen-size
// check with its "/W" switch and the language a settings value may select.
#pragma once

#include <string>
#include <vector>

namespace lumex {

struct TLanguageScheme;

// True when the program must close: the first argument (upper-cased) is not
// "/W" and the screen is narrower than 800 or lower than 600 pixels.
bool ScreenTooSmall(const std::vector<std::string> &args, int width, int height);
// The message for it in the language in force.
std::string ScreenTooSmallText(const std::string &languageCode);

// The settings file's language when the program knows it, else the
// scheme's default: the value never reaches a path unchecked.
std::string LanguageFromSettings(const TLanguageScheme &scheme, const std::string &value);

} // namespace lumex
