#include "Commands.h"

#include <array>

namespace cli {

// Declared here, defined in Cmd<Name>.cpp.
int RunPorts(CliContext &ctx);
int RunRaw(CliContext &ctx);

std::span<const CommandEntry> Commands()
{
    static const auto kCommands = std::to_array<CommandEntry>({
        {"ports", "ports                     list serial ports: COMn, friendly name, device path", RunPorts},
        {"raw", "raw [--expect N] HEX...   send bytes as given, print N answer bytes in hex", RunRaw},
    });
    return kCommands;
}

} // namespace cli
