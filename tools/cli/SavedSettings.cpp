#include "SavedSettings.h"

#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/IniFile.h"
#include "documents/Languages.h"
#include "serial/PortMap.h"

namespace cli {

SavedSettings ReadSavedSettings()
{
    const lumex::TAppConfig defaults;
    SavedSettings saved;
    saved.language = defaults.DefaultLanguage;
    const auto folders = lumex::TAppFolders::FromEnvironment(defaults.ProductName);
    if (folders.LocalAppData.empty())
        return saved;
    saved.file = folders.LocalAppData + "/" + lumex::SettingsFileNameOf(defaults.ProductName);
    lumex::TIniFile ini;
    try {
        ini = lumex::TIniFile::Load(saved.file);
    } catch (const lumex::EIniFileError &) {
        return saved;
    }
    saved.found = true;
    using lumex::TAppConfig;
    const std::string code = ini.ReadString(TAppConfig::Section, TAppConfig::LanguageKey, defaults.DefaultLanguage);
    if (lumex::IsKnownLanguageCode(code))
        saved.language = code;
    // The window stores its port as a number; anything else names no port.
    const long long port = ini.ReadInteger(TAppConfig::Section, TAppConfig::PortKey, 0);
    if (port >= lumex::kMinPortNumber && port <= lumex::kMaxPortNumber)
        saved.port = static_cast<int>(port);
    return saved;
}

} // namespace cli
