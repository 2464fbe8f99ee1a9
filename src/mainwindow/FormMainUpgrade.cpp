// The main window's part of a firmware upgrade: the polling held while the
// upgrade window owns the device, the automatic backup and the save
// question, the upgrade window with its wait window, and the restore offer
// afterwards. Device work runs as jobs on the device thread; the window only
// posts them and continues when they report back.
#include "mainwindow/FormMain.h"

#include "controller/ControllerLink.h"
#include "controller/WorkType.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/FormConnectStatus.h"
#include "mainwindow/FormUpgrader.h"
#include "mainwindow/GcfOps.h"
#include "mainwindow/UiText.h"
#include "upgrade/UpgradeSession.h"
#include "upgrade/Upgrader40Logic.h"
#include "widgets/WaitWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <filesystem>

namespace lumex {

namespace {

constexpr unsigned kAfterResetMs = 100;
constexpr uint8_t kAdapterBootFamily = 40;
constexpr const char *kGcfSuffixUpg = ".gcf";

QString Text(const char *key)
{
    return QString::fromStdString(MessageText(key));
}

} // namespace

std::string TFormMain::UpgradeDataFolder() const
{
    return std::filesystem::path(BackupFolder()).parent_path().string();
}

void TFormMain::EnsureUpgradeSession()
{
    if (upgSession_)
        return;
    upgLogic_ = std::make_unique<TUpgraderLogic>();
    upgSession_ = std::make_unique<TUpgradeSession>(link_.Manager, *upgLogic_, UpgradeDataFolder());
}

void TFormMain::DeviceUpgradeFirmware(bool controller)
{
    if (upgrader_ || upgradeRunning_)
        return;
    upgradeRunning_ = true;
    ShowPage("readings");
    EnsureUpgradeSession();
    TUpgradeSession *session = upgSession_.get();
    TUpgraderLogic *logic = upgLogic_.get();
    QPointer<TFormMain> self(this);
    worker_.Post([this, self, session, logic, controller] {
        // No poll cycle may run between the reset and the end of the upgrade.
        worker_.Tick().TickBusy = true;
        worker_.Tick().UpgradeWindowOpen = true;
        logic->SetPort(&link_.Port);
        // Back to petrol before the device is touched; a device already in
        // its bootloader has no application to tell.
        if (link_.Manager.LinkUp) {
            link_.Manager.SetWorkType(TWorkType::PetrolImmediately);
            logic->Boot().Pause(kAfterResetMs);
        }
        session->SetAdapterMode(!controller);
        const TUpdateQuery query = session->UpdateQuery();
        QMetaObject::invokeMethod(
            qApp,
            [self, query, controller] {
                if (self)
                    self->UpgradeQueried(query, controller);
            },
            Qt::QueuedConnection);
    });
}

void TFormMain::UpgradeQueried(const TUpdateQuery &query, bool controller)
{
    if (!query.Allowed) {
        if (!query.Message.empty())
            Tell(TMessageKind::Warning, title_, QString::fromStdString(query.Message));
        EndUpgrade(false);
        return;
    }
    if (query.InBootloader || !controller) {
        OpenUpgrader();
        return;
    }
    // The automatic backup comes first, whatever the installer answers to
    // the save question: without a complete one nothing is erased.
    TUpgradeSession *session = upgSession_.get();
    QPointer<TFormMain> self(this);
    worker_.Post([self, session] {
        const TFileOpResult backup = session->TakeBackup();
        QMetaObject::invokeMethod(
            qApp,
            [self, backup] {
                if (self)
                    self->UpgradeBackupTaken(backup);
            },
            Qt::QueuedConnection);
    });
}

void TFormMain::UpgradeBackupTaken(const TFileOpResult &backup)
{
    if (!backup.Ok) {
        Tell(TMessageKind::Warning, title_, QString::fromStdString(backup.Text()));
        EndUpgrade(false);
        return;
    }
    const QString text = Text(msg::strUpdWarnFactory) + "\r\n" + Text(msg::strUpdWarnManualSave) + "\r\n\r\n" +
                         Text(msg::strQuestUpdSaveSettings);
    const TQuestion question{text.toStdString(), MessageText(msg::strQuestUpdSaveSettingsTitle), false};
    if (!Ask || Ask(this, question) != TAnswer::Yes) {
        OpenUpgrader();
        return;
    }
    QString path = ChooseConfigFile ? ChooseConfigFile(this, true, lastGcfFolder_) : QString();
    if (path.isEmpty()) {
        // Cancelled: the previous file stays the one to restore.
        savedBeforeUpgrade_ = false;
        OpenUpgrader();
        return;
    }
    if (!path.endsWith(kGcfSuffixUpg, Qt::CaseInsensitive))
        path += kGcfSuffixUpg;
    lastGcfFolder_ = QFileInfo(path).absolutePath();
    QPointer<TFormMain> self(this);
    gcfOps_->Save(path.toStdString(), [self, path](const TFileOpResult &r) {
        if (!self)
            return;
        // Saved only when the file is complete; otherwise the installer
        // decides, and the cautious answer stops the upgrade.
        if (r.Ok) {
            self->savedBeforeUpgrade_ = true;
            self->upgradeConfigFile_ = path;
            self->OpenUpgrader();
            return;
        }
        self->savedBeforeUpgrade_ = false;
        const QString text = QString::fromStdString(r.Text()) + "\r\n\r\n" + Text(msg::strUpdSaveFailedContinue);
        const TQuestion q{text.toStdString(), MessageText(msg::strQuestUpdSaveSettingsTitle), false};
        if (self->Ask && self->Ask(self, q) == TAnswer::Yes)
            self->OpenUpgrader();
        else
            self->EndUpgrade(false);
    });
}

void TFormMain::OpenUpgrader()
{
    auto *window = new TFormUpgrader(*upgSession_, worker_, this);
    upgrader_ = window;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->DataFolder = QString::fromStdString(UpgradeDataFolder());
    window->ShowMessage = ShowMessage;
    window->OnConnect = [this] { upgSession_->ResetPort(); };
    if (lm_)
        SetLanguage(lm_->LanguageCode(), false);
    if (OnUpgraderMade)
        OnUpgraderMade(*window);

    auto *wait = new TWaitWindow(this);
    wait->SetCaption(window->windowTitle());
    wait->SetCancelVisible(false);
    wait->SetStatusText(Text(msg::strDevReadingInfo));
    wait->Begin();
    QPointer<TFormMain> self(this);
    QPointer<TWaitWindow> waitGuard(wait);
    window->EnterBootloader([self, window, waitGuard](bool ok) {
        if (waitGuard) {
            waitGuard->Finish();
            waitGuard->deleteLater();
        }
        if (!self)
            return;
        if (!ok) {
            window->deleteLater();
            self->EndUpgrade(false);
            return;
        }
        window->HidePortSelector();
        if (self->ExecUpgrader)
            self->ExecUpgrader(*window);
        else
            window->exec();
        // The window's close job runs before the reconnection.
        window->deleteLater();
        self->EndUpgrade(true);
    });
}

void TFormMain::EndUpgrade(bool opened)
{
    QPointer<TFormMain> self(this);
    TUpgradeSession *session = upgSession_.get();
    const bool adapter = session && session->AdapterMode();
    worker_.Post([this, self, opened, adapter] {
        if (opened) {
            link_.Manager.JustConnected = true;
            link_.Manager.ReadVersionCode();
            link_.Manager.PollCycle(pmNone);
        }
        worker_.Tick().TickBusy = false;
        worker_.Tick().UpgradeWindowOpen = false;
        QMetaObject::invokeMethod(
            qApp,
            [self, adapter] {
                if (!self)
                    return;
                self->upgradeRunning_ = false;
                if (self->connectStatus_)
                    self->connectStatus_->UpgradeEnded();
                if (!adapter)
                    self->DeviceRestoreConfig();
                if (self->OnUpgradeEnded)
                    self->OnUpgradeEnded();
            },
            Qt::QueuedConnection);
    });
}

bool TFormMain::RestorePending() const
{
    return LoadUpgradeRecord(UpgradeDataFolder(), false).Stage == TUpgradeStage::RestorePending;
}

void TFormMain::DeviceRestoreConfig()
{
    if (upgradeRunning_ || restoreAsked_ || !RestorePending())
        return;
    EnsureUpgradeSession();
    const TQuestion question{MessageText(msg::strQuestUpdLoadSettings), MessageText(msg::strQuestUpdLoadSettingsTitle),
                             false};
    restoreAsked_ = true;
    const bool yes = Ask && Ask(this, question) == TAnswer::Yes;
    restoreAsked_ = false;
    // No keeps the backup on record: the connection window offers it again.
    if (!yes)
        return;
    TUpgradeSession *session = upgSession_.get();
    QPointer<TFormMain> self(this);
    worker_.Post([self, session] {
        const TFileOpResult r = session->RestoreBackup();
        QMetaObject::invokeMethod(
            qApp,
            [self, r] {
                if (!self)
                    return;
                self->savedBeforeUpgrade_ = false;
                self->ReadConfigPage(true);
                QString text = QString::fromStdString(r.Ok ? MessageText(msg::strGcfLoadDone) : r.Text());
                if (!r.BackupPath.empty())
                    text += "\n" + Text(msg::strGcfBackupSaved) + " " + QString::fromStdString(r.BackupPath);
                self->Tell(r.Ok ? TMessageKind::Information : TMessageKind::Warning,
                           Text(msg::strQuestUpdLoadSettingsTitle), text);
            },
            Qt::QueuedConnection);
    });
}

void TFormMain::OfferBootloaderUpgrade(uint8_t family)
{
    const bool adapter = family == kAdapterBootFamily;
    const QString text = adapter ? UiText(msg::strUpdAdapt, "Adapter czeka w bootloaderze.")
                                 : UiText(msg::strUpdMod, "Sterownik czeka w bootloaderze.");
    // An upgrade that was cut off is finished first; the settings saved
    // before it come back afterwards.
    if (LoadUpgradeRecord(UpgradeDataFolder(), adapter).Stage == TUpgradeStage::Started) {
        const TQuestion question{(text + "\n\n" + Text(msg::strUpdResumeOffer)).toStdString(), title_.toStdString(),
                                 false};
        if (Ask && Ask(this, question) == TAnswer::Yes) {
            DeviceUpgradeFirmware(!adapter);
            return;
        }
    } else {
        Tell(TMessageKind::Information, title_, text);
    }
    ShowConnectStatus();
}

} // namespace lumex
