#include "modules/BaseModule.h"

#include "modules/AdapterProtocol.h"
#include "modules/AppManager.h"
#include "serial/ComMultiPort.h"

#include <stdexcept>
#include <vector>

namespace lumex {

TBaseModule::TBaseModule(TManager &manager, TBaseProtocol *protocol) : manager_(manager)
{
    SetProtocol(protocol);
    manager.AddModule(*this);
}

TBaseModule::~TBaseModule()
{
    if (protocol_ != nullptr && protocol_->BoundTo == this) {
        protocol_->SetDeviceCompatible = nullptr;
        protocol_->BoundTo = nullptr;
    }
}

void TBaseModule::SetProtocol(TBaseProtocol *protocol)
{
    if (protocol == nullptr)
        return;
    if (protocol->SetDeviceCompatible && protocol->BoundTo != this)
        throw std::logic_error("Unable to use a protocol with initialized SetDeviceCompatible (protocol used in "
                               "another module)");
    protocol_ = protocol;
    protocol->BoundTo = this;
    protocol->SetDeviceCompatible = [this](bool ok) { SetDeviceCompatible(ok); };
}

bool TBaseModule::IsConnected() const
{
    if (ParentModule == nullptr)
        return manager_.IsActive() && deviceCompatible_;
    return ParentModule->IsConnected() && deviceCompatible_;
}

void TBaseModule::SetDeviceCompatible(bool value)
{
    if (value == deviceCompatible_)
        return;
    deviceCompatible_ = value;
    if (ParentModule == nullptr && !IsSubModule)
        manager_.SetActive(value);
}

bool TBaseModule::CheckAnswer(bool ok, bool isErrorAnswer)
{
    if (!ok && !manager_.Active()) {
        TComMultiPort &port = manager_.Port();
        try {
            port.Close();
        } catch (...) {
            // Reopening is a recovery attempt; a failure leaves the next
            // exchange to fail in its turn.
        }
        try {
            port.Open();
        } catch (...) {
        }
    }
    return !ok || isErrorAnswer;
}

bool TBaseModule::Exchange(std::span<const uint8_t> commandAndParams, std::span<uint8_t> answer)
{
    // The adapter speaks only while the controller does: with the
    // controller link down the line may belong to a search or an upgrade.
    if (protocol_ == nullptr || !manager_.ControllerLinkUp())
        return false;
    std::vector<uint8_t> body;
    body.reserve(commandAndParams.size() + 1);
    body.push_back(protocol_->Address);
    body.insert(body.end(), commandAndParams.begin(), commandAndParams.end());
    protocol_->Send(body);
    bool isErrorAnswer = false;
    const bool ok = protocol_->Receive(answer, isErrorAnswer);
    return !CheckAnswer(ok, isErrorAnswer);
}

} // namespace lumex
