// The OBD window's work on the device thread: the per-tick steps of the
// page on screen (the delayed-connect counter, the detection result, the
// trouble-code cycle), the window's operations with the edits it sends,
// and the snapshot the window shows.
#pragma once

#include "adapter/OBDTroubleCycle.h"
#include "adapter/ObdWindowSnapshot.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumex {

class TDataManager;
class TModuleAIO;
class TModuleOBD;
class TModuleQuestions;
struct TNorviData;

// The pages of the OBD window; none while the window is not on screen.
enum class TObdPage : int
{
    None = -1,
    Config = 0,
    Live = 1,
    Trouble = 2
};

enum class TObdOperation
{
    Connect,
    Detect,
    Read,
    Write,
    ResetBoth,
    ResetBank1,
    ResetBank2,
    ReadErrors,
    ClearErrors
};

struct TObdOperationResult
{
    bool Ok = false;
    // A message key to show when not ok (empty: nothing to say).
    std::string FailureKey;
};

class TObdWindowDevice
{
public:
    TObdWindowDevice(TModuleOBD &obd, TModuleAIO &aio, TDataManager &manager, TNorviData &image);
    ~TObdWindowDevice();

    // Set by the window (any thread); read on the device thread.
    std::atomic<int> Page{static_cast<int>(TObdPage::None)};

    // The OBD code list of the language in force (device thread).
    void SetCodes(std::vector<std::string> codes) { codes_ = std::move(codes); }
    // After the modules' work step.
    void Step();
    void Fill(TObdWindowSnapshot &snapshot);
    // The adapter page's defaults or file changed the device image's
    // parameters: the window takes them over.
    void ParamsChanged() { ++paramsEpoch_; }
    // A detection pass read them: the window takes them unless edited.
    void ParamsDetected() { ++detectEpoch_; }
    // `edits` are the window's parameters of section "OBD" (Write only).
    TObdOperationResult Run(TObdOperation operation, const TModuleEdits &edits, TModuleQuestions *questions);

    // The AIO window's Read and Write (`edits`: its section "AIO", Write
    // only). The module has no wire commands: both go through the state
    // copies and the window takes the result with the next snapshot.
    bool RunAio(bool write, const TModuleEdits &edits);

    // The pauses of the OBD logic; the owner supplies them.
    std::function<void(int ms)> Wait;

private:
    // The controller's half of a write: map adaptation off on request,
    // then its OBD adaptation switch on.
    bool WriteControllerAdaptation(TModuleQuestions *questions);

    TModuleOBD &obd_;
    TModuleAIO &aio_;
    TDataManager &manager_;
    TNorviData &image_;
    std::vector<std::string> codes_;
    std::unique_ptr<TOBDTroubleCycle> cycle_;
    uint64_t paramsEpoch_ = 0;
    uint64_t detectEpoch_ = 0;
    uint64_t aioEpoch_ = 0;
    std::optional<uint8_t> detected_;
};

} // namespace lumex
