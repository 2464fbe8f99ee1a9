#include "upgrade/UpgradeSession.h"

#include "common/AtomicFile.h"
#include "common/Format.h"
#include "controller/DataManager.h"
#include "controller/Version.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "serial/ComMultiPort.h"
#include "upgrade/FirmwareFile.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

namespace lumex {

namespace {

namespace fs = std::filesystem;

constexpr uint8_t kUpdateVariant = 4;      // the controllers an upgrade serves
constexpr uint8_t kStateWaitingForGas = 4; // from here on the engine runs or switches to gas
constexpr unsigned kAfterJumpMs = 500;
constexpr unsigned kAfterStartMs = 1000;
constexpr unsigned kBeforeReadBackMs = 900;
constexpr int kConnectAttempts = 3;
constexpr const char *kStepJump = "-gtb";
constexpr const char *kStepIdentify = "-ver=0";
constexpr const char *kMsgDeviceDoesNotRespond = "Device does not respond";
constexpr const char *kMsgUpdatedSuccessfully = "The device has been updated successfully.";
constexpr const char *kMsgReset = "Reset...";
constexpr const char *kMsgBlockRejected = "Error-pbf";

struct TEnglishText
{
    const char *english;
    const char *key;
};
// The English texts of the upgrade logic that the installer sees.
constexpr std::array<TEnglishText, 7> kEnglishTexts{{
    {kMsgDeviceDoesNotRespond, msg::strDevDoesNotRespond},
    {kMsgUpdatedSuccessfully, msg::strUpdFinishSuccessfully},
    {kMsgReset, msg::strDevReset},
    {kMsgBlockRejected, msg::strUpdBlockRejected},
    {kMsgIncorrectFileVersion, msg::strUpdIncorrectFileVersion},
    {kMsgWrongFile, msg::strUpdWrongFile},
    {kMsgIncompatibleFormat, msg::strUpdIncompatibleFile},
}};

// Clears the flag on every way out of the update, an exception included.
class TBusyGuard
{
public:
    explicit TBusyGuard(bool &flag) : flag_(flag) { flag_ = true; }
    ~TBusyGuard() { flag_ = false; }
    TBusyGuard(const TBusyGuard &) = delete;
    TBusyGuard &operator=(const TBusyGuard &) = delete;

private:
    bool &flag_;
};

std::string TimeNow()
{
    return GcfInfoNow().SaveDate;
}

} // namespace

std::string TUpgradeSession::Translated(const std::string &english)
{
    for (const auto &t : kEnglishTexts)
        if (english == t.english)
            return MessageText(t.key);
    return english;
}

std::string TUpgradeSession::StepFailureText(const std::string &label)
{
    return MessageText(msg::strDevDoesNotRespond) + " " + label;
}

TUpgradeSession::TUpgradeSession(TDataManager &manager, TUpgraderLogic &logic, std::string dataFolder)
    : manager_(manager), logic_(logic), dataFolder_(std::move(dataFolder))
{
    logic_.SetWarning([this](const std::string &text) { Warn(Translated(text)); });
}

void TUpgradeSession::SetAdapterMode(bool adapter)
{
    logic_.SetAdapterMode(adapter);
}

bool TUpgradeSession::AdapterMode() const
{
    return logic_.AdapterMode();
}

std::string TUpgradeSession::BackupFolder() const
{
    return (fs::path(dataFolder_) / kBackupsFolder).string();
}

void TUpgradeSession::Warn(const std::string &text) const
{
    if (Ui.Warning)
        Ui.Warning(text);
}

void TUpgradeSession::Inform(const std::string &text) const
{
    if (Ui.Information)
        Ui.Information(text);
}

bool TUpgradeSession::Ask(const std::string &text) const
{
    return Ui.Question && Ui.Question(text);
}

void TUpgradeSession::ShowVersions() const
{
    if (Ui.ShowVersions)
        Ui.ShowVersions();
}

TUpgradeRecord TUpgradeSession::Record() const
{
    return LoadUpgradeRecord(dataFolder_, AdapterMode());
}

bool TUpgradeSession::ErasedNotCompleted() const
{
    return Record().Stage == TUpgradeStage::Started;
}

TUpdateQuery TUpgradeSession::UpdateQuery()
{
    TUpdateQuery q;
    manager_.ReadVersionCode();
    if (manager_.LinkUp)
        manager_.ReadIdentification();
    else
        manager_.PollCycle(pmNone);
    manager_.ReadLiveData();
    const TNorviData &d = manager_.Data();
    q.Allowed = manager_.LinkUp && d.Variant == kUpdateVariant;
    if (!manager_.LinkUp && logic_.Boot().IdentifyBootloader() && logic_.Boot().Info().BootMajor > 0)
        q.InBootloader = true;
    logic_.InBootloader = q.InBootloader;
    q.Allowed = q.Allowed || q.InBootloader;
    if (!q.Allowed) {
        std::string text;
        if (d.VersionCode != 0 || !d.SoftwareLetter.empty())
            text = MessageText(msg::strDevice) + FormatText(" %s %s (%s)", VersionDigits(d.VersionCode).c_str(),
                                                            d.SoftwareLetter.c_str(), VersionString(d, false).c_str());
        else
            text = MessageText(msg::strComError);
        q.Message = text + "\r\n\r\n" + MessageText(msg::strUpdImpossible);
        return q;
    }
    // Running on gas, or about to switch: refused without a word.
    if (!q.InBootloader && d.SystemState >= kStateWaitingForGas)
        q.Allowed = false;
    return q;
}

TFileOpResult TUpgradeSession::TakeBackup()
{
    TFileOpResult r = WriteBackup(manager_, BackupFolder(), TBackupReason::Upgrade, GcfInfoNow());
    if (r.Ok) {
        backupPath_ = r.BackupPath;
        backupSerial_ = manager_.ControllerSerial();
    } else {
        backupPath_.clear();
    }
    return r;
}

void TUpgradeSession::UpdateButtons()
{
    TComMultiPort *port = logic_.Port();
    const bool open = port != nullptr && port->IsOpen();
    logic_.InBootloader = open && logic_.Boot().IdentifyBootloader();
    const bool ready = open && logic_.TypeOk;
    buttons_.LoadData = ready && logic_.InBootloader;
    buttons_.Update = ready && logic_.InBootloader && fileValid_;
}

void TUpgradeSession::ResetPort()
{
    manager_.SetLinkUp(false);
    try {
        manager_.Port().Close();
        manager_.Port().Open();
    } catch (const EComPortError &) {
        // Not there yet: the bootloader's identification says so.
    }
}

bool TUpgradeSession::EnterBootloader()
{
    TBootloader40Manager &boot = logic_.Boot();
    const bool jumped = logic_.JumpToBootloader();
    if (!jumped)
        Warn(StepFailureText(kStepJump));
    boot.Pause(kAfterJumpMs);
    bool ok = jumped && ConfirmBootloader(boot);
    if (jumped && !ok)
        Warn(StepFailureText(kStepIdentify));
    if (!ok)
        boot.ClearBootInfo();
    UpdateButtons();
    ShowVersions();
    if (!ok)
        return false;
    logic_.InBootloader = boot.IdentifyBootloader();
    // The running firmware's version is read from the application. After
    // an erase that was not followed by a complete programming there is no
    // application to start: starting one would run whatever the flash holds.
    if (logic_.InBootloader && !ErasedNotCompleted()) {
        StartApplication();
        boot.Pause(kAfterStartMs);
    }
    logic_.ReadDeviceInfo();
    if (!logic_.InBootloader) {
        logic_.JumpToBootloader();
        boot.Pause(kAfterJumpMs);
    }
    const bool ok2 = ConfirmBootloader(boot);
    ShowVersions();
    UpdateButtons();
    const bool upgradable = ok2 && logic_.InBootloader && logic_.CheckDeviceType();
    // The device type is known only now: on the first entry the buttons
    // above still saw none.
    buttons_.LoadData = upgradable;
    buttons_.Update = upgradable && fileValid_;
    return upgradable;
}

bool TUpgradeSession::ChooseFile(const std::string &path)
{
    fileName_ = path;
    fileValid_ = !path.empty() && logic_.CheckFirmwareFile(path);
    if (path.empty())
        logic_.CheckFirmwareFile(path);
    buttons_.Update = buttons_.LoadData && fileValid_;
    ShowVersions();
    return fileValid_;
}

bool TUpgradeSession::BeforeErase()
{
    // The device profile may have changed since the file was chosen (the
    // bootloader's family selects it): a file is programmed only when it
    // passes under the profile in force now.
    std::vector<uint8_t> bytes = logic_.FirmwareBytes();
    fileValid_ = !bytes.empty() && logic_.CheckFirmwareBytes(std::move(bytes));
    if (!fileValid_)
        return false;
    TUpgradeRecord record = Record();
    // A device found in its bootloader after a cut-off upgrade keeps the
    // backup taken before that upgrade.
    if (backupPath_.empty() && record.Pending()) {
        backupPath_ = record.BackupPath;
        backupSerial_ = record.Serial;
    }
    record.Stage = TUpgradeStage::Started;
    record.Serial = backupSerial_;
    record.BackupPath = backupPath_;
    record.Started = TimeNow();
    record.File = fs::path(fileName_).filename().string();
    try {
        SaveUpgradeRecord(dataFolder_, AdapterMode(), record);
    } catch (const EFileWriteError &e) {
        Warn(MessageText(msg::strUpdRecordFailed) + "\r\n" + e.what());
        return false;
    }
    return true;
}

bool TUpgradeSession::RunSteps()
{
    const TUpgradeResult r = RunUpgrade(logic_, Ui.Progress, Ui.Remaining, [this] { return BeforeErase(); });
    if (r.headerRefused) {
        Warn(MessageText(msg::strUpdIncorrectFileVersion));
        return false;
    }
    if (!r.ok) {
        // A refused file or an unwritable record has said why already.
        if (r.step != kStepBeforeErase)
            Warn(StepFailureText(r.step));
        return false;
    }
    TUpgradeRecord record = Record();
    try {
        if (record.BackupPath.empty()) {
            ClearUpgradeRecord(dataFolder_, AdapterMode());
        } else {
            record.Stage = TUpgradeStage::RestorePending;
            SaveUpgradeRecord(dataFolder_, AdapterMode(), record);
        }
    } catch (const EFileWriteError &) {
        // The firmware is in; a stale "started" only withholds the start
        // command until the next completed upgrade.
    }
    return true;
}

bool TUpgradeSession::Update()
{
    if (busy_)
        return false;
    if (!fileValid_) {
        // A file that failed its check is never programmed.
        buttons_.Update = false;
        return false;
    }
    if (!EnterBootloader())
        return false;
    if (!Ask(MessageText(msg::strQuestUpdProgramDevice)))
        return false;
    const TBusyGuard busy(busy_);
    done_ = false;
    try {
        if (!RunSteps())
            return false;
    } catch (const std::exception &e) {
        Warn(e.what());
        return false;
    }
    done_ = true;
    Inform(MessageText(msg::strUpdFinishSuccessfully));
    logic_.Boot().Pause(kBeforeReadBackMs);
    EnterBootloader();
    return true;
}

void TUpgradeSession::Close()
{
    // After a completed upgrade the device may sit in its bootloader although
    // the last identification was lost on the line: it is asked once more
    // rather than left without its new firmware running.
    if (!logic_.InBootloader && done_)
        logic_.InBootloader = logic_.Boot().IdentifyBootloader();
    if (logic_.InBootloader) {
        if (ErasedNotCompleted())
            Warn(MessageText(msg::strUpdNeedsCompletion));
        else
            StartApplication();
    }
    logic_.Boot().Pause(kAfterStartMs);
}

void TUpgradeSession::StartApplication()
{
    logic_.Boot().StartApplication();
    logic_.InBootloader = false;
}

bool TUpgradeSession::Connect()
{
    // The image still describes the firmware before the upgrade: connect
    // afresh so the new letter decides what is written.
    manager_.SetLinkUp(false);
    for (int i = 0; i < kConnectAttempts && !manager_.LinkUp; ++i) {
        if (i > 0) {
            // A start command lost on the line leaves the programmed device
            // in its bootloader, where no poll is answered.
            if (!ErasedNotCompleted() && logic_.Boot().IdentifyBootloader())
                StartApplication();
            logic_.Boot().Pause(kAfterStartMs);
        }
        manager_.PollCycle(pmNone);
    }
    return manager_.LinkUp;
}

TFileOpResult TUpgradeSession::RestoreBackup()
{
    TFileOpResult r;
    const TUpgradeRecord record = Record();
    const std::string path = record.BackupPath.empty() ? backupPath_ : record.BackupPath;
    if (path.empty()) {
        r.Message = MessageText(msg::strGcfNoFile);
        return r;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (!in || !(text << in.rdbuf())) {
        r.Message = MessageText(msg::strUpdRestoreFailed) + "\r\n" + path;
        return r;
    }
    if (!Connect()) {
        r.Message = MessageText(msg::strUpdRestoreFailed) + "\r\n" + path;
        return r;
    }
    TLoadQuestions questions;
    questions.Confirm = [](const std::vector<TGcfDifference> &) { return true; };
    // The new firmware starts from factory values: the backup's map replaces them.
    questions.ClearPetrolMap = [] { return true; };
    r = LoadConfigurationFile(manager_, text.str(), false, questions, BackupFolder(), GcfInfoNow());
    if (r.Ok)
        ClearUpgradeRecord(dataFolder_, AdapterMode());
    return r;
}

void TUpgradeSession::DeclineRestore()
{
    if (Record().Stage == TUpgradeStage::RestorePending)
        ClearUpgradeRecord(dataFolder_, AdapterMode());
}

} // namespace lumex
