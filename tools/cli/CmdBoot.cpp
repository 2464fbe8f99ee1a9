// lumex2-cli boot info: asks a device that sits in its bootloader who it is.
#include "CliContext.h"
#include "PortOption.h"

#include "serial/ComMultiPort.h"
#include "upgrade/Bootloader40DataManager.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp = "usage: lumex2-cli --port N|PATH boot info\n"
                              "Identifies the bootloader on the line and prints its version, device family and\n"
                              "status. Exit 1 when no bootloader answers.\n";

} // namespace

int RunBoot(CliContext &ctx)
{
    if (ctx.args.size() != 1 || ctx.args[0] != "info") {
        const bool help = !ctx.args.empty() && (ctx.args[0] == "--help" || ctx.args[0] == "-h");
        (help ? *ctx.out : *ctx.err) << kHelp;
        return help ? kExitOk : kExitUsage;
    }
    int status = kExitOk;
    auto port = OpenPort(ctx, status);
    if (!port)
        return status;
    lumex::TBootloader40Manager boot;
    boot.SetPort(port.get());
    const bool ok = boot.IdentifyBootloader();
    const lumex::TBootInfo &info = boot.Info();
    if (!info.Found()) {
        *ctx.err << "lumex2-cli: no bootloader answers\n";
        return kExitDevice;
    }
    const std::string family = boot.FamilyName();
    *ctx.out << "Bootloader:      " << lumex::BootVersionText(info) << "\n";
    *ctx.out << "Family:          " << int{info.BootFamily} << (family.empty() ? "" : " (" + family + ")") << "\n";
    *ctx.out << "Status:          " << int{info.BootStatus} << "\n";
    if (!ok) {
        *ctx.err << "lumex2-cli: the bootloader did not answer every query\n";
        return kExitDevice;
    }
    return kExitOk;
}

} // namespace cli
