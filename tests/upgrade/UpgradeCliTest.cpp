// mkfirmware and the command line's firmware and bootloader commands, each
// run as its own process: a generated file passes the checks, each
// corruption is refused with its message, and a bootloader on a simulated
// line is identified.
#include "CliRun.h"
#include "SimHarness.h"

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

} // namespace
