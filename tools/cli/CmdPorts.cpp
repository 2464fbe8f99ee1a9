// lumex2-cli ports: the serial ports as the program offers them.
#include "CliContext.h"
#include "serial/ComSetupApi.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp = "usage: lumex2-cli ports\n"
                              "Lists the serial ports as the program offers them, one per line: the COM number\n"
                              "(kept in the port map across re-plugging), the friendly name and the device path.\n"
                              "No options.\n";

} // namespace

int RunPorts(CliContext &ctx)
{
    if (PrintHelpIfAsked(ctx, kHelp))
        return kExitOk;
    if (!ctx.args.empty())
        return UsageError(ctx, "ports takes no arguments");
    lumex::TPortEnumerator enumerator;
    for (const auto &p : enumerator.Enumerate())
        *ctx.out << p.Name << '\t' << p.FriendlyName << '\t' << p.DevicePath << '\n';
    // The list is still right for this run; only the numbers may not last.
    if (!enumerator.LastMapError().empty())
        *ctx.err << "lumex2-cli: port map: " << enumerator.LastMapError() << "\n";
    return kExitOk;
}

} // namespace cli
