// The legacy program's window without a display against a simulated 1.5
// controller: it connects on its own device thread and shows the readings.
#include "QtWait.h"
#include "RequestText.h"
#include "SimHarness.h"

#include "calibration/ui/CalAutoPage.h"
#include "calibration/ui/MapPage.h"
#include "calibration/ui/Model1Page.h"
#include "controller/ControllerLink.h"
#include "controller/LockState.h"
#include "controller/WireScaling.h"
#include "documents/LangManager.h"
#include "legacy/NorviWindow.h"
#include "mainwindow/FormAbout.h"
#include "mainwindow/FrmHaslo.h"
#include "mainwindow/OscRecorder.h"
#include "mainwindow/OscSample.h"
#include "mainwindow/OscilloscopePage.h"
#include "mainwindow/TroubleCodePage.h"
#include "profile/ProgramProfile.h"
#include "widgets/DigitalDisplay.h"

#include "sim/controller/ControllerModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace lumex;
using testsupport::kGenerousDeadline;
using testsupport::PumpUntil;
using testsupport::SimHarness;
using testsupport::SimSetup;

namespace {

class NorviWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim_.Control("engine idle");
        sim_.Control("set rpm 1500");
        link_.Port.SetDevicePath(sim_.Path());
        window_ = std::make_unique<TNorviWindow>(link_);
        window_->show();
        window_->StartDevice();
    }
    void TearDown() override
    {
        window_.reset();
        link_.Port.Close();
    }

    TDigitalDisplay *Display(const char *name) { return window_->findChild<TDigitalDisplay *>(name); }

    SimHarness sim_{SimSetup::Controller(0x15, 'E')};
    TControllerLink link_;
    std::unique_ptr<TNorviWindow> window_;
};

TEST_F(NorviWindowTest, ComesUpAndShowsTheControllersReadings)
{
    ASSERT_NE(Display("DgDOdcRPM"), nullptr);
    EXPECT_TRUE(PumpUntil([this] { return Display("DgDOdcRPM")->Text() == "1500"; }))
        << Display("DgDOdcRPM")->Text().toStdString();
    EXPECT_TRUE(window_->Last().LinkUp);
    EXPECT_EQ(window_->Last().Data.VersionCode, 0x15);

    // The map page follows the same engine speed.
    ASSERT_TRUE(window_->ShowPage("TbSMap"));
    sim_.Control("set rpm 2500");
    EXPECT_TRUE(PumpUntil([this] { return Display("DDMapRPM")->Text() == "2500"; }));
    EXPECT_EQ(Display("DDCalRPM")->Text(), "2500");

    // No job or tick failed on the way.
    EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty())
        << window_->statusBar()->currentMessage().toStdString();
}

TEST_F(NorviWindowTest, ConfigurationOffersItsOwnInjectorListAndShowsTheControllersType)
{
    ASSERT_TRUE(window_->ShowPage("TbSConfig"));
    const auto injectorBox = [this]() -> QComboBox * {
        for (QComboBox *box : window_->findChildren<QComboBox *>())
            if (box->findText("LUMEX JET") >= 0)
                return box;
        return nullptr;
    };
    ASSERT_TRUE(PumpUntil([&] { return injectorBox() != nullptr; }));
    QComboBox *box = injectorBox();
    std::vector<std::string> texts;
    for (int i = 0; i < box->count(); ++i)
        texts.push_back(box->itemText(i).toStdString());
    EXPECT_EQ(texts, (std::vector<std::string>{"LUMEX JET", "MATRIX", "VALTEK (3ohm)", "VALTEK (1ohm)", "RAIL (3ohm)",
                                               "RAIL (1ohm)"}));
    const unsigned code = window_->Last().Data.InjTypeName;
    const int expected = box->findData(code);
    EXPECT_EQ(box->currentIndex(), expected) << "controller's injector code " << code;
}

// Answers the password dialog `open` brings up with `password`; any other
// dialog (a refusal of the password) is closed and makes the answer false.
bool AnswerPasswordDialog(const QString &password, const std::function<void()> &open)
{
    bool answered = false, other = false;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (answered || !dynamic_cast<TFrmHaslo *>(dialog)) {
            other = true;
            dialog->reject();
            return;
        }
        for (QLineEdit *entry : dialog->findChildren<QLineEdit *>())
            entry->setText(password);
        answered = true;
        dialog->accept();
    });
    answer.start();
    open();
    answer.stop();
    return answered && !other;
}

TEST_F(NorviWindowTest, TroubleCodesTabReadsTheControllersCodes)
{
    sim_.Control("trouble 3 4");
    ASSERT_TRUE(PumpUntil([this] { return window_->Last().LinkUp; }));
    int shown = 0;
    window_->TroubleCodes()->OnShown = [&shown] { ++shown; };
    ASSERT_TRUE(window_->ShowPage("TbSDgnErrorCodes"));
    ASSERT_TRUE(PumpUntil([&] { return shown > 0; }));
    EXPECT_TRUE(window_->TroubleCodes()->ActiveText().startsWith("E1034"))
        << window_->TroubleCodes()->ActiveText().toStdString();
    EXPECT_TRUE(window_->TroubleCodes()->StoredText().startsWith("E1034"));
}

TEST_F(NorviWindowTest, LockAndUnlockThroughThePasswordDialog)
{
    ASSERT_TRUE(
        PumpUntil([this] { return window_->Last().LinkUp && window_->Last().Data.LockState == kLockUnlocked; }));
    ASSERT_TRUE(AnswerPasswordDialog("1234", [this] { window_->LockOrUnlock(true); }));
    EXPECT_TRUE(PumpUntil([this] { return window_->Last().Data.LockState == kLockLocked; }));

    ASSERT_TRUE(AnswerPasswordDialog("1234", [this] { window_->LockOrUnlock(false); }));
    EXPECT_TRUE(PumpUntil([this] { return window_->Last().Data.LockState == kLockUnlocked; }));
}

TEST_F(NorviWindowTest, OscilloscopeRecordsWhileItsPageIsShown)
{
    ASSERT_TRUE(
        PumpUntil([this] { return window_->Last().LinkUp && window_->Last().Data.LockState == kLockUnlocked; }));
    ASSERT_TRUE(window_->ShowPage("TbSDgnOscyloskop"));
    TOscRecorder &recorder = window_->Oscilloscope()->Recorder();
    int taken = 0;
    double rpm = 0;
    recorder.OnSample = [&](const TOscSample &sample) {
        ++taken;
        rpm = sample.RPM;
    };
    window_->Oscilloscope()->StartStop();
    ASSERT_TRUE(recorder.Recording());
    EXPECT_TRUE(PumpUntil([&] { return taken >= 3; }));
    EXPECT_NEAR(rpm, 1500, 1);

    // Away from the page the tick takes none.
    window_->Oscilloscope()->StartStop();
    ASSERT_FALSE(recorder.Recording());
    ASSERT_TRUE(window_->ShowPage("TbSMeasure"));
    window_->Oscilloscope()->StartStop();
    const int before = taken;
    const uint64_t serial = window_->Last().Serial;
    ASSERT_TRUE(PumpUntil([&] { return window_->Last().Serial > serial + 3; }));
    EXPECT_EQ(taken, before);
}

TEST_F(NorviWindowTest, AboutBoxShowsTheConnectedController)
{
    ASSERT_TRUE(PumpUntil([this] { return window_->Last().LinkUp; }));
    bool known = false;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (window_->About()->isVisible() && window_->About()->HasDevice()) {
            known = true;
            window_->About()->reject();
        }
    });
    look.start();
    QTimer::singleShot(kGenerousDeadline.count(), window_->About(), [this] { window_->About()->reject(); });
    window_->ShowAbout();
    look.stop();
    EXPECT_TRUE(known);
}

} // namespace

TEST_F(NorviWindowTest, FileMenuSavesAConfigurationAndLoadsItBack)
{
    ASSERT_TRUE(PumpUntil([this] { return window_->Last().LinkUp; }));
    const QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QStringList folders, filters;
    QString chosen = folder.filePath("car"); // the suffix comes from the program
    window_->ChooseFile = [&](QWidget *, bool, const QString &start, const QString &filter) {
        folders << start;
        filters << filter;
        return chosen;
    };
    QStringList told;
    bool warned = false;
    window_->Tell = [&](const QString &, const QString &text, bool warning) {
        told << text;
        warned = warned || warning;
    };
    int reports = 0;
    window_->ConfirmLoad = [&reports](QWidget *, const TDiffResult &report) {
        ++reports;
        return report.Ok;
    };

    window_->findChild<QAction *>("MnIFileSaveAs")->trigger();
    const QString saved = folder.filePath("car.gcf");
    ASSERT_TRUE(PumpUntil([&] { return QFileInfo(saved).size() > 0; }));

    chosen = saved;
    window_->findChild<QAction *>("MnIFileLoadCnf")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !told.isEmpty(); }));
    EXPECT_FALSE(warned) << told.join("\n").toStdString();
    EXPECT_EQ(reports, 1);

    // Both dialogs start in "Data" beside the program and offer ".gcf".
    ASSERT_EQ(folders.size(), 2);
    for (const QString &start : folders)
        EXPECT_EQ(start, QCoreApplication::applicationDirPath() + "/Data");
    for (const QString &filter : filters)
        EXPECT_TRUE(filter.contains("*.gcf")) << filter.toStdString();
}

// The window's menus, tabs and the map page's captions follow the shipped
// language files beside the program; the recorder's selectors offer no OBD
// channel.
TEST(NorviWindowTexts, SwitchingTheLanguageRetitlesMenusAndPages)
{
    TLM lm;
    lm.UseScheme(NorviProfile().Languages, QCoreApplication::applicationDirPath().toStdString() + "/");
    TControllerLink link;
    TNorviWindow window(link);
    const auto menu = [&window](const char *name) { return window.findChild<QMenu *>(name)->title(); };
    const auto action = [&window](const char *name) { return window.findChild<QAction *>(name)->text(); };
    const auto tab = [&window](const char *name) {
        auto *tabs = window.findChild<QTabWidget *>();
        return tabs->tabText(tabs->indexOf(window.findChild<QWidget *>(name)));
    };
    const auto group = [&window](const char *name) { return window.findChild<QGroupBox *>(name)->title(); };

    ASSERT_TRUE(lm.LoadLanguage("PL"));
    EXPECT_EQ(menu("MnIController"), "&Sterownik");
    EXPECT_EQ(action("MnIDeviceLock"), "Zablokuj");
    EXPECT_EQ(action("MnIFileSaveAs"), QString::fromUtf8("Zapisz konfigurację jako..."));
    EXPECT_EQ(tab("TbSMap"), "Mapa");

    ASSERT_TRUE(lm.LoadLanguage("EN"));
    EXPECT_EQ(menu("MnIController"), "&Controller");
    EXPECT_EQ(menu("MnIFile"), "&File");
    EXPECT_EQ(menu("MnIHelp"), "&Help");
    EXPECT_EQ(action("MnIDeviceLock"), "Lock");
    EXPECT_EQ(action("MnIDeviceUnlock"), "Unlock");
    EXPECT_EQ(action("MnIHelpAbout"), "About...");
    EXPECT_EQ(action("MnIFileLoadCnf"), "Load settings from file...");
    EXPECT_EQ(tab("TbSMap"), "Map");
    EXPECT_EQ(tab("TbSCalAuto"), "Autocalibration");
    EXPECT_TRUE(tab("TbSDgnErrorCodes").startsWith("Trouble codes")) << tab("TbSDgnErrorCodes").toStdString();
    EXPECT_TRUE(tab("TbSDgnOscyloskop").startsWith("Recorder"));
    EXPECT_EQ(group("GrBMultMap"), "Multiplier map");
    ASSERT_NE(window.findChild<QLabel *>("LblCalMapRPMRange"), nullptr);
    EXPECT_EQ(window.findChild<QLabel *>("LblCalMapRPMRange")->text(), "Collect in range:");

    for (const char *name : {"CmBDgnWybor1", "CmBDgnWybor2"}) {
        auto *box = window.findChild<QComboBox *>(name);
        ASSERT_NE(box, nullptr) << name;
        EXPECT_EQ(box->count(), kSelectorFirstObd) << name;
    }
}

TEST_F(NorviWindowTest, MapPageOffersItsFiveRangesAndReadsThroughItsDevice)
{
    TMapPage *map = window_->Map();
    ASSERT_NE(map, nullptr);
    QComboBox *ranges = map->RangeBox();
    ASSERT_EQ(ranges->count(), 5);
    EXPECT_EQ(ranges->itemText(0), "~1500 (1250-1750)");
    EXPECT_EQ(ranges->itemText(4), "~3500 (3250-3750)");

    ASSERT_TRUE(PumpUntil([this] { return window_->Last().LinkUp; }));
    // The controller's own range once connected.
    const int own = window_->Last().Data.MapRPMRange;
    EXPECT_TRUE(PumpUntil([&] { return ranges->currentIndex() == (own < 5 ? own : 2); }));
    // The page's read runs on the legacy device thread.
    ASSERT_TRUE(window_->ShowPage("TbSMap"));
    const int before = map->ReadsDone();
    map->Read();
    EXPECT_TRUE(PumpUntil([&] { return map->ReadsDone() > before; }));
    EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty())
        << window_->statusBar()->currentMessage().toStdString();
}

TEST_F(NorviWindowTest, ModelTabReadsTheControllersModelAndTakesTheMapsFit)
{
    // The page reads once the link comes up; the controller holds a model
    // of its own before that.
    auto model = std::dynamic_pointer_cast<sim::ControllerModel>(sim_.Sim().Device());
    ASSERT_NE(model, nullptr);
    model->EditStore([](sim::ParameterStore &st) {
        st.modelParams[1] = *EncodeMult(1.25);
        st.modelParams[3] = *EncodeP(7);
        st.modelParams[9] = *EncodeE(12);
    });
    TModel1Page *page = window_->Model();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(window_->ShowPage("TbSCalModel"));
    ASSERT_TRUE(PumpUntil([page] { return page->ReadsDone() > 0; }));
    EXPECT_NEAR(page->Model().Mult, 1.25, 1e-3);
    EXPECT_EQ(page->Model().P[0], 7);
    EXPECT_EQ(page->Model().E[2], 12);
    EXPECT_NEAR(window_->findChild<QDoubleSpinBox *>("YEdModelMult")->value(), 1.25, 1e-3);

    // The map's fitted line lands on the page.
    TLegacyModel fitted;
    fitted.Mult = 1.4;
    fitted.E = {1, 2, 3, 4};
    ASSERT_TRUE(window_->Map()->OnLegacyModelFitted);
    window_->Map()->OnLegacyModelFitted(fitted);
    EXPECT_NEAR(page->Model().Mult, 1.4, 1e-9);
    EXPECT_EQ(page->Model().E[3], 4);
    EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty())
        << window_->statusBar()->currentMessage().toStdString();
}

namespace {
uint8_t CodeOf(const std::string &request)
{
    return static_cast<uint8_t>(std::stoul(request.substr(3, 2), nullptr, 16));
}
} // namespace

TEST_F(NorviWindowTest, AutocalibrationStartsAndStopsTheControllerOnTheCommandList)
{
    // A cold reducer holds the run at its first stage until STOP.
    sim_.Control("set tred 120");
    ASSERT_TRUE(PumpUntil([this] { return window_->Last().LinkUp; }));
    ASSERT_TRUE(window_->ShowPage("TbSCalAuto"));
    auto *start = window_->findChild<QPushButton *>("SpBCalStart");
    auto *stop = window_->findChild<QPushButton *>("SpBCalStop");
    auto *panel = window_->findChild<QLabel *>("PnlStatusCalibration");
    auto *info = window_->findChild<QLabel *>("LblCalInfo");
    ASSERT_TRUE(start && stop && panel && info);
    TCalAutoPage *page = window_->AutoCal();
    ASSERT_TRUE(PumpUntil([start] { return start->isEnabled(); }));
    sim_.ClearTrace();

    start->click();
    ASSERT_TRUE(PumpUntil([&] { return page->Active() && panel->isVisible(); }));
    EXPECT_EQ(panel->text(), "KALIBRACJA W TOKU");
    EXPECT_TRUE(sim_.WaitForFrame(reqtext::Frame({0x20, 0x03})));
    // The page follows the controller's state while it runs.
    EXPECT_TRUE(PumpUntil([info] { return info->text().startsWith("TEMP. REDUKTORA"); })) << info->text().toStdString();
    EXPECT_TRUE(stop->isVisible());

    stop->click();
    ASSERT_TRUE(PumpUntil([&] { return !page->Active() && !panel->isVisible(); }));
    EXPECT_EQ(page->Outcome(), TAutoCalOutcome::Cancelled);
    EXPECT_TRUE(sim_.WaitForFrame(reqtext::Frame({0x20, 0x00})));

    const std::vector<std::string> requests = sim_.Requests();
    const auto at = [&requests](const std::string &frame) {
        return std::find(requests.begin(), requests.end(), frame) - requests.begin();
    };
    EXPECT_LT(at(reqtext::Frame({0x20, 0x03})), at(reqtext::Frame({0x20, 0x00})));
    for (const std::string &r : requests)
        EXPECT_TRUE(NorviProfile().AllowsCommand(CodeOf(r))) << r;
    EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty())
        << window_->statusBar()->currentMessage().toStdString();
}
