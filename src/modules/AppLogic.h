// The logic of the module framework: the edited aggregate, one protocol
// object per module, the modules' start-up and reset, and bracketing of
// device operations. Later modules (OBD, AIO) plug in through the module
// factories given to the constructor; they are created after the adapter,
// with the adapter as their parent.
#pragma once

#include "adapter/AdapterModule.h"
#include "modules/AdapterProtocol.h"
#include "modules/AppManager.h"

#include <functional>
#include <memory>
#include <vector>

namespace lumex {

class TLogic;

// Makes one sub-module on its own protocol object.
using TModuleFactory =
    std::function<std::unique_ptr<TBaseModule>(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter)>;

class TLogic
{
public:
    TLogic(TManager &manager, std::vector<TModuleFactory> subModules = {});
    ~TLogic();
    TLogic(const TLogic &) = delete;
    TLogic &operator=(const TLogic &) = delete;

    TManager &Manager() { return manager_; }
    TUIState &UIState() { return uiState_; }
    TModuleAdapter &Adapter() { return *adapter_; }
    TLogicAdapter &AdapterLogic() { return adapter_->Logic(); }
    const std::vector<std::unique_ptr<TBaseModule>> &SubModules() const { return subModules_; }

    // Clear, write the cleared state back, detect, copy what was found.
    void ResetModules();
    // Device operations bracket their exchanges; nested calls count.
    void BeginDeviceOperation() { ++deviceOperations_; }
    void EndDeviceOperation()
    {
        if (deviceOperations_ > 0)
            --deviceOperations_;
    }
    bool InDeviceOperation() const { return deviceOperations_ > 0; }

    // Writers of the parameter sections to the device, run after a file was
    // loaded (the OBD and AIO modules register theirs). Each returns false
    // when a frame failed.
    std::vector<std::function<bool()>> ConfigurationWriters;

private:
    TManager &manager_;
    TUIState uiState_;
    std::vector<std::unique_ptr<TAdapterProtocol>> protocols_;
    std::unique_ptr<TModuleAdapter> adapter_;
    std::vector<std::unique_ptr<TBaseModule>> subModules_;
    int deviceOperations_ = 0;
};

} // namespace lumex
