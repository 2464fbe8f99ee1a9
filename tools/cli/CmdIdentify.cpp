// lumex2-cli identify: connects to the controller the way the program's poll
// cycle does after losing it, and prints who answered.
#include "CliContext.h"
#include "ConfigJson.h"
#include "LinkSession.h"

#include "controller/LockState.h"
#include "controller/Version.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp = "usage: lumex2-cli --port N|PATH [--json] identify\n"
                              "Opens the port, runs the reconnection sequence (version code, version check,\n"
                              "lock state, identification bytes) and prints the identification, the compile\n"
                              "stamp and the controller serial. Exit 1 when no supported controller answers.\n";

} // namespace

int RunIdentify(CliContext &ctx)
{
    if (const auto status = CheckNoArguments(ctx, "identify", kHelp))
        return *status;
    lumex::TControllerLink &link = lumex::Link();
    if (const int status = OpenLink(ctx, link); status != kExitOk)
        return status;
    link.Manager.ReadCompileInfo();
    const std::string serial = link.Manager.ControllerSerial();
    if (!link.Manager.LinkUp) {
        *ctx.err << "lumex2-cli: the controller stopped answering during identification\n";
        return kExitDevice;
    }

    nlohmann::json j = IdentificationJson(link, serial);
    // What the reconnection read after identifying: the configuration of the
    // generation, the model block and the trouble flags.
    j["Configuration"] = ConfigurationJson(link.Data);
    j["TroubleFlags"] = link.Data.TroubleFlags;
    j["TroubleCodesPresent"] = link.Manager.TroubleCodesPresent;
    if (ctx.json) {
        *ctx.out << JsonLine(j) << "\n";
        return kExitOk;
    }
    const lumex::TNorviData &d = link.Data;
    std::ostream &out = *ctx.out;
    out << "Controller:      " << lumex::VersionDigits(d.VersionCode) << " " << d.SoftwareLetter << "\n";
    out << "Version:         " << lumex::VersionString(d, true) << "\n";
    out << "Version (long):  " << lumex::VersionString(d, false) << "\n";
    out << "Variant:         " << lumex::VariantName(d.Variant, false) << " (" << int{d.Variant} << ")\n";
    out << "Compiled:        " << d.CompileDate << " " << d.CompileTime << "\n";
    out << "Serial:          " << serial << "\n";
    out << "Lock state:      " << lumex::LockStateName(d.LockState) << "\n";
    out << "Compatible:      " << (link.Manager.SoftwareCompatible ? "yes" : "no") << "\n";
    out << "Trouble codes:   " << (link.Manager.TroubleCodesPresent ? "present" : "none") << "\n";
    return kExitOk;
}

} // namespace cli
