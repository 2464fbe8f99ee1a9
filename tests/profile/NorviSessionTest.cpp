// A whole installer's session of the legacy program on its own device
// thread against a simulated 1.5 controller: connect, read the
// configuration, write a parameter, start and stop an autocalibration, save
// a configuration file and load it back. Every operation must succeed (a
// command off the program's list would fail it) and every frame the
// simulator saw must be on the list.
#include "SimHarness.h"

#include "calibration/AutoCalibration.h"
#include "configuration/ConfigFileOps.h"
#include "controller/ConfigurationIO.h"
#include "controller/ControllerLink.h"
#include "controller/DataManager.h"
#include "legacy/NorviDevice.h"
#include "profile/ProgramProfile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace lumex;
using testsupport::SimHarness;
using testsupport::SimSetup;
using testsupport::WaitFor;

namespace {

uint8_t CodeOf(const std::string &request)
{
    return static_cast<uint8_t>(std::stoul(request.substr(3, 2), nullptr, 16));
}

class NorviSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder_ = std::filesystem::temp_directory_path() /
                  ("norvi-session-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(folder_);
        link_.Port.SetDevicePath(sim_.Path());
        device_ = std::make_unique<TNorviDevice>(link_);
        device_->OnSnapshot = [this](const TNorviSnapshot &s) {
            std::lock_guard g(mutex_);
            if (s.ReadingsFresh)
                ++freshReadings_;
        };
        device_->OnError = [this](const std::string &what) {
            std::lock_guard g(mutex_);
            errors_.push_back(what);
        };
        device_->Start();
        ASSERT_TRUE(WaitFor([this] {
            std::lock_guard g(mutex_);
            return freshReadings_ > 0;
        }));
    }
    void TearDown() override
    {
        device_->Stop();
        std::filesystem::remove_all(folder_);
    }

    // Runs `job` on the device thread and waits for it to finish.
    template <class TResult> TResult Run(std::function<TResult(TDataManager &)> job)
    {
        auto result = std::make_shared<std::optional<TResult>>();
        auto done = std::make_shared<std::atomic<bool>>(false);
        device_->Post([job, result, done](TDataManager &m) {
            *result = job(m);
            done->store(true);
        });
        EXPECT_TRUE(WaitFor([&] { return done->load(); }));
        return result->value_or(TResult{});
    }

    std::vector<std::string> Errors()
    {
        std::lock_guard g(mutex_);
        return errors_;
    }

    SimHarness sim_{SimSetup::Controller(0x15, 'E')};
    TControllerLink link_;
    std::unique_ptr<TNorviDevice> device_;
    std::filesystem::path folder_;
    std::mutex mutex_;
    int freshReadings_ = 0;
    std::vector<std::string> errors_;
};

TEST_F(NorviSession, EveryFrameOfAWholeSessionIsOnTheCommandList)
{
    // Read the configuration.
    ASSERT_TRUE(Run<bool>([](TDataManager &m) { return ReadGenerationConfiguration(m); }));
    const uint8_t injectors = Run<uint8_t>([](TDataManager &m) { return m.Data().InjSW; });

    // Write one parameter and read it back from the controller.
    const uint8_t changed = injectors == 4 ? 3 : 4;
    ASSERT_TRUE(Run<bool>([changed](TDataManager &m) {
        m.Data().InjSW = changed;
        m.Data().InjMask = static_cast<uint8_t>((1u << changed) - 1);
        return WriteGenerationConfiguration(m).Ok;
    }));
    EXPECT_EQ(Run<int>([](TDataManager &m) {
                  m.Data().InjSW = 0;
                  return ReadGenerationConfiguration(m) ? int(m.Data().InjSW) : -1;
              }),
              changed);

    // Start the autocalibration, let the tick follow it, then stop it.
    sim_.Control("engine idle");
    auto cal = std::make_shared<std::unique_ptr<TAutoCalibration>>();
    ASSERT_TRUE(Run<bool>([cal](TDataManager &m) {
        TAutoCalIo io;
        io.Ask = [](const TQuestion &) { return TAnswer::Yes; };
        io.ShowError = [](const std::string &) {};
        io.Wait = [](std::chrono::milliseconds) {};
        io.WriteResult = false;
        *cal = std::make_unique<TAutoCalibration>(m, io);
        return (*cal)->Start();
    }));
    // The tick reads the calibration state while the run is requested.
    ASSERT_TRUE(sim_.WaitUntil([](const testsupport::SimTrace &trace) {
        int stateReads = 0;
        for (const auto &f : trace)
            if (f.IsRequest() && CodeOf(f.hex) == 0x21)
                ++stateReads;
        return stateReads >= 2;
    }));
    EXPECT_TRUE(Run<bool>([cal](TDataManager &m) {
        (*cal)->Cancel();
        return !(*cal)->Active() && m.RequestedWorkType != TWorkType::StartAutocalibration;
    }));

    // Save a configuration file and load it back.
    const std::string path = (folder_ / "session.gcf").string();
    const TFileOpResult saved =
        Run<TFileOpResult>([path](TDataManager &m) { return SaveConfigurationFile(m, path, GcfInfoNow()); });
    ASSERT_TRUE(saved.Ok) << saved.Text();
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());

    const std::string backups = (folder_ / "backup").string();
    std::filesystem::create_directories(backups);
    const TFileOpResult loaded = Run<TFileOpResult>([&text, backups](TDataManager &m) {
        TLoadQuestions questions;
        questions.Confirm = [](const std::vector<TGcfDifference> &) { return true; };
        questions.ClearPetrolMap = [] { return false; };
        return LoadConfigurationFile(m, text.str(), false, questions, backups, GcfInfoNow());
    });
    EXPECT_TRUE(loaded.Ok) << loaded.Text();
    EXPECT_TRUE(loaded.FailedSteps.empty());
    EXPECT_FALSE(loaded.BackupPath.empty());

    EXPECT_EQ(Errors(), std::vector<std::string>{});
    device_->Stop();
    ASSERT_TRUE(sim_.Sync());
    const std::vector<std::string> requests = sim_.Requests();
    EXPECT_GT(requests.size(), 20u);
    for (const auto &r : requests)
        EXPECT_TRUE(NorviProfile().AllowsCommand(CodeOf(r))) << r;
    EXPECT_TRUE(sim_.Violations().empty());
}

} // namespace
