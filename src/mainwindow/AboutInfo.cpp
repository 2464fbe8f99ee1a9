#include "mainwindow/AboutInfo.h"

#include "controller/DataManager.h"
#include "controller/Version.h"

namespace lumex {

TAboutDevice ReadAboutDevice(TDataManager &manager)
{
    manager.ReadCompileInfo();
    manager.ReadIdentification();
    TAboutDevice device;
    const TNorviData &data = manager.Data();
    if (data.VersionCode == 0)
        return device;
    device.Known = true;
    device.Version = VersionString(data, false);
    device.CompilationTime = data.CompileDate + " " + data.CompileTime;
    device.Serial = manager.ControllerSerial();
    return device;
}

std::string AboutClipboardText(const TAboutTexts &t)
{
    const std::string crlf = "\r\n";
    return t.ProductName + crlf + t.FileVersionLabel + " " + t.FileVersion + crlf + t.DateLabel + " " + t.BuildDate +
           crlf + t.DeviceLabel + " " + t.DeviceVersion + " " + t.CompilationTime + crlf + t.SerialLabel + " " +
           t.Serial + crlf;
}

} // namespace lumex
