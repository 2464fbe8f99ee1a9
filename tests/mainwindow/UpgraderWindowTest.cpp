// The upgrade window without a display, its session on a real device thread
// against the simulated controller over a pty: a refused file keeps the
// update disabled through a new connect, the window refuses to close while
// it programs, and a failed step reports its label and frees the window.
#include "FirmwareWriter.h"

#include "QtWait.h"
#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/FormUpgrader.h"
#include "mainwindow/TickHooks.h"
#include "upgrade/UpgradeSession.h"

#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace lumex;
using testsupport::PumpUntil;
using testsupport::SimHarness;
namespace fs = std::filesystem;

constexpr uint8_t kUpdateVariant = 4;

sim::SimulatorOptions UpdateController()
{
    auto o = testsupport::SimSetup::Controller(0x30, 'G');
    o.controller.variant = kUpdateVariant;
    return o;
}

std::string WriteFirmware(const fs::path &path, std::size_t blocks, bool damaged)
{
    mkfw::FirmwareRecipe recipe;
    recipe.size = 36 * blocks;
    recipe.version = 0x30;
    recipe.letter = 'G';
    auto bytes = mkfw::BuildFirmwareFile(recipe);
    if (damaged)
        bytes.back() = static_cast<uint8_t>(bytes.back() + 1); // the size byte
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

// The program's pieces the window needs: the port, a device thread whose
// tick is held (as the main window holds it during an upgrade), the session.
class UpgraderWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("upgrader-window-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data");
        sim_ = std::make_unique<SimHarness>(UpdateController());
        link_.Port.SetDevicePath(sim_->Path());
        link_.Port.Open();
        logic_.SetPort(&link_.Port);
        logic_.Boot().SetPause([](unsigned) {});
        session_ = std::make_unique<TUpgradeSession>(link_.Manager, logic_, (dir_ / "data").string());
        worker_ = std::make_unique<TDeviceWorker>(link_, nullptr, hooks_);
        worker_->Call([this] { worker_->Tick().TickBusy = true; });
        TWorkerStartup startup;
        startup.Offline = true;
        worker_->Start(startup);
        window_ = std::make_unique<TFormUpgrader>(*session_, *worker_);
        window_->ShowMessage = [this](QWidget *, const TUserMessage &m) { messages_.push_back(m.Text.toStdString()); };
        window_->SetQuestionPresenter([](QWidget *, const TQuestion &) { return TAnswer::Yes; });
        window_->OnConnect = [this] { link_.Manager.SetLinkUp(false); };
        window_->show();
        bool ok = false;
        bool answered = false;
        window_->EnterBootloader([&](bool r) {
            ok = r;
            answered = true;
        });
        ASSERT_TRUE(PumpUntil([&] { return answered; }));
        ASSERT_TRUE(ok) << (messages_.empty() ? "" : messages_[0]);
    }

    void TearDown() override
    {
        window_.reset();
        worker_->Stop();
        fs::remove_all(dir_);
    }

    bool Idle() const { return !window_->Busy(); }

    void Choose(const std::string &path)
    {
        window_->ChooseFile = [path](QWidget *, const QString &, int) { return QString::fromStdString(path); };
        window_->BtnLoadDataClick();
        ASSERT_TRUE(PumpUntil([&] { return Idle() && window_->View().FileName == path; }));
    }

    fs::path dir_;
    std::unique_ptr<SimHarness> sim_;
    TControllerLink link_;
    TUpgraderLogic logic_;
    TTickHooks hooks_;
    std::unique_ptr<TUpgradeSession> session_;
    std::unique_ptr<TDeviceWorker> worker_;
    std::unique_ptr<TFormUpgrader> window_;
    std::vector<std::string> messages_;
};

TEST_F(UpgraderWindow, ARefusedFileKeepsUpdateDisabledThroughConnect)
{
    EXPECT_TRUE(window_->LoadDataButton()->isEnabled());
    EXPECT_FALSE(window_->UpdateButton()->isEnabled());
    Choose(WriteFirmware(dir_ / "bad.upg", 4, true));
    EXPECT_FALSE(window_->UpdateButton()->isEnabled());
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), MessageText(msg::strUpdWrongFile));

    window_->ConnectButton()->click();
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    EXPECT_TRUE(window_->ConnectOk()) << messages_.back();
    EXPECT_TRUE(window_->LoadDataButton()->isEnabled()) << messages_.back();
    EXPECT_FALSE(window_->UpdateButton()->isEnabled());
    // Even pressed directly, the update erases nothing.
    window_->BtnUpdateClick();
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    EXPECT_FALSE(session_->Record().Pending());
    EXPECT_FALSE(window_->Done());
}

TEST_F(UpgraderWindow, RefusesToCloseWhileProgrammingThenShowsTheNewVersion)
{
    Choose(WriteFirmware(dir_ / "new.upg", 150, false));
    ASSERT_TRUE(window_->UpdateButton()->isEnabled());
    const char *shot = std::getenv("LUMEX_UPGRADER_SHOT");
    // A picture wants a programming slow enough to be seen.
    if (shot)
        sim_->AddFault("gap=15@BC/E6");
    window_->UpdateButton()->click();
    ASSERT_TRUE(window_->Busy());
    ASSERT_TRUE(PumpUntil([&] { return window_->Progress()->value() > 0 || Idle(); }));
    ASSERT_TRUE(window_->Busy()) << "the programming ended before it could be watched";
    EXPECT_FALSE(window_->close());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(window_->CloseButton()->isEnabled());
    EXPECT_FALSE(window_->ConnectButton()->isEnabled());
    EXPECT_FALSE(window_->LoadDataButton()->isEnabled());
    // The buttons do nothing meanwhile.
    window_->BtnLoadDataClick();
    window_->CloseButton()->click();
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(window_->TimeLabel()->isVisible());
    // LUMEX_UPGRADER_SHOT=FILE keeps a picture of the window while it
    // programs, once the remaining time is known.
    if (shot) {
        PumpUntil([&] { return Idle() || window_->TimeLabel()->text().count(QStringLiteral("--:--")) == 0; });
        window_->grab().save(QString::fromLocal8Bit(shot), "PNG");
    }

    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    EXPECT_TRUE(window_->Done()) << (messages_.empty() ? "" : messages_.back());
    EXPECT_EQ(window_->Progress()->value(), window_->Progress()->maximum());
    EXPECT_FALSE(window_->TimeLabel()->isVisible());
    EXPECT_TRUE(window_->CloseButton()->isEnabled());
    ASSERT_FALSE(messages_.empty());
    EXPECT_EQ(messages_.back(), MessageText(msg::strUpdFinishSuccessfully));
    EXPECT_EQ(window_->View().FirmwareVer, "30G");
    EXPECT_TRUE(window_->close());
}

TEST_F(UpgraderWindow, AFailedStepShowsItsLabelAndLetsTheWindowClose)
{
    Choose(WriteFirmware(dir_ / "new.upg", 8, false));
    ASSERT_TRUE(window_->UpdateButton()->isEnabled());
    sim_->AddFault("silence@BC/E5:1");
    messages_.clear();
    window_->BtnUpdateClick();
    ASSERT_TRUE(PumpUntil([&] { return Idle() && !messages_.empty(); }));
    EXPECT_EQ(messages_.back(), TUpgradeSession::StepFailureText("-eme"));
    EXPECT_NE(messages_.back().find(MessageText(msg::strDevDoesNotRespond)), std::string::npos);
    EXPECT_FALSE(window_->Busy());
    EXPECT_FALSE(window_->Done());
    EXPECT_TRUE(window_->UpdateButton()->isEnabled());
    EXPECT_TRUE(window_->close());
    EXPECT_FALSE(window_->isVisible());
}

} // namespace
