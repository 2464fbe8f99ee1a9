// lumex2-cli identify and poll, run as a separate program against the
// simulated controller on a pty.
#include "ProgramRun.h"
#include "SimHarness.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using CliResult = testsupport::TProgramRun;

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class CliLink : public testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("link-cli-" + std::to_string(::getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        if (sim)
            sim->Stop();
        fs::remove_all(dir);
    }

    void StartSim(uint8_t generation, std::optional<uint8_t> letter, const std::vector<std::string> &faults = {})
    {
        sim = std::make_unique<testsupport::SimHarness>(testsupport::SimSetup::Controller(generation, letter), faults);
    }

    // Everything the program wrote, once it has exited.
    std::vector<std::string> Requests()
    {
        EXPECT_TRUE(sim->Sync());
        return sim->Requests();
    }

    // True once the simulator has taken in bytes starting with `prefix`,
    // answered or thrown away.
    bool WaitReceived(const std::string &prefix)
    {
        return sim->WaitUntil([&](const testsupport::SimTrace &trace) {
            for (const auto &f : trace)
                if (f.dir == "rx" && f.hex.rfind(prefix, 0) == 0)
                    return true;
            return false;
        });
    }

    CliResult Run(const std::vector<std::string> &args)
    {
        std::vector<std::string> all{LUMEX_CLI_PATH, "--port", sim->Path()};
        all.insert(all.end(), args.begin(), args.end());
        return testsupport::RunProgram(all, dir);
    }

    fs::path dir;
    std::unique_ptr<testsupport::SimHarness> sim;
};

// The bytes of a hex line as the CLI prints it ("D0 01 30 01").
std::vector<unsigned> HexLine(const std::string &line)
{
    std::vector<unsigned> bytes;
    std::istringstream in(line);
    for (std::string token; in >> token;)
        bytes.push_back(static_cast<unsigned>(std::stoul(token, nullptr, 16)));
    return bytes;
}

} // namespace

TEST_F(CliLink, IdentifyPrintsTheIdentificationAsJson)
{
    StartSim(0x30, 'G');
    const CliResult r = Run({"--json", "identify"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["VersionCode"], 0x30);
    EXPECT_EQ(j["SoftwareLetter"], "G");
    EXPECT_EQ(j["VersionDigits"], "30");
    EXPECT_EQ(j["SoftwareCompatible"], true);
    const std::string shortText = j["VersionString"];
    EXPECT_NE(shortText.find("30G STD["), std::string::npos) << shortText;
    EXPECT_NE(std::string(j["VersionStringLong"]).find("30G STAND ["), std::string::npos);
    EXPECT_EQ(std::string(j["ControllerSerial"]).size(), 11u);
    for (const char *key : {"Variant", "IdentByte2", "IdentByte3", "PcCompatCode", "UsaFlag", "WorkState",
                            "ExtraVersion", "LockState", "CompileTime", "CompileDate"})
        EXPECT_TRUE(j.contains(key)) << key;
    const auto sent = Requests();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "C0 01 01 C2");
}

TEST_F(CliLink, IdentifyText)
{
    StartSim(0x15, std::nullopt);
    const CliResult r = Run({"identify"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Controller:      15"), std::string::npos) << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(CliLink, IdentifyStopsAtAFailedVersionRequest)
{
    for (const char *fault : {"bad-checksum@01", "silence@01"}) {
        StartSim(0x30, 'G', {fault});
        const CliResult r = Run({"--json", "identify"});
        EXPECT_EQ(r.exitCode, 1) << fault;
        EXPECT_TRUE(r.out.empty()) << fault << ": " << r.out;
        EXPECT_FALSE(r.err.empty()) << fault;
        // One failed version request ends it: no retries, nothing else sent.
        EXPECT_EQ(Requests(), (std::vector<std::string>{"C0 01 01 C2"})) << fault;
        sim->Stop();
        sim.reset();
    }
}

TEST_F(CliLink, IdentifyRefusesAnUnservedGeneration)
{
    auto unknown = testsupport::SimSetup::Controller(0x22, 'A');
    unknown.personality = sim::Personality::UnknownGeneration;
    const std::pair<sim::SimulatorOptions, std::string> cases[] = {
        {testsupport::SimSetup::Of(sim::Personality::Controller13), "controller version 13 is not served"},
        {unknown, "controller version 22 is not served"},
    };
    for (const auto &[options, message] : cases) {
        sim = std::make_unique<testsupport::SimHarness>(options);
        const CliResult r = Run({"identify"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        sim.reset();
    }
}

TEST_F(CliLink, PollOnLetterGUsesTheSingleLiveBlock)
{
    StartSim(0x30, 'G');
    const CliResult r = Run({"--json", "poll", "--cycles", "3", "--interval", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto j = nlohmann::json::parse(lines[i]);
        EXPECT_EQ(j["Cycle"], i + 1);
        EXPECT_EQ(j["Ok"], true);
        EXPECT_TRUE(j["PetrolTime"].is_array());
        EXPECT_EQ(j["PetrolTime"].size(), 8u);
        for (const char *key : {"PsysRaw", "PcolRaw", "TredRaw", "TgasRaw", "RpmPeriod", "SystemState", "LoadIndex"})
            EXPECT_TRUE(j.contains(key)) << key;
        // Zero rules: a zero period shows "0", otherwise whole rpm.
        const std::string rpm = j["Shown"]["Rpm"];
        if (j["RpmPeriod"] == 0) {
            EXPECT_EQ(rpm, "0");
        }
        EXPECT_EQ(rpm.find('.'), std::string::npos);
    }
    const auto sent = Requests();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "C0 0B 0B D6"), 3);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "C0 05 05 CA"), 0);
}

TEST_F(CliLink, PollWithFourInjectorsNeverAsksForCylindersFiveToEight)
{
    StartSim(0x15, std::nullopt);
    const CliResult r = Run({"poll", "--cycles", "2", "--interval", "0", "--injectors", "4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("cycle 2 ok"), std::string::npos) << r.out;
    const auto sent = Requests();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "C0 05 05 CA"), 2);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "C0 22 22 04"), 2);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "C0 06 06 CC"), 0);
}

TEST_F(CliLink, PollUsageErrors)
{
    StartSim(0x15, std::nullopt);
    EXPECT_EQ(Run({"poll", "--cycles", "0"}).exitCode, 2);
    EXPECT_EQ(Run({"poll", "--injectors", "9"}).exitCode, 2);
    EXPECT_EQ(Run({"poll", "--bogus"}).exitCode, 2);
    const CliResult help = Run({"poll", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("not counted"), std::string::npos);
}

TEST_F(CliLink, RawTakesTheAnswerLengthFromTheCommandTable)
{
    StartSim(0x30, 'G');
    // Version code: a 4-byte answer carrying 0x30, with a valid checksum.
    CliResult r = Run({"raw", "C0", "01", "01", "C2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto answer = HexLine(r.out);
    ASSERT_EQ(answer.size(), 4u) << r.out;
    EXPECT_EQ(answer[0], 0xD0u);
    EXPECT_EQ(answer[2], 0x30u);
    EXPECT_EQ(answer[3], (0xD0u + answer[1] + answer[2]) % 256);

    // The full live block is 52 bytes; the whole of it is read and printed.
    r = Run({"raw", "C00B0BD6"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    answer = HexLine(r.out);
    ASSERT_EQ(answer.size(), 52u) << r.out;
    EXPECT_EQ(answer[0], 0xD0u);

    // --expect still wins over the table.
    r = Run({"raw", "--expect", "0", "C0", "01", "01", "C2"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CliLink, RawExitsOneWhenTheTableAnswerComesShort)
{
    // The simulator puts a 4-byte acknowledgement where 52 bytes belong.
    StartSim(0x30, 'G', {"short@0B"});
    const CliResult r = Run({"raw", "C0", "0B", "0B", "D6"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(HexLine(r.out).size(), 4u) << r.out;
    EXPECT_EQ(r.err, "lumex2-cli: expected 52 bytes, received 4\n");
}

TEST_F(CliLink, RawSendsAFrameTheTableDoesNotKnowAndReadsNothing)
{
    StartSim(0x30, 'G');
    // 0xEE is no controller code; a bootloader start byte is no controller request.
    for (const std::vector<std::string> &frame :
         {std::vector<std::string>{"C0", "EE", "EE", "9C"}, std::vector<std::string>{"BA", "E1", "E1", "7D"}}) {
        std::vector<std::string> args{"raw"};
        args.insert(args.end(), frame.begin(), frame.end());
        const CliResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(WaitReceived(frame[0] + " " + frame[1])) << frame[0] << frame[1];
    }
    const CliResult help = Run({"raw", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Any other\nframe is sent and nothing is read"), std::string::npos) << help.out;
}

TEST_F(CliLink, IdentifyNamesTheLockStateAsTheLockCommandsDo)
{
    StartSim(0x30, 'G');
    const auto lockLine = [this] {
        const CliResult r = Run({"identify"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        for (const auto &line : Lines(r.out))
            if (line.rfind("Lock state:", 0) == 0)
                return line;
        return std::string("(no lock state line)");
    };
    EXPECT_EQ(lockLine(), "Lock state:      unlocked");
    sim->Control("lock 0F");
    EXPECT_EQ(lockLine(), "Lock state:      locked");
    // The lock command's own refresh says the same of the same byte.
    const CliResult unlock = Run({"--json", "unlock", "1111"});
    const auto j = nlohmann::json::parse(unlock.out);
    EXPECT_EQ(j["LockState"], 0x0F);
    EXPECT_EQ(j["state"], "locked");
    // Any other byte counts as unlocked on a controller that answers.
    sim->Control("lock 55");
    EXPECT_EQ(lockLine(), "Lock state:      unlocked");
}
