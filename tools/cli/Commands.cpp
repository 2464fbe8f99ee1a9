#include "Commands.h"

#include <array>

namespace cli {

// Declared here, defined in Cmd<Name>.cpp.

std::span<const CommandEntry> Commands()
{
    static const std::array<CommandEntry, 0> kCommands{};
    return kCommands;
}

} // namespace cli
