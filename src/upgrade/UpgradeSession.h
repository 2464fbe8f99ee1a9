// One firmware upgrade as the installer runs it, without a window: the
// update query, the automatic backup of the controller's settings, entering
// the bootloader (reading the running firmware on the way), the file check,
// the labelled update steps with progress and remaining time, starting the
// new application and restoring the settings afterwards. It remembers, in
// the data folder, an upgrade that was started and not completed, so a
// power cut never leaves the installer without the settings' backup nor
// starts an application into erased flash. The upgrade window and the
// command line both drive it on the thread that owns the port.
#pragma once

#include "configuration/ConfigFileOps.h"
#include "upgrade/UpgradeRecord.h"
#include "upgrade/UpgradeSequence.h"

#include <functional>
#include <string>

namespace lumex {

class TDataManager;

// What a session tells and asks its user. Texts come translated.
struct TUpgradeSessionUi
{
    TUpgradeProgress Progress;
    TRemainingTime Remaining;
    std::function<void(const std::string &text)> Warning;
    std::function<void(const std::string &text)> Information;
    // A Yes/No question; without one the answer is No.
    std::function<bool(const std::string &text)> Question;
    // The versions and descriptions changed (bootloader, device, file).
    std::function<void()> ShowVersions;
};

struct TUpdateQuery
{
    bool Allowed = false;
    bool InBootloader = false;
    std::string Message; // shown when not allowed; empty for a silent refusal
};

// What the window's buttons may do now.
struct TUpgradeButtons
{
    bool LoadData = false;
    bool Update = false;
};

class TUpgradeSession
{
public:
    // `dataFolder` holds the backups ("Backups") and the upgrade record.
    TUpgradeSession(TDataManager &manager, TUpgraderLogic &logic, std::string dataFolder);

    TUpgradeSessionUi Ui;

    void SetAdapterMode(bool adapter);
    bool AdapterMode() const;
    TUpgraderLogic &Logic() { return logic_; }
    const TUpgraderLogic &Logic() const { return logic_; }
    const std::string &DataFolder() const { return dataFolder_; }
    std::string BackupFolder() const;

    // May an upgrade start: a controller of the update variant that is not
    // running on gas, or a device already in its bootloader.
    TUpdateQuery UpdateQuery();

    // The automatic backup of the running controller's settings, before the
    // device is touched. A failed backup means the upgrade must not start.
    TFileOpResult TakeBackup();
    const std::string &BackupPath() const { return backupPath_; }

    // The window's Connect: the link counts as lost and the port is opened
    // afresh, so a line that went away (a cable pulled for a moment) can be
    // used again without leaving the window.
    void ResetPort();

    // Leaves the device in its bootloader with the running firmware's
    // version read on the way; true when it may be upgraded.
    bool EnterBootloader();
    TUpgradeButtons Buttons() const { return buttons_; }

    // Checks the chosen file under the current device profile; an empty
    // name clears the choice.
    bool ChooseFile(const std::string &path);
    bool FileValid() const { return fileValid_; }
    const std::string &FileName() const { return fileName_; }

    // The update: bootloader, question, the labelled steps, the start of
    // the new application and the new version read back. Busy while it
    // runs, whatever ends it.
    bool Update();
    bool Busy() const { return busy_; }
    bool Done() const { return done_; }

    // The record of an upgrade that was started and not completed, or whose
    // settings are still to be restored.
    TUpgradeRecord Record() const;
    // The flash may hold no application: an upgrade must complete first.
    bool ErasedNotCompleted() const;

    // The window closes: the application is started again unless the flash
    // was erased and not programmed completely.
    void Close();

    // After the new application started: connects to it and loads the
    // backup that belongs to the upgrade. The record is forgotten on success.
    TFileOpResult RestoreBackup();
    // The installer does not want the backup back: forget the record.
    void DeclineRestore();

    // "Device does not respond -eme" in the language in force.
    static std::string StepFailureText(const std::string &label);
    // The English texts of the upgrade logic in the language in force;
    // texts it has no key for come back unchanged.
    static std::string Translated(const std::string &english);

private:
    void Warn(const std::string &text) const;
    void Inform(const std::string &text) const;
    bool Ask(const std::string &text) const;
    void ShowVersions() const;
    void UpdateButtons();
    bool RunSteps();
    bool BeforeErase();
    void StartApplication();
    bool Connect();

    TDataManager &manager_;
    TUpgraderLogic &logic_;
    std::string dataFolder_;
    std::string backupPath_;
    std::string backupSerial_;
    std::string fileName_;
    bool fileValid_ = false;
    bool busy_ = false;
    bool done_ = false;
    TUpgradeButtons buttons_;
};

} // namespace lumex
