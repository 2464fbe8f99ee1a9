// The main window as the user meets it: started through the program's own
// start-up path in a temporary home, against a simulated controller on a
// pseudo-terminal or offline. Message boxes are recorded, not shown.
#include "FirmwareWriter.h"
#include "QtWait.h"
#include "SimHarness.h"
#include "StoredSettings.h"

#include "configuration/ConfigFileOps.h"
#include "controller/ControllerLink.h"
#include "documents/AppConfig.h"
#include "documents/CustomCatalogue.h"
#include "documents/FileIo.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "documents/VersionInfo.h"
#include "mainwindow/ApplicationStartup.h"
#include "mainwindow/ConfWizard.h"
#include "mainwindow/DiagnosticsPage.h"
#include "mainwindow/FormConnectStatus.h"
#include "mainwindow/FormGcfDifferences.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/FormMultiAdapterInfo.h"
#include "mainwindow/FormUpgrader.h"
#include "mainwindow/OscilloscopePage.h"
#include "sim/controller/ControllerModel.h"
#include "upgrade/UpgradeRecord.h"
#include "widgets/PictureView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

// Readable texts in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace lumex;
using testsupport::SimHarness;

namespace {

namespace fs = std::filesystem;

bool WaitUntil(const std::function<bool()> &condition)
{
    return testsupport::PumpUntil(condition);
}

// The program, started as the installer starts it, with its settings and
// documents in a folder of its own.
class TProgram
{
public:
    explicit TProgram(std::vector<std::string> args, const std::string &settings = {},
                      const std::function<void(const fs::path &)> &prepare = {})
    {
        char pattern[] = "/tmp/lumex-window-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        ::setenv("HOME", (folder_ / "home").c_str(), 1);
        fs::create_directories(folder_ / "home");
        settingsFile_ = folder_ / "config" / "Lumex2" / SettingsFileNameOf(ProgramFileName());
        if (!settings.empty()) {
            fs::create_directories(settingsFile_.parent_path());
            std::ofstream(settingsFile_) << settings;
        }
        if (prepare)
            prepare(folder_);
        startup_ = std::make_unique<TApplicationStartup>(std::move(args), Link());
        startup_->ShowMessage = [this](QWidget *, const TUserMessage &m) { messages_.push_back(m); };
        started_ = startup_->Start();
    }
    ~TProgram()
    {
        startup_.reset();
        std::error_code ignored;
        fs::permissions(settingsFile_, fs::perms::owner_all, ignored);
        fs::remove_all(folder_, ignored);
    }

    bool Started() const { return started_; }
    TApplicationStartup &Startup() { return *startup_; }
    TFormMain &Window() { return *startup_->MainWindow(); }
    const std::vector<TUserMessage> &Messages() const { return messages_; }
    const fs::path &SettingsFile() const { return settingsFile_; }

    template <class T> T *Find(const char *name)
    {
        T *found = Window().findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString PanelText(const char *name) { return Find<QLabel>(name)->text(); }
    bool PanelShown(const char *name) { return Find<QLabel>(name)->isVisibleTo(&Window()); }
    QString ConnectStatusText(const char *name)
    {
        QObject *o = startup_->ConnectStatus()->findChild<QObject *>(name);
        if (auto *button = qobject_cast<QPushButton *>(o))
            return button->text();
        if (auto *group = qobject_cast<QGroupBox *>(o))
            return group->title();
        if (auto *label = qobject_cast<QLabel *>(o))
            return label->text();
        ADD_FAILURE() << "no " << name << " in the connection status window";
        return {};
    }
    // The ticks the window has seen.
    uint64_t Ticks() { return Window().LastSnapshot().Ticks; }
    bool WaitForTicks(uint64_t n)
    {
        const uint64_t target = Ticks() + n;
        return WaitUntil([&] { return Ticks() >= target; });
    }
    // The page the device thread polls for.
    TPage PolledPage()
    {
        TPage page = TPage::Measure;
        Window().Worker().Call([&] { page = Window().Worker().Tick().View.Page; });
        return page;
    }
    QStringList TickedLanguages()
    {
        QStringList ticked;
        for (QAction *a : Find<QMenu>("MnILanguage")->actions())
            if (a->isChecked())
                ticked << a->objectName();
        return ticked;
    }

private:
    fs::path folder_;
    fs::path settingsFile_;
    std::unique_ptr<TApplicationStartup> startup_;
    std::vector<TUserMessage> messages_;
    bool started_ = false;
};

// The shipped texts the tests look for (resources/lang, resources/locale).
struct TLanguageTexts
{
    const char *ComError;
    const char *VerError;
    const char *Petrol;
    const char *ReadingsTab;
    const char *LanguageMenu;
    const char *Refresh; // catalogue: the connection status window
    const char *P0301;   // OBD list
};
const TLanguageTexts kCzech{.ComError = "Žádné spojení s řídicí jednotkou",
                            .VerError = "Nekompatibilní verze",
                            .Petrol = "BENZÍN",
                            .ReadingsTab = "Měření (F2)",
                            .LanguageMenu = "&Jazyk",
                            .Refresh = "Obnovit",
                            .P0301 = "P0301 (Vynechávání zapalování ve válci 1)"};
const TLanguageTexts kGerman{.ComError = "Keine Verbindung zum Steuergerät",
                             .VerError = "Inkompatible Version",
                             .Petrol = "BENZIN",
                             .ReadingsTab = "Messwerte (F2)",
                             .LanguageMenu = "&Sprache",
                             .Refresh = "Neu einlesen",
                             .P0301 = "P0301 (Zündaussetzer in Zylinder 1 erkannt)"};
const TLanguageTexts kEnglish{.ComError = "No connection with the controller",
                              .VerError = "Incompatible version",
                              .Petrol = "PETROL",
                              .ReadingsTab = "Readings (F2)",
                              .LanguageMenu = "&Language",
                              .Refresh = "Refresh",
                              .P0301 = "P0301 (Misfire detected in cylinder 1)"};

void ExpectLanguage(TProgram &p, const char *code, const TLanguageTexts &t)
{
    SCOPED_TRACE(code);
    EXPECT_EQ(p.Startup().LanguageManager().LanguageCode(), code);
    EXPECT_EQ(p.PanelText("PnlStatusNotConnected"), QString::fromUtf8(t.ComError));
    EXPECT_EQ(p.PanelText("PnlStatusVersion"), QString::fromUtf8(t.VerError));
    EXPECT_EQ(p.PanelText("PnlStatusGazSwitch"), QString::fromUtf8(t.Petrol));
    auto *pages = p.Find<QTabWidget>("PgCMain");
    EXPECT_EQ(pages->tabText(0), QString::fromUtf8(t.ReadingsTab));
    EXPECT_EQ(p.Find<QMenu>("MnILanguage")->title(), QString::fromUtf8(t.LanguageMenu));
    EXPECT_EQ(p.Startup().Catalogue().CatalogueLanguage(), code);
    EXPECT_EQ(p.ConnectStatusText("BtBRefresh"), QString::fromUtf8(t.Refresh));
    EXPECT_EQ(p.Startup().Catalogue().OBDCodeText("P0301"), t.P0301);
}

} // namespace

TEST(StartUp, DemoConnectsWithTheCzechCatalogueAndObdList)
{
    TProgram p({"--demo"});
    ASSERT_TRUE(p.Started());
    EXPECT_TRUE(p.Window().isVisible());
    ASSERT_TRUE(WaitUntil([&] { return p.PanelText("PnlStatusDevice") == "30 G"; }));
    EXPECT_FALSE(p.PanelShown("PnlStatusNotConnected"));
    EXPECT_TRUE(p.Window().windowTitle().endsWith(" - Gas ECU: 30 G"));
    // The simulated line is a device path: the port panel names it below
    // /dev, not by a bare pseudo-terminal number.
    const QString device = QString::fromStdString(p.Startup().Link().Port.DevicePath());
    ASSERT_TRUE(device.startsWith("/dev/")) << device.toStdString();
    EXPECT_EQ(p.PanelText("PnlStatusPort"), device.mid(5));

    // The language of the profile, and with it the catalogue and the OBD
    // list the start-up created.
    ExpectLanguage(p, "CZ", kCzech);
    // The connection status window and the OBD and AIO windows.
    EXPECT_EQ(p.Startup().Catalogue().RegisteredWindowCount(), 3u);
    EXPECT_EQ(p.ConnectStatusText("BtBClose"), "Zavřít");
    EXPECT_EQ(p.ConnectStatusText("GrBPorts"), "Porty COM");
    EXPECT_EQ(p.ConnectStatusText("PnlNoPorts"), "Nebyly nalezeny žádné porty COM!");
    EXPECT_EQ(p.Startup().ConnectStatus()->windowTitle(), "Stav připojení");
    // A code outside the generic ranges is not looked up.
    EXPECT_EQ(p.Startup().Catalogue().OBDCodeText("P1301"), "P1301");
    EXPECT_TRUE(p.Messages().empty());
    // The secondary windows wait hidden until the port entry shows them.
    EXPECT_FALSE(p.Startup().ConnectStatus()->isVisible());
    auto *selectPort = p.Find<QDialog>("FrmSelectComPort");
    ASSERT_NE(selectPort, nullptr);
    EXPECT_FALSE(selectPort->isVisible());
}

TEST(StartUp, OfflineSendsNothingAndShowsNotConnected)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    TProgram p({"-offline", "--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitForTicks(2));
    EXPECT_TRUE(p.Window().Offline());
    EXPECT_TRUE(p.Find<QAction>("MnIDeviceOffline")->isChecked());
    EXPECT_EQ(p.PanelText("PnlStatusDevice"), "----");
    EXPECT_TRUE(p.PanelShown("PnlStatusNotConnected"));
    EXPECT_EQ(p.PanelText("PnlStatusNotConnected"), QString::fromUtf8(kCzech.ComError));
    EXPECT_FALSE(p.PanelShown("PnlStatusVersion"));
    EXPECT_FALSE(p.PanelShown("PnlStatusGazSwitch"));
    EXPECT_EQ(sim.BytesReceived(), 0u);
}

TEST(StartUp, ARecordingKilledLastTimeIsKeptAndANewOneIsJournaled)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    fs::path home;
    const auto killedRecording = [&home](const fs::path &folder) {
        home = folder / "home";
        fs::create_directories(folder / "config" / "Lumex2");
        std::ofstream(home / "drive.csv.part") << "rows of the killed drive\n";
        std::ofstream(folder / "config" / "Lumex2" / "recording.journal") << (home / "drive.csv").string() << "\n";
    };
    TProgram p({"-offline", "--port", sim.Path()}, {}, killedRecording);
    ASSERT_TRUE(p.Started());
    const fs::path journal = p.SettingsFile().parent_path() / "recording.journal";
    EXPECT_FALSE(fs::exists(journal));
    EXPECT_FALSE(fs::exists(home / "drive.csv.part"));
    std::ifstream recovered(home / "drive-recovered.csv");
    std::string row;
    EXPECT_TRUE(std::getline(recovered, row));
    EXPECT_EQ(row, "rows of the killed drive");

    // A recording of this run is named in the journal while it is open.
    std::string error;
    TOscilloscopePage &osc = *p.Window().Diagnostics()->Oscilloscope();
    ASSERT_TRUE(osc.RecordToCsv((home / "second.csv").string(), error)) << error;
    EXPECT_TRUE(fs::exists(journal));
    EXPECT_TRUE(fs::exists(home / "second.csv.part"));
}

TEST(Pages, MenuKeysAndShowPageMoveThePolledPage)
{
    TProgram p({"-OFFLINE"});
    ASSERT_TRUE(p.Started());
    auto *pages = p.Find<QTabWidget>("PgCMain");
    struct TRow
    {
        const char *Action;
        Qt::Key Key;
        const char *Page;
        TPage Polled;
    };
    // No controller identified: F3 opens the configuration assistant.
    const TRow rows[] = {
        {"MnIWinCalibration", Qt::Key_F4, "TbSCalibration", TPage::Calibration},
        {"MnIWinSchema", Qt::Key_F5, "TbSSchema", TPage::Schema},
        {"MnIWinDiagnostic", Qt::Key_F6, "TbSDiagnostic", TPage::Diagnostic},
        {"MnIWinConfigurator", Qt::Key_F3, "TbSConfigurator", TPage::Configurator},
        {"MnIWinMeasure", Qt::Key_F2, "TbSMeasure", TPage::Measure},
    };
    for (const TRow &row : rows) {
        SCOPED_TRACE(row.Action);
        auto *action = p.Find<QAction>(row.Action);
        EXPECT_EQ(action->shortcut(), QKeySequence(row.Key));
        EXPECT_TRUE(action->isVisible() && action->isEnabled());
        action->trigger();
        EXPECT_EQ(pages->currentWidget()->objectName(), row.Page);
        EXPECT_EQ(p.PolledPage(), row.Polled);
    }
    EXPECT_FALSE(p.Find<QAction>("MnIWinConfig")->isVisible());
    EXPECT_FALSE(pages->isTabVisible(pages->indexOf(p.Find<QWidget>("TbSConfig"))));

    EXPECT_TRUE(p.Window().ShowPage("calibration"));
    EXPECT_EQ(pages->currentWidget()->objectName(), "TbSCalibration");
    EXPECT_EQ(p.PolledPage(), TPage::Calibration);
    EXPECT_TRUE(p.Window().ShowPage("TbSDiagnostic"));
    EXPECT_EQ(p.PolledPage(), TPage::Diagnostic);
    EXPECT_FALSE(p.Window().ShowPage("nowhere"));
    EXPECT_EQ(pages->currentWidget()->objectName(), "TbSDiagnostic");
    // Both configuration pages by name, though one of them shares the
    // wizard pages' prefix.
    EXPECT_TRUE(p.Window().ShowPage("TbSConfig"));
    EXPECT_EQ(pages->currentWidget()->objectName(), "TbSConfig");
    EXPECT_TRUE(p.Window().ShowPage("TbSConfigurator"));
    EXPECT_EQ(pages->currentWidget()->objectName(), "TbSConfigurator");
}

TEST(Language, SwitchRetranslatesPanelsWindowsAndCatalogue)
{
    TProgram p({"-OFFLINE"});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitForTicks(1));
    ExpectLanguage(p, "CZ", kCzech);
    EXPECT_EQ(p.TickedLanguages(), QStringList{"MnILangCzech"});

    // A language without a file: the error reaches the user, everything
    // stays Czech and the tick does not move.
    p.Find<QAction>("MnILangItalian")->trigger();
    ASSERT_EQ(p.Messages().size(), 1u);
    EXPECT_EQ(p.Messages()[0].Kind, TMessageKind::Warning);
    EXPECT_EQ(p.Messages()[0].Caption, "Error");
    EXPECT_TRUE(p.Messages()[0].Text.startsWith("File not found:\r\n"));
    EXPECT_TRUE(p.Messages()[0].Text.endsWith("/Resource/_IT.lng"));
    ExpectLanguage(p, "CZ", kCzech);
    EXPECT_EQ(p.TickedLanguages(), QStringList{"MnILangCzech"});

    p.Find<QAction>("MnILangGerman")->trigger();
    ExpectLanguage(p, "DE", kGerman);
    EXPECT_EQ(p.TickedLanguages(), QStringList{"MnILangGerman"});

    p.Find<QAction>("MnILangEnglish")->trigger();
    // The English catalogue is the window's own design; the OBD list falls
    // back to the British one.
    ExpectLanguage(p, "EN", kEnglish);
    EXPECT_EQ(p.Startup().Catalogue().OBDCodesFile(), TCustom::DefaultResourceFolder() + "OBD-Codes-en_GB.lng");
    EXPECT_EQ(p.TickedLanguages(), QStringList{"MnILangEnglish"});

    // Clicking the language in force loads nothing and keeps its tick.
    p.Find<QAction>("MnILangEnglish")->trigger();
    EXPECT_EQ(p.TickedLanguages(), QStringList{"MnILangEnglish"});
    EXPECT_EQ(p.Messages().size(), 1u);

    // Opening the menu ticks the language in force and no other.
    p.Find<QAction>("MnILangCzech")->setChecked(true);
    emit p.Find<QMenu>("MnILanguage")->aboutToShow();
    EXPECT_EQ(p.TickedLanguages(), QStringList{"MnILangEnglish"});

    // The choice is what the settings file keeps.
    p.Window().close();
    const auto saved = ReadWholeFile(p.SettingsFile().string(), 1 << 16);
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find("Language=EN"), std::string::npos) << *saved;
}

TEST(Language, PasswordDialogMadeOnDemandTakesItsSection)
{
    TProgram p({"-OFFLINE"});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitForTicks(1));
    // The dialog is modal: look at it from inside its own event loop, then
    // cancel it.
    QString seen;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            if (auto *label = dialog->findChild<QLabel *>("LblPassword"))
                seen = label->text();
            dialog->reject();
        }
    });
    look.start();
    auto *unlock = p.Find<QAction>("MnIDeviceUnlock");
    ASSERT_TRUE(unlock->isEnabled());
    unlock->trigger();
    look.stop();
    EXPECT_EQ(seen, QString::fromUtf8("Heslo:"));
    // Reading the file again does not undo what the window composed.
    EXPECT_EQ(p.PanelText("PnlStatusNotConnected"), QString::fromUtf8(kCzech.ComError));
    EXPECT_TRUE(p.Messages().empty());
}

TEST(Errors, MissingLanguageFileAtStartUpFallsBackToPolish)
{
    TProgram p({"-OFFLINE"}, "[Settings]\nLanguage=TR\n");
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitForTicks(1));
    ASSERT_EQ(p.Messages().size(), 1u);
    EXPECT_EQ(p.Messages()[0].Caption, "Error");
    EXPECT_TRUE(p.Messages()[0].Text.startsWith("File not found:\r\n"));
    EXPECT_TRUE(p.Messages()[0].Text.endsWith("/_TR.lng"));
    EXPECT_EQ(p.Startup().LanguageManager().LanguageCode(), "PL");
    EXPECT_EQ(p.PanelText("PnlStatusNotConnected"), "Brak połączenia ze sterownikiem");
    EXPECT_EQ(p.ConnectStatusText("BtBRefresh"), "Odśwież");
    EXPECT_EQ(p.TickedLanguages(), QStringList{"MnILangPolish"});
}

TEST(Errors, SettingsThatCannotBeWrittenAreReportedAtClose)
{
    {
        TProgram p({"-OFFLINE"}, "[Settings]\nLanguage=DE\nComMultiPort=7\n");
        ASSERT_TRUE(p.Started());
        fs::permissions(p.SettingsFile(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        EXPECT_EQ(p.Startup().LanguageManager().LanguageCode(), "DE");
        p.Find<QAction>("MnILangEnglish")->trigger();
        p.Window().close();
        ASSERT_EQ(p.Messages().size(), 1u);
        EXPECT_EQ(p.Messages()[0].Kind, TMessageKind::Plain);
        EXPECT_EQ(p.Messages()[0].Caption, "Error!");
        EXPECT_EQ(p.Messages()[0].Text, "INI file read only");
        const auto kept = ReadWholeFile(p.SettingsFile().string(), 1 << 16);
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(*kept, "[Settings]\nLanguage=DE\nComMultiPort=7\n");
    }
    {
        // The settings folder's place is taken by a file.
        TProgram p({"-OFFLINE"}, {}, [](const fs::path &folder) {
            fs::create_directories(folder / "config");
            std::ofstream(folder / "config" / "Lumex2") << "not a folder";
        });
        ASSERT_TRUE(p.Started());
        p.Window().close();
        ASSERT_EQ(p.Messages().size(), 1u);
        EXPECT_EQ(p.Messages()[0].Caption, "Error!");
        EXPECT_EQ(p.Messages()[0].Text, "Cannot create INI file");
    }
}

TEST(UnsupportedVersion, NamedOncePerConnectionTheUserAskedFor)
{
    // The 1.3 controller sits on the saved port 3.
    SimHarness sim(testsupport::SimSetup::Of(sim::Personality::Controller13));
    constexpr int kSimPort = 3;
    Link().Port.SetPortResolver([&sim](int n) { return n == kSimPort ? sim.Path() : std::string("/nonexistent"); });
    TProgram p({}, "[Settings]\nComMultiPort=3\n");
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(WaitUntil([&] { return !p.Messages().empty(); }));
    const TUserMessage m = p.Messages()[0]; // a copy: the list grows
    EXPECT_EQ(m.Kind, TMessageKind::Information);
    EXPECT_EQ(m.Caption, "Nepodporovaná řídicí jednotka");
    EXPECT_EQ(m.Text,
              QString("Tato verze programu [") + version::ProductVersion + "] nepodporuje verzi řídicí jednotky [13]");
    EXPECT_TRUE(WaitUntil([&] { return p.PanelShown("PnlStatusVersion"); }));
    EXPECT_EQ(p.PanelText("PnlStatusVersion"), QString::fromUtf8(kCzech.VerError));
    EXPECT_EQ(p.PanelText("PnlStatusDevice"), "13 ");
    EXPECT_FALSE(p.PanelShown("PnlStatusNotConnected"));

    // The ticks reconnect and check the version again without a word.
    ASSERT_TRUE(p.WaitForTicks(3));
    EXPECT_EQ(p.Messages().size(), 1u);

    // A search the user starts is a new attempt, and so is choosing the
    // port in the connection status window.
    p.Find<QAction>("MnIDeviceConnect")->trigger();
    ASSERT_TRUE(WaitUntil([&] { return p.Messages().size() == 2; }));
    p.Startup().ConnectStatus()->OnSelectPort(kSimPort);
    ASSERT_TRUE(WaitUntil([&] { return p.Messages().size() == 3; }));
    EXPECT_EQ(p.Messages()[1].Text, m.Text);
    EXPECT_EQ(p.Messages()[2].Text, m.Text);
    ASSERT_TRUE(p.WaitForTicks(2));
    EXPECT_EQ(p.Messages().size(), 3u);
}

TEST(UnsupportedVersion, NotNamedForASupportedController)
{
    SimHarness sim(testsupport::SimSetup::Controller(0x15, std::nullopt));
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(WaitUntil([&] { return p.PanelText("PnlStatusDevice").startsWith("15"); }));
    p.Find<QAction>("MnIDeviceConnect")->trigger();
    ASSERT_TRUE(p.WaitForTicks(3));
    EXPECT_TRUE(p.Messages().empty());
    EXPECT_FALSE(p.PanelShown("PnlStatusVersion"));
}

// ---- The 3.0 configuration wizard ----

namespace {

struct TWizardRun
{
    SimHarness Sim{testsupport::SimSetup::Controller()};
    TProgram Program{{"--port", Sim.Path()}};
    std::vector<TQuestion> Questions;
    TAnswer Answer = TAnswer::Yes;

    TConfWizard &Wizard() { return *Program.Window().Wizard(); }
    std::shared_ptr<sim::ControllerModel> Model()
    {
        return std::dynamic_pointer_cast<sim::ControllerModel>(Sim.Sim().Device());
    }
    bool Idle()
    {
        return WaitUntil([&] { return Wizard().Pending() == 0; });
    }
    // Connected, on the wizard's engine page, filled from the controller.
    bool Open()
    {
        Wizard().Ask = [this](QWidget *, const TQuestion &q) {
            Questions.push_back(q);
            return Answer;
        };
        if (!Program.Started() || !WaitUntil([&] {
                return Program.Window().LastSnapshot().Accessible && Program.Window().LastSnapshot().LinkUp;
            }))
            return false;
        Program.Window().ShowPage("TbSConfigurator");
        return Idle() && Wizard().CurrentPage() == TWizardPage::Engine;
    }
    QPushButton *Button(const char *name) { return Program.Find<QPushButton>(name); }
    bool Red(const char *name) { return Button(name)->styleSheet().contains("red"); }
};

} // namespace

TEST(ConfWizard, NextWalksEveryPageAndWritesTheMarkers)
{
    TWizardRun w;
    ASSERT_TRUE(w.Open());
    auto *tabs = w.Program.Find<QTabWidget>("PgCConfWizard");
    EXPECT_EQ(w.Program.Find<QLabel>("LblConfWizCounter")->text(), "(1/7)");
    for (int page = 2; page <= kWizardPageCount; ++page) {
        w.Button("BtnConfWizNext")->click();
        ASSERT_TRUE(WaitUntil([&] { return PageNumber(w.Wizard().CurrentPage()) == page; })) << page;
        ASSERT_TRUE(w.Idle());
        EXPECT_EQ(w.Program.Find<QLabel>("LblConfWizCounter")->text(), QString("(%1/7)").arg(page));
        EXPECT_TRUE(tabs->isTabVisible(page - 1));
    }
    EXPECT_EQ(w.Wizard().Logic().Progress(), TWizardPage::Finish);
    // Past the advanced and verification pages: both markers on the controller.
    EXPECT_EQ(w.Model()->Store().wordParams[14] & 0x3, 0x3);
    EXPECT_FALSE(w.Button("BtnConfWizNext")->isEnabled());
}

TEST(ConfWizard, EditTurnsWriteRedAndLeavingAsksWithCancelStaying)
{
    TWizardRun w;
    ASSERT_TRUE(w.Open());
    EXPECT_FALSE(w.Red("BtnConfWriteConfig"));
    auto *power = w.Program.Find<QLineEdit>("EdtConfPower");
    power->setText("120");
    emit power->textEdited("120");
    EXPECT_TRUE(w.Wizard().Modified());
    EXPECT_TRUE(w.Red("BtnConfWriteConfig"));
    EXPECT_TRUE(w.Red("BtnConfWizNext"));
    EXPECT_TRUE(w.Program.Find<QLabel>("LblConfPowerHP")->text().startsWith("(163,6"));

    // Back to a page already passed: the leave question, Cancel stays.
    w.Button("BtnConfWizNext")->click();
    ASSERT_TRUE(WaitUntil([&] { return w.Wizard().CurrentPage() == TWizardPage::GasElements; }));
    ASSERT_TRUE(w.Idle());
    auto *sensorInFlow = w.Program.Find<QCheckBox>("ChBConfSensInFlow");
    sensorInFlow->click();
    ASSERT_TRUE(w.Wizard().Modified());
    w.Answer = TAnswer::Cancel;
    w.Questions.clear();
    w.Button("BtnConfWizPrev")->click();
    ASSERT_TRUE(WaitUntil([&] { return !w.Questions.empty(); }));
    ASSERT_TRUE(w.Idle());
    EXPECT_TRUE(w.Questions.front().WithCancel);
    EXPECT_EQ(w.Wizard().CurrentPage(), TWizardPage::GasElements);
    EXPECT_TRUE(w.Wizard().Modified());
    EXPECT_TRUE(w.Red("BtnConfWriteConfig"));

    // Write: the power reached the controller and the colour is gone.
    w.Button("BtnConfWriteConfig")->click();
    ASSERT_TRUE(WaitUntil([&] { return !w.Wizard().Modified(); }));
    ASSERT_TRUE(w.Idle());
    EXPECT_FALSE(w.Red("BtnConfWriteConfig"));
    EXPECT_EQ(w.Model()->Store().wordParams[6], 120);
}

TEST(ConfWizard, FailedWriteKeepsThePageModifiedAndIsReported)
{
    TWizardRun w;
    ASSERT_TRUE(w.Open());
    auto *power = w.Program.Find<QLineEdit>("EdtConfPower");
    power->setText("99");
    emit power->textEdited("99");
    w.Sim.AddFault("bad-checksum@D9:1");
    w.Button("BtnConfWriteConfig")->click();
    ASSERT_TRUE(WaitUntil([&] { return !w.Wizard().LastFailure().isEmpty(); }));
    ASSERT_TRUE(w.Idle());
    EXPECT_TRUE(w.Wizard().LastFailure().contains("WriteBasicConfigG3")) << w.Wizard().LastFailure().toStdString();
    EXPECT_TRUE(w.Wizard().Modified());
    EXPECT_TRUE(w.Red("BtnConfWriteConfig"));
    EXPECT_EQ(power->text(), "99");
    ASSERT_FALSE(w.Program.Messages().empty());
    EXPECT_EQ(w.Program.Messages().back().Kind, TMessageKind::Warning);
}

namespace {

// Chooses the entry carrying `raw` as the installer does.
void Choose(QComboBox *list, unsigned raw)
{
    const int index = list->findData(raw);
    ASSERT_GE(index, 0) << list->objectName().toStdString() << " has no " << raw;
    list->setCurrentIndex(index);
    emit list->activated(index);
}

bool OnGasElements(TWizardRun &w)
{
    if (!w.Open())
        return false;
    w.Button("BtnConfWizNext")->click();
    return WaitUntil([&] { return w.Wizard().CurrentPage() == TWizardPage::GasElements; }) && w.Idle();
}

} // namespace

TEST(ConfWizard, OneModifiedFlagColoursBothConfigurationPages)
{
    TWizardRun w;
    ASSERT_TRUE(w.Open());
    TModifiedFlag &flag = w.Program.Window().ModifiedFlag();
    auto *legacyWrite = w.Program.Find<QPushButton>("BtBKnfWriteConfiguration");
    ASSERT_FALSE(flag.IsModified());
    auto *power = w.Program.Find<QLineEdit>("EdtConfPower");
    power->setText("101");
    emit power->textEdited("101");
    // The wizard's edit is the window's modified state.
    EXPECT_TRUE(flag.IsModified());
    EXPECT_FALSE(legacyWrite->styleSheet().isEmpty());

    flag.SetModified(false);
    EXPECT_FALSE(w.Red("BtnConfWriteConfig"));
    EXPECT_TRUE(legacyWrite->styleSheet().isEmpty());
    // A change on the other page colours the wizard's buttons.
    flag.SetModified(true);
    EXPECT_TRUE(w.Red("BtnConfWriteConfig"));
    EXPECT_TRUE(w.Red("BtnConfWizNext"));
    EXPECT_TRUE(w.Wizard().Modified());
}

TEST(ConfWizard, PressureSensorChoiceDrivesTheDependentBoxesAndTheAdaptationTab)
{
    TWizardRun w;
    std::vector<bool> adaptation;
    w.Wizard().OnModelAdaptationShown = [&](bool shown) { adaptation.push_back(shown); };
    ASSERT_TRUE(OnGasElements(w));
    auto *sensor = w.Program.Find<QComboBox>("CmBConfPressureSensor");
    auto *inFlow = w.Program.Find<QCheckBox>("ChBConfSensInFlow");
    auto *noWire = w.Program.Find<QCheckBox>("ChBConfRPMWireNotConnect");
    auto *info = w.Program.Find<QLabel>("LblConfPSTInfo");

    Choose(sensor, 3); // PS-CCT3: the gas temperature sensor sits in the flow
    EXPECT_TRUE(inFlow->isChecked());
    noWire->click();
    ASSERT_TRUE(noWire->isChecked());
    // Without the RPM wire the speed comes from the petrol injectors.
    auto *source = w.Program.Find<QComboBox>("CmBConfRPMSourceType");
    EXPECT_FALSE(source->isEnabled());
    EXPECT_EQ(source->currentData().toInt(), 0);

    Choose(sensor, 1); // PS-CC1
    EXPECT_FALSE(inFlow->isChecked());
    EXPECT_FALSE(noWire->isChecked());
    EXPECT_FALSE(noWire->isEnabled());
    EXPECT_TRUE(source->isEnabled());
    EXPECT_FALSE(w.Wizard().ModelAdaptationShown());
    EXPECT_TRUE(info->text().endsWith(" PS-CC1")) << info->text().toStdString();
    EXPECT_TRUE(w.Wizard().Modified());

    Choose(sensor, 2);
    EXPECT_FALSE(inFlow->isChecked());
    EXPECT_TRUE(noWire->isEnabled());
    EXPECT_TRUE(w.Wizard().ModelAdaptationShown());
    EXPECT_EQ(adaptation, (std::vector<bool>{false, true}));

    // The summary of the next page names what was chosen, with the working pressure.
    w.Answer = TAnswer::Yes;
    w.Button("BtnConfWizNext")->click();
    ASSERT_TRUE(WaitUntil([&] { return w.Wizard().CurrentPage() == TWizardPage::Switching; }));
    ASSERT_TRUE(w.Idle());
    const QString memo = w.Program.Find<QPlainTextEdit>("MemConfSwitchDetails")->toPlainText();
    EXPECT_TRUE(memo.contains("PS-CC2")) << memo.toStdString();
    const QString pressure = w.Program.Find<QComboBox>("CmBConfWorkPressure")->currentText();
    ASSERT_FALSE(pressure.isEmpty());
    EXPECT_TRUE(memo.contains(pressure)) << memo.toStdString();
    EXPECT_EQ(w.Model()->Store().byteParams[32] & 1, 0); // sensor not in the flow
}

TEST(ConfWizard, InstallationListsFollowTheProductAndTheInjectorType)
{
    TWizardRun w;
    ASSERT_TRUE(OnGasElements(w));
    auto *injectors = w.Program.Find<QComboBox>("CmBConfGasInjType");
    w.Wizard().SetOfferedCodes({8, 0, 5}, {3, 1});
    ASSERT_EQ(injectors->count(), 3);
    EXPECT_EQ(injectors->itemData(0).toInt(), 8);
    EXPECT_EQ(injectors->itemText(1), "MATRIX (5ohms)");
    auto *sensors = w.Program.Find<QComboBox>("CmBConfPressureSensor");
    ASSERT_EQ(sensors->count(), 2);
    EXPECT_EQ(sensors->itemText(0), "PS-CCT3");

    // A level sensor type shows its settings button.
    auto *level = w.Program.Find<QPushButton>("BtnConfLevSensConfig");
    Choose(w.Program.Find<QComboBox>("CmBConfLevelSensor"), 1);
    EXPECT_FALSE(level->isHidden());
    EXPECT_TRUE(level->isEnabled());

    // The photo follows the list last used; a missing picture is an empty frame.
    auto *photo = w.Program.Find<TPictureView>("PnlConfComponentPhoto");
    Choose(injectors, 8);
    const bool havePicture = fs::exists(fs::path(TLM::DefaultResourceFolder()) / "__gas_injector.jpg");
    EXPECT_EQ(photo->HasPicture(), havePicture);
    EXPECT_EQ(w.Program.Find<QLabel>("LblConfInjModelOffset")->text(), "(2,5)");
    Choose(injectors, 0);
    EXPECT_EQ(w.Program.Find<QLabel>("LblConfInjModelOffset")->text(), "(1,0)");
}

namespace {

QStringList Items(QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

} // namespace

// The enumeration lists take their entries from the language file; a
// language change keeps what was chosen (the raw values) and the modified
// state, and the summary follows; number and product lists stay as they are.
TEST(ConfWizard, ListEntriesFollowTheLanguageKeepingChoicesAndTheModifiedState)
{
    TWizardRun w;
    ASSERT_TRUE(OnGasElements(w));
    auto *engine = w.Program.Find<QComboBox>("CmBConfEngineType");
    auto *system = w.Program.Find<QComboBox>("CmBConfInjSystemType");
    auto *ignition = w.Program.Find<QComboBox>("CmBConfRPMSource");
    auto *level = w.Program.Find<QComboBox>("CmBConfLevelSensor");
    auto *reducer = w.Program.Find<QComboBox>("CmBConfReducer");
    auto *memo = w.Program.Find<QPlainTextEdit>("MemConfGasDetails");
    // The program starts in Czech.
    EXPECT_EQ(Items(engine), (QStringList{QString::fromUtf8("Atmosférický"), QString::fromUtf8("Přeplňovaný")}));
    EXPECT_EQ(reducer->itemText(0), QString::fromUtf8("Jiný"));
    EXPECT_EQ(w.Program.Find<QComboBox>("CmBConfNextInspection")->itemText(0), "Nenastaveno");
    const QStringList switchTemps = Items(w.Program.Find<QComboBox>("CmBConfNomTred"));
    const QStringList injectors = Items(w.Program.Find<QComboBox>("CmBConfGasInjType"));
    ASSERT_FALSE(switchTemps.isEmpty());

    ASSERT_FALSE(w.Wizard().Modified());
    Choose(engine, 1);
    Choose(system, 2);
    Choose(ignition, 2);
    Choose(level, 0);
    const QVariant reducerRead = reducer->currentData();
    ASSERT_TRUE(reducerRead.isValid());
    ASSERT_TRUE(w.Wizard().Modified());
    EXPECT_TRUE(memo->toPlainText().contains(QString::fromUtf8("Polosekvenční"))) << memo->toPlainText().toStdString();

    w.Program.Window().SetLanguage("EN", false);
    EXPECT_EQ(Items(engine), (QStringList{"Naturally aspirated", "Turbocharged"}));
    EXPECT_EQ(engine->currentData().toUInt(), 1u);
    EXPECT_EQ(system->currentText(), "Semi-sequential");
    EXPECT_EQ(system->currentData().toUInt(), 2u);
    EXPECT_EQ(ignition->currentText(), "Rev counter");
    EXPECT_EQ(level->currentText(), "Reserve switch");
    EXPECT_EQ(reducer->currentData(), reducerRead);
    EXPECT_EQ(w.Program.Find<QComboBox>("CmBConfRPMSourceType")->itemText(0), "Petrol injectors");
    EXPECT_EQ(w.Program.Find<QComboBox>("CmBConfNextInspection")->itemText(0), "Not set");
    EXPECT_TRUE(w.Wizard().Modified());
    EXPECT_TRUE(w.Red("BtnConfWriteConfig"));
    EXPECT_TRUE(memo->toPlainText().contains("Semi-sequential")) << memo->toPlainText().toStdString();
    EXPECT_TRUE(memo->toPlainText().contains("Turbocharged")) << memo->toPlainText().toStdString();
    EXPECT_EQ(Items(w.Program.Find<QComboBox>("CmBConfNomTred")), switchTemps);
    EXPECT_EQ(Items(w.Program.Find<QComboBox>("CmBConfGasInjType")), injectors);

    // What the installer chose is what is written.
    w.Button("BtnConfWriteConfig")->click();
    ASSERT_TRUE(WaitUntil([&] { return !w.Wizard().Modified(); }));
    ASSERT_TRUE(w.Idle());
    EXPECT_EQ(w.Model()->Store().core.EngineType, 1);
    EXPECT_EQ(w.Model()->Store().core.RPMsource, 2);
    EXPECT_EQ(w.Model()->Store().byteParams[33], 0);

    // Unmodified stays unmodified; Polish shows the built-in texts.
    w.Program.Window().SetLanguage("PL", false);
    EXPECT_FALSE(w.Wizard().Modified());
    EXPECT_FALSE(w.Red("BtnConfWriteConfig"));
    EXPECT_EQ(engine->currentText(), "TURBO");
    EXPECT_EQ(system->currentText(), QString::fromUtf8("PÓŁSEKWENCYJNY"));
    EXPECT_EQ(ignition->currentText(), "Obrotomierz");
    EXPECT_EQ(Items(level), (QStringList{"Rezerwa", "ORVEX PW", "AEB 1050", "0-90"}));
}

TEST(ConfWizard, NewInjectorTypeOffersToResetTheInjectorCorrections)
{
    TWizardRun w;
    ASSERT_TRUE(OnGasElements(w));
    TControllerLink &link = Link();
    ASSERT_TRUE(w.Program.Window().Worker().Call([&] {
        link.Manager.Data().InjCorr = {0, 0, 4, 0, 0, 0, 0, 0xFE};
        ASSERT_TRUE(link.Manager.WriteInjCorr());
    }));
    w.Button("BtnConfReadConfig")->click();
    ASSERT_TRUE(w.Idle());
    auto *injectors = w.Program.Find<QComboBox>("CmBConfGasInjType");
    ASSERT_GE(injectors->count(), 3);
    const auto entry = [&](int steps) {
        return injectors->itemData((injectors->currentIndex() + steps) % injectors->count()).toUInt();
    };
    const unsigned other = entry(1), third = entry(2);

    w.Questions.clear();
    w.Answer = TAnswer::No;
    Choose(injectors, other);
    ASSERT_EQ(w.Questions.size(), 1u);
    EXPECT_FALSE(w.Questions[0].WithCancel);
    EXPECT_EQ(w.Questions[0].Caption, MessageTextInForce("strQCaptInjEraseCorrect"));
    EXPECT_EQ(w.Questions[0].Text, MessageTextInForce("strQuestInjEraseCorrect"));
    ASSERT_TRUE(w.Idle());
    EXPECT_EQ(w.Model()->Store().injCorr[2], 4);

    w.Answer = TAnswer::Yes;
    Choose(injectors, third);
    ASSERT_TRUE(w.Idle());
    EXPECT_EQ(w.Model()->Store().injCorr, (std::array<int8_t, 8>{}));
    // Zeroed: the next change has nothing to ask.
    w.Questions.clear();
    Choose(injectors, other);
    EXPECT_TRUE(w.Questions.empty());
}

TEST(ConfWizard, IdleTbCaptureFillsTheEditOrExplainsWhyNot)
{
    TWizardRun w;
    ASSERT_TRUE(OnGasElements(w));
    auto *edit = w.Program.Find<QLineEdit>("EdtConfIdleHotTb");
    const QString before = edit->text();
    w.Sim.Control("engine idle");
    w.Sim.Control("set petrol 935"); // 5 ms on every cylinder
    w.Sim.Control("set tred 68");    // 49.8 °C: too cold
    // The capture judges the reducer by the live readings the page polls.
    const auto reducerRead = [&](uint8_t raw) {
        return WaitUntil([&] { return w.Program.Window().LastSnapshot().Data.TredRaw == raw; });
    };
    ASSERT_TRUE(reducerRead(68));
    const std::size_t messages = w.Program.Messages().size();
    w.Button("BtnConfIdleHotTb")->click();
    ASSERT_TRUE(WaitUntil([&] { return w.Wizard().Pending() == 0 && w.Program.Messages().size() > messages; }));
    EXPECT_EQ(w.Program.Messages().back().Kind, TMessageKind::Critical);
    EXPECT_EQ(edit->text(), before);
    EXPECT_FALSE(w.Wizard().Modified());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    w.Sim.Control("set tred 67"); // 50.3 °C
    ASSERT_TRUE(reducerRead(67));
    w.Questions.clear();
    w.Button("BtnConfIdleHotTb")->click();
    ASSERT_TRUE(WaitUntil([&] { return w.Wizard().Pending() == 0 && edit->text() != before; }))
        << edit->text().toStdString() << " asked " << w.Questions.size() << " messages " << w.Program.Messages().size()
        << " " << (w.Program.Messages().empty() ? "" : w.Program.Messages().back().Text.toStdString());
    ASSERT_EQ(w.Questions.size(), 1u);
    EXPECT_EQ(edit->text(), "5,00");
    EXPECT_TRUE(w.Wizard().Modified());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // Written with the configuration.
    w.Button("BtnConfWriteConfig")->click();
    ASSERT_TRUE(WaitUntil([&] { return !w.Wizard().Modified(); }));
    ASSERT_TRUE(w.Idle());
    EXPECT_EQ(w.Model()->Store().wordParams[8], 935);
}

// The program closing while a write waits for the change-list question:
// the device thread lets it go and the window closes without writing.
TEST(ConfWizard, ClosingDuringAQuestionNeitherHangsNorWrites)
{
    TWizardRun w;
    ASSERT_TRUE(w.Open());
    const uint16_t power = w.Model()->Store().wordParams[6];
    auto *edit = w.Program.Find<QLineEdit>("EdtConfPower");
    edit->setText("123");
    emit edit->textEdited("123");
    w.Button("BtnConfWriteConfig")->click();
    // The GUI thread does not pump: the question stays unanswered.
    ASSERT_TRUE(testsupport::WaitFor([&] { return w.Wizard().QuestionsWaiting() == 1; }));
    w.Program.Window().close();
    EXPECT_FALSE(w.Program.Window().Worker().Running());
    QApplication::processEvents();
    EXPECT_TRUE(w.Questions.empty());
    EXPECT_EQ(w.Model()->Store().wordParams[6], power);
}

// The demo line carries an adapter: the connection status window and the
// adapter page show it, and the page's buttons save a settings file and
// load it back through the window's own question box.
TEST(AdapterPage, DemoShowsTheAdapterAndItsButtonsSaveAndLoad)
{
    TProgram p({"--demo"});
    ASSERT_TRUE(p.Started());
    auto *save = p.Find<QPushButton>("BtBAdapterSaveToFile");
    auto *load = p.Find<QPushButton>("BtBAdapterLoadFromFile");
    ASSERT_TRUE(WaitUntil([&] { return save->isEnabled(); }));
    const TLM &lm = p.Startup().LanguageManager();
    EXPECT_EQ(p.ConnectStatusText("LblAdapterState"), QString::fromStdString(lm.MessageText("strTextConnected")));
    const QString version = p.Window().AdapterInfo()->findChild<QLabel *>("LblAdapterVersion")->text();
    EXPECT_FALSE(version.startsWith("[")) << version.toStdString();
    EXPECT_TRUE(p.ConnectStatusText("LblAdapterVersion").contains(version));
    EXPECT_EQ(save->text().toStdString(), lm.MessageText("strAdpSaveToFile"));

    const fs::path file = fs::path(std::getenv("HOME")) / "adapter.gaf";
    std::vector<std::string> asked;
    TAnswer answer = TAnswer::Yes;
    p.Window().ChooseAdapterFile = [&](bool) { return QString::fromStdString(file.string()); };
    p.Window().Ask = [&](QWidget *, const TQuestion &q) {
        asked.push_back(q.Text);
        return answer;
    };
    int done = 0;
    bool lastOk = false;
    p.Window().OnAdapterOperationDone = [&](bool ok) {
        ++done;
        lastOk = ok;
    };

    save->click();
    ASSERT_TRUE(WaitUntil([&] { return done == 1; }));
    EXPECT_TRUE(lastOk) << (p.Messages().empty() ? "" : p.Messages().back().Text.toStdString());
    const auto text = ReadWholeFile(file.string(), 1 << 16);
    ASSERT_TRUE(text.has_value());
    const std::string &saved = *text;
    EXPECT_NE(saved.find("[Info]"), std::string::npos) << saved;
    EXPECT_NE(saved.find("Device=" + version.toStdString()), std::string::npos) << saved;

    EXPECT_NE(saved.find("[OBD]"), std::string::npos) << saved;
    EXPECT_NE(saved.find("OBDAdaptMinRPM_EE="), std::string::npos) << saved;

    // The load asks before writing; answering No keeps the device as it is.
    answer = TAnswer::No;
    load->click();
    ASSERT_TRUE(WaitUntil([&] { return done == 2; }));
    EXPECT_FALSE(lastOk);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], lm.MessageText("strTextQuestionSaveConfig"));
    ASSERT_FALSE(p.Messages().empty());
    EXPECT_EQ(p.Messages().back().Text.toStdString(), lm.MessageText("strAdpFileReadError"));

    answer = TAnswer::Yes;
    asked.clear();
    load->click();
    ASSERT_TRUE(WaitUntil([&] { return done == 3; }));
    EXPECT_TRUE(lastOk);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], lm.MessageText("strTextQuestionSaveConfig"));
    EXPECT_EQ(p.Messages().back().Text.toStdString(), lm.MessageText("strAdpLoaded"));
}

// ---- The OBD window ----

namespace {

// A controller with an adapter whose car is connected from the start.
sim::SimulatorOptions ControllerWithCar(std::optional<uint8_t> letter = 'G')
{
    sim::SimulatorOptions o = testsupport::SimSetup::Controller(0x30, letter);
    o.adapter = sim::AdapterIdentity{};
    o.adapter->obd.connectedAtStart = true;
    return o;
}

QString TabText(QTabWidget *tabs, const char *page)
{
    return tabs->tabText(tabs->indexOf(tabs->findChild<QWidget *>(page)));
}

} // namespace

// Nothing on the line answers as an adapter: every button of the window
// that would talk to one stays disabled.
TEST(ObdWindow, ButtonsAreDisabledWithoutAnAdapter)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Window().ShowPage("TbSOBDConfig"));
    ASSERT_TRUE(WaitUntil([&] { return p.PanelText("PnlStatusDevice") == "30 G"; }));
    ASSERT_TRUE(p.WaitForTicks(3));
    for (const char *name : {"BtnOBDConnectControl", "BtnOBDDetectProtocol", "BtBOBDReadConfig", "BtBOBDWriteConfig",
                             "BtBOBDAdaptClearCorrs", "BtBOBDReadErrors", "BtBOBDClearErrors"})
        EXPECT_FALSE(p.Find<QPushButton>(name)->isEnabled()) << name;
}

// The window shows the configuration the adapter had when it was found; a
// write the adapter never answers is reported and leaves the edit and the
// modified mark on screen, tick after tick; the next write sends it.
TEST(ObdWindow, AFailedWriteKeepsTheEdits)
{
    SimHarness sim(ControllerWithCar());
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Window().ShowPage("TbSOBDConfig"));
    auto *write = p.Find<QPushButton>("BtBOBDWriteConfig");
    auto *autoConnect = p.Find<QCheckBox>("ChBOBDAutoConnect");
    auto *protocol = p.Find<QComboBox>("CmBOBDProtocol");
    // Protocol 4, read from the adapter at detection.
    ASSERT_TRUE(WaitUntil([&] { return write->isEnabled() && protocol->currentIndex() == 3; }));
    EXPECT_FALSE(autoConnect->isChecked());
    EXPECT_FALSE(write->styleSheet().contains("red"));

    int done = 0;
    bool lastOk = true;
    p.Window().OnObdOperationDone = [&](bool ok) {
        ++done;
        lastOk = ok;
    };
    sim.AddFault("silence@C2/72");
    autoConnect->click();
    ASSERT_TRUE(autoConnect->isChecked());
    EXPECT_TRUE(write->styleSheet().contains("red"));
    write->click();
    ASSERT_TRUE(WaitUntil([&] { return done == 1; }));
    EXPECT_FALSE(lastOk);
    ASSERT_FALSE(p.Messages().empty());
    const TLM &lm = p.Startup().LanguageManager();
    EXPECT_EQ(p.Messages().back().Text.toStdString(), lm.MessageText("strObdWriteFailed"));
    ASSERT_TRUE(p.WaitForTicks(3));
    EXPECT_TRUE(autoConnect->isChecked());
    EXPECT_TRUE(write->styleSheet().contains("red"));

    sim.Control("clear-faults");
    ASSERT_TRUE(WaitUntil([&] { return write->isEnabled(); }));
    write->click();
    ASSERT_TRUE(WaitUntil([&] { return done == 2; }));
    EXPECT_TRUE(lastOk);
    // The mark comes from the module state, which the next snapshot brings.
    EXPECT_TRUE(WaitUntil([&] { return !write->styleSheet().contains("red"); }));
    ASSERT_TRUE(p.WaitForTicks(3));
    EXPECT_TRUE(autoConnect->isChecked());
}

// The demo car's recorded codes are listed with the descriptions of the
// language in force; switching from Czech to German retranslates the
// window's captions and its state words.
TEST(ObdWindow, DemoListsTheCarsCodesAndFollowsTheLanguage)
{
    TProgram p({"--demo"});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Window().ShowPage("TbSOBDErrors"));
    auto *read = p.Find<QPushButton>("BtBOBDReadErrors");
    auto *troubles = p.Find<QPlainTextEdit>("MemOBDTroubles");
    ASSERT_TRUE(WaitUntil([&] { return read->isEnabled(); }));
    read->click();
    ASSERT_TRUE(WaitUntil([&] { return troubles->toPlainText().contains("U0100"); }));
    const QString listed = troubles->toPlainText();
    EXPECT_TRUE(
        listed.contains(QString::fromUtf8("P0123 (Snímač polohy škrticí klapky nebo pedálu A: vysoký vstup obvodu)")))
        << listed.toStdString();
    EXPECT_TRUE(listed.contains(QString::fromUtf8("U0100 (Ztráta komunikace s řídicí jednotkou motoru A)")))
        << listed.toStdString();
    EXPECT_FALSE(listed.contains("Error 3")) << listed.toStdString();

    auto *tabs = p.Find<QTabWidget>("PgCOBD");
    auto *state = p.Find<QLabel>("LblOBDLinkState");
    auto *connect = p.Find<QPushButton>("BtnOBDConnectControl");
    EXPECT_EQ(TabText(tabs, "TbSOBDErrors"), QString::fromUtf8("Chybové kódy"));
    EXPECT_EQ(TabText(tabs, "TbSOBDLive"), QString::fromUtf8("Aktuální data"));
    ASSERT_TRUE(WaitUntil([&] { return state->text() == QString::fromUtf8("Připojeno (CAN)"); }));
    EXPECT_EQ(connect->text(), "Odpojit");
    auto *functions = p.Find<QTabWidget>("PgCAdapterFunctions");
    EXPECT_EQ(TabText(functions, "TbSAdapterAIO"), QString::fromUtf8("Emulace lambda sondy"));
    ASSERT_TRUE(p.Window().ShowPage("TbSOBDLive"));
    auto *fuel = p.Find<QLabel>("LblOBDFuelSystemStatusB1");
    ASSERT_TRUE(WaitUntil([&] { return fuel->text() == QString::fromUtf8("Uzavřená smyčka"); }))
        << fuel->text().toStdString();

    p.Find<QAction>("MnILangGerman")->trigger();
    EXPECT_EQ(TabText(functions, "TbSAdapterAIO"), "Lambda-Emulation");
    EXPECT_EQ(TabText(functions, "TbSAdapterOBD"), "OBD");
    EXPECT_EQ(p.Find<QGroupBox>("GrBOBDController")->title(), QString::fromUtf8("Gassteuergerät"));
    ASSERT_TRUE(WaitUntil([&] { return fuel->text() == "Geschlossener Regelkreis"; })) << fuel->text().toStdString();
    EXPECT_EQ(TabText(tabs, "TbSOBDErrors"), "Fehlercodes");
    EXPECT_EQ(TabText(tabs, "TbSOBDLive"), "Live-Daten");
    EXPECT_EQ(TabText(tabs, "TbSOBDConfig"), "Konfiguration");
    EXPECT_EQ(p.Find<QCheckBox>("ChBOBDAutoConnect")->text(),
              QString::fromUtf8("Automatisch verbinden nach dem Motorstart"));
    EXPECT_EQ(connect->text(), "Trennen");
    ASSERT_TRUE(WaitUntil([&] { return state->text() == "Verbunden (CAN)"; })) << state->text().toStdString();
}

// The live page shows the gas controller's own readings beside the car's,
// as the controller reports them, and gives them up when its link goes.
TEST(ObdWindow, LivePageComparesTheControllersReadings)
{
    SimHarness sim(ControllerWithCar());
    sim.Control("engine idle");
    sim.Control("set rpm 1500");
    sim.Control("set tgas 200");
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Window().ShowPage("TbSOBDLive"));
    auto *carRpm = p.Find<QLabel>("LblOBDRPM");
    auto *rpm = p.Find<QLabel>("LblOBDCtrlRPM");
    auto *tgas = p.Find<QLabel>("LblOBDCtrlTgas");
    auto *map = p.Find<QLabel>("LblOBDCtrlMAP");
    ASSERT_TRUE(WaitUntil([&] { return rpm->text() == "1500" && carRpm->text() == "1726"; }))
        << rpm->text().toStdString() << " / " << carRpm->text().toStdString();
    EXPECT_EQ(tgas->text(), "-1.7");
    EXPECT_NE(map->text(), "-----");

    sim.Control("set rpm 2500");
    EXPECT_TRUE(WaitUntil([&] { return rpm->text() == "2500"; })) << rpm->text().toStdString();

    sim.AddFault("silence@*");
    EXPECT_TRUE(WaitUntil([&] { return rpm->text() == "-----" && tgas->text() == "-----"; }))
        << rpm->text().toStdString();
}

// ---- The AIO window ----

// A written cell is what the adapter's AIO settings then hold: a Read
// brings it back over a local change. A cell out of range refuses the
// whole Write with its message and sends nothing, not even the good cells.
TEST(AioWindow, WriteStoresTheCellsAndRefusesAnOutOfRangeOne)
{
    SimHarness sim(ControllerWithCar());
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Window().ShowPage("TbSAdapter"));
    auto *functions = p.Find<QTabWidget>("PgCAdapterFunctions");
    functions->setCurrentWidget(p.Find<QWidget>("TbSAdapterAIO"));
    auto *cells = p.Find<QTableWidget>("StGLam1EmulatorThreshold");
    auto *read = p.Find<QPushButton>("BtBReadLamEmulCnf");
    auto *write = p.Find<QPushButton>("BtBWriteLamEmulCnf");
    ASSERT_TRUE(WaitUntil([&] { return write->isEnabled() && !cells->item(0, 0)->text().isEmpty(); }));
    const QString first = cells->item(0, 0)->text();
    int done = 0;
    bool lastOk = false;
    p.Window().OnAioOperationDone = [&](bool ok) {
        ++done;
        lastOk = ok;
    };
    auto runAndWait = [&](QPushButton *button) {
        const int before = done;
        button->click();
        return WaitUntil([&] { return done == before + 1; });
    };

    cells->item(1, 2)->setText("777");
    ASSERT_TRUE(runAndWait(write));
    EXPECT_TRUE(lastOk);
    cells->item(1, 2)->setText("5");
    ASSERT_TRUE(runAndWait(read));
    EXPECT_EQ(cells->item(1, 2)->text(), "777");

    const std::size_t messages = p.Messages().size();
    cells->item(0, 0)->setText(first == "123" ? "124" : "123");
    cells->item(1, 2)->setText("1001");
    write->click();
    ASSERT_EQ(p.Messages().size(), messages + 1);
    const TLM &lm = p.Startup().LanguageManager();
    EXPECT_EQ(p.Messages().back().Text.toStdString(), lm.MessageText("strAioCellOutOfRange"));
    ASSERT_TRUE(p.WaitForTicks(2));
    EXPECT_EQ(done, 2);
    ASSERT_TRUE(runAndWait(read));
    EXPECT_EQ(cells->item(0, 0)->text(), first);
    EXPECT_EQ(cells->item(1, 2)->text(), "777");
}

// ---- The upgrade flow of the main window ----

namespace {

// A controller that accepts an upgrade, and the program around it with the
// installer's answers and file choices scripted.
class TUpgradeFlow
{
public:
    explicit TUpgradeFlow(sim::SimulatorOptions options = UpgradableController())
        : sim_(std::move(options)), program_({"--port", sim_.Path()})
    {
        if (!program_.Started())
            return;
        TFormMain &w = program_.Window();
        w.Ask = [this](QWidget *, const TQuestion &q) {
            Asked.push_back(q.Text);
            if (Answers.empty())
                return TAnswer::No;
            const TAnswer a = Answers.front();
            Answers.erase(Answers.begin());
            return a;
        };
        w.ChooseConfigFile = [this](QWidget *, bool, const QString &) {
            ++Chosen;
            return SavePath;
        };
        w.OnUpgraderMade = [this](TFormUpgrader &) { ++Opened; };
        // The window closes at once: no file is programmed.
        w.ExecUpgrader = [](TFormUpgrader &window) { static_cast<QDialog &>(window).reject(); };
        w.OnUpgradeEnded = [this] { ++Ended; };
    }

    static sim::SimulatorOptions UpgradableController()
    {
        auto o = testsupport::SimSetup::Controller(0x30, 'G');
        o.controller.variant = 4; // the variant that takes an upgrade
        return o;
    }

    bool Connected()
    {
        return WaitUntil([&] { return program_.PanelText("PnlStatusDevice") == "30 G"; });
    }
    bool Run()
    {
        program_.Window().DeviceUpgradeFirmware(true);
        return WaitUntil([&] { return Ended == 1; });
    }
    std::vector<fs::path> Backups()
    {
        std::vector<fs::path> found;
        std::error_code ignored;
        for (const auto &e : fs::directory_iterator(program_.Window().BackupFolder(), ignored))
            if (e.path().string().ends_with("-upgrade.gcf"))
                found.push_back(e.path());
        return found;
    }
    bool AskedFor(const char *key) const
    {
        const std::string text = MessageText(key);
        return std::any_of(Asked.begin(), Asked.end(),
                           [&](const std::string &q) { return q.find(text) != std::string::npos; });
    }

    SimHarness &Sim() { return sim_; }
    TProgram &Program() { return program_; }

    std::vector<TAnswer> Answers;
    std::vector<std::string> Asked;
    QString SavePath;
    int Chosen = 0;
    int Opened = 0;
    int Ended = 0;

private:
    SimHarness sim_;
    TProgram program_;
};

} // namespace

// Yes to the save question saves the configuration where the installer
// chose, beside the automatic backup, and then opens the upgrade window;
// No opens it without asking for a file.
TEST(UpgradeFlow, TheSaveQuestionSavesOnYesOnly)
{
    for (const bool yes : {true, false}) {
        TUpgradeFlow f;
        ASSERT_TRUE(f.Program().Started());
        ASSERT_TRUE(f.Connected());
        const fs::path saved = fs::temp_directory_path() / ("upgrade-flow-" + std::to_string(::getpid()) + ".gcf");
        fs::remove(saved);
        f.SavePath = QString::fromStdString(saved.string());
        f.Answers = {yes ? TAnswer::Yes : TAnswer::No};
        ASSERT_TRUE(f.Run()) << yes;
        EXPECT_TRUE(f.AskedFor(msg::strQuestUpdSaveSettings)) << yes;
        EXPECT_EQ(f.Chosen, yes ? 1 : 0);
        EXPECT_EQ(fs::exists(saved), yes);
        EXPECT_EQ(f.Opened, 1) << yes;
        EXPECT_EQ(f.Backups().size(), 1u) << yes;
        fs::remove(saved);
    }
}

// A save that fails is said and asked about; the cautious answer ends the
// upgrade before its window opens.
TEST(UpgradeFlow, ASaveFailureAsksToContinueAndStopsOnNo)
{
    TUpgradeFlow f;
    ASSERT_TRUE(f.Program().Started());
    ASSERT_TRUE(f.Connected());
    f.SavePath = QString::fromStdString((fs::temp_directory_path() / "no-such-folder-for-lumex" / "x.gcf").string());
    f.Answers = {TAnswer::Yes}; // save; the next question gets the default No
    ASSERT_TRUE(f.Run());
    ASSERT_EQ(f.Asked.size(), 2u);
    EXPECT_TRUE(f.AskedFor(msg::strUpdSaveFailedContinue));
    EXPECT_EQ(f.Opened, 0);
    // The link comes back as it was.
    EXPECT_TRUE(f.Program().WaitForTicks(2));
    EXPECT_EQ(f.Program().PanelText("PnlStatusDevice"), "30 G");
}

// Without a complete automatic backup nothing is asked, no window opens
// and so nothing can be erased.
TEST(UpgradeFlow, AFailedAutomaticBackupStartsNothing)
{
    TUpgradeFlow f;
    ASSERT_TRUE(f.Program().Started());
    ASSERT_TRUE(f.Connected());
    const fs::path backups = f.Program().Window().BackupFolder();
    fs::remove_all(backups);
    fs::create_directories(backups.parent_path());
    std::ofstream(backups) << "a file where the folder belongs";
    const std::size_t messages = f.Program().Messages().size();
    ASSERT_TRUE(f.Run());
    EXPECT_TRUE(f.Asked.empty());
    EXPECT_EQ(f.Opened, 0);
    EXPECT_EQ(f.Program().Messages().size(), messages + 1);
    EXPECT_FALSE(LoadUpgradeRecord(backups.parent_path().string(), false).Pending());
}

// A controller found in its bootloader with an unfinished upgrade on record
// is offered the resumption; the answer Yes opens the upgrade window at
// once, without the save question.
TEST(UpgradeFlow, AnUnfinishedUpgradeIsOfferedAgain)
{
    auto o = TUpgradeFlow::UpgradableController();
    o.inBootloader = true;
    SimHarness sim(o);
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    // On record before the window's first tick is handled.
    TUpgradeRecord record;
    record.Stage = TUpgradeStage::Started;
    record.Serial = "1";
    SaveUpgradeRecord(fs::path(p.Window().BackupFolder()).parent_path().string(), false, record);
    std::vector<std::string> asked;
    int opened = 0;
    p.Window().Ask = [&](QWidget *, const TQuestion &q) {
        asked.push_back(q.Text);
        return TAnswer::Yes;
    };
    p.Window().OnUpgraderMade = [&](TFormUpgrader &) { ++opened; };
    p.Window().ExecUpgrader = [](TFormUpgrader &window) { static_cast<QDialog &>(window).reject(); };
    ASSERT_TRUE(WaitUntil([&] { return opened == 1; }));
    ASSERT_FALSE(asked.empty());
    EXPECT_NE(asked[0].find(MessageText(msg::strUpdResumeOffer)), std::string::npos) << asked[0];
    EXPECT_EQ(std::count_if(asked.begin(), asked.end(),
                            [](const std::string &q) {
                                return q.find(MessageText(msg::strQuestUpdSaveSettings)) != std::string::npos;
                            }),
              0);
}

namespace {

sim::ControllerModel &ControllerOf(SimHarness &h)
{
    return dynamic_cast<sim::ControllerModel &>(*h.Sim().Device());
}

std::string WriteFirmwareFile(const fs::path &path, std::size_t blocks)
{
    mkfw::FirmwareRecipe recipe;
    recipe.size = 36 * blocks;
    recipe.version = 0x30;
    recipe.letter = 'G';
    const auto bytes = mkfw::BuildFirmwareFile(recipe);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

} // namespace

// A real programming run from the main window erases the settings; Yes to
// the restore offer afterwards brings back exactly those of before.
TEST(UpgradeFlow, TheRestoreOfferAfterProgrammingBringsTheSettingsBack)
{
    TUpgradeFlow f;
    ASSERT_TRUE(f.Program().Started());
    ASSERT_TRUE(f.Connected());
    {
        auto pause = f.Sim().Sim().Pause();
        ControllerOf(f.Sim()).EditStore([](sim::ParameterStore &s) {
            s.cps[3] = static_cast<int8_t>(s.cps[3] + 5);
            s.ctg[7] = static_cast<int8_t>(s.ctg[7] - 3);
            s.crpm[1] = static_cast<int8_t>(s.crpm[1] + 4);
        });
    }
    const testsupport::TSettings before = testsupport::SettingsOf(f.Sim());
    const fs::path firmware = fs::temp_directory_path() / ("restore-offer-" + std::to_string(::getpid()) + ".upg");
    WriteFirmwareFile(firmware, 8);
    bool programmed = false;
    bool erased = false;
    f.Program().Window().ExecUpgrader = [&](TFormUpgrader &window) {
        window.SetQuestionPresenter([](QWidget *, const TQuestion &) { return TAnswer::Yes; });
        window.ChooseFile = [&](QWidget *, const QString &, int) { return QString::fromStdString(firmware.string()); };
        window.BtnLoadDataClick();
        if (WaitUntil([&] { return !window.Busy() && window.UpdateButton()->isEnabled(); })) {
            window.BtnUpdateClick();
            programmed = WaitUntil([&] { return !window.Busy(); }) && window.Done();
            erased = !(testsupport::SettingsOf(f.Sim()) == before);
        }
        static_cast<QDialog &>(window).reject();
    };
    f.Answers = {TAnswer::No, TAnswer::Yes}; // no save of our own; restore
    ASSERT_TRUE(f.Run());
    ASSERT_TRUE(programmed);
    EXPECT_TRUE(erased);
    EXPECT_TRUE(f.AskedFor(msg::strQuestUpdLoadSettings));
    const QString done = QString::fromStdString(MessageText(msg::strGcfLoadDone));
    ASSERT_TRUE(WaitUntil([&] {
        const auto &m = f.Program().Messages();
        return !m.empty() && m.back().Text.startsWith(done);
    })) << (f.Program().Messages().empty() ? "" : f.Program().Messages().back().Text.toStdString());
    const testsupport::TSettings after = testsupport::SettingsOf(f.Sim());
    EXPECT_TRUE(after == before);
    const std::string data = fs::path(f.Program().Window().BackupFolder()).parent_path().string();
    EXPECT_NE(LoadUpgradeRecord(data, false).Stage, TUpgradeStage::RestorePending);
    fs::remove(firmware);
}

// The configurator's upgrade button opens the connection window as the
// device menu does; its controller update button starts the upgrade flow.
TEST(UpgradeFlow, TheConfiguratorsButtonOpensTheConnectionWindowWithItsUpdate)
{
    TUpgradeFlow f;
    ASSERT_TRUE(f.Program().Started());
    ASSERT_TRUE(f.Connected());
    ASSERT_TRUE(f.Program().Window().ShowPage("TbSConfigurator"));
    auto *button = f.Program().Find<QPushButton>("BtnConfUpgradeFirmware");
    EXPECT_EQ(button->text(), QString::fromUtf8("Aktualizace firmwaru..."));
    bool modal = false;
    bool ended = false;
    QTimer::singleShot(0, [&] {
        QWidget *shown = QApplication::activeModalWidget();
        auto *status = dynamic_cast<TFormConnectStatus *>(shown);
        modal = status != nullptr;
        if (!modal) {
            if (shown != nullptr)
                shown->close();
            return;
        }
        status->findChild<QPushButton *>("BtnDevUpdate")->click();
        ended = WaitUntil([&] { return f.Ended == 1; });
        status->findChild<QPushButton *>("BtBClose")->click();
    });
    button->click();
    ASSERT_TRUE(modal);
    EXPECT_TRUE(ended);
    EXPECT_TRUE(f.AskedFor(msg::strQuestUpdSaveSettings));
    EXPECT_EQ(f.Opened, 1);

    f.Program().Find<QAction>("MnILangGerman")->trigger();
    EXPECT_EQ(button->text(), "Firmware-Aktualisierung...");
}

// ---- The diagnostics tab ----

// Codes the controller holds when the program connects open the trouble-code
// page; the lists carry the class and the text of the language in force, a
// language change rewrites them from what was read, and a locked controller
// gets no clearing.
TEST(Diagnostics, TroubleCodesShowWithClassAndTextAndFollowTheLanguage)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    sim.Control("trouble 3 4");
    sim.Control("trouble 4 5");
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    TDiagnosticsPage &page = *p.Window().Diagnostics();
    int shown = 0;
    page.OnTroubleCodesShown = [&shown] { ++shown; };
    auto *inner = p.Find<QTabWidget>("PgCDgn");
    ASSERT_TRUE(WaitUntil(
        [&] { return inner->currentWidget()->objectName() == "TbSDgnErrorCodes" && !page.ActiveText().isEmpty(); }));
    EXPECT_EQ(p.Find<QTabWidget>("PgCMain")->currentWidget()->objectName(), "TbSDiagnostic");
    const QString czech = QString::fromUtf8("E1034: (ERROR) Snímač teploty plynu\n"
                                            "E1045: (INFO) Nouzové spuštění na plyn");
    EXPECT_EQ(page.ActiveText(), czech);
    EXPECT_EQ(page.StoredText(), czech);
    EXPECT_TRUE(page.FreezeFrameText().startsWith("Kod/Code= E1045\n")) << page.FreezeFrameText().toStdString();
    // The simulated board has the advanced diagnostic outputs.
    EXPECT_FALSE(p.Find<QWidget>("PnlDgnAdvance")->isHidden());

    // Rebuilt at once from the codes already read: no answer is waited for.
    p.Window().SetLanguage("EN", false);
    const QString english = "E1034: (ERROR) Gas temperature sensor\nE1045: (INFO) Emergency start on gas";
    EXPECT_EQ(page.ActiveText(), english);
    EXPECT_EQ(page.StoredText(), english);

    // The active codes go in the controller; the read button shows it.
    sim.Control("trouble clear-active");
    const int before = shown;
    p.Find<QPushButton>("SpBOdcReadTC")->click();
    ASSERT_TRUE(WaitUntil([&] { return shown > before; }));
    EXPECT_EQ(page.ActiveText(), "");
    EXPECT_EQ(page.StoredText(), english);

    // Locked: clearing sends nothing, and the stored codes stay.
    sim.Control("lock 0F");
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().Data.LockState == 0x0F; }));
    sim.ClearTrace();
    const int beforeClear = shown;
    p.Find<QPushButton>("SpBOdcClearTroubleCode")->click();
    p.Find<QPushButton>("SpBOdcReadTC")->click();
    ASSERT_TRUE(WaitUntil([&] { return shown > beforeClear; }));
    for (const std::string &request : sim.Requests())
        EXPECT_FALSE(request.starts_with("C0 14")) << request;
    EXPECT_EQ(page.StoredText(), english);

    // Unlocked again: a clear the controller does not answer is reported,
    // not passed over.
    sim.Control("lock F0");
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().Data.LockState == 0xF0; }));
    std::vector<QString> problems;
    page.OnProblem = [&problems](const QString &text) { problems.push_back(text); };
    sim.AddFault("silence@14:1");
    const int beforeFailed = shown;
    p.Find<QPushButton>("SpBOdcClearTroubleCode")->click();
    ASSERT_TRUE(WaitUntil([&] { return shown > beforeFailed; }));
    EXPECT_EQ(problems.size(), 1U);
}

// No board known, no advanced diagnostic controls.
TEST(Diagnostics, AdvancedPanelHiddenWithoutABoard)
{
    TProgram p({"-OFFLINE"});
    ASSERT_TRUE(p.Started());
    EXPECT_TRUE(p.Find<QWidget>("PnlDgnAdvance")->isHidden());
}

// The recorder in the running program: Start needs a writable controller,
// samples follow the controller onto gas, a hidden page goes on recording,
// and Stop works whatever the lock.
TEST(Diagnostics, RecorderFollowsTheControllerOntoGasAndStopsWhenLocked)
{
    SimHarness sim(testsupport::SimSetup::Controller());
    sim.Control("engine drive");
    sim.Control("fuel petrol");
    sim.Control("lock 0F");
    TProgram p({"--port", sim.Path()});
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().LinkUp; }));
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().Data.LockState == 0x0F; }));
    p.Window().resize(1200, 800);
    ASSERT_TRUE(p.Window().ShowPage("TbSDgnOscyloskop"));
    TOscilloscopePage &osc = *p.Window().Diagnostics()->Oscilloscope();
    const TOscRecorder &recorder = osc.Recorder();
    auto *start = p.Find<QPushButton>("BtnDgnStart");
    EXPECT_EQ(start->text(), "START");
    start->click();
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(start->text(), "START");

    sim.Control("lock F0");
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().Data.LockState == 0xF0; }));
    start->click();
    ASSERT_TRUE(recorder.Recording());
    EXPECT_EQ(start->text(), "Stop");
    EXPECT_EQ(recorder.Width(), p.Find<QWidget>("PntBDgnCzasy")->width());
    ASSERT_TRUE(WaitUntil([&] { return recorder.History().size() >= 3; }));
    sim.Control("fuel gas");
    const auto onGas = [&] {
        return std::count_if(recorder.History().begin(), recorder.History().end(),
                             [](const TOscSample &s) { return s.OnGas(); });
    };
    ASSERT_TRUE(WaitUntil([&] { return onGas() >= 3; }));

    // Hidden, the page goes on recording; shown again, its ring follows the
    // new width.
    ASSERT_TRUE(p.Window().ShowPage("TbSMeasure"));
    const int width = recorder.Width();
    const std::size_t taken = recorder.History().size();
    p.Window().resize(900, 800);
    ASSERT_TRUE(WaitUntil([&] { return recorder.History().size() >= taken + 3; }));
    EXPECT_EQ(recorder.Width(), width);
    ASSERT_TRUE(p.Window().ShowPage("TbSDgnOscyloskop"));
    ASSERT_TRUE(WaitUntil([&] { return recorder.Width() == p.Find<QWidget>("PntBDgnCzasy")->width(); }));
    EXPECT_LT(recorder.Width(), width);

    // A locked controller can still stop the recording.
    sim.Control("lock 0F");
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().Data.LockState == 0x0F; }));
    start->click();
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(start->text(), "Start");

    // Every sample in order of its monotonic time; gas time only on gas.
    const auto &history = recorder.History();
    double last = -1;
    for (const TOscSample &s : history) {
        EXPECT_GT(s.Time, last);
        last = s.Time;
        EXPECT_EQ(s.OnGas(), s.SysState == kSystemStateGas);
        if (!s.OnGas()) {
            EXPECT_EQ(s.Tg, 0);
        }
    }
    EXPECT_FALSE(history.front().OnGas());
    EXPECT_GT(history.back().Tg, 0);
}

// ---- Configuration files ----

namespace {

sim::SimulatorOptions InstalledController()
{
    auto o = testsupport::SimSetup::Controller(0x30, 'G');
    const fs::path to = fs::temp_directory_path() / ("window-gcf-" + std::to_string(::getpid()) + ".json");
    fs::copy_file(fs::path(LUMEX_SOURCE_DIR) / "sim/states/installed-30G.json", to,
                  fs::copy_options::overwrite_existing);
    o.stateFile = to.string();
    return o;
}

// The program connected to an installed 3.0 controller, with the file
// dialogs, the difference report and the questions answered by the test.
struct TFileRun
{
    SimHarness Sim{InstalledController()};
    TProgram Program{{"--port", Sim.Path()}};
    QString Chosen;
    std::vector<TDiffResult> Reports;
    bool Write = true;
    QStringList BackupsOffered;

    bool Open()
    {
        TFormMain &w = Program.Window();
        w.ChooseConfigFile = [this](QWidget *, bool, const QString &) { return Chosen; };
        w.ConfirmLoad = [this](QWidget *, const TDiffResult &r) {
            Reports.push_back(r);
            return Write;
        };
        w.ChooseBackup = [this](QWidget *, const QStringList &offered) {
            BackupsOffered = offered;
            return offered.front();
        };
        w.Ask = [](QWidget *, const TQuestion &) { return TAnswer::Yes; };
        return Program.Started() && WaitUntil([&] { return w.LastSnapshot().Accessible && w.LastSnapshot().LinkUp; });
    }
    void Trigger(const char *action) { Program.Find<QAction>(action)->trigger(); }
    bool WaitForMessage(std::size_t count)
    {
        return WaitUntil([&] { return Program.Messages().size() >= count; });
    }
    int Power() { return nlohmann::json::parse(Sim.Control("dump")).at("Power").get<int>(); }
    std::vector<std::string> Backups()
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(Program.Window().BackupFolder(), ec))
            names.push_back(e.path().filename().string());
        return names;
    }
};

std::string ReadText(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(ConfigFiles, SaveCompareLoadRestoreAndResetFromTheMenus)
{
    TFileRun r;
    ASSERT_TRUE(r.Open());
    const int installedPower = r.Power();
    ASSERT_NE(installedPower, 90);

    // Save: the suffix is added and the file is complete.
    const fs::path file = fs::temp_directory_path() / ("window-" + std::to_string(::getpid()) + ".gcf");
    fs::remove(file);
    r.Chosen = QString::fromStdString(file.string()).chopped(4);
    r.Trigger("MnIFileSaveAs");
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(file); }));
    std::string text = ReadText(file);
    const std::string power = "Power=" + std::to_string(installedPower) + "\r\n";
    ASSERT_NE(text.find(power), std::string::npos);
    EXPECT_NE(text.find("[MapCorrections]"), std::string::npos);
    text.replace(text.find(power), power.size(), "Power=90\r\n");
    std::ofstream(file, std::ios::binary) << text;
    r.Chosen = QString::fromStdString(file.string());

    // Load, cancelled at the report: nothing written, no backup.
    r.Write = false;
    r.Trigger("MnIFileLoadCnf");
    ASSERT_TRUE(WaitUntil([&] { return r.Reports.size() == 1; }));
    ASSERT_EQ(r.Reports[0].Differences.size(), 1U);
    EXPECT_EQ(r.Reports[0].Differences[0].Key, "Power");
    EXPECT_EQ(r.Reports[0].Differences[0].FileValue, "90");
    EXPECT_EQ(r.Power(), installedPower);
    EXPECT_TRUE(r.Backups().empty());

    // Load, written: a backup first, then the file's power.
    r.Write = true;
    const std::size_t told = r.Program.Messages().size();
    r.Trigger("MnIFileLoadCnf");
    ASSERT_TRUE(r.WaitForMessage(told + 1));
    EXPECT_EQ(r.Program.Messages().back().Kind, TMessageKind::Information)
        << r.Program.Messages().back().Text.toStdString();
    EXPECT_EQ(r.Power(), 90);
    ASSERT_EQ(r.Backups().size(), 1U);
    EXPECT_NE(r.Backups()[0].find("-load.gcf"), std::string::npos);

    // Restore the backup: the installed power is back, after a second backup.
    r.Trigger("MnIDeviceRestoreBackup");
    ASSERT_TRUE(r.WaitForMessage(told + 2));
    EXPECT_EQ(r.BackupsOffered.size(), 1);
    EXPECT_EQ(r.Power(), installedPower);
    EXPECT_EQ(r.Backups().size(), 2U);

    // The factory settings, after a third backup.
    r.Trigger("MnIDeviceReset");
    ASSERT_TRUE(r.WaitForMessage(told + 3));
    EXPECT_EQ(r.Program.Messages().back().Kind, TMessageKind::Information)
        << r.Program.Messages().back().Text.toStdString();
    EXPECT_EQ(r.Power(), 66);
    const auto backups = r.Backups();
    ASSERT_EQ(backups.size(), 3U);
    EXPECT_EQ(std::count_if(backups.begin(), backups.end(),
                            [](const std::string &n) { return n.find("-defaults.gcf") != std::string::npos; }),
              1);
    fs::remove(file);
}

TEST(ConfigFiles, TheDifferenceWindowListsEachSettingSideBySide)
{
    TDiffResult report;
    report.Ok = true;
    report.Differences = {{"Config", "Power", "77", "90", "77 kW", "90 kW"}, {"Model", "CPS4", "33", "30", "", ""}};
    report.Warnings = {"[Config] T=97: not in the list"};
    TLM lm;
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    TFormGcfDifferences window(report.Differences, report.Warnings, true);
    EXPECT_EQ(window.findChild<QLabel *>("LblGcfQuestion")->text(),
              "Write the settings of the file into the controller?");
    auto *table = window.findChild<QTableWidget *>("TblGcfDifferences");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), "Controller");
    EXPECT_EQ(table->item(0, 0)->text(), "[Config] Power");
    EXPECT_EQ(table->item(0, 1)->text(), "77  (77 kW)");
    EXPECT_EQ(table->item(0, 2)->text(), "90  (90 kW)");
    EXPECT_EQ(table->item(1, 2)->text(), "30");
    EXPECT_NE(window.findChild<QPlainTextEdit *>("MemGcfWarnings"), nullptr);
    EXPECT_NE(window.findChild<QPushButton *>("BtnGcfWrite"), nullptr);
    // A picture of the window for whoever wants to look at it.
    if (const char *dir = std::getenv("LUMEX_SCREENSHOT_DIR")) {
        EXPECT_TRUE(window.grab().save(QString::fromUtf8(dir) + "/gcf-differences.png"));
    }
}

TEST(ConfigFiles, TheWizardsQuickSettingsButtonsSaveAndLoadFiles)
{
    TFileRun r;
    ASSERT_TRUE(r.Open());
    const fs::path file = fs::temp_directory_path() / ("wizard-" + std::to_string(::getpid()) + ".gcf");
    fs::remove(file);
    r.Chosen = QString::fromStdString(file.string());
    r.Program.Find<QPushButton>("BtnConfSaveSettings")->click();
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(file); }));
    // The controller's own file: the report is empty, and writing it back works.
    r.Program.Find<QPushButton>("BtnConfLoadSettings")->click();
    ASSERT_TRUE(WaitUntil([&] { return r.Reports.size() == 1; }));
    EXPECT_TRUE(r.Reports[0].Differences.empty());
    ASSERT_TRUE(r.WaitForMessage(1));
    EXPECT_EQ(r.Program.Messages().back().Kind, TMessageKind::Information)
        << r.Program.Messages().back().Text.toStdString();
    EXPECT_EQ(r.Backups().size(), 1U);
    fs::remove(file);
}
