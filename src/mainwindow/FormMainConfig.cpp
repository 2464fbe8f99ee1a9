// The main window's side of the 1.4/1.5 configuration page: the device work
// its buttons ask for, through the configuration bridge, and the question
// on leaving it modified.
#include "configuration/IdleTbCapture.h"
#include "controller/ControllerLink.h"
#include "controller/Version.h"
#include "documents/CustomParams.h"
#include "documents/MessageKeys.h"
#include "documents/ProductProfile.h"
#include "mainwindow/ConfigurationOps.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/LegacyConfigPage.h"
#include "mainwindow/UiText.h"

#include <QApplication>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>

#include <chrono>
#include <thread>

namespace lumex {

namespace {

std::string Text(std::string_view key, const QString &builtIn)
{
    return UiText(key, builtIn).toStdString();
}

// The engine settles for this long; a worker that stops cuts it short.
void SettleWait(const TDeviceWorker &worker, std::chrono::milliseconds time)
{
    constexpr std::chrono::milliseconds kSlice{50};
    const auto end = std::chrono::steady_clock::now() + time;
    while (!worker.Stopping() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kSlice, end - std::chrono::steady_clock::now()));
}

} // namespace

void TFormMain::BindConfigPage()
{
    configOps_ = std::make_unique<TConfigurationOps>(worker_, this);
    TCustomParameters offered;
    offered.ApplyProfile(SelectedProductProfile());
    configPage_->SetOfferedCodes(offered.InjectorTypes, offered.PressureSensorTypes);

    configPage_->OnModifiedChanged = [this](bool modified) { modifiedFlag_.SetModified(modified); };
    modifiedFlag_.Subscribe([this](bool modified) { configPage_->SetModified(modified); });
    configPage_->OnRead = [this] { ReadConfigPage(true); };
    configPage_->OnWrite = [this] { WriteConfigPage({}); };
    configPage_->OnWriteDefaults = [this] { ResetToFactory(); };
    deviceQuestion_ = std::make_unique<TDeviceQuestion>(
        configPage_,
        [this](QWidget *owner, const TQuestion &q) { return Ask ? Ask(owner, q) : AskQuestionBox(owner, q); },
        &worker_);
    configPage_->OnCaptureIdleHotTb = [this] { CaptureIdleHotTb(); };
    configPage_->OnInjectorTypeChosen = [this](unsigned code) { InjectorTypeChosen(code); };
    configPage_->OnDetectInjectionSystem = [this] {
        configOps_->DetectInjectionSystem([this](const TInjSystemDetection &found) {
            if (!found.Ok)
                return;
            configPage_->SetInjectionSystem(static_cast<unsigned>(found.System));
            QStringList words;
            for (uint16_t w : found.PhaseWords)
                words << QString::fromStdString(PhaseWordText(w));
            statusBar()->showMessage(words.join("   "), 10000);
        });
    };
}

void TFormMain::ReadConfigPage(bool force)
{
    configOps_->ReadConfiguration([this, force](bool ok, const TNorviData &image) {
        // Not connected or locked: nothing to show, and no word about it.
        if (!ok || !(image.VersionCode == kVersion14 || image.VersionCode == kVersion15))
            return;
        if (!force && configPage_->Modified())
            return;
        configPage_->Fill(image);
    });
}

void TFormMain::WriteConfigPage(const std::function<void(bool written)> &then)
{
    TNorviData edited = configPage_->Shown();
    // Typed numbers are checked before anything goes to the controller.
    if (const auto problem = configPage_->Collect(edited)) {
        Tell(TMessageKind::Warning, title_,
             UiText(msg::strConfInputRefused, QStringLiteral("Nieprawidłowa wartość – nic nie zostało wysłane.")) +
                 "\n\n" + *problem);
        if (then)
            then(false);
        return;
    }
    configOps_->WriteConfiguration(edited, [this, then](const TConfigWriteResult &result, const TNorviData &image) {
        switch (result.Outcome) {
        case TConfigWriteOutcome::Ok:
            configPage_->Fill(image);
            break;
        case TConfigWriteOutcome::Differing: {
            configPage_->Fill(image);
            QStringList fields;
            for (const auto &f : result.DifferingFields)
                fields << QString::fromStdString(f);
            Tell(TMessageKind::Warning, title_,
                 UiText(msg::strConfReadBackDiffers,
                        QStringLiteral("Sterownik przechowuje inne wartości niż wysłane:")) +
                     "\n" + fields.join(", "));
            break;
        }
        case TConfigWriteOutcome::Failed:
            // The page keeps the edits so the installer can try again.
            Tell(TMessageKind::Warning, title_,
                 UiText(msg::strConfWriteFailed, QStringLiteral("Sterownik nie przyjął konfiguracji.")) + "\n\n" +
                     QString::fromStdString(result.Write.Message()));
            break;
        case TConfigWriteOutcome::Refused:
            // Not connected or not unlocked: skipped without a word.
            break;
        }
        if (then)
            then(result.Ok());
    });
}

bool TFormMain::ConfirmLeavingConfigPage(QWidget *target)
{
    TQuestion question;
    question.Text = Text(msg::strQuestWriteChangedData,
                         QStringLiteral("Ustawienia na tej stronie zostały zmienione. Zapisać je w sterowniku?"));
    question.Caption = Text(msg::strConfirmDataSave, QStringLiteral("Zapis zmian"));
    question.WithCancel = true;
    const TAnswer answer = Ask ? Ask(this, question) : TAnswer::No;
    if (answer == TAnswer::No) {
        // The edits are dropped; the page reads the controller next time.
        modifiedFlag_.SetModified(false);
        return true;
    }
    // Cancel and Yes stay on the page for now; Yes moves on once written.
    returningToPage_ = true;
    pages_->setCurrentWidget(configPage_);
    returningToPage_ = false;
    lastPage_ = configPage_;
    if (answer == TAnswer::Yes) {
        QPointer<QWidget> next(target);
        WriteConfigPage([this, next](bool written) {
            if (written && next && pages_->currentWidget() == configPage_)
                pages_->setCurrentWidget(next);
        });
    }
    return false;
}

void TFormMain::InjectorTypeChosen(unsigned)
{
    if (!last_.LinkUp)
        return;
    TQuestion question;
    question.Text = Text(msg::strQuestInjChangeModel,
                         QStringLiteral("Zmieniono typ wtryskiwaczy gazowych. Wczytać domyślny model dla nowych "
                                        "wtryskiwaczy?"));
    question.Caption = Text(msg::strQCaptInjChangeModel, QStringLiteral("Zmiana wtryskiwaczy"));
    if (Ask && Ask(this, question) == TAnswer::Yes) {
        // The default models come with the calibration pages.
        Tell(TMessageKind::Information, QString::fromStdString(question.Caption),
             UiText(msg::strModelDefaultsUnavailable,
                    QStringLiteral("Wczytywanie domyślnego modelu nie jest jeszcze dostępne w tej wersji programu.")));
    }
}

void TFormMain::CaptureIdleHotTb()
{
    if (!last_.LinkUp)
        return;
    TDeviceWorker &worker = worker_;
    TDeviceQuestion &question = *deviceQuestion_;
    QPointer<TFormMain> self(this);
    const std::string before = configPage_->IdleHotTbText().toStdString();
    worker.Post([&worker, &question, self, before] {
        TIdleTbCaptureIo io;
        io.Ask = question.Asker();
        io.ShowError = [self](const std::string &text) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, text] {
                    if (self)
                        self->Tell(TMessageKind::Critical, self->title_, QString::fromStdString(text));
                },
                Qt::QueuedConnection);
        };
        io.Wait = [&worker](std::chrono::milliseconds time) { SettleWait(worker, time); };
        // The cursor belongs to the GUI thread; the application object takes
        // the restore even when the window is gone by then.
        io.BeginBusy = [] {
            QMetaObject::invokeMethod(
                qApp, [] { QApplication::setOverrideCursor(Qt::WaitCursor); }, Qt::QueuedConnection);
        };
        io.EndBusy = [] {
            QMetaObject::invokeMethod(
                qApp, [] { QApplication::restoreOverrideCursor(); }, Qt::QueuedConnection);
        };
        // The page writes reals with the decimal comma.
        io.DecimalSeparator = ',';
        std::string text = before;
        lumex::CaptureIdleHotTb(worker.Link().Manager, text, io);
        QMetaObject::invokeMethod(
            self.data(),
            [self, text, before] {
                if (!self || text == before)
                    return;
                // The value stays on the page and goes with the next write.
                self->configPage_->SetIdleHotTbText(QString::fromStdString(text));
            },
            Qt::QueuedConnection);
    });
}

} // namespace lumex
