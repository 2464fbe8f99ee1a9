// The legacy program's language and settings: its settings file beside the
// program, its "lang" folder, and a change of language from the menu.
#pragma once

#include <string>

namespace lumex {

class TAppConfig;
class TComMultiPort;
class TLM;
struct TAppFolders;

// Points the manager at the program's "lang" folder and codes, and the
// settings at "<program>.INI" and "Data/" beside the program; then reads the
// port and language from the settings file (the language is not loaded).
void SetUpNorviSettings(TLM &lm, TAppConfig &config, TComMultiPort *port, const TAppFolders &folders);

// Loads `code` and, when it loaded, saves it in the settings. A file that
// is missing or broken has been reported by the manager; the language in
// force is then applied again so no window is left half translated.
bool SwitchLanguage(TLM &lm, TAppConfig &config, const std::string &code);

} // namespace lumex
