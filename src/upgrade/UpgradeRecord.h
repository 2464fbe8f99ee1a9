// What the program remembers across restarts about an upgrade it started:
// a device whose flash may be erased, and the backup of its settings that
// belongs to it. Kept in "UpgradeState.ini" in the data folder, one section
// per device kind, written atomically so a power cut leaves the old or the
// new record but never a torn one.
#pragma once

#include <cstdint>
#include <string>

namespace lumex {

enum class TUpgradeStage : uint8_t
{
    None,
    // From just before the first erase until the new application started:
    // the device may hold no runnable firmware.
    Started,
    // The new application runs; its settings are factory values until the
    // backup is restored or the installer declines it.
    RestorePending
};

struct TUpgradeRecord
{
    TUpgradeStage Stage = TUpgradeStage::None;
    std::string Serial;     // of the controller; empty for the adapter
    std::string BackupPath; // empty when no backup belongs to it
    std::string Started;    // "YYYY-mm-dd HH:MM:SS"
    std::string File;       // the firmware file's name

    bool Pending() const { return Stage != TUpgradeStage::None; }
};

inline constexpr const char *kUpgradeStateFile = "UpgradeState.ini";

// A missing or unreadable file reads as no record. Temporaries of a killed
// save of the file are removed first.
TUpgradeRecord LoadUpgradeRecord(const std::string &dataFolder, bool adapter);
// Throws EFileWriteError when the record cannot be written.
void SaveUpgradeRecord(const std::string &dataFolder, bool adapter, const TUpgradeRecord &record);
// Forgets the device's record; false when the file could not be rewritten.
bool ClearUpgradeRecord(const std::string &dataFolder, bool adapter);

} // namespace lumex
