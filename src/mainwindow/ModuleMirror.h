// The window thread's own copy of the adapter modules: the windows bind
// their controls to its edited state, every snapshot brings the device
// image in, and edits leave it as values for the device thread. It has a
// port object that is never opened.
#pragma once

#include "adapter/AIOModule.h"
#include "adapter/OBDModule.h"
#include "adapter/ObdWindowSnapshot.h"
#include "modules/AppLogic.h"
#include "serial/ComMultiPort.h"

namespace lumex {

class TModuleMirror
{
public:
    TModuleMirror();

    TLogic &Logic() { return logic_; }
    TUIState &UIState() { return logic_.UIState(); }
    TModuleOBD &Obd() { return static_cast<TModuleOBD &>(*logic_.SubModules()[0]); }
    TModuleAIO &Aio() { return static_cast<TModuleAIO &>(*logic_.SubModules()[1]); }

    // The readings always; the parameters when the device thread read or
    // wrote them since the last snapshot (the window's edits give way), or
    // when a detection pass read them and the window holds no edits (a link
    // that drops and comes back does not take the installer's edits).
    void Apply(const TObdWindowSnapshot &snapshot);
    TModuleEdits Edits(std::string_view section) { return TakeModuleEdits(logic_.UIState(), section); }
    // The parameters as the device has them (after a failed operation the
    // caller decides; a discarded edit calls this).
    void TakeDeviceParameters(std::string_view section);
    // Counts the takings, so windows know when to refill what they show.
    uint64_t ParamsTaken() const { return taken_; }

private:
    TComMultiPort port_;
    TManager manager_;
    TLogic logic_;
    uint64_t epoch_ = 0;
    uint64_t detectEpoch_ = 0;
    uint64_t aioEpoch_ = 0;
    uint64_t taken_ = 0;
    bool first_ = true;
};

} // namespace lumex
