#include "mainwindow/ConnectionWorkflow.h"

#include "controller/DataManager.h"
#include "documents/AppConfig.h"
#include "documents/MessageKeys.h"
#include "mainwindow/TickHooks.h"
#include "serial/ComMultiPort.h"
#include "serial/PortMap.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <pwd.h>
#include <unistd.h>

namespace lumex {

namespace {

// Clears the busy flag on every way out of the search.
class TBusyScope
{
public:
    explicit TBusyScope(bool &flag) : flag_(flag) { flag_ = true; }
    ~TBusyScope() { flag_ = false; }
    TBusyScope(const TBusyScope &) = delete;
    TBusyScope &operator=(const TBusyScope &) = delete;

private:
    bool &flag_;
};

} // namespace

std::string SearchStatusText(const TSearchStatus &status,
                             const std::function<std::string(std::string_view key)> &messageText)
{
    if (status.Step == TSearchStatus::TStep::TryingPort)
        return status.PortName;
    const std::string text = messageText ? messageText(msg::strDevConnectPort) : std::string();
    const std::string port = "COM" + std::to_string(status.PortNumber);
    if (text.empty() || text[0] == '!')
        return ">>> " + port;
    return text + " " + port;
}

std::optional<int> UsablePortNumber(const std::string &name)
{
    if (name.size() <= 3)
        return std::nullopt;
    long value = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (!std::isdigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kMaxPortNumber)
            return std::nullopt;
    }
    if (value < kMinPortNumber)
        return std::nullopt;
    return static_cast<int>(value);
}

TConnectionWorkflow::TConnectionWorkflow(TDataManager &manager, TAppConfig *config, TTickHooks &hooks, TBootInfo &boot)
    : manager_(manager), config_(config), hooks_(hooks), boot_(boot)
{
}

int TConnectionWorkflow::PortNumber() const
{
    return config_ ? config_->PortNumber() : manager_.Port().ComDevice();
}

void TConnectionWorkflow::SetPort(int n, bool open)
{
    if (config_) {
        config_->SetPortNumber(n, open);
        return;
    }
    TComMultiPort &port = manager_.Port();
    try {
        const bool wasOpen = port.IsOpen();
        port.SetComDevice(static_cast<uint8_t>(n));
        if (open || wasOpen)
            port.Open();
    } catch (const EComPortError &) {
        // A port that will not open is a missing device; the poll cycle says so.
    }
}

void TConnectionWorkflow::SelectPort(int n)
{
    manager_.Data().VersionCode = 0;
    manager_.SetLinkUp(false);
    boot_.Clear();
    hooks_.DeactivateModules();
    SetPort(n, true);
    manager_.PollCycle(0);
    hooks_.RestartModules(n);
}

TSearchResult TConnectionWorkflow::SearchPorts(const std::vector<std::string> &portNames,
                                               const TSearchCallbacks &callbacks)
{
    TSearchResult result;
    if (busy_) {
        result.Outcome = TSearchOutcome::Busy;
        return result;
    }
    const TBusyScope busy(busy_);
    auto status = [&](TSearchStatus::TStep step, const std::string &name, int number) {
        if (callbacks.Status)
            callbacks.Status({step, name, number});
    };
    if (manager_.Data().VersionCode != 0) {
        result.Outcome = TSearchOutcome::AlreadyConnected;
        result.PortNumber = PortNumber();
        status(TSearchStatus::TStep::Connected, {}, result.PortNumber);
        if (callbacks.Pause)
            callbacks.Pause(500);
        return result;
    }
    const int previous = PortNumber();
    for (const std::string &name : portNames) {
        status(TSearchStatus::TStep::TryingPort, name, 0);
        if (callbacks.Cancelled && callbacks.Cancelled()) {
            result.Outcome = TSearchOutcome::Cancelled;
            SetPort(previous, false);
            return result;
        }
        const std::optional<int> number = UsablePortNumber(name);
        if (!number)
            continue;
        SelectPort(*number);
        if (manager_.Port().LastOpenError() == EACCES)
            result.DeniedPorts.push_back(name);
        if (manager_.Data().VersionCode != 0) {
            result.Outcome = TSearchOutcome::Connected;
            result.PortNumber = *number;
            status(TSearchStatus::TStep::Connected, {}, *number);
            return result;
        }
        if (IdentifyBootloader(manager_.Port(), boot_)) {
            result.Outcome = TSearchOutcome::Bootloader;
            result.PortNumber = *number;
            result.Boot = boot_;
            return result;
        }
    }
    // Nothing answered: the port in use before the search stays the port.
    result.Outcome = TSearchOutcome::NotFound;
    SetPort(previous, false);
    return result;
}

std::string PortPermissionMessage(std::string_view text, const std::vector<std::string> &ports, const std::string &user)
{
    std::string names;
    for (const std::string &port : ports)
        names += (names.empty() ? "" : ", ") + port;
    const std::string values[] = {names, user};
    std::string out;
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's' && used < std::size(values)) {
            out += values[used++];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string LoginName()
{
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_name && *entry->pw_name)
        return entry->pw_name;
    const char *user = std::getenv("USER");
    return user && *user ? std::string(user) : std::string("$USER");
}

} // namespace lumex
