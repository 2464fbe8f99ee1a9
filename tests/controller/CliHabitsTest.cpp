// lumex2-cli as a new user meets it: the saved port, refusals that send
// nothing, help for every command, the version, and writes that say what
// they changed.
#include "CliRun.h"

#include "SimHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using blockstest::CliResult;
using blockstest::RunCli;

class CliHabits : public ::testing::Test
{
protected:
    testsupport::SimHarness host{testsupport::SimSetup::Controller(0x15, 'E')};

    // Every refusal must leave the line silent: not even the identification.
    void ExpectRefusedAndSilent(const std::vector<std::string> &args)
    {
        host.ClearTrace();
        std::vector<std::string> all{"--port", host.Path()};
        all.insert(all.end(), args.begin(), args.end());
        const CliResult r = RunCli(all);
        EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
        EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << r.err;
        EXPECT_EQ(host.BytesReceived(), 0u);
    }
};

TEST_F(CliHabits, UndefinedWorkTypesAndUnknownMemoryWritesAreRefusedWithNothingSent)
{
    for (const char *type : {"8", "11", "255", "turbo"})
        ExpectRefusedAndSilent({"worktype", type});
    // The emergency-start counter is a byte; the map points are words at even addresses.
    ExpectRefusedAndSilent({"mem", "write", "0", "1"});
    ExpectRefusedAndSilent({"mem", "write", "1", "1", "--word"});
    ExpectRefusedAndSilent({"mem", "write", "88", "1", "--word"});
    ExpectRefusedAndSilent({"mem", "write", "201", "1", "--word"});
    ExpectRefusedAndSilent({"mem", "write", "712", "1", "--word"});
    ExpectRefusedAndSilent({"mem", "write", "200", "1"});
}

TEST_F(CliHabits, DefinedWritesGoThroughAndSayWhatChanged)
{
    CliResult r = RunCli({"--port", host.Path(), "worktype", "petrol-now"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "WorkType: 5 (petrol-now)\nRequestedWorkType: 5\n");
    const auto requests = host.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "C0 20 05 E5"), 1);

    r = RunCli({"--port", host.Path(), "mem", "write", "1", "7"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "address: 1\nwritten: 7\n");
    r = RunCli({"--port", host.Path(), "--json", "mem", "write", "456", "0x1234", "--word"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out), (nlohmann::json{{"address", 456}, {"written", 0x1234}}));
    EXPECT_EQ(RunCli({"--port", host.Path(), "mem", "read", "456", "--word"}).out, "4660\n");

    // --force reaches any address; reads were never restricted.
    r = RunCli({"--port", host.Path(), "mem", "write", "300", "9", "--force"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(RunCli({"--port", host.Path(), "mem", "read", "300"}).out, "9\n");
    EXPECT_EQ(RunCli({"--port", host.Path(), "mem", "read", "88", "--word"}).exitCode, 0);
}

TEST_F(CliHabits, WithoutPortTheSavedPortIsUsedAndNamed)
{
    const fs::path config = fs::temp_directory_path() / ("cli-habits-" + std::to_string(::getpid()));
    fs::create_directories(config / "Lumex2");
    std::ofstream(config / "Lumex2" / "Lumex2.INI") << "[Settings]\nComMultiPort=7\nLanguage=EN\n";
    std::ofstream(config / "Lumex2" / "ports.ini") << "[Ports]\nCOM7=" << host.Path() << "\n";

    const CliResult r = testsupport::RunProgram({LUMEX_CLI_PATH, "identify"}, config, {{"XDG_CONFIG_HOME", config}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("using COM7, saved in " + (config / "Lumex2" / "Lumex2.INI").string()), std::string::npos)
        << r.err;
    EXPECT_GT(host.BytesReceived(), 0u);

    // Nothing saved: no guess at some other device of the machine.
    fs::remove(config / "Lumex2" / "Lumex2.INI");
    host.ClearTrace();
    const CliResult noPort =
        testsupport::RunProgram({LUMEX_CLI_PATH, "worktype", "gas"}, config, {{"XDG_CONFIG_HOME", config}});
    EXPECT_EQ(noPort.exitCode, 2);
    EXPECT_NE(noPort.err.find("no saved port"), std::string::npos) << noPort.err;
    EXPECT_EQ(host.BytesReceived(), 0u);
    fs::remove_all(config);
}

TEST(CliHelp, EveryCommandListsItsOptionsAndAnExampleAndTheVersionIsPrinted)
{
    const CliResult top = RunCli({"--help"});
    ASSERT_EQ(top.exitCode, 0);
    std::istringstream lines(top.out.substr(top.out.find("commands:")));
    std::string line;
    std::getline(lines, line);
    const std::regex entry(R"(^  ([a-z-]+) )");
    int commands = 0;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, entry))
            continue;
        ++commands;
        const CliResult help = RunCli({m[1].str(), "--help"});
        EXPECT_EQ(help.exitCode, 0) << m[1];
        EXPECT_NE(help.out.find("usage: lumex2-cli"), std::string::npos) << m[1] << ":\n" << help.out;
        EXPECT_NE(help.out.find("example: lumex2-cli "), std::string::npos) << m[1] << ":\n" << help.out;
        EXPECT_TRUE(help.err.empty()) << m[1] << ": " << help.err;
    }
    EXPECT_GE(commands, 20);

    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("lumex2-cli ") + LUMEX_FILE_VERSION + "\n");
}

} // namespace
