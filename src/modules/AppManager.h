// The module manager: the registered modules, the device aggregate, the
// enabled poll groups and whether the adapter answers. Detection and the
// work step run on the device thread inside the main polling tick, after
// the controller's own poll step, and only while the controller link is up.
#pragma once

#include "modules/DataState.h"

#include <bitset>
#include <functional>
#include <vector>

namespace lumex {

class TBaseModule;
class TComMultiPort;
class TUIState;

enum class TPollGroup : std::size_t
{
    ObdStatus = 13,
    ObdLiveData = 14,
    ObdTroubleCodes = 15
};

class TManager
{
public:
    using TPollSet = std::bitset<32>;

    explicit TManager(TComMultiPort &port);

    TComMultiPort &Port() const { return port_; }
    TDeviceState &DevState() { return devState_; }
    const std::vector<TBaseModule *> &Modules() const { return modules_; }

    TPollSet PollSet;
    bool InPollSet(TPollGroup g) const { return PollSet.test(static_cast<std::size_t>(g)); }
    void SetPollGroup(TPollGroup g, bool on) { PollSet.set(static_cast<std::size_t>(g), on); }

    // Whether the controller's last answer was valid; set by the owner.
    std::function<bool()> ControllerLink;
    bool ControllerLinkUp() const { return ControllerLink && ControllerLink(); }

    bool Active() const { return active_; }
    void SetActive(bool value) { active_ = value; }
    bool IsActive() const { return active_ && ControllerLinkUp(); }
    // True once after a completed detection pass.
    bool TakeModulesDetected();

    void AddModule(TBaseModule &module);
    void PublishVariables(TUIState &uiState);
    // AfterCopy on every module's edited state, in module order.
    void RefreshModules();
    void DetectAll();
    // DetectAll; an exception clears Active and is not passed on.
    void DetectModules();
    // Every module's step, in creation order, while the adapter answers.
    void TimerThreadWorkStep();
    // The tick's share: live data is polled exactly while the car link is
    // up (group 14 follows it, active or not), then the modules' steps.
    void TickStep();

    // The OBD module's car link, when it is plugged in.
    std::function<bool()> CarLinkUp;

private:
    TComMultiPort &port_;
    TDeviceState devState_;
    std::vector<TBaseModule *> modules_;
    bool active_ = false;
    bool modulesDetected_ = false;
};

} // namespace lumex
