// The language lumex2-cli shows texts in: "--lang CODE" when given,
// otherwise the language the program's settings file names.
#pragma once

#include "documents/LangManager.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// Takes "--lang CODE" out of `args`; nothing when absent, "" when CODE is missing.
std::optional<std::string> TakeLanguageOption(std::vector<std::string> &args);

// The language of the settings file (`[Settings] Language`), or "EN".
std::string SettingsLanguage();

// Loads `code` into `lm`; false with the message in `error` when it cannot.
bool LoadCliLanguage(lumex::TLM &lm, const std::string &code, std::string &error);

} // namespace cli
