// The legacy window's configuration files: the file menu saves the
// controller's configuration to a ".gcf" file and writes one back after the
// difference report. The dialogs start in "Data" beside the program; the
// work runs on the device thread.
#include "legacy/NorviWindow.h"

#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/FormGcfDifferences.h"
#include "mainwindow/GcfOps.h"
#include "mainwindow/QuestionBox.h"
#include "mainwindow/UiText.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <optional>

namespace lumex {

namespace {

constexpr char kGcfSuffix[] = ".gcf";

QString LoadCaption()
{
    return UiText(msg::strSaveCnfT, QStringLiteral("Wczytaj ustawienia"));
}

} // namespace

QString TNorviWindow::DataFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Data"));
}

void TNorviWindow::BuildFileMenu()
{
    gcfOps_ = std::make_unique<TGcfOps>(*device_, this);
    ChooseFile = [](QWidget *owner, bool saving, const QString &folder, const QString &filter) {
        // The dialog falls back to the working folder when "Data" is missing.
        QDir().mkpath(folder);
        return saving ? QFileDialog::getSaveFileName(owner, QString(), folder, filter)
                      : QFileDialog::getOpenFileName(owner, QString(), folder, filter);
    };
    ConfirmLoad = [](QWidget *owner, const TDiffResult &report) {
        TFormGcfDifferences window(report.Differences, report.Warnings, true, owner);
        return window.exec() == QDialog::Accepted;
    };
    Tell = [this](const QString &caption, const QString &text, bool warning) {
        const QString shown = caption.isEmpty() ? QStringLiteral("Norvi") : caption;
        if (warning)
            QMessageBox::warning(this, shown, text);
        else
            QMessageBox::information(this, shown, text);
    };

    auto *file = menuBar()->addMenu(QStringLiteral("&Plik"));
    file->setObjectName("MnIFile");
    auto *save = file->addAction(QStringLiteral("Zapisz konfigurację jako..."));
    save->setObjectName("MnIFileSaveAs");
    auto *load = file->addAction(QStringLiteral("Wczytaj ustawienia z pliku..."));
    load->setObjectName("MnIFileLoadCnf");
    connect(save, &QAction::triggered, this, [this] { SaveConfigFile(); });
    connect(load, &QAction::triggered, this, [this] { LoadConfigFile(); });
    // Only with a controller to read from or write to.
    connect(file, &QMenu::aboutToShow, this, [this, save, load] {
        for (QAction *a : {save, load})
            a->setEnabled(last_.LinkUp);
    });
}

void TNorviWindow::SaveConfigFile()
{
    QString path =
        ChooseFile(this, true, DataFolder(), UiText(msg::strGcfFilter, QStringLiteral("Ustawienia (*.gcf)")));
    if (path.isEmpty())
        return;
    if (!path.endsWith(kGcfSuffix, Qt::CaseInsensitive))
        path += kGcfSuffix;
    gcfOps_->Save(path.toStdString(), [this](const TFileOpResult &r) {
        if (!r.Ok) {
            Tell(QString(), QString::fromStdString(r.Text()), true);
            return;
        }
        statusBar()->showMessage(UiText(msg::strGcfSaved, QStringLiteral("Konfiguracja została zapisana do pliku.")),
                                 5000);
    });
}

void TNorviWindow::LoadConfigFile()
{
    const QString path =
        ChooseFile(this, false, DataFolder(), UiText(msg::strGcfFilter, QStringLiteral("Ustawienia (*.gcf)")));
    if (!path.isEmpty())
        LoadConfigFile(path);
}

void TNorviWindow::LoadConfigFile(const QString &path)
{
    const auto text = ReadGcfText(path);
    if (!text) {
        Tell(QString(), UiText(msg::strGcfNoFile, QStringLiteral("Nie można odczytać pliku:")) + " " + path, true);
        return;
    }
    // First the report and the question; the file is written only while the
    // controller still differs from it as shown.
    gcfOps_->Diff(*text, [this, fileText = *text](const TDiffResult &report) {
        if (!report.Ok) {
            Tell(QString(), QString::fromStdString(report.Message), false);
            return;
        }
        if (!ConfirmLoad(this, report))
            return;
        TLoadQuestions questions;
        TDeviceQuestion *asker = question_.get();
        questions.ClearPetrolMap = [asker] {
            return asker->Ask({MessageText(msg::strQuestMapPetrolClear), MessageText(msg::strSaveCnfT), false}) ==
                   TAnswer::Yes;
        };
        const std::string backups = QDir(DataFolder()).filePath(kBackupsFolder).toStdString();
        QDir().mkpath(QString::fromStdString(backups));
        gcfOps_->Load(fileText, report.Differences, questions, backups, [this](const TFileOpResult &r) {
            ReadConfiguration();
            if (r.Cancelled) {
                Tell(LoadCaption(), QString::fromStdString(r.Text()), false);
                return;
            }
            QString text =
                r.Ok ? UiText(msg::strGcfLoadDone, QStringLiteral("Ustawienia z pliku zostały zapisane w sterowniku."))
                     : QString::fromStdString(r.Text());
            if (!r.BackupPath.empty())
                text += "\n" +
                        UiText(msg::strGcfBackupSaved, QStringLiteral("Poprzednia konfiguracja sterownika "
                                                                      "została zapisana w")) +
                        " " + QString::fromStdString(r.BackupPath);
            Tell(LoadCaption(), text, !r.Ok);
        });
    });
}

} // namespace lumex
