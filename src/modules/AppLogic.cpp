#include "modules/AppLogic.h"

namespace lumex {

TLogic::TLogic(TManager &manager, std::vector<TModuleFactory> subModules) : manager_(manager)
{
    protocols_.push_back(std::make_unique<TAdapterProtocol>(manager.Port()));
    adapter_ = std::make_unique<TModuleAdapter>(manager, protocols_.back().get(), uiState_);
    for (const TModuleFactory &make : subModules) {
        protocols_.push_back(std::make_unique<TAdapterProtocol>(manager.Port()));
        std::unique_ptr<TBaseModule> m = make(*this, *protocols_.back(), *adapter_);
        m->ParentModule = adapter_.get();
        subModules_.push_back(std::move(m));
    }
    manager.PublishVariables(uiState_);
    uiState_.CreateLocalVariables();
    uiState_.OnAfterCopy = [this] { manager_.RefreshModules(); };
    uiState_.Link(manager.DevState());
    adapter_->UIAggregate = &uiState_;
}

TLogic::~TLogic() = default;

void TLogic::ResetModules()
{
    uiState_.ClearAll();
    uiState_.CopyToDevState({}, kCopyAll);
    manager_.DetectModules();
    uiState_.CopyFromDevState({}, kCopyAll);
}

} // namespace lumex
