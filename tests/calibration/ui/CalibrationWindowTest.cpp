// The calibration pages and the injector test window in the running
// program, against the simulated 3.0 controller: editing the model with the
// keys and the mouse and writing it, the map's wide RPM ranges, a typed
// correction turning the preset into the user's, and an injector test run
// to its verdict; the level-sensor and working-pressure windows; an
// autocalibration run on the wizard's page. Questions
// are recorded and answered by the test.
#include "QtWait.h"
#include "SimHarness.h"

#include "calibration/AutoCalModel.h"
#include "calibration/LevelSensor.h"
#include "calibration/ModelPoints.h"
#include "calibration/WorkingPressureList.h"
#include "calibration/ui/CalAutoPage.h"
#include "calibration/ui/CalibrationPage.h"
#include "calibration/ui/ConfAutoCalPage.h"
#include "calibration/ui/CorrectionsPage.h"
#include "calibration/ui/InjectorTestWindow.h"
#include "calibration/ui/LevelSensorWindow.h"
#include "calibration/ui/MapPage.h"
#include "calibration/ui/Model2Page.h"
#include "calibration/ui/WorkingPressureWindow.h"
#include "configuration/ConfigFile.h"
#include "configuration/ConfigFileOps.h"
#include "controller/ControllerLink.h"
#include "controller/Conversions.h"
#include "documents/MessageKeys.h"
#include "mainwindow/ApplicationStartup.h"
#include "mainwindow/ConfWizard.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/UiText.h"
#include "sim/controller/ControllerModel.h"
#include "widgets/XYChart.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

using namespace lumex;
using testsupport::SimHarness;
using testsupport::SimSetup;

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kLongDeadline{60000};
constexpr uint8_t kFourInjectorMask = 0x0F;

bool WaitUntil(const std::function<bool()> &condition, std::chrono::milliseconds deadline = kLongDeadline)
{
    return testsupport::PumpUntil(condition, deadline);
}

class TCalibrationProgram
{
public:
    explicit TCalibrationProgram(SimHarness &sim) : sim_(sim)
    {
        char pattern[] = "/tmp/lumex-calwin-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        ::setenv("HOME", (folder_ / "home").c_str(), 1);
        fs::create_directories(folder_ / "home");
        startup_ = std::make_unique<TApplicationStartup>(std::vector<std::string>{"--port", sim.Path()}, link_);
        startup_->ShowMessage = [this](QWidget *, const TUserMessage &m) { messages_.push_back(m); };
        started_ = startup_->Start();
        if (!started_)
            return;
        Window().Ask = [this](QWidget *, const TQuestion &q) {
            questions_.push_back(q.Text);
            return Answer ? Answer(q) : TAnswer::No;
        };
        // The wizard asks its own questions.
        Window().Wizard()->Ask = Window().Ask;
    }
    ~TCalibrationProgram()
    {
        startup_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    bool Started() const { return started_; }
    TFormMain &Window() { return *startup_->MainWindow(); }
    TCalibrationPage &Page() { return *Window().CalibrationPage(); }
    template <class T> T *Find(const char *name)
    {
        T *found = Window().findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    bool Connected()
    {
        return WaitUntil([&] { return Window().LastSnapshot().LinkUp && Window().LastSnapshot().Data.VersionCode; });
    }
    std::shared_ptr<sim::ControllerModel> Controller()
    {
        return std::dynamic_pointer_cast<sim::ControllerModel>(sim_.Sim().Device());
    }

    std::function<TAnswer(const TQuestion &)> Answer;
    std::vector<TUserMessage> messages_;
    std::vector<std::string> questions_;

private:
    SimHarness &sim_;
    TControllerLink link_;
    fs::path folder_;
    std::unique_ptr<TApplicationStartup> startup_;
    bool started_ = false;
};

void Key(QWidget *to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(to, &press);
}

void Click(TXYChart *chart, QPointF value, Qt::MouseButton button, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF at = chart->ToPixel(value);
    QMouseEvent press(QEvent::MouseButtonPress, at, chart->mapToGlobal(at), button, button, modifiers);
    QApplication::sendEvent(chart, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, chart->mapToGlobal(at), button, Qt::NoButton, modifiers);
    QApplication::sendEvent(chart, &release);
}

} // namespace

TEST(CalibrationWindows, Model2KeysAndMouseEditPointsAndWriteSendsThem)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalModel2"));
    TModel2Page *page = program.Page().Model2();
    ASSERT_TRUE(WaitUntil([&] { return page->ReadsDone() >= 1; }));
    const TModelPointList before = page->Editor().Points();
    ASSERT_GE(before.size(), 4u);
    TXYChart *chart = page->Chart();

    // The left button selects the point under the mouse.
    Click(chart, {before[2].Tb, before[2].Tg}, Qt::LeftButton);
    ASSERT_EQ(page->Editor().Selection(), std::optional<std::size_t>(2));
    Key(chart, Qt::Key_Right);
    Key(chart, Qt::Key_Up);
    Key(chart, Qt::Key_Up);
    TModelPointList now = page->Editor().Points();
    EXPECT_NEAR(now[2].Tb, before[2].Tb + 0.1, 1e-9);
    EXPECT_NEAR(now[2].Tg, before[2].Tg + 0.2, 1e-9);

    // Insert puts a point halfway to the next one; Delete takes it away again.
    Key(chart, Qt::Key_Insert);
    now = page->Editor().Points();
    ASSERT_EQ(now.size(), before.size() + 1);
    EXPECT_NEAR(now[3].Tb, (before[2].Tb + 0.1 + before[3].Tb) / 2, 1e-9);
    ASSERT_EQ(page->Editor().Selection(), std::optional<std::size_t>(3));
    Key(chart, Qt::Key_PageUp);
    Key(chart, Qt::Key_PageDown);
    ASSERT_EQ(page->Editor().Selection(), std::optional<std::size_t>(3));
    Key(chart, Qt::Key_Delete);
    ASSERT_EQ(page->Editor().Points().size(), before.size());

    // The right button adds a point where no point lies.
    const double tb = (before[0].Tb + before[1].Tb) / 2, tg = (before[0].Tg + before[1].Tg) / 2;
    Click(chart, {tb, tg}, Qt::RightButton);
    now = page->Editor().Points();
    ASSERT_EQ(now.size(), before.size() + 1);
    EXPECT_NEAR(now[1].Tb, tb, 0.1);
    // Ctrl with the left button never deletes the first point.
    Click(chart, {now[0].Tb, now[0].Tg}, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(page->Editor().Points().size(), now.size());
    EXPECT_TRUE(page->Editor().Modified());

    // Write sends the chart's points: the controller then holds them.
    program.Answer = [](const TQuestion &q) {
        return q.Text == MessageTextInForce(msg::strQGasMapClearAfterModelChange) ? TAnswer::No : TAnswer::Yes;
    };
    program.Find<QPushButton>("BtBModel2Write")->click();
    ASSERT_TRUE(WaitUntil([&] { return page->WritesDone() >= 1; }));
    const auto store = program.Controller()->Store();
    for (std::size_t i = 0; i < kModel2Points; ++i) {
        if (i < now.size()) {
            EXPECT_EQ(store.model2A[i].x, PointTicks(now[i].Tb)) << i;
            EXPECT_EQ(store.model2A[i].y, PointTicks(now[i].Tg)) << i;
        } else {
            EXPECT_EQ(store.model2A[i].x, kModelEmptyTicks) << i;
        }
    }
    EXPECT_FALSE(page->Editor().Modified());
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(CalibrationWindows, WideRangeR2500DrawsRangesTwoAndThreeAsCurrent)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    // One petrol point in each of the ranges 0..4, all at the same place.
    constexpr uint16_t kBin = 20, kTime = 30;
    std::vector<uint16_t> words;
    for (uint16_t range = 0; range < 5; ++range)
        words.push_back(static_cast<uint16_t>(range << 13 | kBin << 7 | kTime));
    program.Controller()->EditStore([&](sim::ParameterStore &st) {
        st.SetMapPoints(false, words);
        st.SetMapPoints(true, {});
    });
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalMap"));
    TMapPage *map = program.Page().Map();
    ASSERT_TRUE(WaitUntil([&] {
        return map->ReadsDone() >= 1 && map->Chart()->Series(map->PetrolCurrentSeries()).Points.size() +
                                                map->Chart()->Series(map->PetrolOtherSeries()).Points.size() ==
                                            5;
    }));

    auto *range = program.Find<QComboBox>("CmBCalMapRPMRange");
    ASSERT_EQ(range->itemText(10), "R2500 (2250-3250)");
    program.Answer = [](const TQuestion &) { return TAnswer::No; }; // keep the maps
    range->setCurrentIndex(10);
    EXPECT_EQ(map->Chart()->Series(map->PetrolCurrentSeries()).Points.size(), 2u);
    EXPECT_EQ(map->Chart()->Series(map->PetrolOtherSeries()).Points.size(), 3u);
    // The range reached the controller, and the maps were kept.
    ASSERT_TRUE(WaitUntil(
        [&] { return program.Controller()->Store().byteParams[19] == 10 && program.questions_.size() == 1; }));
    EXPECT_EQ(program.Controller()->Store().MapCount(false), 5);
}

TEST(CalibrationWindows, TypingIntoAGasTemperatureEditPressesTheUserButton)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalCorrections"));
    TCorrectionsPage *page = program.Page().Corrections();
    ASSERT_TRUE(WaitUntil([&] { return page->ReadsDone() >= 1; }));

    auto *standard = program.Find<QToolButton>("SpBtnCorTgasStandard");
    auto *user = program.Find<QToolButton>("SpBtnCorTgasUserDefined");
    standard->click();
    ASSERT_TRUE(standard->isChecked());
    ASSERT_FALSE(user->isChecked());
    ASSERT_EQ(page->Edited().TgasCorType, 2);

    auto *edit = program.Find<QLineEdit>("EdtTgasCorr3");
    const int typed = edit->text().toInt() + 3;
    edit->setText(QString::number(typed));
    EXPECT_TRUE(user->isChecked());
    EXPECT_FALSE(standard->isChecked());
    EXPECT_EQ(page->Edited().TgasCorType, 5);
    EXPECT_EQ(page->Edited().CTG[2], typed);

    // The write takes the typed table and the user type to the controller.
    program.Answer = [](const TQuestion &) { return TAnswer::Yes; };
    program.Find<QPushButton>("BtnCorWriteCorrections")->click();
    ASSERT_TRUE(WaitUntil([&] { return page->WritesDone() >= 1; }));
    const auto store = program.Controller()->Store();
    EXPECT_EQ(store.ctg[2], typed);
    EXPECT_EQ(store.byteParams[45], 5);
    EXPECT_TRUE(user->isChecked());
}

TEST(CalibrationWindows, InjectorTestRunsToItsVerdict)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    sim.Control("engine idle");
    sim.Control("set tred 40");  // 68 degrees C: warm enough
    sim.Control("set pcol 100"); // steady, so the watch lets the test run
    for (const char *line :
         {"injtest result 1 100", "injtest result 2 102", "injtest result 3 120", "injtest result 4 80"})
        sim.Control(line);
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    program.Controller()->EditStore([](sim::ParameterStore &st) { st.core.InjMask = kFourInjectorMask; });
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("FormInjTest"));
    QPointer<TInjectorTestWindow> window = program.Page().InjectorTest();
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitUntil([&] { return window->Refreshes() >= 1 && window->Shown().Cylinders == 4; }))
        << window->Refreshes() << " refreshes, " << window->Shown().Cylinders << " cylinders";

    window->findChild<QPushButton *>("BtnStartTest")->click();
    auto *verdict = window->findChild<QLabel *>("LblTestResult");
    ASSERT_TRUE(WaitUntil([&] { return !window->Shown().Running && !verdict->isHidden(); }));
    EXPECT_EQ(verdict->text(), UiText(msg::strGasInjToReplaced, QString()));
    EXPECT_EQ(window->findChild<QLineEdit *>("EdtCalculatedCorrCyl3")->text(), "20%");
    EXPECT_EQ(window->findChild<QLineEdit *>("EdtCalculatedCorrCyl4")->text(), "-20%");

    // The test has ended: closing asks nothing and the window goes.
    window->close();
    ASSERT_TRUE(WaitUntil([&] { return window.isNull() || !window->isVisible(); }));
    EXPECT_TRUE(program.questions_.empty());
}

TEST(InstallerWindows, LevelSensorShowsTheOhmTablesAsksBeforeLosingEditsAndWritesTheFactorySettings)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    constexpr uint8_t kReserveParam = 33, kPanelLedParam = 22;
    const std::array<uint8_t, 4> stored{100, 110, 120, 130};
    program.Controller()->EditStore([&](sim::ParameterStore &st) {
        st.byteParams[kReserveParam] = kReserveOhm90;
        st.byteParams[kPanelLedParam] = 1;
        st.SetLevelTable(true, stored);
    });
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("FrmConfigLevelSensor"));
    QPointer<TLevelSensorWindow> window = program.Page().LevelSensor();
    ASSERT_TRUE(window);
    ASSERT_TRUE(WaitUntil([&] { return window->ReadsDone() >= 1; }));
    EXPECT_EQ(window->Thresholds(), stored);
    EXPECT_EQ(window->findChild<QComboBox *>("CmBKnfLSColorLedState")->currentIndex(), 1);
    EXPECT_EQ(window->findChild<QLabel *>("LblKnfLSThresholdVolts0")->text(), "1.96 V");
    EXPECT_FALSE(window->Modified());

    // An edit, then closing: Cancel keeps the window and the edit.
    window->findChild<QSlider *>("TrBKnfLSThreshold0_2")->setValue(30);
    ASSERT_TRUE(window->Modified());
    program.Answer = [](const TQuestion &q) { return q.WithCancel ? TAnswer::Cancel : TAnswer::Yes; };
    window->close();
    ASSERT_TRUE(WaitUntil([&] { return program.questions_.size() == 1 && !window->Busy(); }));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Thresholds()[0], 30);

    // The factory settings of the 0-90 ohm indicator reach the controller's B table.
    const std::array<uint8_t, 4> tableA = program.Controller()->Store().LevelTable(false);
    window->findChild<QPushButton *>("BtnKnfLSDefault")->click();
    ASSERT_TRUE(WaitUntil([&] { return window->WritesDone() >= 1; }));
    const auto store = program.Controller()->Store();
    EXPECT_EQ(store.LevelTable(true), (std::array<uint8_t, 4>{21, 47, 61, 72}));
    EXPECT_EQ(store.LevelTable(false), tableA);
    const TPanelLed factoryLed = FactoryPanelLed(program.Window().LastSnapshot().Data.PcCompatCode);
    EXPECT_EQ(store.byteParams[kPanelLedParam], static_cast<uint8_t>(factoryLed));
    EXPECT_EQ(window->Thresholds(), (TLevelThresholds{21, 47, 61, 72}));
    EXPECT_FALSE(window->Modified());

    // Nothing unsaved: closing asks nothing more.
    const std::size_t asked = program.questions_.size();
    window->close();
    ASSERT_TRUE(WaitUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(program.questions_.size(), asked);
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(InstallerWindows, WorkingPressureFromTheWizardShowsAWaitThatCancelsAndThenWritesTheChosenEntry)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    sim.Control("regulator 1.2");
    sim.Control("pressuretest hold");
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    constexpr uint8_t kWorkPressParam = 30;
    ASSERT_TRUE(program.Connected());
    const uint8_t before = program.Controller()->Store().byteParams[kWorkPressParam];
    program.Answer = [](const TQuestion &) { return TAnswer::Yes; };
    auto *determine = program.Find<QPushButton>("BtnConfWorkPressure");
    ASSERT_TRUE(determine->isEnabled());

    // The held pressure test keeps the wait on screen until it is cancelled.
    determine->click();
    QDialog *wait = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        wait = program.Window().findChild<QDialog *>("WaitWorkingPressure");
        return wait && wait->isVisible() && !program.questions_.empty();
    }));
    EXPECT_EQ(program.questions_, std::vector<std::string>{MessageTextInForce(msg::strQuestSwitchToGas)});
    wait->reject();
    ASSERT_TRUE(WaitUntil([&] { return !program.Window().findChild<QDialog *>("WaitWorkingPressure"); }));
    EXPECT_EQ(program.Page().WorkingPressure(), nullptr);
    EXPECT_EQ(program.Controller()->Store().byteParams[kWorkPressParam], before);
    EXPECT_TRUE(program.messages_.empty());

    // Released, the determination writes the entry below 1,20 bar and opens the window on it.
    sim.Control("pressuretest release");
    determine->click();
    ASSERT_TRUE(WaitUntil([&] { return program.Page().WorkingPressure() != nullptr; }));
    TWorkingPressureWindow *window = program.Page().WorkingPressure();
    ASSERT_TRUE(window->isVisible());
    const int chosen = window->List()->currentIndex();
    ASSERT_GE(chosen, 0);
    EXPECT_LT(chosen, 5); // below the measured 1,20 bar
    EXPECT_EQ(program.Controller()->Store().byteParams[kWorkPressParam], window->List()->currentData().toUInt());

    // The installer picks another entry; accepting writes it and the wizard shows it.
    window->List()->setCurrentIndex(2);
    window->findChild<QPushButton *>("BtnWPWriteAndContinue")->click();
    ASSERT_TRUE(WaitUntil([&] { return program.Page().WorkingPressure() == nullptr; }));
    EXPECT_EQ(program.Controller()->Store().byteParams[kWorkPressParam], WorkingPressureList()[2].Raw);
    EXPECT_EQ(program.Find<QComboBox>("CmBConfWorkPressure")->currentText(), "0,90");
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(AutoCalibrationPage, ARunWithTheLoadStepEndsOnTheResultAndFinishMovesTheWizardOn)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    constexpr int kIdlePetrolTicks = 449, kWarmTredRaw = 60;
    sim.Control("engine idle");
    for (int i = 1; i <= 4; ++i)
        sim.Control("set petrol " + std::to_string(i) + " " + std::to_string(kIdlePetrolTicks));
    sim.Control("set tred " + std::to_string(kWarmTredRaw));
    sim.Control("regulator 1.2");
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    program.Controller()->EditStore([](sim::ParameterStore &st) { st.core.InjMask = kFourInjectorMask; });
    program.Answer = [](const TQuestion &) { return TAnswer::Yes; };
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSConfAutoCal"));
    TConfAutoCalPage *page = program.Window().Wizard()->AutoCal();
    ASSERT_NE(page, nullptr);
    const auto shown = [page] { return page->Book()->currentWidget()->objectName(); };
    auto *start = program.Find<QPushButton>("BtnConfAutoStart");
    ASSERT_TRUE(WaitUntil([&] { return start->isEnabled(); }));
    EXPECT_EQ(shown(), "Start");
    // The idle time capture judges the reducer by the readings the page polls.
    ASSERT_TRUE(WaitUntil([&] { return program.Window().LastSnapshot().Data.TredRaw == kWarmTredRaw; }))
        << int(program.Window().LastSnapshot().Data.TredRaw);

    // START: the idle time is captured and the working pressure determined
    // behind its wait window; the working-pressure window then holds the
    // start until the installer accepts it.
    start->click();
    constexpr std::chrono::milliseconds kRunDeadline{120000};
    ASSERT_TRUE(
        WaitUntil([&] { return page->WorkingPressure() && page->WorkingPressure()->isVisible(); }, kRunDeadline))
        << ::testing::PrintToString(program.questions_);
    ASSERT_FALSE(program.questions_.empty());
    EXPECT_EQ(program.questions_.back(), MessageTextInForce(msg::strQuestSwitchToGas));
    TWorkingPressureWindow *pressure = page->WorkingPressure();
    ASSERT_GE(pressure->List()->currentIndex(), 0);
    EXPECT_EQ(shown(), "Start");
    EXPECT_NE(program.Window().LastSnapshot().RequestedWorkType, static_cast<int>(TWorkType::StartAutocalibration));
    // The installer takes the entry below the chosen one; the controller stores it.
    const int taken = pressure->List()->currentIndex() - 1;
    ASSERT_GE(taken, 0);
    pressure->List()->setCurrentIndex(taken);
    pressure->findChild<QPushButton *>("BtnWPWriteAndContinue")->click();
    // Then the controller measures without load until it wants the load.
    ASSERT_TRUE(WaitUntil([&] { return shown() == "WaitLoad"; }, kRunDeadline))
        << shown().toStdString() << " " << AutoCalOutcomeName(page->Outcome()) << " "
        << ::testing::PrintToString(program.questions_) << " "
        << (program.messages_.empty() ? std::string() : program.messages_.back().Text.toStdString());
    EXPECT_EQ(program.Controller()->Store().byteParams[30], WorkingPressureList()[static_cast<std::size_t>(taken)].Raw);
    EXPECT_EQ(page->findChild<QProgressBar *>("GgeConfStepWithoutLoad")->maximum(), 20);
    EXPECT_TRUE(page->Active());
    EXPECT_TRUE(program.Find<QPushButton>("BtnConfAutoStop")->isEnabled());
    auto *next = program.Find<QPushButton>("BtnConfAutoContinue");
    ASSERT_TRUE(WaitUntil([&] { return next->isEnabled(); }));
    next->click();

    ASSERT_TRUE(WaitUntil([&] { return shown() == "Result" && !page->Active(); }, kRunDeadline))
        << shown().toStdString();
    EXPECT_EQ(page->findChild<QProgressBar *>("GgeConfStepWithLoad")->maximum(), 17);
    EXPECT_EQ(page->Outcome(), TAutoCalOutcome::Completed);
    EXPECT_EQ(page->findChild<QLabel *>("LblConfAutoResultInfo1")->text(), UiText(msg::strNok, QString()));
    // The controller holds the markers of a finished autocalibration.
    constexpr uint8_t kMarkersParam = 14;
    EXPECT_EQ(program.Controller()->Store().wordParams[kMarkersParam] & 0x0F, 0x0F);

    auto *finish = program.Find<QPushButton>("BtnConfAutoFinish");
    ASSERT_TRUE(WaitUntil([&] { return finish->isEnabled(); }));
    finish->click();
    ASSERT_TRUE(WaitUntil([&] { return program.Window().Wizard()->CurrentPage() == TWizardPage::Finish; }));
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(AutoCalibrationPage, TheLegacyTabRunsToAFullBarAndGoesOnToTheMap)
{
    SimHarness sim(SimSetup::Controller(0x15, 'E'));
    constexpr int kIdlePetrolTicks = 449, kWarmTredRaw = 60;
    sim.Control("engine idle");
    for (int i = 1; i <= 4; ++i)
        sim.Control("set petrol " + std::to_string(i) + " " + std::to_string(kIdlePetrolTicks));
    sim.Control("set tred " + std::to_string(kWarmTredRaw));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    program.Answer = [](const TQuestion &) { return TAnswer::Yes; };
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalAuto"));
    TCalAutoPage *page = program.Page().AutoCal();
    QTabWidget *pages = program.Page().Pages();
    EXPECT_TRUE(pages->isTabVisible(pages->indexOf(page)));
    EXPECT_FALSE(pages->isTabVisible(pages->indexOf(program.Page().Model2())));
    auto *start = program.Find<QPushButton>("SpBCalStart");
    auto *stop = program.Find<QPushButton>("SpBCalStop");
    auto *bar = program.Find<QProgressBar>("PrBCalPostep");
    ASSERT_TRUE(WaitUntil([&] { return start->isEnabled(); }));
    EXPECT_TRUE(stop->isHidden());

    // START and STOP swap places while the bar follows the controller.
    start->click();
    ASSERT_TRUE(WaitUntil([&] { return page->Active(); }));
    EXPECT_TRUE(start->isHidden());
    EXPECT_FALSE(stop->isHidden());
    EXPECT_FALSE(bar->isHidden());
    constexpr std::chrono::milliseconds kRunDeadline{120000};
    ASSERT_TRUE(WaitUntil([&] { return !page->Active(); }, kRunDeadline));
    EXPECT_EQ(page->Outcome(), TAutoCalOutcome::Completed);
    EXPECT_EQ(bar->value(), kLegacyBarSteps);
    EXPECT_EQ(program.Find<QLabel>("LblCalInfo")->text(), UiText(msg::strCalInfo_OK, QString()));
    EXPECT_FALSE(start->isHidden());

    // A full bar offers map collection; Yes opens the map page on petrol.
    EXPECT_EQ(program.questions_, std::vector<std::string>{MessageTextInForce(msg::strCalInfo_MAP1) + "\r\n\r\n" +
                                                           MessageTextInForce(msg::strCalInfo_MAP2)});
    ASSERT_TRUE(WaitUntil([&] { return pages->currentWidget() == program.Page().Map(); }));
    ASSERT_TRUE(WaitUntil(
        [&] { return program.Window().LastSnapshot().RequestedWorkType == static_cast<int>(TWorkType::Petrol); }));
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(AutoCalibrationPage, StopOnTheLegacyTabEndsTheRunWithTheErrorText)
{
    SimHarness sim(SimSetup::Controller(0x14, 'E'));
    sim.Control("engine idle");
    sim.Control("set tred 200"); // cold: the controller waits for the reducer
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalAuto"));
    TCalAutoPage *page = program.Page().AutoCal();
    auto *start = program.Find<QPushButton>("SpBCalStart");
    ASSERT_TRUE(WaitUntil([&] { return start->isEnabled(); }));
    start->click();
    auto *info = program.Find<QLabel>("LblCalInfo");
    ASSERT_TRUE(WaitUntil([&] { return page->Active() && info->text().startsWith("TEMP. REDUKTORA"); }));
    auto *stop = program.Find<QPushButton>("SpBCalStop");
    ASSERT_TRUE(WaitUntil([&] { return stop->isEnabled(); }));
    stop->click();
    ASSERT_TRUE(WaitUntil([&] { return !page->Active(); }));
    EXPECT_EQ(info->text(), UiText(msg::strCalInfo_ERR, QString()));
    EXPECT_TRUE(program.Find<QProgressBar>("PrBCalPostep")->isHidden());
    ASSERT_TRUE(WaitUntil(
        [&] { return program.Window().LastSnapshot().RequestedWorkType == static_cast<int>(TWorkType::Stop); }));
    EXPECT_TRUE(program.questions_.empty());
}

TEST(CalibrationWindows, MapFileSavedFromThePageLoadsBackIntoTheController)
{
    SimHarness sim(SimSetup::Controller(0x15, 'E'));
    constexpr uint16_t kBin = 20, kTime = 30;
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    program.Controller()->EditStore([&](sim::ParameterStore &st) {
        st.SetMapPoints(false, std::vector<uint16_t>{static_cast<uint16_t>(kBin << 7 | kTime),
                                                     static_cast<uint16_t>(kBin << 7 | 40)});
        st.SetMapPoints(true, std::vector<uint16_t>{static_cast<uint16_t>(kBin << 7 | 50)});
    });
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalMap"));
    TMapPage *map = program.Page().Map();
    ASSERT_TRUE(WaitUntil([&] { return map->ReadsDone() >= 1; }));
    const fs::path file = fs::temp_directory_path() / ("lumex-map-" + std::to_string(::getpid()) + ".gmf");
    ASSERT_TRUE(map->SaveToFile(QString::fromStdString(file.string())));
    EXPECT_EQ(program.Find<QLabel>("LblCalMapNameFile")->text().toStdString(), file.filename().string());

    // Cleared, the controller gets the file's points back.
    program.Controller()->EditStore([](sim::ParameterStore &st) {
        st.SetMapPoints(false, {});
        st.SetMapPoints(true, {});
    });
    const int reads = map->ReadsDone();
    map->LoadFromFile(QString::fromStdString(file.string()));
    ASSERT_TRUE(WaitUntil([&] { return map->ReadsDone() > reads; }));
    EXPECT_EQ(program.Controller()->Store().MapCount(false), 2);
    EXPECT_EQ(program.Controller()->Store().MapCount(true), 1);
    fs::remove(file);
    EXPECT_TRUE(sim.Violations().empty());
}

namespace {

// Model parameter 2 holds the offset in ticks; byte parameter 37 bit 0 the
// model used at idle.
constexpr uint8_t kOffsetModelParam = 2, kIdleModelByte = 37;

uint16_t Ticks(double ms)
{
    return PointTicks(ms);
}

} // namespace

TEST(CalibrationWindows, SetNewModelBuildsTheModelFromTheIdlePointsAndWriteCopiesItToTheAdaptedTable)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    // Idle points (3.0, 3.6) and (4.0, 4.6) ms, used at idle, offset 1.0 ms.
    program.Controller()->EditStore([](sim::ParameterStore &st) {
        st.core.FuelType = 0;
        st.byteParams[kIdleModelByte] = 1;
        st.modelPoints = {Ticks(3.0), Ticks(3.6), Ticks(4.0), Ticks(4.6)};
        st.SetModelParam(kOffsetModelParam, Ticks(1.0));
    });
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalModel2"));
    TModel2Page *page = program.Page().Model2();
    ASSERT_TRUE(WaitUntil([&] { return page->ReadsDone() >= 1; }));
    ASSERT_NEAR(page->Editor().Offset(), 1.0, 1e-9);

    program.Find<QPushButton>("BtBModel2SetNewModel")->click();
    ASSERT_TRUE(WaitUntil([&] { return page->NewModelsSet() >= 1; }));
    // The reference point is the midpoint of the idle points, (3.5, 4.1)
    // as the controller's ticks hold them.
    const auto ms = [](double v) { return Ticks(v) / kTicksPerMs; };
    const auto expected = ModelFromResult(TFuel::LPG, 1.0, {(ms(3.0) + ms(4.0)) / 2, (ms(3.6) + ms(4.6)) / 2});
    ASSERT_TRUE(expected);
    const TModelPointList points = page->Editor().Points();
    ASSERT_EQ(points.size(), expected->Points.size());
    EXPECT_NEAR(points[0].Tb, 0.0, 1e-9);
    EXPECT_NEAR(points[0].Tg, 1.0, 1e-9);
    EXPECT_NEAR(points[2].Tb, 3.5, 0.01);
    EXPECT_NEAR(points[2].Tg, 4.1, 0.01);
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(points[i].Tb, expected->Points[i].X, 1e-9) << i;
        EXPECT_NEAR(points[i].Tg, expected->Points[i].Y, 1e-9) << i;
    }
    EXPECT_NEAR(points.back().Tb, 25.0, 1e-9);
    EXPECT_EQ(page->Editor().MultPosition(), expected->MultSpinner);
    EXPECT_TRUE(page->Editor().Modified());
    EXPECT_TRUE(page->Editor().CopyToAdapted());

    // Write sends the new model and the same points as the adapted model.
    program.Answer = [](const TQuestion &q) {
        return q.Text == MessageTextInForce(msg::strQGasMapClearAfterModelChange) ? TAnswer::No : TAnswer::Yes;
    };
    program.Find<QPushButton>("BtBModel2Write")->click();
    ASSERT_TRUE(WaitUntil([&] { return page->WritesDone() >= 1; }));
    const auto store = program.Controller()->Store();
    for (std::size_t i = 0; i < kModel2Points; ++i) {
        const uint16_t x = i < points.size() ? Ticks(points[i].Tb) : kModelEmptyTicks;
        EXPECT_EQ(store.model2A[i].x, x) << i;
        EXPECT_EQ(store.model2B[i], store.model2A[i]) << i;
    }
    EXPECT_EQ(store.model2A[2].y, Ticks(points[2].Tg));
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(CalibrationWindows, LoadingTheModelFromAFileWritesOnlyTheModel)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalModel2"));
    TModel2Page *page = program.Page().Model2();
    ASSERT_TRUE(WaitUntil([&] { return page->ReadsDone() >= 1; }));

    // A file of this controller with another model and another gas
    // temperature table.
    TNorviData fileImage = program.Window().LastSnapshot().Data;
    const TModelPointList fileModel{{0.0, 0.8}, {2.0, 2.9}, {6.0, 7.4}, {12.0, 13.9}, {20.0, 21.5}};
    fileImage.Model2SetA = SetFromPoints(fileModel);
    fileImage.Offset = 0.8;
    fileImage.CTG.fill(9);
    const fs::path file = fs::temp_directory_path() / ("lumex-model-" + std::to_string(::getpid()) + ".gcf");
    BuildGcf(fileImage, {}, GcfInfoNow()).Save(file.string());
    const auto ctgBefore = program.Controller()->Store().ctg;

    program.Window().ChooseConfigFile = [&](QWidget *, bool, const QString &) {
        return QString::fromStdString(file.string());
    };
    program.Answer = [](const TQuestion &) { return TAnswer::Yes; };
    const int reads = page->ReadsDone();
    program.Find<QPushButton>("SpBModel2ReadFrom")->click();
    ASSERT_TRUE(WaitUntil([&] { return page->FileLoadsDone() >= 1 && page->ReadsDone() > reads; }));
    EXPECT_NE(std::find(program.questions_.begin(), program.questions_.end(), MessageTextInForce(msg::strSaveCnf)),
              program.questions_.end());
    const auto store = program.Controller()->Store();
    for (std::size_t i = 0; i < kModel2Points; ++i) {
        const uint16_t x = i < fileModel.size() ? Ticks(fileModel[i].Tb) : kModelEmptyTicks;
        const uint16_t y = i < fileModel.size() ? Ticks(fileModel[i].Tg) : kModelEmptyTicks;
        EXPECT_EQ(store.model2A[i].x, x) << i;
        EXPECT_EQ(store.model2A[i].y, y) << i;
    }
    EXPECT_EQ(store.ModelParam(kOffsetModelParam), Ticks(0.8));
    // The corrections of the file stay out of a model-only load.
    EXPECT_EQ(store.ctg, ctgBefore);
    // The page shows what the controller now holds.
    ASSERT_EQ(page->Editor().Points().size(), fileModel.size());
    EXPECT_NEAR(page->Editor().Points()[2].Tg, 7.4, 0.01);
    fs::remove(file);
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(CalibrationWindows, SetModelOnTheMapPageHandsTheFittedModelToTheModelPage)
{
    SimHarness sim(SimSetup::Controller(0x30, 'D'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    // Petrol and LPG points along the same pressures; on gas the petrol ECU
    // asks for about a tenth more.
    std::vector<uint16_t> petrol, gas;
    for (uint16_t k = 0; k < 8; ++k) {
        const auto bin = static_cast<uint16_t>(8 + 2 * k);
        const auto time = static_cast<uint16_t>(12 + 5 * k);
        petrol.push_back(static_cast<uint16_t>(bin << 7 | time));
        gas.push_back(static_cast<uint16_t>(bin << 7 | (time + time / 10 + 1)));
    }
    program.Controller()->EditStore([&](sim::ParameterStore &st) {
        st.SetMapPoints(false, petrol);
        st.SetMapPoints(true, gas);
    });
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalModel2"));
    TModel2Page *model2 = program.Page().Model2();
    ASSERT_TRUE(WaitUntil([&] { return model2->ReadsDone() >= 1; }));
    const TModelPointList before = model2->Editor().Points();
    ASSERT_FALSE(model2->Editor().Modified());

    ASSERT_TRUE(program.Window().ShowPage("TbSCalMap"));
    TMapPage *map = program.Page().Map();
    ASSERT_TRUE(WaitUntil([&] { return map->ReadsDone() >= 1; }));
    program.Find<QPushButton>("BtnCalMapSetModel")->click();
    ASSERT_TRUE(WaitUntil([&] { return model2->Editor().Modified(); }));
    const TModelPointList fitted = model2->Editor().Points();
    ASSERT_FALSE(fitted.empty());
    bool changed = fitted.size() != before.size();
    for (std::size_t i = 0; !changed && i < fitted.size(); ++i)
        changed = std::fabs(fitted[i].Tg - before[i].Tg) > 1e-6;
    EXPECT_TRUE(changed);
    // The map's model leaves the adapted table alone.
    EXPECT_FALSE(model2->Editor().CopyToAdapted());
    EXPECT_TRUE(program.messages_.empty());

    program.Answer = [](const TQuestion &q) {
        return q.Text == MessageTextInForce(msg::strQGasMapClearAfterModelChange) ? TAnswer::No : TAnswer::Yes;
    };
    const auto adaptedBefore = program.Controller()->Store().model2B;
    program.Find<QPushButton>("BtBModel2Write")->click();
    ASSERT_TRUE(WaitUntil([&] { return model2->WritesDone() >= 1; }));
    const auto store = program.Controller()->Store();
    for (std::size_t i = 0; i < fitted.size(); ++i)
        EXPECT_EQ(store.model2A[i].y, Ticks(fitted[i].Tg)) << i;
    EXPECT_EQ(store.model2B, adaptedBefore);
    EXPECT_TRUE(sim.Violations().empty());
}

TEST(CalibrationWindows, TheCorrectionsBank2LineTakesACommaOrAPointAndWriteSendsIt)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TCalibrationProgram program(sim);
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.Connected());
    ASSERT_TRUE(program.Window().ShowPage("TbSCalCorrections"));
    TCorrectionsPage *page = program.Page().Corrections();
    ASSERT_TRUE(WaitUntil([&] { return page->ReadsDone() >= 1; }));
    // The manifold pressure and RPM panels and the BANK2 line sit on the linear tab.
    auto *linear = program.Find<QWidget>("TbSLinearCorr");
    ASSERT_NE(linear, nullptr);
    EXPECT_NE(linear->findChild<QWidget *>("PnlCalCorrPcol"), nullptr);
    EXPECT_NE(linear->findChild<QWidget *>("PnlCalCorrRPM"), nullptr);
    EXPECT_EQ(linear->findChild<QWidget *>("PnlCalCorrTgas"), nullptr);

    program.Answer = [](const TQuestion &) { return TAnswer::Yes; };
    auto *offset = program.Find<QLineEdit>("EdtCorBank2Offset");
    auto *mult = program.Find<QSpinBox>("UpDCorBank2Mult");
    constexpr uint8_t kCorrMultParam = 11, kCorrOffsetParam = 12, kCorrMaskParam = 13;
    struct TCase
    {
        const char *Typed;
        double Ms;
    };
    for (const TCase c : {TCase{"0.25", 0.25}, TCase{"-0,5", -0.5}}) {
        const int writes = page->WritesDone();
        offset->setText(c.Typed);
        emit offset->textEdited(offset->text());
        mult->setValue(5);
        program.Find<QCheckBox>("ChBCorBank2Mask2")->setChecked(true);
        ASSERT_TRUE(page->Modified());
        program.Find<QPushButton>("BtnCorWriteCorrections")->click();
        ASSERT_TRUE(WaitUntil([&] { return page->WritesDone() > writes; }));
        const auto store = program.Controller()->Store();
        EXPECT_EQ(static_cast<int16_t>(store.ModelParam(kCorrOffsetParam)), std::lround(c.Ms * kTicksPerMs)) << c.Typed;
        EXPECT_EQ(store.ModelParam(kCorrMultParam), 1075); // 1,05 × 1024
        EXPECT_EQ(store.ModelParam(kCorrMaskParam) & 0x02, 0x02);
        EXPECT_FALSE(page->Modified());
    }
    EXPECT_TRUE(sim.Violations().empty());
}
