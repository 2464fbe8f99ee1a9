#include "CliLanguage.h"

#include "SavedSettings.h"

#include "documents/Languages.h"

#include <algorithm>

namespace cli {

std::optional<std::string> TakeLanguageOption(std::vector<std::string> &args)
{
    const auto it = std::find(args.begin(), args.end(), "--lang");
    if (it == args.end())
        return std::nullopt;
    std::string code;
    auto last = it + 1;
    if (last != args.end())
        code = *last++;
    args.erase(it, last);
    return code;
}

std::string SettingsLanguage()
{
    return ReadSavedSettings().language;
}

bool LoadCliLanguage(lumex::TLM &lm, const std::string &code, std::string &error)
{
    if (!lumex::IsKnownLanguageCode(code)) {
        error = "unknown language \"" + code + "\"";
        return false;
    }
    lm.OnError = [&error](const std::string &, const std::string &text) { error = text; };
    if (!lm.LoadLanguage(code)) {
        if (error.empty())
            error = "the language file of " + code + " cannot be loaded";
        return false;
    }
    lm.SetLanguageCode(code);
    return true;
}

} // namespace cli
