#include "mainwindow/ModuleMirror.h"

namespace lumex {

namespace {
const std::string kObd = "OBD";
} // namespace

TModuleMirror::TModuleMirror()
    : manager_(port_), logic_(manager_, std::vector<TModuleFactory>{TModuleOBD::Make, TModuleAIO::Make})
{
    logic_.UIState().SetModified(false);
}

void TModuleMirror::Apply(const TObdWindowSnapshot &s)
{
    TUIState &ui = logic_.UIState();
    if (!s.Valid || ui.DevState() == nullptr)
        return;
    if (!ApplyModuleImage(s.Image, *ui.DevState(), Obd().DevState()))
        return;
    ui.CopyFromDevState(kObd, kCopyPlain);
    const bool requested = s.ParamsEpoch != epoch_;
    const bool detected = s.DetectEpoch != detectEpoch_;
    epoch_ = s.ParamsEpoch;
    detectEpoch_ = s.DetectEpoch;
    if (first_ || requested || (detected && !ui.Modified())) {
        first_ = false;
        TakeDeviceParameters();
    }
    if (s.DetectedProtocol)
        Obd().UIState().Protocol.SetAsInteger(*s.DetectedProtocol);
}

void TModuleMirror::TakeDeviceParameters()
{
    TUIState &ui = logic_.UIState();
    ui.CopyFromDevState(kObd, kCopyParams);
    ui.SetModified(false);
}

} // namespace lumex
