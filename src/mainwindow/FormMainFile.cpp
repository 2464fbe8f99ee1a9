// The main window's configuration files: the File menu (save, load, compare),
// the Device menu's factory settings and backups. The work runs on the
// device thread; the window asks, shows the difference report and tells.
#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/ConfWizard.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/FormGcfDifferences.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/GcfOps.h"
#include "mainwindow/UiText.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <optional>

namespace lumex {

namespace {

constexpr char kGcfSuffix[] = ".gcf";

QString Text(std::string_view key)
{
    return QString::fromStdString(MessageText(key));
}

} // namespace

QString ChooseGcfFileDialog(QWidget *owner, bool saving, const QString &folder)
{
    const QString filter = Text(msg::strGcfFilter);
    return saving ? QFileDialog::getSaveFileName(owner, QString(), folder, filter)
                  : QFileDialog::getOpenFileName(owner, QString(), folder, filter);
}

bool ConfirmLoadDialog(QWidget *owner, const TDiffResult &report)
{
    TFormGcfDifferences window(report.Differences, report.Warnings, true, owner);
    return window.exec() == QDialog::Accepted;
}

void ShowDifferencesDialog(QWidget *owner, const TDiffResult &report)
{
    TFormGcfDifferences window(report.Differences, report.Warnings, false, owner);
    window.exec();
}

QString ChooseBackupDialog(QWidget *owner, const QStringList &backups)
{
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(owner, Text(msg::strRestoreBackup), Text(msg::strRestoreBackup), backups, 0, false, &ok);
    return ok ? chosen : QString();
}

std::string TFormMain::BackupFolder() const
{
    std::string data = config_ ? config_->DataFolder() : std::string();
    if (data.empty()) {
        const TAppConfig defaults;
        const auto folders = TAppFolders::FromEnvironment(defaults.ProductName);
        data = (folders.Personal.empty() ? std::string(".") : folders.Personal) + "/" + defaults.ProductName + " Data";
    }
    return data + "/" + kBackupsFolder;
}

void TFormMain::BuildFileMenu()
{
    gcfOps_ = std::make_unique<TGcfOps>(worker_, this);
    auto action = [](QMenu *menu, const char *name, const QString &text) {
        auto *a = new QAction(text, menu);
        a->setObjectName(name);
        return a;
    };
    auto *file = new QMenu(QStringLiteral("&Plik"), this);
    file->setObjectName("MnIFile");
    menuBar()->insertMenu(deviceMenu_->menuAction(), file);
    auto *save = action(file, "MnIFileSaveAs", QStringLiteral("Zapisz konfigurację jako..."));
    auto *load = action(file, "MnIFileLoadCnf", QStringLiteral("Wczytaj ustawienia z pliku..."));
    auto *compare = action(file, "MnIFileCompare", QStringLiteral("Porównaj z plikiem..."));
    file->addActions({save, load, compare});
    connect(save, &QAction::triggered, this, [this] { SaveConfigFile(); });
    connect(load, &QAction::triggered, this, [this] {
        const QString path = ChooseConfigFile ? ChooseConfigFile(this, false, lastGcfFolder_) : QString();
        if (!path.isEmpty())
            LoadConfigFile(path);
    });
    connect(compare, &QAction::triggered, this, [this] { CompareWithFile(); });
    // The wizard's quick-settings buttons do what the menus do.
    wizard_->OnSaveSettings = [save] { save->trigger(); };
    wizard_->OnLoadSettings = [load] { load->trigger(); };

    // Before the exit entry of the Device menu.
    QAction *exit = deviceMenu_->findChild<QAction *>("MnIExit");
    auto *reset = action(deviceMenu_, "MnIDeviceReset", QStringLiteral("Przywróć ustawienia fabryczne / Reset"));
    auto *restore = action(deviceMenu_, "MnIDeviceRestoreBackup", QStringLiteral("Przywróć kopię zapasową..."));
    deviceMenu_->insertActions(exit, {reset, restore});
    deviceMenu_->insertSeparator(exit);
    connect(reset, &QAction::triggered, this, [this] { ResetToFactory(); });
    connect(restore, &QAction::triggered, this, [this] { RestoreBackup(); });
    wizard_->OnResetSettings = [this] { ResetToFactory(); };
    // Only with a controller to read from or write to.
    for (QMenu *menu : {file, deviceMenu_}) {
        connect(menu, &QMenu::aboutToShow, this, [this, save, load, compare, reset, restore] {
            const bool connected = last_.LinkUp && !last_.Offline;
            for (QAction *a : {save, load, compare, reset, restore})
                a->setEnabled(connected);
        });
    }
}

void TFormMain::SaveConfigFile()
{
    QString path = ChooseConfigFile ? ChooseConfigFile(this, true, lastGcfFolder_) : QString();
    if (path.isEmpty())
        return;
    if (!path.endsWith(kGcfSuffix, Qt::CaseInsensitive))
        path += kGcfSuffix;
    lastGcfFolder_ = QFileInfo(path).absolutePath();
    gcfOps_->Save(path.toStdString(), [this](const TFileOpResult &r) {
        if (!r.Ok) {
            Tell(TMessageKind::Warning, QString(), QString::fromStdString(r.Text()));
            return;
        }
        modifiedFlag_.SetModified(false);
        statusBar()->showMessage(Text(msg::strGcfSaved), 5000);
    });
}

void TFormMain::CompareWithFile()
{
    const QString path = ChooseConfigFile ? ChooseConfigFile(this, false, lastGcfFolder_) : QString();
    if (path.isEmpty())
        return;
    const auto text = ReadGcfText(path);
    if (!text) {
        Tell(TMessageKind::Warning, QString(), Text(msg::strGcfNoFile) + " " + path);
        return;
    }
    lastGcfFolder_ = QFileInfo(path).absolutePath();
    gcfOps_->Diff(*text, [this](const TDiffResult &r) {
        if (!r.Ok) {
            Tell(TMessageKind::Information, QString(), QString::fromStdString(r.Message));
            return;
        }
        if (ShowDifferences)
            ShowDifferences(this, r);
    });
}

void TFormMain::LoadConfigFile(const QString &path)
{
    const auto text = ReadGcfText(path);
    if (!text) {
        Tell(TMessageKind::Warning, QString(), Text(msg::strGcfNoFile) + " " + path);
        return;
    }
    lastGcfFolder_ = QFileInfo(path).absolutePath();
    // First the report and the question; the file is written only when the
    // controller still differs from it as shown.
    gcfOps_->Diff(*text, [this, fileText = *text](const TDiffResult &report) {
        if (!report.Ok) {
            Tell(TMessageKind::Information, QString(), QString::fromStdString(report.Message));
            return;
        }
        if (!ConfirmLoad || !ConfirmLoad(this, report)) {
            // Nothing was taken into the image: the pages show the controller.
            ReadConfigPage(true);
            return;
        }
        TLoadQuestions questions;
        TDeviceQuestion *asker = deviceQuestion_.get();
        questions.ClearPetrolMap = [asker] {
            return asker != nullptr && asker->Ask({MessageText(msg::strQuestMapPetrolClear),
                                                   MessageText(msg::strSaveCnfT), false}) == TAnswer::Yes;
        };
        gcfOps_->Load(fileText, report.Differences, questions, BackupFolder(), [this](const TFileOpResult &r) {
            ReadConfigPage(true);
            if (r.Cancelled) {
                Tell(TMessageKind::Information, Text(msg::strSaveCnfT), QString::fromStdString(r.Text()));
                return;
            }
            QString text = QString::fromStdString(r.Ok ? MessageText(msg::strGcfLoadDone) : r.Text());
            if (!r.BackupPath.empty())
                text += "\n" + Text(msg::strGcfBackupSaved) + " " + QString::fromStdString(r.BackupPath);
            if (r.Ok)
                modifiedFlag_.SetModified(false);
            Tell(r.Ok ? TMessageKind::Information : TMessageKind::Warning, Text(msg::strSaveCnfT), text);
        });
    });
}

void TFormMain::ResetToFactory()
{
    const TQuestion question{MessageText(msg::strWriteDefaultSettings),
                             MessageText(msg::strWriteDefaultSettingsCaption), false};
    if (!Ask || Ask(this, question) != TAnswer::Yes)
        return;
    gcfOps_->ResetToFactory(BackupFolder(), [this](const TFileOpResult &r) {
        ReadConfigPage(true);
        QString text = QString::fromStdString(r.Ok ? MessageText(msg::strDefaultsDone) : r.Text());
        if (!r.BackupPath.empty())
            text += "\n" + Text(msg::strGcfBackupSaved) + " " + QString::fromStdString(r.BackupPath);
        if (r.Ok)
            modifiedFlag_.SetModified(false);
        Tell(r.Ok ? TMessageKind::Information : TMessageKind::Warning, Text(msg::strWriteDefaultSettingsCaption), text);
    });
}

void TFormMain::RestoreBackup()
{
    gcfOps_->ListControllerBackups(BackupFolder(), [this](const std::vector<std::string> &paths) {
        if (paths.empty()) {
            Tell(TMessageKind::Information, Text(msg::strRestoreBackup), Text(msg::strNoBackups));
            return;
        }
        QStringList names;
        for (const std::string &p : paths)
            names << QFileInfo(QString::fromStdString(p)).fileName();
        const QString chosen = ChooseBackup ? ChooseBackup(this, names) : QString();
        const auto at = names.indexOf(chosen);
        if (at >= 0)
            LoadConfigFile(QString::fromStdString(paths[static_cast<std::size_t>(at)]));
    });
}

} // namespace lumex
