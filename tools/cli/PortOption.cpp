#include "PortOption.h"

#include "SavedSettings.h"

#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/ConnectionWorkflow.h"
#include "serial/PortMap.h"

#include <cerrno>
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

bool ResolvePortChoice(const CliContext &ctx, PortChoice &choice, std::string &error)
{
    if (!ctx.port.empty())
        return ParsePortChoice(ctx.port, choice, error);
    // Without a saved choice there is no port the user picked: guessing one
    // could send frames into some other device on the machine.
    const SavedSettings saved = ReadSavedSettings();
    if (!saved.port) {
        error = "no --port given and the program has no saved port" +
                (saved.file.empty() ? std::string() : " in " + saved.file) + "; give --port N|PATH";
        return false;
    }
    choice = {};
    choice.number = *saved.port;
    *ctx.err << "lumex2-cli: no --port given; using COM" << choice.number << ", saved in " << saved.file << "\n";
    return true;
}

std::unique_ptr<lumex::TComMultiPort> OpenPort(const CliContext &ctx, int &exitCode)
{
    PortChoice choice;
    std::string error;
    if (!ResolvePortChoice(ctx, choice, error)) {
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
        ReportPermissionHint(ctx, e, port->DeviceName());
        exitCode = kExitDevice;
        return nullptr;
    }
    exitCode = kExitOk;
    return port;
}

void ReportPermissionHint(const CliContext &ctx, const lumex::EComPortError &error, const std::string &port)
{
    if (error.Code() != EACCES)
        return;
    std::string text = lumex::MessageText(lumex::msg::strPortPermission);
    if (text.starts_with("!"))
        text = "Access to the serial port %s was refused. Add your account to the dialout group "
               "(sudo usermod -aG dialout %s), log out and in again.";
    *ctx.err << "lumex2-cli: " << lumex::PortPermissionMessage(text, {port}, lumex::LoginName()) << "\n";
}

} // namespace cli
