// The legacy program's main window: the readings and the 1.4/1.5
// configuration pages over the shared page widgets, its own injector list,
// and the status bar's port, communication, version and calibration panels.
// It shows the device thread's snapshots and posts the buttons' work to it.
#pragma once

#include "configuration/ConfigFileOps.h"
#include "legacy/NorviDevice.h"
#include "mainwindow/LegacyConfigPage.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QMenu;
class QTabWidget;

namespace lumex {

class TCalAutoPage;
class TDigitalDisplay;
class TFormAbout;
class TDeviceQuestion;
class TGcfOps;
class TOscilloscopePage;
class TTroubleCodePage;
class TMapPage;
class TModel1Page;
class TQtLanguageWindow;
class TReadingsPage;
struct TControllerLink;

// The gas injector types the configuration page offers: its own texts and
// order, with the shared codes.
const std::vector<TLegacyConfigPage::TOwnEntry> &NorviInjectors();

// The language menu: a code of the program and the menu item the language
// files name.
struct TNorviLanguageEntry
{
    const char *Code;
    const char *MenuItem;
    const char *Caption;
};
const std::vector<TNorviLanguageEntry> &NorviLanguageEntries();

class TNorviWindow : public QMainWindow
{
public:
    explicit TNorviWindow(TControllerLink &link, QWidget *parent = nullptr);
    ~TNorviWindow() override;

    // Starts the device thread once the window is on screen.
    void StartDevice();
    TNorviDevice &Device() { return *device_; }
    const TNorviSnapshot &Last() const { return last_; }
    // The page with this object name; false when there is none.
    bool ShowPage(const QString &name);

    // A language menu entry was chosen (the code of the entry).
    std::function<void(const std::string &code)> OnLanguageChosen;
    // Ticks the entry of the language in force.
    void TickLanguage(const std::string &code);
    QMenu *LanguageMenu() const { return languageMenu_; }
    TTroubleCodePage *TroubleCodes() const { return trouble_; }
    TOscilloscopePage *Oscilloscope() const { return osc_; }
    TFormAbout *About() const { return about_; }
    TMapPage *Map() const { return map_; }
    TModel1Page *Model() const { return model_; }
    TCalAutoPage *AutoCal() const { return autoCal_; }
    // The about box, filled from the controller while it is open.
    void ShowAbout();
    // The password dialog, then the lock or unlock on the device thread.
    void LockOrUnlock(bool locking);

    // The folder the configuration and map file dialogs start in: "Data"
    // beside the program.
    static QString DataFolder();
    // The file dialog (`saving` or opening) in `folder` with `filter`; an
    // empty text when the installer cancels. Replaceable for tests.
    std::function<QString(QWidget *owner, bool saving, const QString &folder, const QString &filter)> ChooseFile;
    // The difference report before a load; true to write the file.
    std::function<bool(QWidget *owner, const TDiffResult &report)> ConfirmLoad;
    // A message to the installer (caption, text, whether it is a warning).
    std::function<void(const QString &caption, const QString &text, bool warning)> Tell;
    // The file menu's work: the configuration to a file, a file to the
    // controller after the difference report.
    void SaveConfigFile();
    void LoadConfigFile();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void ApplySnapshot(const TNorviSnapshot &snapshot);
    void ApplyPanels(const TNorviSnapshot &snapshot);
    void BuildLanguageMenu();
    void BuildControllerMenu();
    void BuildFileMenu();
    void LoadConfigFile(const QString &path);
    void PrepareAbout();
    QWidget *BuildMapPage();
    void ShowRpm(const TNorviData &data);
    void ReadConfiguration();
    void WriteConfiguration();

    TControllerLink &link_;
    std::unique_ptr<TNorviDevice> device_;
    TNorviSnapshot last_;
    std::unique_ptr<TGcfOps> gcfOps_;
    std::unique_ptr<TDeviceQuestion> question_;
    bool fillConfigPending_ = false;
    std::unique_ptr<TQtLanguageWindow> language_;
    QMenu *languageMenu_ = nullptr;
    QTabWidget *pages_ = nullptr;
    TReadingsPage *readings_ = nullptr;
    TLegacyConfigPage *config_ = nullptr;
    TTroubleCodePage *trouble_ = nullptr;
    TOscilloscopePage *osc_ = nullptr;
    TFormAbout *about_ = nullptr;
    TMapPage *map_ = nullptr;
    TModel1Page *model_ = nullptr;
    TCalAutoPage *autoCal_ = nullptr;
    QComboBox *mapRange_ = nullptr;
    TDigitalDisplay *mapRpm_ = nullptr, *calibrationRpm_ = nullptr;
    QLabel *calibrationState_ = nullptr;
    QLabel *portPanel_ = nullptr, *commPanel_ = nullptr, *versionPanel_ = nullptr;
    QLabel *calibrationPanel_ = nullptr, *lockPanel_ = nullptr, *fuelPanel_ = nullptr;
};

} // namespace lumex
