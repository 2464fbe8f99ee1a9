// Every numeric field of the main program's windows against bad input, in
// the running program and against the simulated controller: text that is
// no number, a value just outside the field's range and a huge one are
// typed key by key and committed, then the page's write is pressed. A field
// that takes text refuses it with a message and nothing is sent; a spin box
// keeps the bad text out and holds a value in its range.
#include "BadInput.h"
#include "QtWait.h"
#include "SimHarness.h"

#include "calibration/ui/CalibrationPage.h"
#include "calibration/ui/CorrectionsPage.h"
#include "calibration/ui/InjectorTestWindow.h"
#include "calibration/ui/Model2Page.h"
#include "configuration/Question.h"
#include "controller/ControllerLink.h"
#include "documents/MessageKeys.h"
#include "mainwindow/ApplicationStartup.h"
#include "mainwindow/ConfWizard.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/FrmHaslo.h"
#include "mainwindow/LegacyConfigPage.h"
#include "sim/controller/ControllerModel.h"

#include <QAction>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace lumex;
using testsupport::SimHarness;
using testsupport::SimSetup;

namespace {

namespace fs = std::filesystem;

bool WaitUntil(const std::function<bool()> &condition)
{
    return testsupport::PumpUntil(condition);
}

// A field that takes text: its control, the words its refusal names it
// by, the button that sends it, the texts to try and what the field may
// hold once a length limit has cut a text (then nothing is refused).
struct TTextField
{
    std::string Control;
    std::string Named;
    const char *Write;
    std::vector<std::string> Bad;
    std::function<bool(const QString &)> Holds;
};

// A spin box and its range.
struct TSpinField
{
    const char *Control;
    double Min, Max;
    std::string Below, Above;
};

bool WholeIn(const QString &text, int lo, int hi)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok && v >= lo && v <= hi;
}

// The program as the installer starts it, with its settings in a folder of
// its own; messages are recorded and questions answered with `Answer`:
// No by default, so leaving an edited page writes nothing.
class TProgram
{
public:
    explicit TProgram(SimHarness &sim) : sim_(sim)
    {
        char pattern[] = "/tmp/lumex-badinput-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        ::setenv("HOME", (folder_ / "home").c_str(), 1);
        fs::create_directories(folder_ / "home");
        startup_ = std::make_unique<TApplicationStartup>(std::vector<std::string>{"--port", sim.Path()}, link_);
        startup_->ShowMessage = [this](QWidget *, const TUserMessage &m) { Messages.push_back(m); };
        started_ = startup_->Start();
        if (!started_)
            return;
        Window().Ask = [this](QWidget *, const TQuestion &) { return Answer; };
        Window().Wizard()->Ask = Window().Ask;
        // Focus goes to the field typed into only in the active window.
        Window().activateWindow();
        testsupport::PumpUntil([this] { return QApplication::activeWindow() == &Window(); });
    }
    ~TProgram()
    {
        startup_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    bool Started() const { return started_; }
    TFormMain &Window() { return *startup_->MainWindow(); }
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
    sim::ParameterStore Store()
    {
        return std::dynamic_pointer_cast<sim::ControllerModel>(sim_.Sim().Device())->Store();
    }
    // Every job posted so far has run and everything written is in the
    // trace: the marker goes out on the device thread after them.
    bool Drained()
    {
        bool synced = false;
        TDeviceWorker &worker = Window().Worker();
        return worker.Call([&] { synced = sim_.Sync(worker.Link().Port); }) && synced;
    }

    std::vector<TUserMessage> Messages;
    TAnswer Answer = TAnswer::No;

private:
    SimHarness &sim_;
    TControllerLink link_;
    fs::path folder_;
    std::unique_ptr<TApplicationStartup> startup_;
    bool started_ = false;
};

QString Refused()
{
    return QString::fromStdString(MessageTextInForce(msg::strConfInputRefused));
}

// Types every bad text into every field and presses its write: each one is
// refused with the refusal message naming the field. Texts a length limit
// cuts to a value the field holds are left unsent and listed in `cut`.
void WalkTextFields(TProgram &p, const std::vector<TTextField> &fields, std::vector<std::string> &cut)
{
    ASSERT_FALSE(Refused().startsWith('!')) << "the language in force has no refusal text";
    for (const TTextField &f : fields) {
        auto *edit = p.Find<QLineEdit>(f.Control.c_str());
        ASSERT_NE(edit, nullptr);
        const QString kept = edit->text();
        for (const std::string &text : f.Bad) {
            testsupport::TypeOver(edit, text);
            if (edit->text().toStdString() != text && f.Holds(edit->text())) {
                cut.push_back(f.Control + " \"" + text + "\" -> \"" + edit->text().toStdString() + "\"");
                edit->setText(kept);
                continue;
            }
            const std::size_t before = p.Messages.size();
            p.Find<QPushButton>(f.Write)->click();
            ASSERT_GT(p.Messages.size(), before) << f.Control << " took \"" << text << "\" without a word";
            const TUserMessage &m = p.Messages.back();
            EXPECT_EQ(m.Kind, TMessageKind::Warning) << f.Control;
            EXPECT_TRUE(m.Text.startsWith(Refused())) << f.Control << ": " << m.Text.toStdString();
            EXPECT_TRUE(m.Text.contains(QString::fromStdString(f.Named))) << f.Control << ": " << m.Text.toStdString();
            // The next field must be refused for its own text.
            edit->setText(kept);
            edit->setModified(false);
        }
    }
}

// Types every bad text into every spin box: the box keeps it out and holds
// a value of its range, showing it.
void WalkSpinFields(TProgram &p, const std::vector<TSpinField> &fields)
{
    for (const TSpinField &f : fields) {
        auto *spin = p.Find<QAbstractSpinBox>(f.Control);
        ASSERT_NE(spin, nullptr);
        for (const std::string &text : testsupport::BadTexts(f.Below, f.Above)) {
            testsupport::TypeOver(spin, text);
            double value = 0;
            if (auto *whole = qobject_cast<QSpinBox *>(spin))
                value = whole->value();
            else
                value = qobject_cast<QDoubleSpinBox *>(spin)->value();
            EXPECT_GE(value, f.Min) << f.Control << " \"" << text << "\"";
            EXPECT_LE(value, f.Max) << f.Control << " \"" << text << "\"";
            EXPECT_NE(spin->text().toStdString(), text) << f.Control;
        }
    }
}

// The eighty table edits of the corrections page and its BANK2 offset.
std::vector<TTextField> CorrectionFields()
{
    std::vector<TTextField> fields;
    for (const char *prefix : {"EdtTgasCorr", "EdtPsysCorr", "EdtPcolCorr", "EdtRPMCorr"})
        for (int k = 1; k <= 20; ++k) {
            const std::string name = prefix + std::to_string(k);
            fields.push_back({name, name, "BtnCorWriteCorrections", testsupport::BadTexts("-129", "128"),
                              [](const QString &t) { return WholeIn(t, -128, 127); }});
        }
    fields.push_back({"EdtCorBank2Offset", "EdtCorBank2Offset", "BtnCorWriteCorrections",
                      testsupport::BadTexts("-175,3", "175,3"), [](const QString &) { return false; }});
    return fields;
}

} // namespace

// The 3.0 wizard's edits, the corrections page and the model page's BANK2
// offset: every bad text is refused at the write and the controller hears
// no write command and keeps what it stored. The spin boxes of the model
// page and of the BANK2 line keep bad text out.
TEST(BadInputWalk, ThreeZeroPagesRefuseBadNumbersAndSendNothing)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Connected());

    // Every page read once, so later reads change nothing on screen.
    ASSERT_TRUE(p.Window().ShowPage("TbSConfigurator"));
    TConfWizard &wizard = *p.Window().Wizard();
    ASSERT_TRUE(
        WaitUntil([&] { return wizard.Pending() == 0 && !p.Find<QLineEdit>("EdtConfPower")->text().isEmpty(); }));
    ASSERT_TRUE(p.Window().ShowPage("TbSCalModel2"));
    TModel2Page *model = p.Window().CalibrationPage()->Model2();
    ASSERT_TRUE(WaitUntil([&] { return model->ReadsDone() >= 1; }));
    // The corrections page reads whenever it comes up: that read ends
    // before anything is typed.
    TCorrectionsPage *corrections = p.Window().CalibrationPage()->Corrections();
    const int reads = corrections->ReadsDone();
    ASSERT_TRUE(p.Window().ShowPage("TbSCalCorrections"));
    ASSERT_TRUE(WaitUntil([&] { return corrections->ReadsDone() > reads; }));
    ASSERT_TRUE(p.Drained());
    sim.ClearTrace();
    const sim::ParameterStore stored = p.Store();

    std::vector<std::string> cut;
    const auto wholeUpTo = [](int max) { return [max](const QString &t) { return WholeIn(t, 0, max); }; };
    const auto never = [](const QString &) { return false; };
    WalkTextFields(p, CorrectionFields(), cut);
    WalkTextFields(p,
                   {{"EdtModel2CorrOffset", "EdtModel2CorrOffset", "BtBModel2Write",
                     testsupport::BadTexts("-175,3", "175,3"), never}},
                   cut);
    ASSERT_TRUE(p.Window().ShowPage("TbSConfigurator"));
    ASSERT_TRUE(WaitUntil([&] { return wizard.Pending() == 0; }));
    WalkTextFields(
        p,
        {{"EdtConfCubicCap", "EngineCubicCapacity", "BtnConfWriteConfig", testsupport::BadTexts("-1", "10000"),
          wholeUpTo(9999)},
         {"EdtConfPower", "Power", "BtnConfWriteConfig", testsupport::BadTexts("-1", "1000"), wholeUpTo(999)},
         {"EdtConfIdleHotTb", "IdleHotTb", "BtnConfWriteConfig", testsupport::BadTexts("-0,01", "350,5"), never}},
        cut);
    // A length limit of three characters leaves "-12" of "-129": a value
    // the correction holds, so it is not refused.
    EXPECT_EQ(cut.size(), 80u) << (cut.empty() ? std::string() : cut.front());

    ASSERT_TRUE(p.Window().ShowPage("TbSCalModel2"));
    WalkSpinFields(p, {{"UpDModel2Mult", -40, 70, "-41", "71"},
                       {"UpDModel2Offset", -40, 60, "-41", "61"},
                       {"UpDModel2CorrMult", -40, 70, "-41", "71"},
                       {"UpDCalSerIdle1X", 0, 300, "-1", "301"},
                       {"UpDCalSerIdle2X", 0, 300, "-1", "301"},
                       {"UpDCalSerIdle1Y", 0, 350, "-1", "351"},
                       {"UpDCalSerIdle2Y", 0, 350, "-1", "351"}});
    ASSERT_TRUE(p.Window().ShowPage("TbSCalCorrections"));
    WalkSpinFields(p, {{"UpDCorBank2Mult", -40, 70, "-41", "71"}});

    ASSERT_TRUE(p.Drained());
    EXPECT_EQ(testsupport::WriteRequests(sim), std::vector<std::string>{});
    EXPECT_EQ(testsupport::ChangedSettings(stored, p.Store()), std::vector<std::string>{});
    EXPECT_TRUE(sim.Violations().empty());
}

// The injector test's eight stored corrections are spin boxes of -20..20:
// bad text stays out, and what the write sends lies in that range.
TEST(BadInputWalk, InjectorCorrectionsKeepBadTextOutAndWriteOnlyTheirRange)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Connected());
    ASSERT_TRUE(p.Window().ShowPage("FormInjTest"));
    TInjectorTestWindow *window = p.Window().CalibrationPage()->InjectorTest();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return window->Refreshes() >= 1; }));

    std::vector<TSpinField> spins;
    static const char *const kNames[] = {"UpDCorrGasInj1", "UpDCorrGasInj2", "UpDCorrGasInj3", "UpDCorrGasInj4",
                                         "UpDCorrGasInj5", "UpDCorrGasInj6", "UpDCorrGasInj7", "UpDCorrGasInj8"};
    for (const char *name : kNames)
        spins.push_back({name, -20, 20, "-21", "21"});
    WalkSpinFields(p, spins);

    sim.ClearTrace();
    p.Answer = TAnswer::Yes; // the change-list question
    window->findChild<QPushButton *>("BtBWriteGasInjTab")->click();
    ASSERT_TRUE(WaitUntil([&] { return p.Drained() && !testsupport::WriteRequests(sim).empty(); }));
    const sim::ParameterStore written = p.Store();
    for (int8_t c : written.injCorr) {
        EXPECT_GE(c, -20);
        EXPECT_LE(c, 20);
    }
    window->close();
}

// The 1.5 configuration page refuses bad numbers at its write; the model
// page's spin boxes keep bad text out. Nothing reaches the controller.
TEST(BadInputWalk, LegacyPagesRefuseBadNumbersAndSendNothing)
{
    SimHarness sim(SimSetup::Controller(0x15, 'E'));
    TProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Connected());
    ASSERT_TRUE(p.Window().ShowPage("TbSKnfBasic"));
    ASSERT_TRUE(WaitUntil([&] { return !p.Find<QLineEdit>("EdtKnfPower")->text().isEmpty(); }));
    ASSERT_TRUE(p.Drained());
    sim.ClearTrace();
    const sim::ParameterStore stored = p.Store();

    std::vector<std::string> cut;
    const auto wholeUpTo = [](int max) { return [max](const QString &t) { return WholeIn(t, 0, max); }; };
    const auto never = [](const QString &) { return false; };
    WalkTextFields(
        p,
        {{"EdtKnfCubicCapacity", "EngineCubicCapacity", "BtBKnfWriteConfiguration",
          testsupport::BadTexts("-1", "10000"), wholeUpTo(9999)},
         {"EdtKnfPower", "Power", "BtBKnfWriteConfiguration", testsupport::BadTexts("-1", "1000"), wholeUpTo(999)},
         {"EdtKnfIdleHotTb", "IdleHotTb", "BtBKnfWriteConfiguration", testsupport::BadTexts("-0,01", "350,5"), never}},
        cut);
    EXPECT_TRUE(cut.empty()) << cut.front();

    ASSERT_TRUE(p.Window().ShowPage("TbSCalModel"));
    WalkSpinFields(p, {{"YEdModelMult", 0.5, 2.0, "0,49", "2,01"},
                       {"YEdModelOffset", -4.0, 6.0, "-4,1", "6,1"},
                       {"UpDProgA", 0, 30, "-1", "31"},
                       {"UpDProgD", 0, 30, "-1", "31"},
                       {"UpDWzbogacenieProgA", -50, 50, "-51", "51"},
                       {"UpDWzbogacenieProgD", -50, 50, "-51", "51"}});

    ASSERT_TRUE(p.Drained());
    EXPECT_EQ(testsupport::WriteRequests(sim), std::vector<std::string>{});
    EXPECT_EQ(testsupport::ChangedSettings(stored, p.Store()), std::vector<std::string>{});
}

// The password dialog takes digits only, at most nine: too short a number,
// an empty one and a differing confirmation are refused with their
// warnings, and no lock command goes out.
TEST(BadInputWalk, PasswordDialogRefusesBadEntriesAndLocksNothing)
{
    SimHarness sim(SimSetup::Controller(0x30, 'G'));
    TProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Connected());
    // Locking is offered on an unlocked controller.
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().Accessible; }));
    ASSERT_TRUE(p.Drained());
    sim.ClearTrace();

    struct TEntry
    {
        std::string Typed, Again;
        const char *Caption; // the warning's caption key; none when the entry cut it to a password
    };
    const std::vector<TEntry> entries = {
        {"abc", "abc", "strPassErr"},          {"", "", "strPassErr"},
        {"1,2,3", "1,2,3", "strPassErr"},      {"12abc", "12abc", "strPassErr"},
        {"123", "123", "strPassErr"},          {"1234", "4321", "strPassErr2"},
        {"1234567890", "1234567890", nullptr}, {"99999999999999999999", "99999999999999999999", nullptr},
    };
    bool walked = false;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *dialog = dynamic_cast<TFrmHaslo *>(QApplication::activeModalWidget());
        if (!dialog || walked)
            return;
        walked = true;
        for (const TEntry &e : entries) {
            testsupport::TypeOver(dialog->Entry(), e.Typed);
            testsupport::TypeOver(dialog->Confirmation(), e.Again);
            for (QLineEdit *entry : {dialog->Entry(), dialog->Confirmation()}) {
                EXPECT_LE(entry->text().size(), 9) << e.Typed;
                EXPECT_TRUE(entry->text().isEmpty() || WholeIn(entry->text(), 0, 999999999)) << e.Typed;
            }
            if (!e.Caption)
                continue; // nine digits: a password the controller takes
            const std::size_t before = p.Messages.size();
            dialog->accept();
            ASSERT_GT(p.Messages.size(), before) << e.Typed;
            EXPECT_EQ(p.Messages.back().Caption.toStdString(), MessageTextInForce(e.Caption)) << e.Typed;
            EXPECT_TRUE(dialog->isVisible()) << e.Typed;
        }
        dialog->reject();
    });
    answer.start();
    p.Find<QAction>("MnIDeviceLock")->trigger();
    answer.stop();
    ASSERT_TRUE(walked);
    ASSERT_TRUE(p.Drained());
    EXPECT_EQ(testsupport::WriteRequests(sim), std::vector<std::string>{});
}

// The adapter's OBD settings and the lambda emulation's ranges are edits
// bound to the edited settings: a bad entry is refused with a message when
// it is committed, the edit shows the stored value again, and nothing is
// left modified to be written.
TEST(BadInputWalk, AdapterSettingsRefuseBadNumbersWhenCommitted)
{
    sim::SimulatorOptions withAdapter = SimSetup::Controller(0x30, 'H');
    withAdapter.adapter = sim::AdapterIdentity{};
    withAdapter.adapter->obd.connectedAtStart = true;
    SimHarness sim(withAdapter);
    TProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Connected());
    // The adaptation settings take input from revision H, once the adapter
    // has answered.
    ASSERT_TRUE(p.Window().ShowPage("TbSOBDConfig"));
    ASSERT_TRUE(WaitUntil([&] { return p.Find<QLineEdit>("EdtOBDAdaptMaxCorr")->isEnabled(); }));
    const QString refused = QString::fromStdString(MessageTextInForce(msg::strTextValueRefused));
    ASSERT_FALSE(refused.startsWith('!'));

    struct TField
    {
        const char *Control;
        std::string Below, Above;
    };
    const TField fields[] = {
        {"EdtOBDAdaptMaxCorr", "-1", "256"},        {"EdtOBDAdaptMinRPM", "-1", "65536"},
        {"EdtOBDAdaptStFtBase", "-129", "128"},     {"EdtOBDAdaptStFtRange", "-1", "256"},
        {"EdtOBDAdaptLtFtBaseB1", "-129", "128"},   {"EdtOBDAdaptLtFtBaseB2", "-129", "128"},
        {"EdtOBDAdaptLtFtRange", "-1", "256"},      {"YEdLam1EmulatorMinValue", "-1", "65536"},
        {"YEdLam1EmulatorMaxValue", "-1", "65536"}, {"YEdLam2EmulatorMinValue", "-1", "65536"},
        {"YEdLam2EmulatorMaxValue", "-1", "65536"},
    };
    for (const TField &f : fields) {
        auto *edit = p.Find<QLineEdit>(f.Control);
        ASSERT_NE(edit, nullptr);
        const QString kept = edit->text();
        for (const std::string &text : testsupport::BadTexts(f.Below, f.Above)) {
            const std::size_t before = p.Messages.size();
            testsupport::TypeOver(edit, text);
            ASSERT_GT(p.Messages.size(), before) << f.Control << " took \"" << text << "\" without a word";
            EXPECT_EQ(p.Messages.back().Kind, TMessageKind::Warning);
            EXPECT_TRUE(p.Messages.back().Text.startsWith(refused)) << p.Messages.back().Text.toStdString();
            EXPECT_EQ(edit->text(), kept) << f.Control << " \"" << text << "\"";
        }
    }
    for (const char *write : {"BtBOBDWriteConfig", "BtBWriteLamEmulCnf"})
        EXPECT_FALSE(p.Find<QPushButton>(write)->styleSheet().contains("red")) << write << " has edits to write";
}

// Every cell of the lambda emulation grids the installer can edit: text
// that is no whole number and numbers outside the grid's range refuse the
// whole Write with a message naming why, and nothing is stored, so a Read
// shows the adapter's values again. An empty cell stands for 0, the least
// value of every grid, and is not tried.
TEST(BadInputWalk, LambdaEmulationGridsRefuseEveryBadCellAndStoreNothing)
{
    sim::SimulatorOptions withAdapter = SimSetup::Controller(0x30, 'H');
    withAdapter.adapter = sim::AdapterIdentity{};
    SimHarness sim(withAdapter);
    TProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.Window().ShowPage("TbSAdapter"));
    p.Find<QTabWidget>("PgCAdapterFunctions")->setCurrentWidget(p.Find<QWidget>("TbSAdapterAIO"));
    auto *write = p.Find<QPushButton>("BtBWriteLamEmulCnf");
    auto *cells1 = p.Find<QTableWidget>("StGLam1EmulatorThreshold");
    ASSERT_TRUE(WaitUntil([&] { return write->isEnabled() && !cells1->item(0, 0)->text().isEmpty(); }));
    int operations = 0;
    p.Window().OnAioOperationDone = [&](bool) { ++operations; };

    struct TGrid
    {
        const char *Control;
        std::string Below, Above;
    };
    const TGrid grids[] = {{"StGLam1EmulatorThreshold", "-1", "1001"},
                           {"StGLam2EmulatorThreshold", "-1", "1001"},
                           {"StGLam1LoadThresholds", "-1", "256"},
                           {"StGLam1RPMThresholds", "-1", "65536"}};
    const auto keyText = [](const char *key) { return QString::fromStdString(MessageTextInForce(key)); };
    ASSERT_FALSE(keyText(msg::strAioCellNotANumber).startsWith('!')) << "the language in force lacks the text";
    std::map<std::string, QStringList> shown;
    unsigned tried = 0;
    for (const TGrid &g : grids) {
        auto *grid = p.Find<QTableWidget>(g.Control);
        ASSERT_NE(grid, nullptr);
        QStringList &kept = shown[g.Control];
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c)
                kept << grid->item(r, c)->text();
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c) {
                QTableWidgetItem *item = grid->item(r, c);
                const QString before = item->text();
                for (const std::string &text : testsupport::BadTexts(g.Below, g.Above)) {
                    if (text.empty())
                        continue;
                    item->setText(QString::fromStdString(text));
                    const std::size_t messages = p.Messages.size();
                    write->click();
                    ASSERT_EQ(p.Messages.size(), messages + 1)
                        << g.Control << " [" << r << "," << c << "] took \"" << text << "\" without a word";
                    const bool number = text == g.Below || text == g.Above;
                    EXPECT_EQ(p.Messages.back().Text,
                              keyText(number ? msg::strAioCellOutOfRange : msg::strAioCellNotANumber))
                        << g.Control << " \"" << text << "\"";
                    ++tried;
                }
                item->setText(before);
            }
    }
    EXPECT_EQ(tried, 6u * (2 * 10 * 12 + 10 + 12));
    EXPECT_EQ(operations, 0);

    // Nothing was stored: a Read brings back what every grid showed.
    for (const auto &[control, texts] : shown) {
        auto *grid = p.Find<QTableWidget>(control.c_str());
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c)
                grid->item(r, c)->setText("1");
    }
    p.Find<QPushButton>("BtBReadLamEmulCnf")->click();
    ASSERT_TRUE(WaitUntil([&] { return operations == 1; }));
    for (const auto &[control, texts] : shown) {
        auto *grid = p.Find<QTableWidget>(control.c_str());
        QStringList now;
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c)
                now << grid->item(r, c)->text();
        EXPECT_EQ(now, texts) << control;
    }
}
