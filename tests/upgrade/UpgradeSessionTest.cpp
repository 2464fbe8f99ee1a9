// The upgrade session against the simulated controller over a real pty:
// the whole upgrade with its backup and restore, the wire order, every
// labelled step's failure, and power cuts while the flash is erased or
// programmed, after which a later session (as after a restart) finishes the
// upgrade and brings the settings back.
#include "FirmwareWriter.h"

#include "SimHarness.h"
#include "StoredSettings.h"

#include "configuration/ConfigFileOps.h"
#include "controller/ControllerLink.h"
#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "sim/bootloader/FlashDevice.h"
#include "sim/controller/ControllerModel.h"
#include "upgrade/UpgradeSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

using namespace lumex;
using testsupport::SimHarness;
namespace fs = std::filesystem;

constexpr uint8_t kUpdateVariant = 4;
constexpr std::size_t kImageBlocks = 40;

sim::SimulatorOptions UpdateController()
{
    auto o = testsupport::SimSetup::Controller(0x30, 'G');
    o.controller.variant = kUpdateVariant;
    return o;
}

std::vector<uint8_t> FileOf(std::size_t imageSize, uint8_t letter = 'G')
{
    mkfw::FirmwareRecipe s;
    s.size = imageSize;
    s.version = 0x30;
    s.letter = letter;
    return mkfw::BuildFirmwareFile(s);
}

std::string WriteFile(const fs::path &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

using testsupport::Differing;
using testsupport::Model;
using testsupport::SettingsOf;
using testsupport::TSettings;

void ChangeSettings(SimHarness &h)
{
    auto pause = h.Sim().Pause();
    Model(h)->EditStore([](sim::ParameterStore &p) {
        // Values the installer could have set: raw numbers the pages and
        // the configuration file carry as they are.
        p.cps[3] = static_cast<int8_t>(p.cps[3] + 5);
        p.ctg[7] = static_cast<int8_t>(p.ctg[7] - 3);
        p.crpm[1] = static_cast<int8_t>(p.crpm[1] + 4);
    });
}

bool RunsApplication(SimHarness &h, uint8_t letter)
{
    auto pause = h.Sim().Pause();
    const auto f = h.Sim().Flash();
    return !f->InBootloader() && f->AppLetter() == letter;
}

bool InBootloader(SimHarness &h)
{
    auto pause = h.Sim().Pause();
    return h.Sim().Flash()->InBootloader();
}

// One run of the program: its own link, logic and session over the pty.
struct ProgramRun
{
    ProgramRun(SimHarness &sim, const fs::path &data) : session(link.Manager, logic, data.string())
    {
        link.Port.SetDevicePath(sim.Path());
        link.Port.Open();
        logic.SetPort(&link.Port);
        logic.Boot().SetPause([](unsigned) {});
        session.Ui.Warning = [this](const std::string &w) {
            warnings.push_back(w);
            busyDuringWarning = busyDuringWarning || session.Busy();
        };
        session.Ui.Information = [this](const std::string &t) { information.push_back(t); };
        session.Ui.Question = [this](const std::string &) { return answer; };
        session.Ui.Remaining = [this](unsigned s) { remaining.push_back(s); };
    }

    // The window's way: query, backup unless in the bootloader, enter,
    // choose the file, update.
    bool Upgrade(const std::string &file)
    {
        const TUpdateQuery q = session.UpdateQuery();
        if (!q.Allowed)
            return false;
        if (!q.InBootloader && !session.TakeBackup().Ok)
            return false;
        if (!session.EnterBootloader() || !session.ChooseFile(file))
            return false;
        return session.Update();
    }

    TControllerLink link;
    TUpgraderLogic logic;
    TUpgradeSession session;
    bool answer = true;
    bool busyDuringWarning = false;
    std::vector<std::string> warnings;
    std::vector<std::string> information;
    std::vector<unsigned> remaining;
};

class UpgradeSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("upgrade-session-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "data");
        file_ = WriteFile(dir_ / "new.upg", FileOf(36 * kImageBlocks));
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Data() const { return dir_ / "data"; }
    std::vector<std::string> Backups() const
    {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(Data() / "Backups", ec))
            out.push_back(e.path().string());
        return out;
    }

    fs::path dir_;
    std::string file_;
};

// The bootloader requests from the first erase on, by command code.
std::vector<std::string> BootCommands(const std::vector<std::string> &requests)
{
    std::vector<std::string> out;
    for (const auto &r : requests)
        if (r.starts_with("BC "))
            out.push_back(r.substr(3, 2));
    return out;
}

TEST_F(UpgradeSession, UpgradeThenRestoreBringsBackEverySetting)
{
    SimHarness h(UpdateController());
    ChangeSettings(h);
    const TSettings before = SettingsOf(h);
    ProgramRun run(h, Data());
    ASSERT_TRUE(run.Upgrade(file_)) << (run.warnings.empty() ? "" : run.warnings[0]);
    EXPECT_TRUE(run.session.Done());
    EXPECT_FALSE(run.session.Busy());
    EXPECT_TRUE(run.warnings.empty()) << run.warnings[0];
    ASSERT_EQ(run.information.size(), 1U);
    EXPECT_EQ(run.information[0], MessageText(msg::strUpdFinishSuccessfully));
    // The read-back after the update shows the new firmware.
    EXPECT_EQ(run.logic.FirmwareVersionText, "30G");
    ASSERT_FALSE(run.remaining.empty());
    EXPECT_EQ(run.remaining.back(), 0U);

    // The wire: jump, identify, the start for the version read, jump again,
    // then the update's steps in their order and the start of the new
    // firmware.
    ASSERT_TRUE(h.Sync(run.link.Port));
    const auto boot = BootCommands(h.Requests());
    const auto firstInit = std::find(boot.begin(), boot.end(), "E2");
    ASSERT_NE(firstInit, boot.end());
    const std::vector<std::string> update(firstInit, firstInit + 7);
    EXPECT_EQ(update, (std::vector<std::string>{"E2", "E6", "E3", "E3", "E8", "E4", "E5"}));
    EXPECT_EQ(std::count(boot.begin(), boot.end(), "E6"), static_cast<long>(kImageBlocks + 1));
    const auto requests = h.Requests();
    EXPECT_NE(std::find(requests.begin(), requests.end(), "BC E3 01 A0"), requests.end());
    EXPECT_NE(std::find(requests.begin(), requests.end(), "BC E3 00 9F"), requests.end());

    // The backup is the controller's settings before the upgrade; the new
    // firmware started from factory values.
    const auto backups = Backups();
    ASSERT_EQ(backups.size(), 1U);
    EXPECT_NE(backups[0].find("-upgrade.gcf"), std::string::npos);
    EXPECT_EQ(run.session.Record().Stage, TUpgradeStage::RestorePending);
    EXPECT_EQ(run.session.Record().BackupPath, backups[0]);
    run.session.Close();
    ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 'G'); }));
    EXPECT_NE(SettingsOf(h), before);

    const TFileOpResult restored = run.session.RestoreBackup();
    ASSERT_TRUE(restored.Ok) << restored.Text();
    EXPECT_EQ(Differing(SettingsOf(h), before), "");
    EXPECT_FALSE(run.session.Record().Pending());
}

TEST_F(UpgradeSession, EachStepFailureNamesItsLabelAndClearsBusy)
{
    struct Case
    {
        const char *fault;
        const char *label;
    };
    for (const Case c :
         {Case{"silence@BC/E2:1", "-init"}, Case{"silence@BC/E3:1", "-fmeB1"}, Case{"silence@BC/E8:1", "-swe"},
          Case{"silence@BC/E4:1", "-eei"}, Case{"silence@BC/E5:1", "-eme"}}) {
        SimHarness h(UpdateController());
        ProgramRun run(h, Data());
        const TUpdateQuery q = run.session.UpdateQuery();
        ASSERT_TRUE(q.Allowed) << c.fault;
        ASSERT_TRUE(run.session.TakeBackup().Ok) << c.fault;
        ASSERT_TRUE(run.session.EnterBootloader()) << c.fault;
        ASSERT_TRUE(run.session.ChooseFile(file_)) << c.fault;
        h.AddFault(c.fault);
        EXPECT_FALSE(run.session.Update()) << c.fault;
        EXPECT_FALSE(run.session.Busy()) << c.fault;
        EXPECT_FALSE(run.session.Done()) << c.fault;
        ASSERT_FALSE(run.warnings.empty()) << c.fault;
        EXPECT_EQ(run.warnings.back(), MessageText(msg::strDevDoesNotRespond) + " " + c.label) << c.fault;
        h.Control("clear-faults");
        // Once the device is through with the late answers the user can try again.
        run.warnings.clear();
        EXPECT_TRUE(run.session.Update()) << c.fault << ": " << (run.warnings.empty() ? "" : run.warnings[0]);
    }
}

TEST_F(UpgradeSession, AFailedStepThenTheRetryStartsTheNewFirmware)
{
    for (const char *fault : {"bad-checksum@BC/E5:1", "garbage@BC/E2:1", "silence@BC/E4:1"}) {
        SimHarness h(UpdateController());
        ChangeSettings(h);
        const TSettings before = SettingsOf(h);
        ProgramRun run(h, Data());
        ASSERT_TRUE(run.session.UpdateQuery().Allowed) << fault;
        ASSERT_TRUE(run.session.TakeBackup().Ok) << fault;
        ASSERT_TRUE(run.session.EnterBootloader()) << fault;
        ASSERT_TRUE(run.session.ChooseFile(file_)) << fault;
        h.AddFault(fault);
        EXPECT_FALSE(run.session.Update()) << fault;
        // The installer connects again before trying once more.
        ASSERT_TRUE(run.session.EnterBootloader()) << fault;
        ASSERT_TRUE(run.session.ChooseFile(file_)) << fault;
        ASSERT_TRUE(run.session.Update()) << fault << ": " << run.warnings.back();
        run.session.Close();
        ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 'G'); })) << fault;
        const TFileOpResult restored = run.session.RestoreBackup();
        ASSERT_TRUE(restored.Ok) << fault << ": " << restored.Text();
        EXPECT_EQ(Differing(SettingsOf(h), before), "") << fault;
    }
}

TEST_F(UpgradeSession, AnUpgradedDeviceLeftInItsBootloaderIsStartedForTheRestore)
{
    SimHarness h(UpdateController());
    ChangeSettings(h);
    const TSettings before = SettingsOf(h);
    ProgramRun run(h, Data());
    ASSERT_TRUE(run.Upgrade(file_)) << (run.warnings.empty() ? "" : run.warnings[0]);
    // The installer connects once more while the line loses every
    // identification: the program no longer believes the device sits in its
    // bootloader, where it still is.
    h.AddFault("silence@BC/E1");
    EXPECT_FALSE(run.session.EnterBootloader());
    h.Control("clear-faults");
    ASSERT_TRUE(InBootloader(h));

    // Closing asks again and starts the new firmware.
    run.session.Close();
    ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 'G'); }));
    const TFileOpResult restored = run.session.RestoreBackup();
    ASSERT_TRUE(restored.Ok) << restored.Text();
    EXPECT_EQ(Differing(SettingsOf(h), before), "");
}

TEST_F(UpgradeSession, TheRestoreStartsAProgrammedDeviceItFindsInItsBootloader)
{
    SimHarness h(UpdateController());
    ChangeSettings(h);
    const TSettings before = SettingsOf(h);
    ProgramRun run(h, Data());
    ASSERT_TRUE(run.Upgrade(file_)) << (run.warnings.empty() ? "" : run.warnings[0]);
    run.session.Close();
    ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 'G'); }));
    // The new firmware went back to its bootloader before the restore (a
    // start lost on the line ends the same way): the restore's connection
    // finds it there and starts it.
    ASSERT_TRUE(run.logic.JumpToBootloader());
    ASSERT_TRUE(testsupport::WaitFor([&] { return InBootloader(h); }));
    // The program's wait after its start command stands for the device
    // starting: the reconnection right behind it reopens the port, which on
    // a pty takes back a command the device has not read yet.
    run.logic.Boot().SetPause([&](unsigned) { testsupport::WaitFor([&] { return RunsApplication(h, 'G'); }); });
    const TFileOpResult restored = run.session.RestoreBackup();
    ASSERT_TRUE(restored.Ok) << restored.Text();
    EXPECT_EQ(Differing(SettingsOf(h), before), "");
    EXPECT_TRUE(RunsApplication(h, 'G'));
}

TEST_F(UpgradeSession, ARefusedFileIsNeverProgrammed)
{
    SimHarness h(UpdateController());
    ProgramRun run(h, Data());
    auto bad = FileOf(36 * 4);
    bad.back() = static_cast<uint8_t>(bad.back() + 1); // the size byte
    const std::string badFile = WriteFile(dir_ / "bad.upg", bad);
    ASSERT_TRUE(run.session.UpdateQuery().Allowed);
    ASSERT_TRUE(run.session.EnterBootloader());
    EXPECT_FALSE(run.session.ChooseFile(badFile));
    EXPECT_FALSE(run.session.Buttons().Update);
    ASSERT_EQ(run.warnings.size(), 1U);
    EXPECT_EQ(run.warnings[0], MessageText(msg::strUpdWrongFile));
    // Connecting again re-enables nothing, and the update itself refuses.
    ASSERT_TRUE(run.session.EnterBootloader());
    EXPECT_TRUE(run.session.Buttons().LoadData);
    EXPECT_FALSE(run.session.Buttons().Update);
    ASSERT_TRUE(h.Sync(run.link.Port));
    h.ClearTrace();
    EXPECT_FALSE(run.session.Update());
    ASSERT_TRUE(h.Sync(run.link.Port));
    EXPECT_TRUE(h.Requests().empty());
    EXPECT_FALSE(run.session.Record().Pending());
}

TEST_F(UpgradeSession, EveryUpgradeWritesItsOwnCompleteBackupFirst)
{
    SimHarness h(UpdateController());
    ChangeSettings(h);
    for (int n = 1; n <= 2; ++n) {
        ProgramRun run(h, Data());
        ASSERT_TRUE(run.session.UpdateQuery().Allowed);
        const TFileOpResult backup = run.session.TakeBackup();
        ASSERT_TRUE(backup.Ok) << backup.Text();
        // Complete: the controller's own diff against it finds nothing.
        std::ifstream in(backup.BackupPath);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const TDiffResult diff = DiffConfigurationFile(run.link.Manager, text);
        ASSERT_TRUE(diff.Ok) << diff.Message;
        for (const auto &d : diff.Differences)
            ADD_FAILURE() << d.Section << " " << d.Key << " controller " << d.ControllerValue << " file "
                          << d.FileValue;
        ASSERT_TRUE(run.session.EnterBootloader());
        ASSERT_TRUE(run.session.ChooseFile(file_));
        ASSERT_TRUE(run.session.Update());
        run.session.Close();
        ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 'G'); }));
        ASSERT_TRUE(run.session.RestoreBackup().Ok);
        EXPECT_EQ(Backups().size(), static_cast<std::size_t>(n * 2)); // with the restore's own
    }
}

TEST_F(UpgradeSession, AFailedBackupStartsNothing)
{
    SimHarness h(UpdateController());
    // The data folder is a file: no backup can be written there.
    fs::remove_all(Data());
    std::ofstream(Data()) << "not a folder";
    ProgramRun run(h, Data());
    ASSERT_TRUE(run.session.UpdateQuery().Allowed);
    EXPECT_FALSE(run.session.TakeBackup().Ok);
    EXPECT_TRUE(run.session.BackupPath().empty());
}

TEST_F(UpgradeSession, APowerCutLeavesTheBackupAndALaterRunFinishes)
{
    for (const std::string fault :
         {"power-loss-erase", "power-loss-block=0", "power-loss-block=17", "power-loss-block=39"}) {
        const fs::path data = dir_ / fault;
        SimHarness h(UpdateController());
        ChangeSettings(h);
        const TSettings before = SettingsOf(h);
        std::string backup;
        {
            ProgramRun run(h, data);
            h.Control("boot-fault " + fault);
            EXPECT_FALSE(run.Upgrade(file_)) << fault;
            EXPECT_FALSE(run.session.Busy()) << fault;
            ASSERT_FALSE(run.warnings.empty()) << fault;
            const TUpgradeRecord record = run.session.Record();
            EXPECT_EQ(record.Stage, TUpgradeStage::Started) << fault;
            backup = record.BackupPath;
            ASSERT_TRUE(fs::exists(backup)) << fault;
            EXPECT_TRUE(run.session.ErasedNotCompleted());
            // Closing the window starts nothing into the erased flash.
            ASSERT_TRUE(h.Sync(run.link.Port));
            h.ClearTrace();
            run.session.Close();
            ASSERT_TRUE(h.Sync(run.link.Port));
            const auto sent = h.Requests();
            EXPECT_EQ(std::count(sent.begin(), sent.end(), "BC EE 00 AA"), 0) << fault;
            EXPECT_EQ(run.warnings.back(), MessageText(msg::strUpdNeedsCompletion)) << fault;
        }
        EXPECT_TRUE(InBootloader(h)) << fault;
        // The program again, as after a restart: the device is found in its
        // bootloader and the upgrade is finished with the earlier backup.
        ProgramRun again(h, data);
        const TUpdateQuery q = again.session.UpdateQuery();
        ASSERT_TRUE(q.Allowed) << fault;
        EXPECT_TRUE(q.InBootloader) << fault;
        ASSERT_TRUE(again.session.EnterBootloader()) << fault;
        ASSERT_TRUE(again.session.ChooseFile(file_)) << fault;
        ASSERT_TRUE(again.session.Update()) << fault << ": " << (again.warnings.empty() ? "" : again.warnings[0]);
        EXPECT_EQ(again.session.Record().BackupPath, backup) << fault;
        again.session.Close();
        ASSERT_TRUE(testsupport::WaitFor([&] { return RunsApplication(h, 'G'); })) << fault;
        const TFileOpResult restored = again.session.RestoreBackup();
        ASSERT_TRUE(restored.Ok) << fault << ": " << restored.Text();
        EXPECT_EQ(Differing(SettingsOf(h), before), "") << fault;
        EXPECT_FALSE(again.session.Record().Pending()) << fault;
    }
}

} // namespace
