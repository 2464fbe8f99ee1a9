// The 3.0 configuration wizard (PgCConfWizard on TbSConfigurator): seven
// pages of configuration controls bound to the configuration fields, with
// Back, Next, Read and Write. The rules (progress, markers, questions,
// summaries, lists, revision gates) live in the configuration classes; this
// widget fills controls from a copy of the data image, gathers the edits
// into an edited copy and hands it to the device thread.
#pragma once

#include "configuration/ConfigModified.h"
#include "configuration/ProgramLogic.h"
#include "configuration/Question.h"
#include "controller/NorviData.h"
#include "mainwindow/ConfigurationOps.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/UserMessage.h"

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace lumex {

class TDeviceWorker;
struct TWizardRow;

class TConfWizard : public QWidget
{
public:
    TConfWizard(TDeviceWorker &worker, QWidget *parent = nullptr);
    ~TConfWizard() override;

    // Questions (Yes/No or Yes/No/Cancel) go through here; tests answer them.
    std::function<TAnswer(QWidget *owner, const TQuestion &question)> Ask;
    // Messages of the wizard go through here.
    TMessagePresenter ShowMessage = ShowMessageBox;
    // The wizard page on screen changed (the window polls for it).
    std::function<void()> OnPageChanged;

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

private:
    struct TBound
    {
        const TWizardRow *Row = nullptr;
        QWidget *Widget = nullptr;
        QLabel *Label = nullptr;
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
    void ApplyDependencies();
    void RefreshDerived();
    void RefreshSummary();
    void RefreshTabs();
    void UserChanged();
    void SetModifiedColours(bool modified);

    void ReadPage();
    void ReadInspectionDistance();
    void WritePressed();
    void NextPressed();
    void PrevPressed();
    void TabClicked(int index);
    void DetectPressed();
    void IdleTbPressed();
    void ValveToggled(bool on);
    void InspectionSetPressed();

    void Report(const TConfigWriteResult &result);
    void Begin() { ++pending_; }
    void End() { --pending_; }

    TDeviceWorker &worker_;
    TConfigurationOps ops_;
    TProgramLogic logic_;
    TModifiedFlag modified_;
    // Used on the device thread only: the change-list question and the
    // leave question with the write they guard.
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
    QPushButton *detect_ = nullptr, *idleTb_ = nullptr;
    std::map<TWizardPage, QPlainTextEdit *> memos_;
    QPushButton *valve_ = nullptr;
    std::map<std::string, QLabel *> live_;
    QLabel *finishWarn_ = nullptr, *inspectionDistance_ = nullptr;
    QComboBox *nextInspection_ = nullptr, *inspectionRatio_ = nullptr;
    QPushButton *inspectionSet_ = nullptr;
    QWidget *inspectionBox_ = nullptr;
};

} // namespace lumex
