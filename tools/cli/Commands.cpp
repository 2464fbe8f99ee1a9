#include "Commands.h"

#include <array>

namespace cli {

// Declared here, defined in Cmd<Name>.cpp.
int RunPorts(CliContext &ctx);
int RunRaw(CliContext &ctx);
int RunIdentify(CliContext &ctx);
int RunPoll(CliContext &ctx);

std::span<const CommandEntry> Commands()
{
    static const auto kCommands = std::to_array<CommandEntry>({
        {"ports", "ports                     list serial ports: COMn, friendly name, device path", RunPorts},
        {"raw", "raw [--expect N] HEX...   send bytes as given, print N answer bytes in hex", RunRaw},
        {"identify", "identify                  connect and print the controller's identification", RunIdentify},
        {"poll", "poll [--cycles N] ...     connect and print live readings of N poll cycles", RunPoll},
    });
    return kCommands;
}

} // namespace cli
