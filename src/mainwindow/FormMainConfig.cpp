// The main window's side of the 1.4/1.5 configuration page: the device work
// its buttons ask for, through the configuration bridge, and the question
// on leaving it modified.
#include "controller/Version.h"
#include "documents/CustomParams.h"
#include "documents/MessageKeys.h"
#include "documents/ProductProfile.h"
#include "mainwindow/ConfigurationOps.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/LegacyConfigPage.h"
#include "mainwindow/UiText.h"

#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>

namespace lumex {

namespace {

std::string Text(std::string_view key, const QString &builtIn)
{
    return UiText(key, builtIn).toStdString();
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
    // The capture needs its questions answered from the device thread; until
    // that is wired the button says it is not there yet.
    if (auto *capture = configPage_->findChild<QWidget *>("BtnOdcSaveIdleHotTb")) {
        capture->setEnabled(false);
        capture->setToolTip(QStringLiteral("Pomiar czasu wtrysku na biegu jałowym nie jest jeszcze dostępny"));
    }
    if (auto *level = configPage_->findChild<QWidget *>("BtnKnfConfigLevelSensor")) {
        level->setEnabled(false);
        level->setToolTip(QStringLiteral("Konfiguracja czujnika poziomu nie jest jeszcze dostępna"));
    }
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

} // namespace lumex
