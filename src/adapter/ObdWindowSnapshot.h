// What the OBD window shows, taken on the device thread and handed to the
// window as a value: the raw bytes of every adapter module variable (the
// window keeps its own copy of the modules to bind its controls to), the
// trouble-code page as its cycle left it, and the edits going the other
// way, so no window ever touches the device thread's live objects.
#pragma once

#include "adapter/OBDData.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumex {

class TDeviceState;
class TUIState;

// The device image of every module, variable by variable.
struct TModuleImage
{
    std::vector<std::vector<uint8_t>> Raw;
    TTroubleCodeRecords Records{};
};

TModuleImage TakeModuleImage(const TDeviceState &devState, const TDevStateOBD &obd);
// False, and nothing applied, when the image is of another module layout.
bool ApplyModuleImage(const TModuleImage &image, TDeviceState &devState, TDevStateOBD &obd);

// The parameters of one section of the edited state, by aggregate index.
using TModuleEdits = std::vector<std::pair<std::size_t, std::vector<uint8_t>>>;
TModuleEdits TakeModuleEdits(const TUIState &state, std::string_view section);
// False, and nothing applied, for an index or a size the state has not.
bool ApplyModuleEdits(const TModuleEdits &edits, TUIState &state);

struct TObdTroublePage
{
    std::string Troubles;
    std::string Freeze;
    bool ProgressVisible = false;
    int Progress = 0;
    bool ButtonsEnabled = false;
    bool Greyed = true;
    bool CheckEngine = false;
    bool CheckEnginePanel = false;
};

struct TObdWindowSnapshot
{
    bool Valid = false;
    TModuleImage Image;
    // The adapter answers with its OBD function.
    bool ObdPresent = false;
    // Generation 0x30 from revision H: the adaptation controls are live.
    bool ControllerRevisionH = false;
    // Increases whenever the device thread read or wrote the parameters on
    // the installer's request: the window then takes them over its own.
    uint64_t ParamsEpoch = 0;
    // Increases when a detection pass read them anew: the window takes them
    // only while it holds no edits of its own.
    uint64_t DetectEpoch = 0;
    // The same for the AIO section, read or written by its window.
    uint64_t AioEpoch = 0;
    // A detection result taken in this tick, for the edited protocol.
    std::optional<uint8_t> DetectedProtocol;
    TObdTroublePage Trouble;
    // The adapter is there and its own adaptation is on: the controller's
    // adaptation tables are then its to fill.
    bool AdapterAdaptation = false;
};

} // namespace lumex
