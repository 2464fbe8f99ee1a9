// The 3.0 configuration wizard (PgCConfWizard on TbSConfigurator): seven
// pages of configuration controls bound to the configuration fields, with
// Back, Next, Read and Write. The rules (progress, markers, questions,
// summaries, lists, revision gates) live in the configuration classes; this
// widget fills controls from a copy of the data image, gathers the edits
// into an edited copy and hands it to the device thread.
#pragma once

#include "configuration/ComponentPhotos.h"
#include "configuration/ConfigDependencies.h"
#include "configuration/ConfigModified.h"
#include "configuration/ProgramLogic.h"
#include "configuration/Question.h"
#include "configuration/ValueLists.h"
#include "controller/NorviData.h"
#include "mainwindow/ConfigurationOps.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/UserMessage.h"

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace lumex {

class TConfAutoCalPage;
class TDeviceWorker;
class TPictureView;
struct TWizardRow;

class TConfWizard : public QWidget
{
public:
    // `modified` is the flag the configuration and calibration pages share:
    // an edit on any of them turns every write button red.
    TConfWizard(TDeviceWorker &worker, TModifiedFlag &modified, QWidget *parent = nullptr);
    ~TConfWizard() override;

    // Questions (Yes/No or Yes/No/Cancel) go through here; tests answer them.
    std::function<TAnswer(QWidget *owner, const TQuestion &question)> Ask;
    // Messages of the wizard go through here.
    TMessagePresenter ShowMessage = ShowMessageBox;
    // "Wyznacz" beside the working pressure, and the level-sensor button:
    // their windows belong to the calibration pages.
    std::function<void()> OnDetermineWorkPressure;
    std::function<void()> OnConfigureLevelSensor;
    // The working pressure stored by its window; the list shows it.
    void ShowWorkPressure(uint8_t raw);
    // The wizard page on screen changed (the window polls for it).
    std::function<void()> OnPageChanged;
    // The model adaptation tab of the calibration pages is shown or hidden
    // (the PS-CC1 pressure sensor has no adaptation); heard on every change.
    std::function<void(bool shown)> OnModelAdaptationShown;
    // The quick-settings buttons: load a configuration file and the factory
    // settings (first page), save to a file (finish page); the window does it.
    std::function<void()> OnLoadSettings, OnResetSettings, OnSaveSettings;
    // "Dokumentacja...": the installer manual.
    std::function<void()> OnOpenDocumentation;
    // "Aktualizacja sterownika...": the connection window with its update
    // buttons, as from the device menu.
    std::function<void()> OnUpgradeFirmware;

    // The window shows the configurator page: the current wizard page is
    // re-read and filled.
    void Entered();
    // Each snapshot: live readings, and the image when nothing is edited.
    void ShowSnapshot(const TDeviceSnapshot &snapshot);

    TWizardPage CurrentPage() const;
    bool Modified() const { return modified_.IsModified(); }
    const TProgramLogic &Logic() const { return logic_; }
    // Pages change only through the wizard's own moves (Next, Back, a tab
    // click that passed the leave question).
    bool GoTo(TWizardPage page);
    // Jobs sent to the device thread whose answers have not come back.
    int Pending() const { return pending_; }
    // The text of the last write failure reported, for tests.
    QString LastFailure() const { return lastFailure_; }
    // Device-thread questions posted and not yet answered or let go.
    int QuestionsWaiting() const { return question_.Waiting(); }
    // The autocalibration page of the wizard.
    TConfAutoCalPage *AutoCal() const { return autoCal_; }
    // Whether the model adaptation tab belongs on screen now.
    bool ModelAdaptationShown() const { return adaptationShown_; }
    // The injector and pressure sensor codes the lists offer, in this order
    // (the product profile's by default; empty: every code).
    void SetOfferedCodes(std::vector<int> injectors, std::vector<int> pressureSensors);
    // The language changed: the lists take its texts, keeping what is chosen
    // and the modified flag; the texts composed from them follow.
    void Retranslate();

private:
    struct TBound
    {
        const TWizardRow *Row = nullptr;
        QWidget *Widget = nullptr;
        QLabel *Label = nullptr;
        bool Present = true; // the controller's revision has the field
    };

    void BuildPage(TWizardPage page, QWidget *sheet);
    QWidget *MakeControl(const TWizardRow &row, QWidget *parent);
    void BuildEngineExtras(QWidget *sheet);
    void BuildGasExtras(QWidget *sheet);
    void BuildVerify(QWidget *sheet);
    void BuildAutoCal(QWidget *sheet);
    void BuildFinish(QWidget *sheet);

    void Fill(const TNorviData &image);
    void FillControl(TBound &b, const TNorviData &image);
    TNorviData Gather() const;
    // The first edit whose text its field refuses, as the refusal's words.
    std::optional<QString> RefusedEdit() const;
    // Tells the installer about a refused edit; true when there was one, and
    // then nothing may be sent.
    bool RefuseBadEdits();
    // The dependency rules over the page: `toggled` is the box the installer
    // just changed, `sensorChosen` whether the pressure sensor list was.
    void ApplyDependencies(std::optional<TConfControl> toggled = std::nullopt, bool sensorChosen = false);
    // The items of a list (no choice made): the language's texts for the
    // value lists, the product's codes for the element-code lists.
    void FillListItems(QComboBox *list, TValueListId id, const TNorviData &image);
    void RefreshDerived();
    void RefreshSummary();
    void RefreshTabs();
    void UserChanged(const char *control = nullptr);
    void InjectorChosen();
    // The gas temperature correction question of a write that moves the sensor.
    TPlacementQuestion PlacementQuestion();
    void ShowComponentPhoto(TPhotoComponent component);
    void SetModifiedColours(bool modified);

    void ReadPage();
    void ReadInspectionDistance();
    void WritePressed();
    void NextPressed();
    void PrevPressed();
    void TabClicked(int index);
    void DetectPressed();
    void IdleTbPressed();
    void IdleTbCaptured(bool ok, const std::string &text, const TNorviData &image);
    void ValveToggled(bool on);
    void InspectionSetPressed();

    void Report(const TConfigWriteResult &result);
    void Begin() { ++pending_; }
    void End() { --pending_; }

    TDeviceWorker &worker_;
    TConfigurationOps ops_;
    TProgramLogic logic_;
    TModifiedFlag &modified_; // GUI thread
    // The device thread's copy of `modified_`, taken when a job is posted:
    // the confirmation reads and clears it there, where the shared flag's
    // observers (windows) must not run.
    TModifiedFlag deviceModified_;
    // Questions of the device-thread sequences; let go when the window closes.
    TDeviceQuestion question_;
    std::unique_ptr<TWriteConfirmation> confirmation_;

    TNorviData image_;
    bool haveImage_ = false;
    bool filling_ = false;
    bool accessible_ = false;
    int pending_ = 0;
    QString lastFailure_;

    QTabWidget *pages_ = nullptr;
    QPushButton *prev_ = nullptr, *next_ = nullptr, *read_ = nullptr, *write_ = nullptr;
    QLabel *counter_ = nullptr;
    std::vector<TBound> bound_;
    std::map<std::string, QWidget *> byName_;
    QCheckBox *lambda_ = nullptr;
    QLabel *nozzleSuggest_ = nullptr, *powerHp_ = nullptr, *phases_ = nullptr, *pressureInfo_ = nullptr;
    QPushButton *detect_ = nullptr, *idleTb_ = nullptr, *levelSensor_ = nullptr, *workPressureSet_ = nullptr;
    QLabel *injectorOffset_ = nullptr;
    QComboBox *workPressure_ = nullptr;
    TConfAutoCalPage *autoCal_ = nullptr;
    TPictureView *photo_ = nullptr;
    std::vector<int> offeredInjectors_, offeredSensors_;
    bool adaptationShown_ = true;
    std::map<TWizardPage, QPlainTextEdit *> memos_;
    QPushButton *valve_ = nullptr;
    std::map<std::string, QLabel *> live_;
    QLabel *finishWarn_ = nullptr, *inspectionDistance_ = nullptr;
    QComboBox *nextInspection_ = nullptr, *inspectionRatio_ = nullptr;
    QPushButton *inspectionSet_ = nullptr;
    QWidget *inspectionBox_ = nullptr;
};

} // namespace lumex
