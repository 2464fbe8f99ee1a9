// The 1.4/1.5 configuration page in the running program, against simulated
// 1.4 and 1.5 controllers: what it shows, what a write sends, what it
// refuses to send and the question on leaving it modified. Message boxes
// and questions are recorded and answered by the test.
#include "QtWait.h"
#include "SimHarness.h"

#include "controller/CommandCodes.h"
#include "controller/ControllerLink.h"
#include "mainwindow/ApplicationStartup.h"
#include "mainwindow/FormMain.h"
#include "mainwindow/LegacyConfigPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <deque>
#include <filesystem>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

using namespace lumex;
using testsupport::SimHarness;
using testsupport::SimSetup;

namespace {

namespace fs = std::filesystem;

bool WaitUntil(const std::function<bool()> &condition)
{
    return testsupport::PumpUntil(condition);
}

// The program on the simulated controller, in a home folder of its own,
// with its configuration page on screen once the controller was read.
class TConfigProgram
{
public:
    explicit TConfigProgram(SimHarness &sim) : sim_(sim)
    {
        char pattern[] = "/tmp/lumex-legacy-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        ::setenv("HOME", (folder_ / "home").c_str(), 1);
        fs::create_directories(folder_ / "home");
        startup_ = std::make_unique<TApplicationStartup>(std::vector<std::string>{"--port", sim.Path()}, Link());
        startup_->ShowMessage = [this](QWidget *, const TUserMessage &m) { messages_.push_back(m); };
        started_ = startup_->Start();
        if (!started_)
            return;
        Window().Ask = [this](QWidget *, const TQuestion &q) {
            questions_.push_back(q);
            if (answers_.empty()) {
                ADD_FAILURE() << "unexpected question: " << q.Text;
                return TAnswer::Cancel;
            }
            const TAnswer a = answers_.front();
            answers_.pop_front();
            return a;
        };
        Window().ShowPage("TbSKnfBasic");
    }
    ~TConfigProgram()
    {
        startup_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    bool Started() const { return started_; }
    TFormMain &Window() { return *startup_->MainWindow(); }
    TLegacyConfigPage &Page() { return *Window().ConfigPage(); }
    template <class T> T *Find(const char *name)
    {
        T *found = Window().findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString ListText(const char *name) { return Find<QComboBox>(name)->currentText(); }
    QString EditText(const char *name) { return Find<QLineEdit>(name)->text(); }
    // Shown by the page's rules, on whichever sub-page is on screen.
    bool Shown(const char *name) { return !Find<QWidget>(name)->isHidden(); }
    // Filled from the controller: the engine's power is never left empty.
    bool WaitFilled()
    {
        return WaitUntil([&] { return !EditText("EdtKnfPower").isEmpty() && Page().Shown().VersionCode != 0; });
    }
    void Type(const char *edit, const QString &text)
    {
        auto *e = Find<QLineEdit>(edit);
        e->setText(text);
        emit e->textEdited(text);
    }
    void Choose(const char *list, const QString &text)
    {
        auto *box = Find<QComboBox>(list);
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << list << " has no " << text.toStdString();
        box->setCurrentIndex(index);
    }
    // By the raw value the entry carries, whatever language shows it.
    void ChooseRaw(const char *list, unsigned raw)
    {
        auto *box = Find<QComboBox>(list);
        const int index = box->findData(raw);
        ASSERT_GE(index, 0) << list << " has no entry for " << raw;
        box->setCurrentIndex(index);
    }
    QVariant ListRaw(const char *name) { return Find<QComboBox>(name)->currentData(); }
    bool WriteIsRed() { return Find<QPushButton>("BtBKnfWriteConfiguration")->styleSheet().contains("background"); }
    // The simulator's stored state.
    nlohmann::json Stored() { return nlohmann::json::parse(sim_.Control("dump")); }
    // Waits for `n` ticks of the device thread that follow this call.
    bool WaitForTicks(uint64_t n)
    {
        const uint64_t target = Window().LastSnapshot().Ticks + n;
        return WaitUntil([&] { return Window().LastSnapshot().Ticks >= target; });
    }

    std::vector<TUserMessage> messages_;
    std::vector<TQuestion> questions_;
    std::deque<TAnswer> answers_;

private:
    SimHarness &sim_;
    fs::path folder_;
    std::unique_ptr<TApplicationStartup> startup_;
    bool started_ = false;
};

bool IsConfigWrite(const testsupport::SimFrame &f)
{
    if (!f.IsRequest() || f.bytes.size() < 2)
        return false;
    const uint8_t code = f.bytes[1];
    return code == cmd::WriteBasicConfig || code == cmd::WriteByteParam || code == cmd::WriteWordParam;
}

} // namespace

TEST(LegacyConfigPage, FillsFromA14AndLeavesOutWhatOnly15Has)
{
    SimHarness sim(SimSetup::Controller(0x14, std::nullopt));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    auto *pages = p.Find<QTabWidget>("PgCMain");
    // The layout of the generation follows the connection.
    EXPECT_TRUE(WaitUntil([&] { return !pages->isTabVisible(pages->indexOf(p.Find<QWidget>("TbSConfigurator"))); }));
    EXPECT_TRUE(pages->isTabVisible(pages->indexOf(p.Find<QWidget>("TbSConfig"))));
    EXPECT_EQ(pages->currentWidget()->objectName(), "TbSConfig");

    // The simulator's factory configuration, as the lists show it.
    EXPECT_EQ(p.ListText("CmBKnfFuel"), "LPG");
    EXPECT_EQ(p.ListText("CmBKnfInjCount"), "4");
    EXPECT_EQ(p.ListText("CmBKnfInjType"), "MATRIX (5ohms)");
    EXPECT_EQ(p.ListText("CmBKnfNozzle"), "2,1");
    EXPECT_EQ(p.ListText("CmBKnfNomTred"), "35");
    // 400 rpm is stored as 56100, which the controller gives back in 14 bits.
    EXPECT_EQ(p.ListText("CmBKnfNomRPM"), "400");
    EXPECT_EQ(p.ListText("CmBKnfLowPT"), "0,5");
    EXPECT_EQ(p.ListText("CmBKnfLowPD"), "0,4");
    EXPECT_EQ(p.ListText("CmBKnfReserveType"), "ORVEX PW");
    EXPECT_EQ(p.EditText("EdtKnfPower"), "66");
    // 66 kW: 90,0 HP; four injectors on an "other" system: 2,0 mm.
    EXPECT_TRUE(p.Find<QLabel>("LblKnfPowerHP")->text().startsWith("(90,0"));
    EXPECT_EQ(p.Find<QLabel>("LblKnfNozzleSuggested")->text(), "2,0 mm");
    // A level sensor is chosen: its settings can be opened.
    EXPECT_TRUE(p.Shown("BtnKnfConfigLevelSensor"));
    EXPECT_FALSE(p.Shown("CmBKnfLambdaType"));

    for (const char *name :
         {"CmBKnfPressureSensor", "ChBKnfMasterMode", "ChBKnfAlWorkOnGas", "ChBKnfRPMWireNotConnect"})
        EXPECT_FALSE(p.Shown(name)) << name;
    EXPECT_TRUE(p.Find<QPushButton>("BtBKnfWriteDefaultConfiguration")->isEnabled());
    EXPECT_FALSE(p.WriteIsRed());
    EXPECT_TRUE(p.messages_.empty());
}

TEST(LegacyConfigPage, A15ShowsTheBoxesOfItsRevision)
{
    struct TRow
    {
        char Letter;
        bool AlwaysOnGas;
        bool RpmWire;
    };
    for (const TRow row : {TRow{'C', false, false}, TRow{'D', true, false}, TRow{'E', true, true}}) {
        SCOPED_TRACE(row.Letter);
        SimHarness sim(SimSetup::Controller(0x15, static_cast<uint8_t>(row.Letter)));
        TConfigProgram p(sim);
        ASSERT_TRUE(p.Started());
        ASSERT_TRUE(p.WaitFilled());
        EXPECT_TRUE(p.Shown("CmBKnfPressureSensor"));
        EXPECT_TRUE(p.Shown("ChBKnfMasterMode"));
        EXPECT_EQ(p.Shown("ChBKnfAlWorkOnGas"), row.AlwaysOnGas);
        EXPECT_EQ(p.Shown("ChBKnfRPMWireNotConnect"), row.RpmWire);
        EXPECT_FALSE(p.ListText("CmBKnfPressureSensor").isEmpty());
    }
}

TEST(LegacyConfigPage, AnEditWrittenIsWhatTheControllerHolds)
{
    SimHarness sim(SimSetup::Controller(0x15, 'E'));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    ASSERT_NE(p.Stored()["Power"], 77);

    p.Type("EdtKnfPower", "77");
    EXPECT_TRUE(p.Page().Modified());
    EXPECT_TRUE(p.WriteIsRed());
    EXPECT_TRUE(p.Window().ModifiedFlag().IsModified());
    p.Choose("CmBKnfNozzle", "2,5");
    p.Find<QCheckBox>("ChBKnfAlWorkOnGas")->setChecked(true);
    // The RPM wire box forces the RPM signal to the petrol injectors and
    // takes the choice away.
    p.ChooseRaw("CmBKnfRPMSourceType", 1);
    p.Find<QCheckBox>("ChBKnfRPMWireNotConnect")->setChecked(true);
    EXPECT_FALSE(p.Shown("CmBKnfRPMSourceType"));
    EXPECT_EQ(p.ListRaw("CmBKnfRPMSourceType"), QVariant(0u));

    p.Find<QPushButton>("BtBKnfWriteConfiguration")->click();
    ASSERT_TRUE(WaitUntil([&] { return !p.Page().Modified(); }));
    EXPECT_FALSE(p.WriteIsRed());
    EXPECT_TRUE(p.messages_.empty()) << p.messages_[0].Text.toStdString();
    const auto stored = p.Stored();
    EXPECT_EQ(stored["Power"], 77);
    EXPECT_EQ(stored["NozzleSize"], 25);
    EXPECT_EQ(stored["LegacyParam29"], 1);
    EXPECT_EQ(stored["RPMSourceType"], 0);
    // The page shows what was read back.
    EXPECT_EQ(p.EditText("EdtKnfPower"), "77");
    EXPECT_EQ(p.ListText("CmBKnfNozzle"), "2,5");
    EXPECT_EQ(p.Page().Shown().Power, 77);
}

TEST(LegacyConfigPage, TypedNumbersThatCannotBeSentSendNothing)
{
    SimHarness sim(SimSetup::Controller(0x14, std::nullopt));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    struct TRow
    {
        const char *Edit;
        const char *Text;
    };
    const TRow rows[] = {{"EdtKnfPower", "abc"},
                         {"EdtKnfPower", "-5"},
                         {"EdtKnfCubicCapacity", "12a"},
                         {"EdtKnfCubicCapacity", "99999"},
                         {"EdtKnfIdleHotTb", "x,5"}};
    for (const TRow &row : rows) {
        SCOPED_TRACE(std::string(row.Edit) + " " + row.Text);
        const QString kept = p.EditText(row.Edit);
        p.Type(row.Edit, row.Text);
        sim.ClearTrace();
        const std::size_t before = p.messages_.size();
        p.Find<QPushButton>("BtBKnfWriteConfiguration")->click();
        ASSERT_EQ(p.messages_.size(), before + 1);
        EXPECT_EQ(p.messages_.back().Kind, TMessageKind::Warning);
        // A write would have run before the ticks that follow the click.
        ASSERT_TRUE(p.WaitForTicks(2));
        for (const auto &f : sim.Trace())
            EXPECT_FALSE(IsConfigWrite(f)) << f.hex;
        EXPECT_TRUE(p.Page().Modified());
        p.Type(row.Edit, kept);
    }
}

TEST(LegacyConfigPage, LeavingItModifiedAsks)
{
    SimHarness sim(SimSetup::Controller(0x14, std::nullopt));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    auto *pages = p.Find<QTabWidget>("PgCMain");
    auto *config = p.Find<QWidget>("TbSConfig");
    auto *readings = p.Find<QWidget>("TbSMeasure");

    // Not modified: no question.
    pages->setCurrentWidget(readings);
    EXPECT_TRUE(p.questions_.empty());
    pages->setCurrentWidget(config);
    ASSERT_TRUE(p.WaitFilled());

    // Cancel stays with the edits.
    p.Type("EdtKnfPower", "81");
    p.answers_ = {TAnswer::Cancel};
    pages->setCurrentWidget(readings);
    ASSERT_EQ(p.questions_.size(), 1u);
    EXPECT_TRUE(p.questions_[0].WithCancel);
    EXPECT_EQ(pages->currentWidget(), config);
    EXPECT_EQ(p.EditText("EdtKnfPower"), "81");
    EXPECT_TRUE(p.Page().Modified());

    // Yes with a write that cannot go stays as well.
    p.Type("EdtKnfPower", "8x1");
    p.answers_ = {TAnswer::Yes};
    pages->setCurrentWidget(readings);
    EXPECT_EQ(pages->currentWidget(), config);
    EXPECT_EQ(p.messages_.size(), 1u);
    EXPECT_TRUE(p.Page().Modified());

    // Yes with a good value writes and then leaves.
    p.Type("EdtKnfPower", "81");
    p.answers_ = {TAnswer::Yes};
    pages->setCurrentWidget(readings);
    ASSERT_TRUE(WaitUntil([&] { return pages->currentWidget() == readings; }));
    EXPECT_FALSE(p.Page().Modified());
    EXPECT_EQ(p.Stored()["Power"], 81);

    // No leaves without writing.
    pages->setCurrentWidget(config);
    ASSERT_TRUE(WaitUntil([&] { return p.EditText("EdtKnfPower") == "81"; }));
    p.Type("EdtKnfPower", "90");
    p.answers_ = {TAnswer::No};
    pages->setCurrentWidget(readings);
    EXPECT_EQ(pages->currentWidget(), readings);
    EXPECT_FALSE(p.Page().Modified());
    ASSERT_TRUE(p.WaitForTicks(2));
    EXPECT_EQ(p.Stored()["Power"], 81);
    EXPECT_EQ(p.questions_.size(), 4u);
}

namespace {

// The simulated engine idles warm (reducer at `tredRaw`) with the petrol
// times 2,34 2,38 2,41 and 2,45 ms on its four cylinders.
void IdleWith(SimHarness &sim, unsigned tredRaw)
{
    sim.Control("engine idle");
    sim.Control("set tred " + std::to_string(tredRaw));
    const unsigned ticks[] = {438, 445, 451, 458};
    for (unsigned cyl = 1; cyl <= 4; ++cyl)
        sim.Control("set petrol " + std::to_string(cyl) + " " + std::to_string(ticks[cyl - 1]));
}

constexpr unsigned kTredWarm = 50; // 60,5 °C
constexpr unsigned kTredCold = 68; // 49,8 °C

bool SentWorkType5(const SimHarness &sim)
{
    for (const auto &f : sim.Trace()) {
        if (f.IsRequest() && f.bytes.size() > 2 && f.bytes[1] == cmd::SetWorkType && f.bytes[2] == 5)
            return true;
    }
    return false;
}

} // namespace

TEST(LegacyConfigPage, CaptureTakesTheIdleTimeIntoTheEditAndTheNextWrite)
{
    SimHarness sim(SimSetup::Controller(0x14, std::nullopt));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    IdleWith(sim, kTredWarm);
    ASSERT_TRUE(p.WaitForTicks(2));
    ASSERT_NE(p.EditText("EdtKnfIdleHotTb"), "2,30");
    auto *capture = p.Find<QPushButton>("BtnOdcSaveIdleHotTb");
    ASSERT_TRUE(capture->isEnabled());

    sim.ClearTrace();
    p.answers_ = {TAnswer::Yes};
    capture->click();
    // The average 2,3957 ms is cut to tenths: 2,3 ms, 430 ticks.
    ASSERT_TRUE(WaitUntil([&] { return p.EditText("EdtKnfIdleHotTb") == "2,30"; }));
    ASSERT_EQ(p.questions_.size(), 1u);
    EXPECT_FALSE(p.questions_[0].WithCancel);
    EXPECT_TRUE(SentWorkType5(sim));
    EXPECT_TRUE(p.Page().Modified());
    EXPECT_TRUE(p.messages_.empty());
    EXPECT_TRUE(WaitUntil([] { return QApplication::overrideCursor() == nullptr; }));

    // Nothing reached the controller yet; the write takes it.
    EXPECT_NE(p.Stored()["IdleHotTb"], 430);
    p.Find<QPushButton>("BtBKnfWriteConfiguration")->click();
    ASSERT_TRUE(WaitUntil([&] { return !p.Page().Modified(); }));
    EXPECT_EQ(p.Stored()["IdleHotTb"], 430);
    EXPECT_EQ(p.EditText("EdtKnfIdleHotTb"), "2,30");
}

TEST(LegacyConfigPage, CaptureRefusedOrDeclinedLeavesThePageAlone)
{
    SimHarness sim(SimSetup::Controller(0x15, 'E'));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    const QString kept = p.EditText("EdtKnfIdleHotTb");
    auto *capture = p.Find<QPushButton>("BtnOdcSaveIdleHotTb");

    // A reducer below 50 °C: the error, and nothing taken.
    IdleWith(sim, kTredCold);
    ASSERT_TRUE(p.WaitForTicks(2));
    p.answers_ = {TAnswer::Yes};
    capture->click();
    ASSERT_TRUE(WaitUntil([&] { return p.messages_.size() == 1; }));
    EXPECT_EQ(p.messages_[0].Kind, TMessageKind::Critical);
    ASSERT_TRUE(p.WaitForTicks(2));
    EXPECT_EQ(p.EditText("EdtKnfIdleHotTb"), kept);
    EXPECT_FALSE(p.Page().Modified());
    EXPECT_TRUE(WaitUntil([] { return QApplication::overrideCursor() == nullptr; }));

    // Warm, but the installer says No.
    IdleWith(sim, kTredWarm);
    ASSERT_TRUE(p.WaitForTicks(2));
    p.answers_ = {TAnswer::No};
    capture->click();
    ASSERT_TRUE(WaitUntil([&] { return p.questions_.size() == 2; }));
    ASSERT_TRUE(p.WaitForTicks(2));
    EXPECT_EQ(p.EditText("EdtKnfIdleHotTb"), kept);
    EXPECT_FALSE(p.Page().Modified());
    EXPECT_EQ(p.messages_.size(), 1u);
    EXPECT_TRUE(WaitUntil([] { return QApplication::overrideCursor() == nullptr; }));

    // Locked: nothing is asked or sent.
    sim.Control("lock 0F");
    ASSERT_TRUE(WaitUntil([&] { return p.Window().LastSnapshot().Data.LockState == 0x0F; }));
    sim.ClearTrace();
    capture->click();
    ASSERT_TRUE(p.WaitForTicks(2));
    EXPECT_EQ(p.questions_.size(), 2u);
    EXPECT_FALSE(SentWorkType5(sim));
    EXPECT_EQ(p.EditText("EdtKnfIdleHotTb"), kept);
}

TEST(LegacyConfigPage, TextsAndListEntriesFollowTheLanguage)
{
    SimHarness sim(SimSetup::Controller(0x15, 'E'));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    // The program starts in Czech.
    EXPECT_EQ(p.Find<QGroupBox>("GrBKnfEngine")->title(), "Motor");
    EXPECT_EQ(p.Find<QLabel>("LblKnfFuel")->text(), "Palivo");
    EXPECT_EQ(p.Find<QCheckBox>("ChBKnfRPMWireNotConnect")->text(), QString::fromUtf8("Vodič otáček nepřipojen"));
    auto *source = p.Find<QComboBox>("CmBKnfRPMSourceType");
    ASSERT_EQ(source->count(), 2);
    EXPECT_EQ(source->itemText(0), QString::fromUtf8("Benzínové vstřikovače"));
    EXPECT_EQ(p.Find<QComboBox>("CmBKnfInjSystemType")->itemText(1), QString::fromUtf8("SEKVENČNÍ"));

    // Another language: the same entries chosen, the edits kept.
    p.ChooseRaw("CmBKnfRPMSourceType", 1);
    p.ChooseRaw("CmBKnfReserveType", 0);
    p.Type("EdtKnfPower", "91");
    p.Window().SetLanguage("EN", false);
    EXPECT_EQ(p.Find<QLabel>("LblKnfFuel")->text(), "Fuel");
    EXPECT_EQ(p.Find<QTabWidget>("PgCKnf")->tabText(1), "Advanced");
    EXPECT_EQ(source->itemText(0), "Petrol injectors");
    EXPECT_EQ(p.ListRaw("CmBKnfRPMSourceType"), QVariant(1u));
    EXPECT_EQ(p.ListText("CmBKnfRPMSourceType"), "RPM wire");
    EXPECT_EQ(p.ListText("CmBKnfReserveType"), "Reserve switch");
    EXPECT_EQ(p.EditText("EdtKnfPower"), "91");
    EXPECT_TRUE(p.Page().Modified());
    // Lists the language leaves alone keep their own texts and values.
    EXPECT_EQ(p.ListText("CmBKnfInjType"), "MATRIX (5ohms)");
    EXPECT_EQ(p.Find<QComboBox>("CmBKnfNomTred")->count(), 11);

    // What the installer chose is what is written.
    p.Find<QPushButton>("BtBKnfWriteConfiguration")->click();
    ASSERT_TRUE(WaitUntil([&] { return !p.Page().Modified(); }));
    const auto stored = p.Stored();
    EXPECT_EQ(stored["RPMSourceType"], 1);
    EXPECT_EQ(stored["ReserveType"], 0);
    EXPECT_EQ(stored["Power"], 91);
    EXPECT_TRUE(p.messages_.empty());
}

TEST(LegacyConfigPage, LevelSensorButtonShownAndUsableForASensorOnly)
{
    SimHarness sim(SimSetup::Controller(0x14, std::nullopt));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    auto *button = p.Find<QPushButton>("BtnKnfConfigLevelSensor");
    EXPECT_TRUE(p.Shown("BtnKnfConfigLevelSensor"));
    EXPECT_TRUE(button->isEnabled());
    // The reserve switch has no settings.
    p.ChooseRaw("CmBKnfReserveType", 0);
    EXPECT_FALSE(p.Shown("BtnKnfConfigLevelSensor"));
    for (unsigned type : {1u, 2u, 3u}) {
        p.ChooseRaw("CmBKnfReserveType", type);
        EXPECT_TRUE(p.Shown("BtnKnfConfigLevelSensor")) << type;
        EXPECT_TRUE(button->isEnabled()) << type;
    }
}

// The page's factory settings button: the question, a backup, the 1.4/1.5
// routine, and the page filled from what the controller holds afterwards.
TEST(LegacyConfigPage, FactorySettingsButtonBacksUpThenResetsTheController)
{
    SimHarness sim(SimSetup::Controller(0x15, std::nullopt));
    TConfigProgram p(sim);
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitFilled());
    p.Type("EdtKnfPower", "120");
    p.Find<QPushButton>("BtBKnfWriteConfiguration")->click();
    ASSERT_TRUE(WaitUntil([&] { return p.Stored().at("Power") == 120; }));

    p.answers_ = {TAnswer::Yes};
    const std::size_t told = p.messages_.size();
    p.Find<QPushButton>("BtBKnfWriteDefaultConfiguration")->click();
    ASSERT_TRUE(WaitUntil([&] { return p.messages_.size() > told; }));
    EXPECT_EQ(p.messages_.back().Kind, TMessageKind::Information) << p.messages_.back().Text.toStdString();
    ASSERT_EQ(p.questions_.size(), 1U);
    EXPECT_EQ(p.Stored().at("Power"), 66);
    EXPECT_TRUE(WaitUntil([&] { return p.EditText("EdtKnfPower") == "66"; }));
    std::vector<std::string> backups;
    for (const auto &e : fs::directory_iterator(p.Window().BackupFolder()))
        backups.push_back(e.path().filename().string());
    ASSERT_EQ(backups.size(), 1U);
    EXPECT_NE(backups[0].find("-defaults.gcf"), std::string::npos);
}
