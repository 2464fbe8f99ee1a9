#include "OptionArgs.h"

#include "documents/AppConfig.h"
#include "documents/AppFolders.h"

#include <algorithm>

namespace cli {

bool TakeFlag(std::vector<std::string> &args, const std::string &flag)
{
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end())
        return false;
    args.erase(it);
    return true;
}

std::optional<std::string> TakeValue(std::vector<std::string> &args, const std::string &option)
{
    const auto it = std::find(args.begin(), args.end(), option);
    if (it == args.end() || it + 1 == args.end())
        return std::nullopt;
    std::string value = *(it + 1);
    args.erase(it, it + 2);
    return value;
}

std::string DefaultDataFolder()
{
    const lumex::TAppConfig defaults;
    const auto folders = lumex::TAppFolders::FromEnvironment(defaults.ProductName);
    const std::string base = folders.Personal.empty() ? std::string(".") : folders.Personal;
    return base + "/" + defaults.ProductName + " Data";
}

} // namespace cli
