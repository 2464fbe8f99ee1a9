// Finding the controller: selecting a port, searching all ports with a
// cancel, and the texts the search shows. Runs on the device thread.
#pragma once

#include "mainwindow/BootIdentify.h"

#include <functional>
#include <optional>
#include <string>
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
};

struct TSearchCallbacks
{
    std::function<void(const std::string &)> Status;
    std::function<bool()> Cancelled;
    std::function<void(int ms)> Pause;
};

// "strDevConnectPort COM n", or ">>> COM n" while the key has no text.
std::string ConnectedPortText(int portNumber);

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
