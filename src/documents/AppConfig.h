// The application settings: where the settings file and the data folder lie,
// the port number and the language kept in the settings file.
#pragma once

#include "documents/AppFolders.h"
#include "documents/ErrorReport.h"

#include <string>

namespace lumex {

class TComMultiPort;
class TLM;

class TAppConfig
{
public:
    static constexpr char Section[] = "Settings";
    static constexpr char PortKey[] = "ComMultiPort";
    static constexpr char LanguageKey[] = "Language";

    TAppConfig();

    // Stores the port and computes the folders; creates the data folder
    // (one level) when it is missing.
    void InitPaths(TComMultiPort *port);
    void InitPaths(TComMultiPort *port, const TAppFolders &folders);

    // Reads the port number and the language code (without loading it),
    // after removing the temporaries a killed save of the file left.
    void LoadSettings();
    // Writes the port number and the language in force, keeping every other
    // key of the file. False, after reporting it, when the file is read-only
    // or cannot be created; the old file is then left untouched.
    bool SaveSettings();

    // n below 2 (or no port number at all) becomes 1; reopens the port when
    // `open` is set or it was open; errors on the way are swallowed.
    void SetPortNumber(long long n, bool open);
    int PortNumber() const;

    TComMultiPort *Port() const { return port_; }
    const std::string &SettingsFolder() const { return settingsFolder_; }
    const std::string &SettingsFile() const { return settingsFile_; }
    const std::string &DataFolder() const { return dataFolder_; }
    void SetDataFolder(const std::string &folder) { dataFolder_ = folder; }

    // Used when the settings file names no (known) language; the product
    // profile sets it.
    std::string DefaultLanguage = "EN";
    // Names the per-user folders ("Lumex2" and "Lumex2 Data").
    std::string ProductName;

    // The language manager whose code is read and saved; the process-wide one
    // when none is set.
    void SetLanguageManager(TLM *lm) { lm_ = lm; }
    // The language code the last LoadSettings found.
    const std::string &Language() const { return language_; }

    // Receives "Cannot create INI file" and "INI file read only" (caption
    // "Error!").
    TErrorHandler OnError = PrintErrorToStderr;

private:
    TLM *LanguageManager() const;
    std::string FallbackLanguage() const;

    TComMultiPort *port_ = nullptr;
    TLM *lm_ = nullptr;
    std::string settingsFolder_;
    std::string settingsFile_;
    std::string dataFolder_;
    std::string language_;
    int fallbackPort_ = 1; // the port number while no port object is bound
};

// The settings file name of a program file: its extension replaced by "INI",
// or ".INI" added when it has none ("Lumex2" -> "Lumex2.INI").
std::string SettingsFileNameOf(const std::string &programFile);

} // namespace lumex
