// Finding the controller: selecting a port, searching all ports with a
// cancel, and the states the search reports. Runs on the device thread.
#pragma once

#include "mainwindow/BootIdentify.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

class TAppConfig;
class TDataManager;
class TTickHooks;

enum class TSearchOutcome
{
    Busy,             // a search was already running
    AlreadyConnected, // a device was identified before the search
    Connected,        // a controller answered on a port
    Bootloader,       // a firmware bootloader answered instead
    NotFound,
    Cancelled
};

struct TSearchResult
{
    TSearchOutcome Outcome = TSearchOutcome::NotFound;
    int PortNumber = 0;
    TBootInfo Boot; // for Bootloader
    // Ports the system would not let this user open (EACCES): the user is
    // not in the serial ports' group.
    std::vector<std::string> DeniedPorts;
};

// The message of a refused port: the first "%s" of the language's text
// becomes the port names, the second the user's login name; nothing else
// of the text is read as a format.
std::string PortPermissionMessage(std::string_view text, const std::vector<std::string> &ports,
                                  const std::string &user);
// The login name of the user running the program ("$USER" when unknown).
std::string LoginName();

// What the search is doing, in numbers and names only: the window words it
// in its language, so the device thread never reads the language texts the
// window may be reloading.
struct TSearchStatus
{
    enum class TStep
    {
        TryingPort, // PortName is about to be tried
        Connected   // a controller answers on PortNumber
    };
    TStep Step = TStep::TryingPort;
    std::string PortName;
    int PortNumber = 0;

    bool operator==(const TSearchStatus &) const = default;
};

struct TSearchCallbacks
{
    std::function<void(const TSearchStatus &)> Status;
    std::function<bool()> Cancelled;
    std::function<void(int ms)> Pause;
};

// The wait window's line for a search status: the port's name, or
// "strDevConnectPort COM n" (">>> COM n" while the key has no text).
// `messageText` looks a key up in the language in force.
std::string SearchStatusText(const TSearchStatus &status,
                             const std::function<std::string(std::string_view key)> &messageText);

class TConnectionWorkflow
{
public:
    TConnectionWorkflow(TDataManager &manager, TAppConfig *config, TTickHooks &hooks, TBootInfo &boot);

    bool ConnectBusy() const { return busy_; }

    // The port number now in use (the settings' when there are settings).
    int PortNumber() const;
    // Makes n the port of the settings, opens it and connects through one
    // poll cycle; errors of the port are swallowed.
    void SelectPort(int n);
    // Tries each named port in order until a controller answers.
    TSearchResult SearchPorts(const std::vector<std::string> &portNames, const TSearchCallbacks &callbacks);

private:
    void SetPort(int n, bool open);

    TDataManager &manager_;
    TAppConfig *config_;
    TTickHooks &hooks_;
    TBootInfo &boot_;
    bool busy_ = false;
};

// The port number of a "COM n" name that a port component can open:
// 1..255, nothing otherwise.
std::optional<int> UsablePortNumber(const std::string &name);

} // namespace lumex
