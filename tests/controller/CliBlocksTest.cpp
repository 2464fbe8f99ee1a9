// lumex2-cli's parameter and service commands, run as their own process
// against the simulated controller on a pseudo-terminal.
#include "CliRun.h"
#include "StateCompare.h"

#include "SimHarness.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

using blockstest::CliResult;
using blockstest::RunCli;
using nlohmann::json;

namespace {

struct Fixture
{
    const char *name; // sim/states/installed-<name>.json
    uint8_t generation;
    char letter;
};

void PrintTo(const Fixture &f, std::ostream *os)
{
    *os << f.name;
}

class SimHost : public testsupport::SimHarness
{
public:
    SimHost(uint8_t generation, char letter, const std::string &stateFile = {})
        : SimHarness(Options(generation, letter, stateFile))
    {
    }

    std::shared_ptr<sim::ControllerModel> Model()
    {
        return std::dynamic_pointer_cast<sim::ControllerModel>(Sim().Device());
    }
    json State() { return json::parse(Model()->DumpState()); }
    // Every byte the program wrote, once it has exited.
    std::size_t Bytes()
    {
        EXPECT_TRUE(Sync());
        return BytesReceived();
    }
    std::vector<std::string> Frames()
    {
        EXPECT_TRUE(Sync());
        return Requests();
    }
    // Frames whose command code is `code`.
    std::vector<std::string> FramesOf(uint8_t code)
    {
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "C0 %02X", code);
        std::vector<std::string> out;
        for (const auto &f : Frames()) {
            if (f.rfind(prefix, 0) == 0)
                out.push_back(f);
        }
        return out;
    }

private:
    static sim::SimulatorOptions Options(uint8_t generation, char letter, const std::string &stateFile)
    {
        auto o = testsupport::SimSetup::Controller(generation, static_cast<uint8_t>(letter));
        o.stateFile = stateFile;
        return o;
    }
};

std::string FixturePath(const char *name)
{
    return std::string(LUMEX_SOURCE_DIR) + "/sim/states/installed-" + name + ".json";
}

class ReadConfigAgainstState : public ::testing::TestWithParam<Fixture>
{
};

} // namespace

TEST_P(ReadConfigAgainstState, JsonEqualsTheStateTheControllerHolds)
{
    const Fixture f = GetParam();
    SimHost host(f.generation, f.letter, FixturePath(f.name));
    const CliResult r = RunCli({"--port", host.Path(), "--json", "read-config"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json client = json::parse(r.out);
    const json state = host.State();
    ASSERT_EQ(state.at("identity").at("SoftwareLetter"), std::string(1, f.letter));

    const auto report = blockstest::CompareWithState(client, state, f.generation);
    EXPECT_TRUE(report.mismatches.empty()) << ::testing::PrintToString(report.mismatches);
    // Every value the client shows has its counterpart in the controller,
    // except what the client derives itself.
    EXPECT_EQ(report.unmatched, (std::vector<std::string>{"GasPoints", "InjSW", "PetrolPoints"}));
    EXPECT_GE(report.compared.size(), f.generation == 0x30 ? 80u : 45u);

    // The point lists hold exactly the stored points.
    const auto pst = client.at("PressureSensorType").get<uint8_t>();
    EXPECT_TRUE(blockstest::SameValue(client.at("PetrolPoints"),
                                      blockstest::ExpectedPoints(state.at("PetrolMapPoints"), pst), false));
    EXPECT_TRUE(blockstest::SameValue(client.at("GasPoints"), blockstest::ExpectedPoints(state.at("GasMapPoints"), pst),
                                      false));
    EXPECT_TRUE(host.Sim().Violations().empty()) << ::testing::PrintToString(host.Sim().Violations());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, ReadConfigAgainstState,
                         ::testing::Values(Fixture{"14", 0x14, 'C'}, Fixture{"15", 0x15, 'E'},
                                           Fixture{"30C", 0x30, 'C'}, Fixture{"30D", 0x30, 'D'},
                                           Fixture{"30F", 0x30, 'F'}, Fixture{"30G", 0x30, 'G'}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CliBlocks, SetWordThenGetWord)
{
    SimHost host(0x30, 'G');
    const CliResult set = RunCli({"--port", host.Path(), "set", "word", "14", "1234"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "kind: word\nindex: 14\nvalue: 1234\n");
    const CliResult get = RunCli({"--port", host.Path(), "get", "word", "14"});
    ASSERT_EQ(get.exitCode, 0) << get.err;
    EXPECT_EQ(get.out, "1234\n");
    EXPECT_EQ(host.State().at("Markers"), 1234);
    EXPECT_EQ(host.FramesOf(0x52), (std::vector<std::string>{"C0 52 0E 04 D2 F6"}));
}

TEST(CliBlocks, GetAndSetOtherKindsAndMemory)
{
    SimHost host(0x15, 'E', FixturePath("15"));
    EXPECT_EQ(RunCli({"--port", host.Path(), "set", "byte", "19", "0x0C"}).out, "kind: byte\nindex: 19\nvalue: 12\n");
    EXPECT_EQ(host.State().at("MapRPMRange"), 12);
    EXPECT_EQ(RunCli({"--port", host.Path(), "set", "model", "1", "1100"}).out, "kind: model\nindex: 1\nvalue: 1100\n");
    const CliResult info = RunCli({"--port", host.Path(), "--json", "get", "info", "28"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(json::parse(info.out).at("value"), 1); // four hardware channels
    EXPECT_EQ(RunCli({"--port", host.Path(), "mem", "write", "300", "0xBEEF", "--word"}).exitCode, 0);
    EXPECT_EQ(RunCli({"--port", host.Path(), "mem", "read", "300", "--word"}).out, std::to_string(0xBEEF) + "\n");
    EXPECT_EQ(RunCli({"--port", host.Path(), "mem", "read", "301"}).out, std::to_string(0xEF) + "\n");
    // A model parameter the controller does not have is refused before anything is sent.
    const std::size_t before = host.Bytes();
    EXPECT_EQ(RunCli({"--port", host.Path(), "set", "model", "90", "1"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--port", host.Path(), "set", "byte", "3", "256"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--port", host.Path(), "get", "byte", "0"}).exitCode, 2);
    EXPECT_EQ(host.Bytes(), before);
    EXPECT_TRUE(host.Sim().Violations().empty()) << ::testing::PrintToString(host.Sim().Violations());
}

TEST(CliBlocks, ShortPasswordExitsTwoAndSendsNothing)
{
    SimHost host(0x30, 'G');
    for (const char *bad : {"123", "1234567890", "12a4", "", "-1234"}) {
        EXPECT_EQ(RunCli({"--port", host.Path(), "lock", bad}).exitCode, 2) << bad;
        EXPECT_EQ(RunCli({"--port", host.Path(), "unlock", bad}).exitCode, 2) << bad;
    }
    EXPECT_EQ(host.Bytes(), 0u);
    // Not even the port is opened: a port that does not exist makes no difference.
    const CliResult r = RunCli({"--port", "/nonexistent/tty", "lock", "123"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("4 to 9 digits"), std::string::npos) << r.err;
}

TEST(CliBlocks, LockedControllerRefusesWritesUntilUnlocked)
{
    SimHost host(0x30, 'G');
    const CliResult lock = RunCli({"--port", host.Path(), "lock", "0012345"});
    ASSERT_EQ(lock.exitCode, 0) << lock.err;
    EXPECT_EQ(lock.out, "Lock state: locked\n");
    // 12345 = 0x3039, least significant byte first; the leading zeros are lost.
    EXPECT_EQ(host.FramesOf(0x3D), (std::vector<std::string>{"C0 3D 39 30 00 00 66"}));
    EXPECT_EQ(host.Model()->Password(), 12345u);

    const CliResult set = RunCli({"--port", host.Path(), "set", "word", "14", "7"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("controller locked"), std::string::npos) << set.err;
    const CliResult clear = RunCli({"--port", host.Path(), "trouble", "--clear"});
    EXPECT_EQ(clear.exitCode, 1);
    EXPECT_TRUE(host.FramesOf(0x52).empty());
    EXPECT_TRUE(host.FramesOf(0x14).empty());

    EXPECT_EQ(RunCli({"--port", host.Path(), "unlock", "1234"}).out, "Lock state: locked\n");
    EXPECT_EQ(RunCli({"--port", host.Path(), "unlock", "12345"}).out, "Lock state: unlocked\n");
    EXPECT_EQ(RunCli({"--port", host.Path(), "set", "word", "14", "7"}).out, "kind: word\nindex: 14\nvalue: 7\n");
    EXPECT_TRUE(host.Sim().Violations().empty()) << ::testing::PrintToString(host.Sim().Violations());
}

TEST(CliBlocks, TroubleCodesAsThePageListsThemAndClearing)
{
    SimHost host(0x30, 'G', FixturePath("30G"));
    host.Control("trouble clear");
    host.Control("trouble 3 1");
    host.Control("trouble 3 7");
    const CliResult j = RunCli({"--port", host.Path(), "--json", "trouble", "--lang", "EN"});
    ASSERT_EQ(j.exitCode, 0) << j.err;
    const json out = json::parse(j.out);
    ASSERT_EQ(out.at("Active").size(), 2u) << j.out;
    EXPECT_EQ(out.at("Active")[0].at("Code"), "E1031");
    EXPECT_EQ(out.at("Active")[0].at("Class"), "ERROR");
    EXPECT_EQ(out.at("Active")[0].at("Key"), "err20");
    EXPECT_EQ(out.at("Active")[1].at("Code"), "E1037");
    EXPECT_EQ(out.at("Active")[1].at("Class"), "INFO");
    EXPECT_EQ(out.at("Stored"), out.at("Active"));
    EXPECT_EQ(out.at("FreezeFrame").at("Code"), "E1037");
    const std::string english = out.at("Active")[0].at("Text");
    EXPECT_FALSE(english.empty());
    EXPECT_NE(english.rfind("!_", 0), 0u) << english; // a text, not a missing key

    const CliResult plain = RunCli({"--port", host.Path(), "trouble", "--lang", "PL"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_NE(plain.out.find("  E1031: (ERROR) "), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("  E1037: (INFO) "), std::string::npos) << plain.out;
    EXPECT_EQ(plain.out.find(english), std::string::npos) << "the Polish list shows the English text";
    EXPECT_NE(plain.out.find("Kod/Code= E1037"), std::string::npos) << plain.out;

    const CliResult cleared = RunCli({"--port", host.Path(), "--json", "trouble", "--clear"});
    ASSERT_EQ(cleared.exitCode, 0) << cleared.err;
    EXPECT_EQ(host.FramesOf(0x14), (std::vector<std::string>{"C0 14 14 E8"}));
    const json after = json::parse(cleared.out);
    EXPECT_EQ(after.at("Cleared"), true);
    EXPECT_TRUE(after.at("Active").empty());
    EXPECT_TRUE(after.at("Stored").empty());
    EXPECT_TRUE(after.at("FreezeFrame").is_null());
}

TEST(CliBlocks, RecordWritesOneRowPerPollingTick)
{
    SimHost host(0x30, 'G', FixturePath("30G"));
    host.Control("engine drive");
    namespace fs = std::filesystem;
    const fs::path csv = fs::temp_directory_path() / ("record-" + std::to_string(::getpid()) + ".csv");
    const CliResult r = RunCli({"--port", host.Path(), "--json", "record", "--seconds", "2", "--csv", csv.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::ifstream in(csv);
    std::string header, line;
    std::getline(in, header);
    EXPECT_EQ(header.rfind("Time [s],Tb [ms],Tg [ms],Psys [kPa]", 0), 0u) << header;
    std::size_t rows = 0;
    double lastTime = -1;
    bool engineRan = false;
    while (std::getline(in, line)) {
        ++rows;
        const double t = std::stod(line.substr(0, line.find(',')));
        EXPECT_GT(t, lastTime);
        lastTime = t;
        // The eighth column is the engine speed.
        std::size_t at = 0;
        for (int i = 0; i < 7; ++i)
            at = line.find(',', at) + 1;
        engineRan = engineRan || std::stod(line.substr(at)) > 0;
    }
    // Five ticks a second; a loaded machine may lose a tick or two.
    EXPECT_GE(rows, 6u);
    EXPECT_LE(rows, 11u);
    EXPECT_EQ(json::parse(r.out).at("rows"), rows);
    EXPECT_TRUE(engineRan);
    EXPECT_FALSE(fs::exists(csv.string() + ".part"));
    fs::remove(csv);
    EXPECT_EQ(RunCli({"--port", host.Path(), "record", "--seconds", "0", "--csv", csv.string()}).exitCode, 2);
    EXPECT_EQ(RunCli({"--port", host.Path(), "record", "--csv", csv.string()}).exitCode, 2);
}

TEST(CliBlocks, WorkType)
{
    SimHost host(0x30, 'G');
    const CliResult r = RunCli({"--port", host.Path(), "worktype", "5"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "WorkType: 5 (petrol-now)\nRequestedWorkType: 5\n");
    EXPECT_EQ(host.FramesOf(0x20), (std::vector<std::string>{"C0 20 05 E5"}));
    EXPECT_EQ(RunCli({"--port", host.Path(), "worktype", "256"}).exitCode, 2);
}

TEST(CliBlocks, IdentifyIncludesConfigurationModelAndTroubleFlags)
{
    SimHost host(0x30, 'G', FixturePath("30G"));
    const CliResult r = RunCli({"--port", host.Path(), "--json", "identify"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json j = json::parse(r.out);
    const json state = host.State();
    ASSERT_TRUE(j.contains("Configuration")) << r.out;
    EXPECT_EQ(j.at("Configuration").at("EngineCubicCapacity"), state.at("EngineCubicCapacity"));
    EXPECT_EQ(j.at("Configuration").at("P3"), state.at("P3"));
    EXPECT_EQ(j.at("TroubleFlags"), state.at("TroubleFlags"));
    EXPECT_EQ(j.at("TroubleCodesPresent"), true);
}

TEST(CliBlocks, DeviceFailureExitsOne)
{
    SimHost host(0x30, 'G');
    std::string reply;
    ASSERT_TRUE(host.Sim().Control("fault silence@51:1", reply)) << reply;
    // The reconnection reads word parameters; the get that follows finds the link down.
    const CliResult r = RunCli({"--port", host.Path(), "get", "word", "14"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.empty());
}
