// Options taken out of a command's argument list, and the data folder the
// window uses, so the commands that write backups put them where it does.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

// True when `flag` was among `args`; it is removed.
bool TakeFlag(std::vector<std::string> &args, const std::string &flag);
// The word after `option`, both removed; nothing when absent or last.
std::optional<std::string> TakeValue(std::vector<std::string> &args, const std::string &option);

// "<personal folder>/<product> Data", or "./<product> Data" without one.
std::string DefaultDataFolder();

} // namespace cli
