// mkfirmware and the command line's firmware and bootloader commands, each
// run as its own process: a generated file passes the checks, each
// corruption is refused with its message, and a bootloader on a simulated
// line is identified.
#include "CliRun.h"
#include "SimHarness.h"

#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using blockstest::RunCli;
using testsupport::SimHarness;

class UpgradeCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("upgrade-cli-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs mkfirmware with `args` into FILE; the file's path.
    std::string Make(const std::string &name, std::vector<std::string> args)
    {
        const std::string path = (dir_ / name).string();
        std::vector<std::string> all{LUMEX_MKFIRMWARE_PATH, "--out", path};
        all.insert(all.end(), args.begin(), args.end());
        const auto r = testsupport::RunProgram(all, dir_);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return path;
    }

    fs::path dir_;
};

TEST_F(UpgradeCli, AGeneratedFilePassesTheCheck)
{
    const auto file = Make("good.upg", {"--time", "12:34:56", "--date", "Jan 12 2010", "--letter", "H"});
    EXPECT_EQ(fs::file_size(file), 65536U + 38U);
    const auto r = RunCli({"firmware", "check", file});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("30H (12:34:56 Jan 12 2010)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("65536 bytes"), std::string::npos) << r.out;

    const auto adapter = Make("adapter.upx", {"--adapter", "--version", "0x21", "--size", "1000"});
    const auto a = RunCli({"firmware", "check", adapter, "--adapter"});
    ASSERT_EQ(a.exitCode, 0) << a.err;
    EXPECT_NE(a.out.find("21G ("), std::string::npos) << a.out;
    EXPECT_NE(a.out.find("1000 bytes"), std::string::npos) << a.out;
    // Its trailer is two bytes longer than a controller's: not a controller file.
    EXPECT_EQ(RunCli({"firmware", "check", adapter}).exitCode, 1);
}

TEST_F(UpgradeCli, EachCorruptionIsRefusedWithItsMessage)
{
    struct Case
    {
        const char *corrupt;
        const char *message;
    };
    for (const Case c : {Case{"size", "Wrong file or file corrupted"}, Case{"marker", "Incompatible file format"},
                         Case{"sum", "Incompatible file format"}, Case{"short", "Wrong file or file corrupted"}}) {
        const auto file = Make(std::string(c.corrupt) + ".upg", {"--corrupt", c.corrupt});
        const auto r = RunCli({"firmware", "check", file});
        EXPECT_EQ(r.exitCode, 1) << c.corrupt;
        EXPECT_EQ(r.err, std::string(c.message) + "\n") << c.corrupt;
        EXPECT_TRUE(r.out.empty()) << c.corrupt;
    }
    const auto old = Make("old.upg", {"--version", "0x14"});
    const auto r = RunCli({"firmware", "check", old});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Required firmware version: 15\nFound version: 14\n");
}

TEST_F(UpgradeCli, MissingFilesAndBadArgumentsAreRefused)
{
    const auto missing = RunCli({"firmware", "check", (dir_ / "none.upg").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.empty());
    EXPECT_EQ(RunCli({"firmware", "check"}).exitCode, 2);
    const auto bad =
        testsupport::RunProgram({LUMEX_MKFIRMWARE_PATH, "--out", (dir_ / "x").string(), "--size", "7"}, dir_);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_FALSE(fs::exists(dir_ / "x"));
}

TEST_F(UpgradeCli, BootInfoIdentifiesTheBootloader)
{
    auto o = testsupport::SimSetup::Controller(0x30, 'G');
    o.inBootloader = true;
    o.boot.major = 6;
    o.boot.minor = 3;
    SimHarness sim(o);
    const auto r = RunCli({"--port", sim.Path(), "boot", "info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("6.3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3 (G3)"), std::string::npos) << r.out;

    // The application has the line: no bootloader answers.
    SimHarness app(testsupport::SimSetup::Controller(0x30, 'G'));
    const auto none = RunCli({"--port", app.Path(), "boot", "info"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no bootloader"), std::string::npos) << none.err;
}

sim::SimulatorOptions UpdateController()
{
    auto o = testsupport::SimSetup::Controller(0x30, 'G');
    o.controller.variant = 4; // the controllers an upgrade serves
    return o;
}

TEST_F(UpgradeCli, UpgradeKeepsEverySettingAndSurvivesAPowerCut)
{
    const auto file = Make("same.upg", {"--letter", "G", "--size", "1440"});
    SimHarness h(UpdateController());
    {
        // Settings that differ from the factory values the upgrade leaves.
        auto pause = h.Sim().Pause();
        std::dynamic_pointer_cast<sim::ControllerModel>(h.Sim().Device())->EditStore([](sim::ParameterStore &p) {
            p.cps[3] = static_cast<int8_t>(p.cps[3] + 5);
            p.ctg[7] = static_cast<int8_t>(p.ctg[7] - 3);
        });
    }
    const std::string data = (dir_ / "data").string();
    const auto before = RunCli({"--port", h.Path(), "--json", "read-config"});
    ASSERT_EQ(before.exitCode, 0) << before.err;
    const std::vector<std::string> upgrade{"--port", h.Path(), "upgrade", file, "--yes", "--data-dir", data};

    const auto r = RunCli(upgrade);
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("-upgrade.gcf"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("programming 100%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("restored "), std::string::npos) << r.out;
    const auto after = RunCli({"--port", h.Path(), "--json", "read-config"});
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out, before.out);

    // Power lost in the middle of the programming: the run fails and says
    // where the backup is; the next run finishes and writes it back.
    h.Control("boot-fault power-loss-block=20");
    const auto cut = RunCli(upgrade);
    EXPECT_EQ(cut.exitCode, 1) << cut.out;
    EXPECT_NE(cut.err.find("-pbf"), std::string::npos) << cut.err;
    EXPECT_NE(cut.err.find("-upgrade.gcf"), std::string::npos) << cut.err;
    const auto again = RunCli(upgrade);
    ASSERT_EQ(again.exitCode, 0) << again.out << again.err;
    EXPECT_NE(again.out.find("restored "), std::string::npos) << again.out;
    const auto last = RunCli({"--port", h.Path(), "--json", "read-config"});
    ASSERT_EQ(last.exitCode, 0) << last.err;
    EXPECT_EQ(last.out, before.out);
}

TEST_F(UpgradeCli, AControllerOfAnotherVariantIsNotUpgraded)
{
    const auto file = Make("same.upg", {"--letter", "G", "--size", "360"});
    SimHarness h(testsupport::SimSetup::Controller(0x30, 'G'));
    const auto r = RunCli({"--port", h.Path(), "upgrade", file, "--yes", "--data-dir", (dir_ / "data").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir_ / "data" / "Backups"));
    ASSERT_TRUE(h.Sync());
    for (const auto &request : h.Requests())
        EXPECT_FALSE(request.starts_with("BC")) << request;
}

} // namespace
