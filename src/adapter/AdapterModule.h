// The adapter module: the root of the module framework. It detects the
// adapter, reads its identification, decides whether it is a product this
// program serves, and gives the OBD module its two short live-data
// commands.
#pragma once

#include "adapter/AdapterData.h"
#include "modules/BaseModule.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace lumex {

class TModuleAdapter;
class TModuleQuestions;

// The adapter's higher-level operations and texts.
class TLogicAdapter
{
public:
    explicit TLogicAdapter(TModuleAdapter &module) : module_(module) {}

    void ReadAdapterInfo();
    // Forms: 0 "2.1a r5", 1 "21a", 2 "2.1", 3 "21"; "----" when the
    // adapter is not there.
    std::string VersionText(bool checkConnected, int form) const;
    std::string FullVersionText(bool shortForm);
    std::string SerialNumberText(bool withDashes) const;
    // After the question (when asked): every registered default writer.
    // False when declined or when a writer failed; `failure` then says why
    // (empty when declined).
    bool WriteAdapterDefaults(bool ask, TModuleQuestions *questions, std::string *failure = nullptr);

    // The sub-modules register what "write defaults" writes for them.
    std::vector<std::function<bool()>> DefaultWriters;

private:
    TModuleAdapter &module_;
};

class TModuleAdapter : public TBaseModule
{
public:
    TModuleAdapter(TManager &manager, TBaseProtocol *protocol, TDeviceState &uiAggregate);

    TBaseDevState &GetUIState() override { return uiState_; }
    TDevStateAdapter &DevState() { return devState_; }
    TUIStateAdapter &UIState() { return uiState_; }
    TUIState *UIAggregate = nullptr; // set by the logic once linked
    TLogicAdapter &Logic() { return logic_; }

    void Detect() override;
    void WorkStep() override {}

    // 0x01: the main version, into the device image. False on failure.
    bool QueryMainVersion();
    bool QueryIdentification();
    bool QueryBuildTime();
    // 0x05: the test-mode word; none on failure.
    std::optional<uint16_t> QueryTestMode();
    // What the test-mode indicator shows: a failed query counts as off.
    bool InTestMode();
    bool StartLiveRead();
    // The status byte of 0x0B; none on failure.
    std::optional<uint8_t> LiveReadStatus();

private:
    TDevStateAdapter devState_;
    TUIStateAdapter uiState_;
    TLogicAdapter logic_;
};

// The pure text rules, for the logic and the tests.
std::string AdapterMainVersionText(uint8_t mainVersion);
std::string AdapterReleaseText(uint8_t release);
std::string SoftwareOptionsName(uint8_t options, bool shortForm);
std::string SerialNumberText(int32_t serial, uint8_t product, uint16_t productionDateRaw, bool withDashes);

// The 0x02 and 0x04 answers into the device image. False, and nothing
// stored, for an answer shorter than the command's.
bool DecodeAdapterIdentification(std::span<const uint8_t> answer, TDevStateAdapter &d);
bool DecodeAdapterBuildTime(std::span<const uint8_t> answer, TDevStateAdapter &d);

} // namespace lumex
