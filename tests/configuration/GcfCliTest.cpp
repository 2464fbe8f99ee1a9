// lumex2-cli config save, load and diff, run as their own process against
// simulated controllers on pseudo-terminals.
#include "CliRun.h"

#include "SimHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

using blockstest::CliResult;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

const std::string kStates = std::string(LUMEX_SOURCE_DIR) + "/sim/states/";

fs::path Scratch()
{
    static const fs::path dir = [] {
        const fs::path p = fs::temp_directory_path() / ("gcf-cli-" + std::to_string(::getpid()));
        fs::remove_all(p);
        fs::create_directories(p);
        return p;
    }();
    return dir;
}

std::string ReadFile(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path &p, const std::string &text)
{
    std::ofstream(p, std::ios::binary) << text;
}

// A controller from a state document.
class Controller : public testsupport::SimHarness
{
public:
    explicit Controller(const json &state) : SimHarness(Options(state)) {}
    json Dump() { return json::parse(Control("dump")); }
    // Requests that change the controller, once the program has exited.
    std::vector<std::string> Writes()
    {
        EXPECT_TRUE(Sync());
        static const std::set<std::string> kWriteCodes{"04", "08", "14", "15", "16", "32", "34", "37",
                                                       "38", "52", "57", "62", "94", "96", "98", "C1",
                                                       "D1", "D3", "D5", "D9", "DA", "DE", "DF"};
        std::vector<std::string> out;
        for (const auto &f : Requests()) {
            if (kWriteCodes.count(f.substr(3, 2)))
                out.push_back(f);
        }
        return out;
    }

private:
    static sim::SimulatorOptions Options(const json &state)
    {
        const json id = state.at("identity");
        auto o = testsupport::SimSetup::Controller(id.at("VersionCode").get<uint8_t>(),
                                                   static_cast<uint8_t>(id.at("SoftwareLetter").get<std::string>()[0]));
        static int n = 0;
        const fs::path file = Scratch() / ("state-" + std::to_string(++n) + ".json");
        WriteFile(file, state.dump());
        o.stateFile = file.string();
        return o;
    }
};

json Installed(const std::string &fixture)
{
    return json::parse(ReadFile(kStates + "installed-" + fixture + ".json"));
}

// The same controller as it leaves the factory.
json FactoryOf(const json &state)
{
    return {{"identity", state.at("identity")}};
}

CliResult Config(Controller &c, std::vector<std::string> args)
{
    std::vector<std::string> all{"--port", c.Path(), "config"};
    all.insert(all.end(), args.begin(), args.end());
    all.insert(all.end(), {"--lang", "EN"});
    return blockstest::RunCli(all);
}

// State keys a configuration file does not carry, each with its reason.
const std::set<std::string> kNotInFile{
    "LockState",
    "Password",
    "identity",
    "car",
    "live",
    "memory",
    "EmulatorSwitchState",
    "ValveOpen",
    "Word1",
    "Word2",
    "Word3",
    "Word4",
    "Word5", // opaque words, never part of a file
    "Param25",
    "Param34",
    "Param41",
    "Param48",
    "ModelWord83", // opaque parameters
    "byteParams",
    "wordParams",
    "modelParams",
    "wordVars",   // raw stores behind the named keys
    "Model2SetB", // the adapted model, the controller's own
    "MapG3B",     // the second map, the controller's own
    "ComputerCodes",
    "ErrorLog",
    "ErrorLogHead",
    "TroubleFlags",
    "NewestComputerCode",
    "EmergencyStarts",
    "PetrolPoints",
    "GasPoints",
    "PetrolMapPoints",
    "GasMapPoints", // points collected while driving
    "AdaptInfoBytes",
    "AdaptInfoWords", // what the adaptation has learnt
    "SerialNumber",
    "SerialDatePart",
    "MaxBoardTempRaw",
    "InjectorRecord",
    "ByteParams13to15",
    "ModelGasTimes", // byte 24, a display choice of the readings page
};

constexpr int kPeriodBits = 0x3FFF, kFlags52OwnBit = 0x40, kFlags31AdaptationBit = 0x40, kMapFlag = 0x8000;

// The state as a file carries it: the switch speed as its 14 period bits,
// byte 52 without the controller's own bit, and of each map entry the first
// word only (the controller learns the others), flagged entries with the
// mean a save writes.
json AsFileCarriesIt(json s, bool beforeD)
{
    if (s.contains("RPM"))
        s["RPM"] = s["RPM"].get<int>() & kPeriodBits;
    if (s.contains("Flags52"))
        s["Flags52"] = s["Flags52"].get<int>() & ~kFlags52OwnBit;
    if (beforeD && s.contains("Flags31")) // the adaptation mode is written from "D"
        s["Flags31"] = s["Flags31"].get<int>() & ~kFlags31AdaptationBit;
    if (s.contains("MapG3")) {
        for (auto &e : s["MapG3"]) {
            const int second = e[1].get<int>(), third = e[2].get<int>();
            if (second & kMapFlag)
                e[0] = ((second + third) / 2) | kMapFlag;
            e[1] = 0;
            e[2] = 0;
        }
    }
    return s;
}

std::vector<std::string> Mismatches(const json &a, const json &b, const std::set<std::string> &skip)
{
    std::vector<std::string> out;
    for (const auto &[key, value] : a.items()) {
        if (kNotInFile.count(key) || skip.count(key) || !b.contains(key))
            continue;
        if (value != b.at(key))
            out.push_back(key + ": " + value.dump() + " vs " + b.at(key).dump());
    }
    return out;
}

} // namespace

TEST(GcfCli, SaveThenLoadIntoAFactoryControllerGivesTheSameSettings)
{
    // The 1.4/1.5 model points belong to the 1.4/1.5 layout only.
    const std::set<std::string> kLegacyModel{"P1", "P2", "P3", "P4", "E1", "E2", "E3", "E4"};
    // Settings of the 3.0 image that the 1.4/1.5 layout has no key for.
    const std::set<std::string> kNotInLegacyFile{"CAP_TIE_enable", "ExternalEmulator", "PetrolInjPlusControl",
                                                 "MapRPMRange",    "PanelLED",         "LoadP>val",
                                                 "LegacyParam29",  "WorkPress",        "ConfigG3Flags"};
    std::set<std::string> beforeD = kLegacyModel;
    beforeD.insert({"AdaptationMode", "Markers", "MapG3"}); // from "D"; before "F" the map is not written back
    std::set<std::string> beforeF = kLegacyModel;
    beforeF.insert("MapG3");
    std::set<std::string> g14 = kNotInLegacyFile;
    g14.insert("PressureSensorType"); // the 1.4 reports its sensor through the variant
    json g = Installed("30G");
    g["Offset"] = -237.0 / 187; // a negative model offset, -237 on the wire
    g["Flags31"] = 0x67;        // RPM< and RPM> with others set
    for (const auto &[fixture, skip] :
         std::vector<std::pair<json, std::set<std::string>>>{{Installed("30C"), beforeD},
                                                             {Installed("30D"), beforeF},
                                                             {g, kLegacyModel},
                                                             {Installed("14"), g14},
                                                             {Installed("15"), kNotInLegacyFile}}) {
        json state = fixture;
        // Files carry list values; values no list entry shows are kept out of
        // a load with a warning (GcfFileTest).
        state["T"] = 88;
        state["LowPT"] = 57;
        state["RPM"] = 22440; // 1000 rpm
        const std::string name = state.at("identity").at("VersionCode").dump() +
                                 state.at("identity").at("SoftwareLetter").get<std::string>();
        SCOPED_TRACE(name);
        const bool isBeforeD = state.at("identity").at("SoftwareLetter").get<std::string>() < "D";
        const fs::path file = Scratch() / (name + ".gcf");
        Controller a(state);
        const CliResult saved = Config(a, {"save", file.string()});
        ASSERT_EQ(saved.exitCode, 0) << saved.err;
        EXPECT_TRUE(a.Writes().empty()); // saving writes nothing

        Controller b(FactoryOf(state));
        const CliResult loaded =
            Config(b, {"load", file.string(), "--yes", "--backup-dir", (Scratch() / "backups").string()});
        ASSERT_EQ(loaded.exitCode, 0) << loaded.err << loaded.out;
        EXPECT_EQ(loaded.err, ""); // no warnings: every value of the file is taken
        EXPECT_EQ(Mismatches(AsFileCarriesIt(a.Dump(), isBeforeD), AsFileCarriesIt(b.Dump(), isBeforeD), skip),
                  std::vector<std::string>{});
        EXPECT_TRUE(b.Violations().empty()) << ::testing::PrintToString(b.Violations());
    }
}

TEST(GcfCli, DiffListsExactlyTheChangedFields)
{
    Controller c(Installed("30G"));
    const fs::path file = Scratch() / "diff.gcf";
    ASSERT_EQ(Config(c, {"save", file.string()}).exitCode, 0);
    std::string text = ReadFile(file);
    for (const auto &[from, to] : std::vector<std::pair<std::string, std::string>>{
             {"Power=77", "Power=80"}, {"CPS4=33", "CPS4=30"}, {"MapRPMRange=10", "MapRPMRange=2"}}) {
        const auto at = text.find(from + "\r\n");
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    WriteFile(file, text);
    c.ClearTrace();
    const CliResult r = Config(c, {"--json", "diff", file.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json diffs = json::parse(r.out).at("differences");
    std::vector<std::string> keys;
    for (const auto &d : diffs)
        keys.push_back(d.at("key").get<std::string>() + ":" + d.at("controller").get<std::string>() + ">" +
                       d.at("file").get<std::string>());
    EXPECT_EQ(keys, (std::vector<std::string>{"Power:77>80", "CPS4:33>30", "MapRPMRange:10>2"}));
    EXPECT_EQ(diffs[0].at("controllerText"), "77 kW");
    EXPECT_TRUE(c.Writes().empty());
}

TEST(GcfCli, ARefusedFileSendsNoWriteAndMakesNoBackup)
{
    Controller c(Installed("30G"));
    const fs::path backups = Scratch() / "refused-backups";
    const fs::path other = Scratch() / "from-15.gcf";
    {
        Controller g15(Installed("15"));
        ASSERT_EQ(Config(g15, {"save", other.string()}).exitCode, 0);
    }
    WriteFile(Scratch() / "no-ver.gcf", "[Info]\r\nSaveDate=x\r\n[Config]\r\nPower=80\r\n");
    for (const fs::path &file : {other, Scratch() / "no-ver.gcf"}) {
        c.ClearTrace();
        const CliResult r = Config(c, {"load", file.string(), "--yes", "--backup-dir", backups.string()});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find("another controller generation"), std::string::npos) << r.err;
        EXPECT_EQ(c.Writes(), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(backups));
    }
}

TEST(GcfCli, EveryLoadFirstWritesANewBackup)
{
    Controller c(Installed("30G"));
    const fs::path file = Scratch() / "self.gcf";
    const fs::path backups = Scratch() / "self-backups";
    ASSERT_EQ(Config(c, {"save", file.string()}).exitCode, 0);
    std::vector<std::string> seen;
    for (int i = 0; i < 2; ++i) {
        const CliResult r = Config(c, {"load", file.string(), "--yes", "--backup-dir", backups.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> now;
        for (const auto &e : fs::directory_iterator(backups))
            now.push_back(e.path().filename().string());
        ASSERT_EQ(now.size(), static_cast<std::size_t>(i + 1));
        for (const auto &name : now)
            EXPECT_NE(name.find("-load"), std::string::npos) << name;
        seen = now;
    }
    // The backup is a configuration file of this controller that loads back.
    const CliResult again = Config(c, {"diff", (backups / seen.front()).string()});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "");
}

TEST(GcfCli, AFailedSaveLeavesTheOldFileByteIdentical)
{
    Controller c(Installed("30G"));
    const fs::path file = Scratch() / "kept.gcf";
    const std::string old = "[Info]\r\nVer=old\r\n[Map]\r\nForeign=1\r\n";
    WriteFile(file, old);
    c.AddFault("silence@D0"); // the pressure correction never answers
    const CliResult r = Config(c, {"save", file.string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("the file was not written"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(file), old);
}

TEST(GcfCli, SavingOverAFileWritesACompleteNewOne)
{
    Controller c(Installed("30G"));
    const fs::path file = Scratch() / "over.gcf";
    WriteFile(file, "[Map]\r\nForeign=1\r\nMapG3_45_0=7\r\n[GasInjCorr]\r\nInjCorr9=4\r\n[Mine]\r\nx=1\r\n");
    ASSERT_EQ(Config(c, {"save", file.string()}).exitCode, 0);
    const std::string text = ReadFile(file);
    for (const char *gone : {"Foreign", "MapG3_45_0", "InjCorr9", "[Mine]"})
        EXPECT_EQ(text.find(gone), std::string::npos) << gone;
    EXPECT_NE(text.find("InjCorr8="), std::string::npos);
}

// The save is killed while it is reading from the controller, the longest
// part of it: the file on disk must still be the old one. The file itself is
// replaced by a rename, so there is no moment at which a torn file exists.
TEST(GcfCli, KillingTheSaveLeavesThePreviousFileIntact)
{
    Controller c(Installed("30G"));
    const fs::path file = Scratch() / "killed.gcf";
    const std::string old = "[Info]\r\nVer=previous\r\n";
    WriteFile(file, old);
    c.AddFault("silence@DC"); // the map read hangs, so the save is caught in the middle
    const std::string port = c.Path(), path = file.string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(LUMEX_CLI_PATH, LUMEX_CLI_PATH, "--port", port.c_str(), "config", "save", path.c_str(), nullptr);
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(c.WaitUntil([](const testsupport::SimTrace &t) {
        return std::any_of(t.begin(), t.end(),
                           [](const auto &f) { return f.IsRequest() && f.hex.substr(3, 2) == "DC"; });
    }));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadFile(file), old);
}

TEST(GcfCli, EveryFactoryResetFirstWritesANewBackupThatBringsTheSettingsBack)
{
    const json installed = Installed("30G");
    Controller c(installed);
    const fs::path backups = Scratch() / "reset-backups";
    std::string first;
    for (std::size_t i = 1; i <= 2; ++i) {
        const CliResult r = Config(c, {"defaults", "--yes", "--backup-dir", backups.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(backups))
            names.push_back(e.path().filename().string());
        ASSERT_EQ(names.size(), i);
        for (const auto &name : names)
            EXPECT_NE(name.find("-defaults"), std::string::npos) << name;
        if (i == 1)
            first = names.front();
    }
    EXPECT_EQ(c.Dump().at("Power"), 66);
    const CliResult back = Config(c, {"load", (backups / first).string(), "--yes", "--backup-dir", backups.string()});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    const json now = c.Dump();
    for (const char *key : {"Power", "EngineCubicCapacity", "InjTypeName", "NozzleSize", "CPS", "RPM<val"})
        EXPECT_EQ(now.at(key), installed.at(key)) << key;
}

TEST(GcfCli, NoBackupNoFactoryReset)
{
    Controller c(Installed("30G"));
    const fs::path blocker = Scratch() / "not-a-folder";
    WriteFile(blocker, "x");
    c.ClearTrace();
    const CliResult r = Config(c, {"defaults", "--yes", "--backup-dir", (blocker / "Backups").string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("backup"), std::string::npos) << r.err;
    EXPECT_EQ(c.Writes(), std::vector<std::string>{});
    EXPECT_EQ(c.Dump().at("Power"), Installed("30G").at("Power"));
}

TEST(GcfCli, AFailedWriteDuringALoadIsListedAndTheRestIsWritten)
{
    Controller c(Installed("30G"));
    const fs::path file = Scratch() / "lost-answer.gcf";
    ASSERT_EQ(Config(c, {"save", file.string()}).exitCode, 0);
    std::string text = ReadFile(file);
    text.replace(text.find("Power=77\r\n"), 10, "Power=90\r\n");
    WriteFile(file, text);
    c.AddFault("silence@D1:1"); // the pressure correction's acknowledgement is lost once
    const CliResult r =
        Config(c, {"load", file.string(), "--yes", "--backup-dir", (Scratch() / "lost-backups").string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.err.find("These writes failed:\n  WriteCorrTable(CPS)"), std::string::npos) << r.err;
    EXPECT_EQ(c.Dump().at("Power"), 90); // the configuration went out after the failure
}

// The model-only load takes the model and nothing of the configuration.
TEST(GcfCli, TheModelOnlyLoadWritesTheModelAlone)
{
    Controller c(Installed("30G"));
    const fs::path file = Scratch() / "model-only.gcf";
    ASSERT_EQ(Config(c, {"save", file.string()}).exitCode, 0);
    std::string text = ReadFile(file);
    for (const auto &[from, to] : std::vector<std::pair<std::string, std::string>>{
             {"Power=77\r\n", "Power=90\r\n"}, {"Mult=1.1875\r\n", "Mult=1.25\r\n"}, {"CPS4=33\r\n", "CPS4=30\r\n"}}) {
        const auto at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    WriteFile(file, text);
    const CliResult r = Config(
        c, {"load", file.string(), "--model-only", "--yes", "--backup-dir", (Scratch() / "model-backups").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json now = c.Dump();
    EXPECT_EQ(now.at("Mult"), 1.25);
    EXPECT_EQ(now.at("Power"), 77);
    EXPECT_EQ(now.at("CPS").at(3), 33);
}
