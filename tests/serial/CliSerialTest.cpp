// lumex2-cli's serial commands run as a separate program against ptys,
// with the port map in a temporary settings folder.
#include "ProgramRun.h"
#include "PtyPair.h"
#include "SerialTestSupport.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using testsupport::PtyPair;
namespace fs = std::filesystem;

namespace {

using CliResult = testsupport::TProgramRun;

class CliSerial : public testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("serial-cli-" + std::to_string(::getpid()) + "-" +
                                           testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "config" / "Lumex2");
    }
    void TearDown() override { fs::remove_all(dir); }

    void WriteMap(const std::string &text) { std::ofstream(dir / "config" / "Lumex2" / "ports.ini") << text; }

    CliResult Run(const std::vector<std::string> &args)
    {
        std::vector<std::string> all{LUMEX_CLI_PATH};
        all.insert(all.end(), args.begin(), args.end());
        return testsupport::RunProgram(all, dir, {{"XDG_CONFIG_HOME", (dir / "config").string()}});
    }

    // Plays the device: waits for `request`, then sends `answer`.
    static std::thread Device(PtyPair &pty, std::vector<uint8_t> request, std::vector<uint8_t> answer)
    {
        return std::thread([&pty, request = std::move(request), answer = std::move(answer)] {
            if (pty.Receive(request.size()) == request)
                pty.Send(answer);
        });
    }

    fs::path dir;
};

} // namespace

TEST_F(CliSerial, MissingDeviceGivesTheOpenFailureMessage)
{
    const auto r = Run({"--port", "/nonexistent", "raw", "--expect", "4", "C0", "01", "01", "C2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error while opening port /nonexistent [code 2]:\r\nNo such file or directory\n");
    EXPECT_EQ(r.out, "");
}

// What keeps a second program off a port: the advisory lock, which stops
// root too, and the tty's exclusive mode for openers that take no lock.
TEST_F(CliSerial, AnotherProgramCannotOpenAPortThisOneHolds)
{
    PtyPair pty;
    auto port = testsupport::OpenControllerPort(pty);
    const std::vector<std::string> ask{"--port", pty.SlavePath(), "raw", "--expect", "4", "C0", "01", "01", "C2"};
    const auto busy = Run(ask);
    EXPECT_EQ(busy.exitCode, 1);
    EXPECT_EQ(busy.err, "Error while opening port " + pty.SlavePath() + " [code 16]:\r\nDevice or resource busy\n");
    int exclusive = 0;
    ASSERT_EQ(::ioctl(pty.Slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);

    port->Close();
    ASSERT_EQ(::ioctl(pty.Slave(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    // Now the other program has the line: its request reaches the device.
    auto device = Device(pty, {0xC0, 0x01, 0x01, 0xC2}, {0xD0, 0x01, 0x01, 0xD2});
    const auto served = Run(ask);
    device.join();
    EXPECT_EQ(served.exitCode, 0) << served.err;
    EXPECT_EQ(served.out, "D0 01 01 D2\n");
}

TEST_F(CliSerial, UsageErrors)
{
    EXPECT_EQ(Run({"raw", "C0"}).exitCode, 2); // no --port
    EXPECT_EQ(Run({"--port", "0", "raw", "C0"}).exitCode, 2);
    EXPECT_EQ(Run({"--port", "256", "raw", "C0"}).exitCode, 2);
    EXPECT_EQ(Run({"--port", "/dev/null", "raw", "--expect", "x", "C0"}).exitCode, 2);
    EXPECT_EQ(Run({"--port", "/dev/null", "raw", "C0", "G1"}).exitCode, 2);
    EXPECT_EQ(Run({"--port", "/dev/null", "raw"}).exitCode, 2);
    EXPECT_EQ(Run({"ports", "extra"}).exitCode, 2);
}

TEST_F(CliSerial, RawExchangeByPathAndByPortNumber)
{
    PtyPair pty;
    auto device = Device(pty, {0xC0, 0x01, 0x01, 0xC2}, {0xD0, 0x01, 0x01, 0xD2});
    auto r = Run({"--port", pty.SlavePath(), "raw", "--expect", "4", "C0", "01", "01", "C2"});
    device.join();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "D0 01 01 D2\n");

    // COM9 through the port map, bytes given in one token.
    const std::string link = pty.Link((dir / "cable").string());
    WriteMap("[Ports]\nCOM9=" + link + "\n");
    device = Device(pty, {0x11, 0x13, 0x0D, 0x03}, {0x00, 0xFF});
    r = Run({"--port", "9", "raw", "--expect", "2", "0x11130D03"});
    device.join();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "00 FF\n");
}

TEST_F(CliSerial, ShortAnswerExitsOneAndShowsWhatCame)
{
    PtyPair pty;
    auto device = Device(pty, {0xC0, 0x01, 0x01, 0xC2}, {0xD0, 0x01});
    const auto r = Run({"--port", pty.SlavePath(), "raw", "--expect", "4", "C0", "01", "01", "C2"});
    device.join();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "D0 01\n");
    EXPECT_EQ(r.err, "lumex2-cli: expected 4 bytes, received 2\n");
}

TEST_F(CliSerial, PortsListsAMapEntryPointingAtAPty)
{
    PtyPair pty;
    const std::string link = pty.Link((dir / "cable").string());
    WriteMap("[Ports]\nCOM9=" + link + "\n");
    const auto r = Run({"ports"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("COM9\tSerial Port (COM9)\t" + link + "\n"), std::string::npos) << r.out;
    // Whatever else this machine has follows the same layout.
    std::istringstream lines(r.out);
    const std::regex layout(R"(COM[0-9]+\t[^\t]+ \(COM[0-9]+\)\t/[^\t]+)");
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(std::regex_match(line, layout)) << line;
}

TEST_F(CliSerial, PortHeldByAnotherProgramIsRefused)
{
    PtyPair pty;
    lumex::TComMultiPort holder;
    holder.ApplyControllerSettings();
    holder.SetDevicePath(pty.SlavePath());
    holder.Open();
    const auto r = Run({"--port", pty.SlavePath(), "raw", "C0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Error while opening port " + pty.SlavePath() + " [code 16]:\r\nDevice or resource busy\n");
    holder.Close();
    EXPECT_EQ(Run({"--port", pty.SlavePath(), "raw", "C0"}).exitCode, 0);
    EXPECT_EQ(pty.Receive(1), std::vector<uint8_t>{0xC0});
}
