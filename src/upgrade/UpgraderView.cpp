#include "upgrade/UpgraderView.h"

#include "common/Format.h"
#include "upgrade/UpgradeSession.h"

namespace lumex {

namespace {

constexpr uint8_t kLastUpgBootMajor = 5;

} // namespace

TUpgraderView UpgraderViewOf(const TUpgradeSession &session)
{
    const TUpgraderLogic &logic = session.Logic();
    const TBootInfo &info = logic.Boot().Info();
    TUpgraderView v;
    // Both versions or none: a bootloader that did not answer says nothing
    // about the firmware either.
    if (info.BootMajor != 0 || info.BootMinor != 0) {
        v.BootloaderVer = FormatText("%d.%d", info.BootMajor, info.BootMinor);
        v.FirmwareVer = logic.FirmwareVersionText;
    }
    v.BootMajor = info.BootMajor;
    v.DescDevice = logic.DeviceField();
    v.DescFile = logic.FileField();
    v.FileName = session.FileName();
    v.LoadData = session.Buttons().LoadData;
    v.Update = session.Buttons().Update;
    v.Busy = session.Busy();
    v.Done = session.Done();
    v.ErasedNotCompleted = session.ErasedNotCompleted();
    return v;
}

std::string UpgradeTimeText(int64_t elapsedMs, long remainingSeconds)
{
    const long e = static_cast<long>(elapsedMs / 1000);
    if (remainingSeconds < 0)
        return FormatText("%02ld:%02ld  /  --:--", e / 60, e % 60);
    return FormatText("%02ld:%02ld  /  %02ld:%02ld", e / 60, e % 60, remainingSeconds / 60, remainingSeconds % 60);
}

int UpgradeFilterIndex(uint8_t bootMajor)
{
    return bootMajor > kLastUpgBootMajor ? kFilterUpx : kFilterUpg;
}

} // namespace lumex
