// The legacy program's numeric fields against bad input, against a
// simulated 1.5 controller: the configuration page's edits refuse text that
// is no number or lies outside the field's range with a message, the model
// page's spin boxes keep it out, the password dialog warns, and no write
// command reaches the controller.
#include "BadInput.h"
#include "QtWait.h"
#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "documents/MessageKeys.h"
#include "legacy/NorviDevice.h"
#include "legacy/NorviWindow.h"
#include "mainwindow/FrmHaslo.h"
#include "mainwindow/UiText.h"
#include "sim/controller/ControllerModel.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

using namespace lumex;
using testsupport::PumpUntil;
using testsupport::SimHarness;
using testsupport::SimSetup;

namespace {

struct TTold
{
    QString Caption, Text;
    bool Warning = false;
};

class NorviBadInputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        link_.Port.SetDevicePath(sim_.Path());
        window_ = std::make_unique<TNorviWindow>(link_);
        window_->Tell = [this](const QString &caption, const QString &text, bool warning) {
            told_.push_back({caption, text, warning});
        };
        window_->show();
        window_->StartDevice();
    }
    void TearDown() override
    {
        window_.reset();
        link_.Port.Close();
    }

    template <class T> T *Find(const char *name)
    {
        T *found = window_->findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Every job posted so far has run and what it wrote is in the trace.
    bool Drained()
    {
        auto done = std::make_shared<std::atomic<bool>>(false);
        auto synced = std::make_shared<std::atomic<bool>>(false);
        window_->Device().Post([this, done, synced](TDataManager &) {
            *synced = sim_.Sync(link_.Port);
            *done = true;
        });
        return PumpUntil([&] { return done->load(); }) && synced->load();
    }
    sim::ParameterStore Store()
    {
        return std::dynamic_pointer_cast<sim::ControllerModel>(sim_.Sim().Device())->Store();
    }

    SimHarness sim_{SimSetup::Controller(0x15, 'E')};
    TControllerLink link_;
    std::unique_ptr<TNorviWindow> window_;
    std::vector<TTold> told_;
};

} // namespace

TEST_F(NorviBadInputTest, ConfigurationEditsAndModelSpinnersRefuseBadNumbersAndNothingIsSent)
{
    ASSERT_TRUE(PumpUntil([this] { return window_->Last().LinkUp; }));
    ASSERT_TRUE(window_->ShowPage("TbSConfig"));
    ASSERT_TRUE(PumpUntil([this] { return !Find<QLineEdit>("EdtKnfPower")->text().isEmpty(); }));
    ASSERT_TRUE(Drained());
    sim_.ClearTrace();
    const sim::ParameterStore stored = Store();
    const QString refused =
        UiText(msg::strConfInputRefused, QStringLiteral("Nieprawidłowa wartość – nic nie zostało wysłane."));

    struct TField
    {
        const char *Control, *Named;
        std::string Below, Above;
    };
    const TField fields[] = {{"EdtKnfCubicCapacity", "EngineCubicCapacity", "-1", "10000"},
                             {"EdtKnfPower", "Power", "-1", "1000"},
                             {"EdtKnfIdleHotTb", "IdleHotTb", "-0,01", "350,5"}};
    auto *write = Find<QPushButton>("BtBKnfWriteConfiguration");
    for (const TField &f : fields) {
        auto *edit = Find<QLineEdit>(f.Control);
        ASSERT_NE(edit, nullptr);
        const QString kept = edit->text();
        for (const std::string &text : testsupport::BadTexts(f.Below, f.Above)) {
            testsupport::TypeOver(edit, text);
            const std::size_t before = told_.size();
            write->click();
            ASSERT_GT(told_.size(), before) << f.Control << " took \"" << text << "\" without a word";
            EXPECT_TRUE(told_.back().Warning);
            EXPECT_TRUE(told_.back().Text.startsWith(refused)) << told_.back().Text.toStdString();
            EXPECT_TRUE(told_.back().Text.contains(f.Named)) << told_.back().Text.toStdString();
            edit->setText(kept);
        }
    }

    ASSERT_TRUE(window_->ShowPage("TbSCalModel"));
    struct TSpin
    {
        const char *Control;
        double Min, Max;
        std::string Below, Above;
    };
    const TSpin spins[] = {{"YEdModelMult", 0.5, 2.0, "0,49", "2,01"},
                           {"YEdModelOffset", -4.0, 6.0, "-4,1", "6,1"},
                           {"UpDProgB", 0, 30, "-1", "31"},
                           {"UpDWzbogacenieProgB", -50, 50, "-51", "51"}};
    for (const TSpin &s : spins) {
        auto *spin = Find<QAbstractSpinBox>(s.Control);
        ASSERT_NE(spin, nullptr);
        for (const std::string &text : testsupport::BadTexts(s.Below, s.Above)) {
            testsupport::TypeOver(spin, text);
            const double value = qobject_cast<QSpinBox *>(spin) ? qobject_cast<QSpinBox *>(spin)->value()
                                                                : qobject_cast<QDoubleSpinBox *>(spin)->value();
            EXPECT_GE(value, s.Min) << s.Control << " \"" << text << "\"";
            EXPECT_LE(value, s.Max) << s.Control << " \"" << text << "\"";
        }
    }

    ASSERT_TRUE(Drained());
    EXPECT_EQ(testsupport::WriteRequests(sim_), std::vector<std::string>{});
    EXPECT_EQ(testsupport::ChangedSettings(stored, Store()), std::vector<std::string>{});
}

TEST_F(NorviBadInputTest, PasswordDialogWarnsAboutAShortEntryAndLocksNothing)
{
    ASSERT_TRUE(PumpUntil([this] { return window_->Last().LinkUp; }));
    ASSERT_TRUE(Drained());
    sim_.ClearTrace();
    bool walked = false;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto *dialog = dynamic_cast<TFrmHaslo *>(QApplication::activeModalWidget());
        if (!dialog || walked)
            return;
        walked = true;
        for (const char *typed : {"abc", "", "12abc", "123"}) {
            testsupport::TypeOver(dialog->Entry(), typed);
            testsupport::TypeOver(dialog->Confirmation(), typed);
            const std::size_t before = told_.size();
            dialog->accept();
            ASSERT_GT(told_.size(), before) << typed;
            EXPECT_TRUE(told_.back().Warning) << typed;
            EXPECT_TRUE(dialog->isVisible()) << typed;
        }
        dialog->reject();
    });
    answer.start();
    window_->LockOrUnlock(true);
    answer.stop();
    ASSERT_TRUE(walked);
    ASSERT_TRUE(Drained());
    EXPECT_EQ(testsupport::WriteRequests(sim_), std::vector<std::string>{});
}
