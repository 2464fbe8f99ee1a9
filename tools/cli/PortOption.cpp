#include "PortOption.h"

#include <ostream>

namespace cli {

bool ParsePortChoice(const std::string &text, PortChoice &choice, std::string &error)
{
    choice = {};
    if (text.empty()) {
        error = "this command needs --port N|PATH";
        return false;
    }
    if (text.find_first_not_of("0123456789") != std::string::npos) {
        choice.path = text;
        return true;
    }
    if (text.size() > 3 || std::stoi(text) < 1 || std::stoi(text) > 255) {
        error = "port number must be 1 to 255: " + text;
        return false;
    }
    choice.number = std::stoi(text);
    return true;
}

std::unique_ptr<lumex::TComMultiPort> OpenPort(const CliContext &ctx, int &exitCode)
{
    PortChoice choice;
    std::string error;
    if (!ParsePortChoice(ctx.port, choice, error)) {
        exitCode = UsageError(ctx, error);
        return nullptr;
    }
    auto port = std::make_unique<lumex::TComMultiPort>();
    port->ApplyControllerSettings();
    if (choice.number != 0)
        port->SetComDevice(static_cast<uint8_t>(choice.number));
    else
        port->SetDevicePath(choice.path);
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
