#include "legacy/NorviStartRules.h"

#include "profile/ProgramProfile.h"

#include <algorithm>
#include <cctype>

namespace lumex {

namespace {

constexpr int kMinWidth = 800;
constexpr int kMinHeight = 600;

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

bool ScreenTooSmall(const std::vector<std::string> &args, int width, int height)
{
    if (!args.empty() && Upper(args.front()) == "/W")
        return false;
    return width < kMinWidth || height < kMinHeight;
}

std::string ScreenTooSmallText(const std::string &languageCode)
{
    if (languageCode == "PL")
        return "Za mała rozdzielczość ekranu (Min: 800x600).";
    return "Screen resolution to low (Min: 800x600).";
}

std::string LanguageFromSettings(const TLanguageScheme &scheme, const std::string &value)
{
    return scheme.IsKnownCode(value) ? value : scheme.DefaultCode;
}

} // namespace lumex
