// The configuration file against the controller: saving what the
// controller holds, the automatic backup before anything overwrites it,
// and loading a file with its question and its writes in their order.
// These run on the thread that owns the link.
#pragma once

#include "configuration/ConfigFile.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace lumex {

class TDataManager;

struct TFileOpResult
{
    bool Ok = false;
    bool Cancelled = false;
    std::string Message;
    std::vector<std::string> Warnings;    // of the file's values
    std::vector<std::string> FailedSteps; // writes that failed; the others ran
    std::string BackupPath;

    std::string Text() const;
};

// The reads a save refreshes the image with: the configuration, the model,
// the corrections, the level sensor and (3.0 from "D") the map. False when
// any of them failed or the link went down.
bool RefreshForFile(TDataManager &manager, TImagePoints &points);

// The Info section of a file saved now.
TGcfInfo GcfInfoNow();

// Refreshes, then writes a complete new file atomically. A failed read or
// write leaves an existing file as it was.
TFileOpResult SaveConfigurationFile(TDataManager &manager, const std::string &path, const TGcfInfo &info);

// The folder of the automatic backups, inside the data folder.
inline constexpr char kBackupsFolder[] = "Backups";

// Backups: "<serial>-<YYYYmmdd-HHMMSS>-<reason>.gcf" in the folder, never
// over an existing file.
enum class TBackupReason : uint8_t
{
    Load,
    Defaults,
    Upgrade
};
const char *BackupReasonName(TBackupReason reason);
std::string BackupFileName(const std::string &serial, std::time_t when, TBackupReason reason);
// The backups of one controller, newest first.
std::vector<std::string> ListBackups(const std::string &folder, const std::string &serial);
// Saves the controller (refreshed first) into a new backup file; the path
// on success. Fails (and writes nothing) when a read fails.
TFileOpResult WriteBackup(TDataManager &manager, const std::string &folder, TBackupReason reason, const TGcfInfo &info);

// The same from an image the caller has just refreshed.
TFileOpResult BackupImage(TDataManager &manager, const TImagePoints &points, const std::string &folder,
                          TBackupReason reason, const TGcfInfo &info);

// Writes the backup file of `serial` for an image (the file a save would
// write) under a new name in the folder, which is made when missing.
TFileOpResult SaveBackupFile(const TNorviData &image, const TImagePoints &points, const std::string &folder,
                             const std::string &serial, TBackupReason reason, const TGcfInfo &info);

// At start: removes what backups interrupted by a crash left in the folder
// (their temporaries); finished backups are kept.
void RemoveUnfinishedBackups(const std::string &folder);

// What a load asks the installer.
struct TLoadQuestions
{
    // The load question, with what the file would change; false cancels.
    std::function<bool(const std::vector<TGcfDifference> &)> Confirm;
    // The controller's map holds petrol points: clear them and write the
    // file's map (true), or keep the controller's map (false).
    std::function<bool()> ClearPetrolMap;
};

// Loads a file's text: refreshes the image, checks the file, asks, backs
// up the controller into `backupFolder`, then writes in order and reads
// everything back. Every write is tried; the failed ones are listed. A
// refused file, a cancel or a failed backup sends no write. The image
// holds the controller's values afterwards, whatever happened.
TFileOpResult LoadConfigurationFile(TDataManager &manager, std::string_view fileText, bool modelOnly,
                                    const TLoadQuestions &questions, const std::string &backupFolder,
                                    const TGcfInfo &info);

// Puts the controller into its factory settings (the routine of its
// generation), after saving it into a new backup in `backupFolder`. A backup
// that cannot be written completely sends nothing. Every step of the
// routine runs; the failed ones are listed.
TFileOpResult ResetToFactorySettings(TDataManager &manager, const std::string &backupFolder, const TGcfInfo &info);

// The controller against a file, after refreshing the image.
struct TDiffResult
{
    bool Ok = false;
    std::string Message;
    std::vector<std::string> Warnings;
    std::vector<TGcfDifference> Differences;
};
TDiffResult DiffConfigurationFile(TDataManager &manager, std::string_view fileText);

} // namespace lumex
