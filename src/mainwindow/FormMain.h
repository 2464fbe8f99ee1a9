// The main window: the page control with every controller function, the
// status bar, the menus, and the device thread whose ticks it shows.
#pragma once

#include "configuration/ConfigModified.h"
#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/MainTickHooks.h"
#include "mainwindow/QuestionBox.h"
#include "mainwindow/StartOptions.h"
#include "mainwindow/TickHooks.h"
#include "mainwindow/TickRules.h"
#include "mainwindow/UserMessage.h"

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QTabWidget;

namespace lumex {

class TAppConfig;
class TCalibrationPage;
class TConfWizard;
class TConfigurationOps;
class TDiagnosticsPage;
class TDeviceQuestion;
class TFormAbout;
class TFormConnectStatus;
class TFormMultiAdapterInfo;
class TFormUpgrader;
class TUpgraderLogic;
class TUpgradeSession;
struct TFileOpResult;
struct TUpdateQuery;
class TFormMultiAIO;
class TFormMultiOBD;
class TModuleMirror;
class TFrmSelectComPort;
class TLegacyConfigPage;
class TLM;
class TQtLanguageWindow;
class TReadingStrip;
class TReadingsPage;
class TSchemaPage;
class TWaitWindow;
struct TControllerLink;

// The fuel switch on the status bar: a label that reports mouse presses.
class TFuelPanel : public QLabel
{
public:
    explicit TFuelPanel(QWidget *parent = nullptr);
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers)> OnPress;

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

class TGcfOps;
struct TDiffResult;

// The configuration file dialogs the window shows by default.
QString ChooseGcfFileDialog(QWidget *owner, bool saving, const QString &folder);
bool ConfirmLoadDialog(QWidget *owner, const TDiffResult &report);
void ShowDifferencesDialog(QWidget *owner, const TDiffResult &report);
QString ChooseBackupDialog(QWidget *owner, const QStringList &backups);

class TFormMain : public QMainWindow
{
public:
    TFormMain(const TStartOptions &options, TControllerLink &link, TAppConfig *config, TLM *lm,
              QWidget *parent = nullptr);
    ~TFormMain() override;

    // Starts the device thread: the saved port, the search, then the tick.
    void StartDevice();
    TDeviceWorker &Worker() { return worker_; }
    const TDeviceSnapshot &LastSnapshot() const { return last_; }
    TReadingsPage *ReadingsPage() const { return readings_; }
    TConfWizard *Wizard() const { return wizard_; }
    TLegacyConfigPage *ConfigPage() const { return configPage_; }
    TDiagnosticsPage *Diagnostics() const { return diagnostics_; }
    TCalibrationPage *CalibrationPage() const { return calibration_; }
    TSchemaPage *SchemaPage() const { return schema_; }
    TFormAbout *About() const { return about_; }
    // The about box, modal, centred on the window, with what the controller
    // says about itself once the device thread has asked it.
    void ShowAbout();
    // The same box without waiting for it to be closed (a screenshot of it).
    void OpenAbout();
    // The installer manual beside the program, or its folder; nothing is said
    // when neither exists.
    void OpenDocumentation();
    // Where the manual lies: "docs/" in the program's folder.
    static QString DocumentationFolder();
    // How a file or folder is opened (the desktop's own way unless replaced).
    std::function<void(const QString &path)> OpenPath;
    // The modified state the configuration pages share.
    TModifiedFlag &ModifiedFlag() { return modifiedFlag_; }
    // Selects a page by its object name or a short name ("readings"), or a
    // sub-page by its object name ("TbSKnfAdvanced") with the pages above it.
    bool ShowPage(const QString &name);
    // False once the settings must not be written at exit (demo, a given device path).
    void SetSaveSettingsOnClose(bool save) { saveSettings_ = save; }
    void MarkDeviceOffline(bool offline);
    bool Offline() const { return offline_; }
    // Loads a language (`reload`: the one in force, with the fallback to
    // Polish) and rebuilds every text the window composes itself. An empty
    // code only refreshes the page on screen.
    void SetLanguage(const std::string &code, bool reload);
    // The connection status window created at start-up; without one the
    // port entry makes a window each time it is used.
    void SetConnectStatusWindow(TFormConnectStatus *window);
    // The manual port dialog made at start-up (made on use without one).
    void SetSelectPortWindow(TFrmSelectComPort *window);
    // Runs with each snapshot after the window took it (tests, screenshots).
    std::function<void(const TDeviceSnapshot &)> OnSnapshotApplied;
    // Every message box of the window goes through here.
    TMessagePresenter ShowMessage = ShowMessageBox;
    // Every question of the window goes through here.
    TQuestionPresenter Ask = AskQuestionBox;
    // The adapter page's file choice (a file dialog unless replaced); empty
    // when the user cancelled.
    std::function<QString(bool save)> ChooseAdapterFile;
    // Runs on the GUI thread when an adapter page operation is over.
    std::function<void(bool ok)> OnAdapterOperationDone;
    TFormMultiAdapterInfo *AdapterInfo() const { return adapterInfo_; }
    TFormMultiOBD *ObdWindow() const { return obd_; }
    TFormMultiAIO *AioWindow() const { return aio_; }
    // Whether the AIO window's operation went through (tests).
    std::function<void(bool ok)> OnAioOperationDone;
    // Whether the OBD window's operation in flight went through (tests).
    std::function<void(bool ok)> OnObdOperationDone;
    // The configuration file dialogs (tests answer them).
    std::function<QString(QWidget *owner, bool saving, const QString &folder)> ChooseConfigFile = ChooseGcfFileDialog;
    std::function<bool(QWidget *owner, const TDiffResult &report)> ConfirmLoad = ConfirmLoadDialog;
    std::function<void(QWidget *owner, const TDiffResult &report)> ShowDifferences = ShowDifferencesDialog;
    std::function<QString(QWidget *owner, const QStringList &backups)> ChooseBackup = ChooseBackupDialog;
    // Loads a configuration file into the controller: report, question,
    // backup, writes (FormMainFile.cpp).
    void LoadConfigFile(const QString &path);
    // Where the automatic backups go: "Backups" in the data folder.
    std::string BackupFolder() const;

    // The firmware upgrade of the controller or (false) the adapter: holds
    // the polling, takes the automatic backup, asks to save, opens the
    // upgrade window and offers the settings back (FormMainUpgrade.cpp).
    void DeviceUpgradeFirmware(bool controller);
    // Offers the backup of a completed upgrade back to the controller.
    void DeviceRestoreConfig();
    // The upgrade window was made (tests, screenshots bind it here).
    std::function<void(TFormUpgrader &)> OnUpgraderMade;
    // Shows the upgrade window modally; exec() unless replaced.
    std::function<void(TFormUpgrader &)> ExecUpgrader;
    // The upgrade is over and the polling runs again.
    std::function<void()> OnUpgradeEnded;
    bool SavedBeforeUpgrade() const { return savedBeforeUpgrade_; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void BuildMenus();
    void BuildStatusBar();
    void BuildPages();
    void ApplySnapshot(const TDeviceSnapshot &snapshot);
    void ApplyPanels(const TDeviceSnapshot &snapshot);
    void ApplyPanelTexts();
    void TickLanguageMenu();
    void ShowUnsupportedVersion(const std::string &versionDigits);
    void Tell(TMessageKind kind, const QString &caption, const QString &text);
    void ApplyLayout(const TNorviData &data);
    void UpdateCaption(const TDeviceSnapshot &snapshot);
    void PageChanged();
    void FuelPressed(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void SearchStarted();
    void SearchFinished(const TSearchResult &result);
    void PrepareAbout();
    // A port chosen by hand; `done` runs in the window once it was tried, after
    // the warning of a port the system refused.
    void SelectPortByHand(int n, std::function<void()> done = {});
    void WarnPortsRefused(const std::vector<std::string> &ports);
    void ShowConnectStatus();
    void LockOrUnlock(bool locking);
    void OfferBootloaderUpgrade(uint8_t family);
    std::string UpgradeDataFolder() const;
    void EnsureUpgradeSession();
    void UpgradeQueried(const TUpdateQuery &query, bool controller);
    void UpgradeBackupTaken(const TFileOpResult &backup);
    void OpenUpgrader();
    // `opened`: the upgrade window was open and the link must be made anew.
    void EndUpgrade(bool opened);
    bool RestorePending() const;
    bool ShowWizardPage(const QString &name);
    // The 1.4/1.5 configuration page and its device work (FormMainConfig.cpp).
    bool ShowSubPage(const QString &name);
    void BindConfigPage();
    enum class TAdapterOperation
    {
        Save,
        Load,
        Defaults
    };
    void BindAdapterPage();
    QString ChooseAdapterFileDialog(bool save);
    void RunAdapterOperation(TAdapterOperation operation, const std::string &path);
    // The OBD window (FormMainObd.cpp).
    void BindObdWindow();
    void ObdPageChanged();
    bool ObdWindowShown() const;
    bool ObdLivePageShown() const;
    void SendObdCodes();
    void BindAioWindow();
    // `force`: the read button; otherwise a modified page keeps its edits.
    void ReadConfigPage(bool force);
    // Checks and writes the page; `then` hears whether it was written as sent.
    void WriteConfigPage(const std::function<void(bool written)> &then);
    // Leaving the modified page for `target`: false keeps the page.
    bool ConfirmLeavingConfigPage(QWidget *target);
    void InjectorTypeChosen(unsigned code);
    // "Ustal": the idle hot Tb measured on the device thread.
    void CaptureIdleHotTb();
    // The configuration files (FormMainFile.cpp).
    void BuildFileMenu();
    // The schema printout and the help menu (FormMainHelp.cpp).
    void BuildHelpMenu();
    void SaveConfigFile();
    void CompareWithFile();
    void ResetToFactory();
    void RestoreBackup();

    TStartOptions options_;
    TControllerLink &link_;
    TAppConfig *config_;
    TLM *lm_;
    TMainTickHooks hooks_;
    TFormMultiAdapterInfo *adapterInfo_ = nullptr;
    std::unique_ptr<TModuleMirror> mirror_;
    TFormMultiOBD *obd_ = nullptr;
    TFormMultiAIO *aio_ = nullptr;
    QTabWidget *adapterFunctions_ = nullptr;
    QWidget *adapterPage_ = nullptr;
    TDeviceWorker worker_;
    TDeviceSnapshot last_;
    bool offline_ = false;
    bool saveSettings_ = true;
    bool shownOnce_ = false;
    bool noticeShowing_ = false;
    bool running_ = true;
    QString title_;

    QTabWidget *pages_ = nullptr;
    TReadingsPage *readings_ = nullptr;
    TDiagnosticsPage *diagnostics_ = nullptr;
    TConfWizard *wizard_ = nullptr;
    TPage shownPage_ = TPage::Measure;
    TReadingStrip *modelStrip_ = nullptr;
    TLegacyConfigPage *configPage_ = nullptr;
    TCalibrationPage *calibration_ = nullptr;
    TSchemaPage *schema_ = nullptr;
    TFormAbout *about_ = nullptr;
    QWidget *configuratorPage_ = nullptr, *calibrationPage_ = nullptr;
    QLabel *pnlDevice_ = nullptr, *pnlNotConnected_ = nullptr, *pnlVersion_ = nullptr, *pnlLock_ = nullptr;
    QLabel *pnlCorrMap_ = nullptr, *pnlObdAdapt_ = nullptr, *pnlMapAdapt_ = nullptr, *pnlPort_ = nullptr;
    TFuelPanel *pnlFuel_ = nullptr;
    QMenu *deviceMenu_ = nullptr, *fuelMenu_ = nullptr, *languageMenu_ = nullptr;
    QAction *actStart_ = nullptr, *actStop_ = nullptr, *actOffline_ = nullptr, *actConnect_ = nullptr;
    QAction *actPort_ = nullptr, *actLock_ = nullptr, *actUnlock_ = nullptr, *actConfig_ = nullptr;
    QAction *actConfigurator_ = nullptr;
    TWaitWindow *searchWait_ = nullptr;
    QPointer<TFormConnectStatus> connectStatus_;
    QPointer<TFrmSelectComPort> selectPort_;
    std::unique_ptr<TQtLanguageWindow> languageWindow_;
    std::unique_ptr<TConfigurationOps> configOps_;
    std::unique_ptr<TGcfOps> gcfOps_;
    QString lastGcfFolder_;
    // Questions of the page's device sequences; outlives no job (the
    // destructor stops the worker first).
    std::unique_ptr<TDeviceQuestion> deviceQuestion_;
    // Questions of the adapter page's jobs.
    std::unique_ptr<TDeviceQuestion> adapterQuestion_;
    TModifiedFlag modifiedFlag_;
    QWidget *lastPage_ = nullptr;
    bool returningToPage_ = false;
    // The upgrade: the session lives on the device thread while it runs.
    std::unique_ptr<TUpgraderLogic> upgLogic_;
    std::unique_ptr<TUpgradeSession> upgSession_;
    QPointer<TFormUpgrader> upgrader_;
    bool upgradeRunning_ = false;
    bool savedBeforeUpgrade_ = false;
    bool restoreAsked_ = false;
    QString upgradeConfigFile_;
};

} // namespace lumex
