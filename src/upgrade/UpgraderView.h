// What the upgrade window shows, taken from the session on the thread that
// owns the port and handed to the window as a copy, and the window's pure
// rules: the time text and the file filter that suits the bootloader.
#pragma once

#include <cstdint>
#include <string>

namespace lumex {

class TUpgradeSession;

struct TUpgraderView
{
    std::string BootloaderVer = "-";
    std::string FirmwareVer = "-";
    std::string DescDevice;
    std::string DescFile;
    std::string FileName;
    uint8_t BootMajor = 0;
    bool LoadData = false;
    bool Update = false;
    bool Busy = false;
    bool Done = false;
    // The flash was erased and the upgrade not completed.
    bool ErasedNotCompleted = false;
};

// Call on the thread that owns the session's port.
TUpgraderView UpgraderViewOf(const TUpgradeSession &session);

// "00:00  /  --:--" until the remaining time is known (negative), then
// "mm:ss  /  mm:ss".
std::string UpgradeTimeText(int64_t elapsedMs, long remainingSeconds);

// The file dialog's filter entries and the one a bootloader starts with:
// newer bootloaders (major above 5) take "*.upx" files.
inline constexpr int kFilterUpg = 1;
inline constexpr int kFilterUpx = 2;
int UpgradeFilterIndex(uint8_t bootMajor);

} // namespace lumex
