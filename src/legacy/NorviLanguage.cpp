#include "legacy/NorviLanguage.h"

#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/LangManager.h"
#include "profile/ProgramProfile.h"

namespace lumex {

void SetUpNorviSettings(TLM &lm, TAppConfig &config, TComMultiPort *port, const TAppFolders &folders)
{
    const TProgramProfile &profile = NorviProfile();
    TAppFolders beside = folders;
    // Everything lies beside the program: no per-user folders.
    beside.LocalAppData.clear();
    beside.Personal.clear();
    if (!beside.ProgramFolder.empty() && beside.ProgramFolder.back() != '/')
        beside.ProgramFolder += '/';
    lm.UseScheme(profile.Languages, beside.ProgramFolder);
    lm.SetLanguageCode(profile.Languages.DefaultCode);
    config.DefaultLanguage = profile.Languages.DefaultCode;
    config.SetLanguageManager(&lm);
    config.InitPaths(port, beside);
    config.LoadSettings();
}

bool SwitchLanguage(TLM &lm, TAppConfig &config, const std::string &code)
{
    const std::string inForce = lm.LanguageCode();
    if (!lm.LoadLanguage(code)) {
        lm.LoadLanguage(inForce);
        return false;
    }
    config.SaveSettings();
    return true;
}

} // namespace lumex
