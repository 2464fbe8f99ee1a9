#include "PortOption.h"

#include <ostream>

namespace cli {

bool ParsePortSpec(const std::string &text, PortSpec &spec, std::string &error)
{
    spec = {};
    if (text.empty()) {
        error = "this command needs --port N|PATH";
        return false;
    }
    if (text.find_first_not_of("0123456789") != std::string::npos) {
        spec.path = text;
        return true;
    }
    if (text.size() > 3 || std::stoi(text) < 1 || std::stoi(text) > 255) {
        error = "port number must be 1 to 255: " + text;
        return false;
    }
    spec.number = std::stoi(text);
    return true;
}

std::unique_ptr<lumex::TComMultiPort> OpenPort(const CliContext &ctx, int &exitCode)
{
    PortSpec spec;
    std::string error;
    if (!ParsePortSpec(ctx.port, spec, error)) {
        exitCode = UsageError(ctx, error);
        return nullptr;
    }
    auto port = std::make_unique<lumex::TComMultiPort>();
    port->ApplyControllerSettings();
    if (spec.number != 0)
        port->SetComDevice(static_cast<uint8_t>(spec.number));
    else
        port->SetDevicePath(spec.path);
    try {
        port->Open();
    } catch (const lumex::EComPortError &e) {
        *ctx.err << e.what() << "\n";
        exitCode = kExitDevice;
        return nullptr;
    }
    exitCode = kExitOk;
    return port;
}

} // namespace cli
