// lumex2-cli firmware check: the checks an upgrade runs on a firmware file
// before it touches the device.
#include "CliContext.h"

#include "upgrade/FirmwareFile.h"

#include <ostream>

namespace cli {

namespace {

constexpr const char *kHelp = "usage: lumex2-cli firmware check FILE [--adapter]\n"
                              "Checks a firmware file with the controller's (or the adapter's) trailer and prints\n"
                              "its description and image size, or why it is refused (exit 1).\n";

} // namespace

int RunFirmware(CliContext &ctx)
{
    const auto &a = ctx.args;
    if (!a.empty() && (a[0] == "--help" || a[0] == "-h")) {
        *ctx.out << kHelp;
        return kExitOk;
    }
    const bool adapter = a.size() == 3 && a[2] == "--adapter";
    if (a.size() < 2 || a[0] != "check" || (a.size() == 3 && !adapter) || a.size() > 3) {
        *ctx.err << kHelp;
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    std::string message;
    if (!lumex::LoadFirmwareFile(a[1], bytes, message)) {
        *ctx.err << message << "\n";
        return kExitDevice;
    }
    const lumex::TFirmwareCheck check = lumex::CheckFirmwareImage(bytes, lumex::ProfileFor(adapter));
    if (!check.ok) {
        // The message's line breaks are for a message box; a terminal wants "\n".
        std::string text;
        for (const char c : check.message)
            if (c != '\r')
                text += c;
        *ctx.err << text << "\n";
        return kExitDevice;
    }
    *ctx.out << "File:            " << check.description << "\n";
    *ctx.out << "Image:           " << check.imageSize << " bytes\n";
    return kExitOk;
}

} // namespace cli
