// A module is one function of the adapter as the PC sees it: its state
// pair, one protocol object, detection and one polling step. All its
// requests go through Exchange, the one guarded path.
#pragma once

#include <cstdint>
#include <span>

namespace lumex {

class TBaseDevState;
class TBaseProtocol;
class TManager;

class TBaseModule
{
public:
    TBaseModule(TManager &manager, TBaseProtocol *protocol);
    virtual ~TBaseModule();
    TBaseModule(const TBaseModule &) = delete;
    TBaseModule &operator=(const TBaseModule &) = delete;

    // Changes of DeviceCompatible do not reach the manager's Active flag.
    bool IsSubModule = false;
    TBaseModule *ParentModule = nullptr;

    TBaseProtocol *Protocol() const { return protocol_; }
    bool DeviceCompatible() const { return deviceCompatible_; }
    TManager &Manager() const { return manager_; }

    // Raises when the protocol already serves another module.
    void SetProtocol(TBaseProtocol *protocol);
    virtual bool IsConnected() const;
    virtual TBaseDevState &GetUIState() = 0;
    // True when the exchange failed. A failure while no adapter has
    // answered yet reopens the port (a USB converter may have stalled).
    bool CheckAnswer(bool ok, bool isErrorAnswer);
    virtual void Detect() = 0;
    virtual void SetDeviceCompatible(bool value);
    virtual void WorkStep() = 0;

    // One request (command and parameters after the address) and its
    // answer of answer.size() bytes. Nothing is sent while the controller
    // link is down. True for a good, non-error answer.
    bool Exchange(std::span<const uint8_t> commandAndParams, std::span<uint8_t> answer);

private:
    TManager &manager_;
    TBaseProtocol *protocol_ = nullptr;
    bool deviceCompatible_ = false;
};

} // namespace lumex
