// The OBD module: one operation per adapter OBD command, detection, the
// polling step, and the logic of configuration writes, correction writes
// and defaults. Windows and the command line drive the same objects.
#pragma once

#include "adapter/OBDData.h"
#include "modules/BaseModule.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumex {

class TLogic;
class TModuleAdapter;
class TModuleQuestions;
class TModuleOBD;

class TLogicOBD
{
public:
    explicit TLogicOBD(TModuleOBD &module) : module_(module) {}

    // 0x71 into the device image, then the parameters into the edited state.
    bool ReadOBDConfig();
    // From the device image: a disconnect first unless the link is idle.
    bool WriteOBDConfig();
    // 0x89 for bank 1 halves 0 and 1, then bank 2; stops at a failure.
    bool WriteAdaptCorrections();
    // False, with nothing sent, unless connected and confirmed.
    bool WriteOBDDefaults(bool ask, TModuleQuestions *questions, bool withCorrections);

    // The configuration page's actions, headless. Connect is refused (false,
    // nothing sent) while idle with no protocol chosen.
    bool ConnectButton();
    bool DetectButton();
    // The edited configuration written; on failure the edits and the
    // modified mark stay, and nothing is read back over them.
    bool WriteEdited();
    // 0x8C with 1, 2 or 3; true when the adapter accepted.
    bool ResetAdaptation(uint8_t which);
    // Item 44 while waiting to connect; false for an answer that does not
    // fit the counter.
    bool ReadDelayConnectCounter();
    // The detection result after sub-states 8-10: the protocol taken into
    // the edited state when non-zero.
    std::optional<uint8_t> TakeDetectionResult();

    // The pause between a disconnect and the configuration write; the
    // owner supplies it so tests do not sleep.
    std::function<void(int ms)> Wait;

private:
    TModuleOBD &module_;
};

class TModuleOBD : public TBaseModule
{
public:
    TModuleOBD(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter);
    ~TModuleOBD() override;

    static std::unique_ptr<TBaseModule> Make(TLogic &logic, TBaseProtocol &protocol, TModuleAdapter &adapter);

    TBaseDevState &GetUIState() override { return uiState_; }
    TDevStateOBD &DevState() { return devState_; }
    const TDevStateOBD &DevState() const { return devState_; }
    TUIStateOBD &UIState() { return uiState_; }
    TLogicOBD &Logic() { return logic_; }
    TLogic &AppLogic() { return app_; }
    TModuleAdapter &Adapter() { return adapter_; }

    void Detect() override;
    void WorkStep() override;

    // Whether the controller reads the adapter's adaptation (generation
    // 0x30 from letter G); set by the owner of the controller link.
    std::function<bool()> ControllerReadsAdaptation;
    bool AdaptationReadsActive() const;

    // --- one operation per command; false or none on failure ---
    bool QueryPresence();
    bool ReadConfig();
    bool WriteConfig(std::span<const uint8_t, kObdConfigBlockSize> block);
    std::optional<uint8_t> StartDetect();
    std::optional<uint8_t> CancelDetect();
    std::optional<uint8_t> TakeDetected();
    std::optional<uint8_t> Connect(uint8_t protocol);
    std::optional<uint8_t> Disconnect();
    bool ReadStatus();
    bool ReadPids();
    bool ReadAllows();
    std::optional<uint8_t> WriteAllows(std::span<const uint8_t, kObdPidBytes> allows);
    bool ReadLive();
    bool ReadTroubleState();
    std::optional<uint8_t> ClearCodes();
    std::optional<uint8_t> RequestRead(uint8_t mask);
    bool ReadCodes(bool pending);
    bool ReadFreezeFrames();
    std::optional<uint8_t> Acknowledge(uint8_t value);
    bool ReadLambda();
    bool ReadWideLambda();
    bool ReadItem(uint8_t item);
    std::optional<uint8_t> WriteCorrections(int bank, int half);
    std::optional<uint8_t> ResetAdaptation(uint8_t which);

private:
    // One request; the answer when it came whole and was no error answer.
    std::optional<std::vector<uint8_t>> Query(const TAdapterCommand &cmd, std::span<const uint8_t> params,
                                              bool statusOnly = false);
    std::optional<uint8_t> Ack(const TAdapterCommand &cmd, std::span<const uint8_t> params);
    std::optional<uint8_t> Ack(const TAdapterCommand &cmd);

    TLogic &app_;
    TModuleAdapter &adapter_;
    TDevStateOBD devState_;
    TUIStateOBD uiState_;
    TLogicOBD logic_;
};

} // namespace lumex
