#include "mainwindow/ModuleMirror.h"

namespace lumex {

namespace {
const std::string kObd = "OBD";
const std::string kAio = "AIO";
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
    ui.CopyFromDevState(kAio, kCopyPlain);
    const bool requested = s.ParamsEpoch != epoch_;
    const bool aioRequested = s.AioEpoch != aioEpoch_;
    const bool detected = s.DetectEpoch != detectEpoch_ && !ui.Modified();
    epoch_ = s.ParamsEpoch;
    aioEpoch_ = s.AioEpoch;
    detectEpoch_ = s.DetectEpoch;
    if (first_ || requested || detected)
        TakeDeviceParameters(kObd);
    if (first_ || aioRequested || detected)
        TakeDeviceParameters(kAio);
    first_ = false;
    if (s.DetectedProtocol)
        Obd().UIState().Protocol.SetAsInteger(*s.DetectedProtocol);
}

void TModuleMirror::TakeDeviceParameters(std::string_view section)
{
    TUIState &ui = logic_.UIState();
    ui.CopyFromDevState(std::string(section), kCopyParams);
    ui.SetModified(false);
    ++taken_;
}

} // namespace lumex
