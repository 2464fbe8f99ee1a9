// lumex2-sim as a program: start-up line, answers through the serial port
// component, control lines on stdin, clean exit on signals, usage errors.
#include "SimHarness.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::WaitFor;

class SimProcess
{
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(out[1], STDERR_FILENO);
            ::close(in[0]);
            ::close(in[1]);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char *> argv;
            std::string exe = LUMEX_SIM_EXE;
            argv.push_back(exe.data());
            for (auto &a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~SimProcess()
    {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stdin_ >= 0)
            ::close(stdin_);
        if (stdout_ >= 0)
            ::close(stdout_);
    }

    // The next output line, or "" after `ms` without one.
    std::string ReadLine(int ms = 10000)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0)
                return {};
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                continue;
            char buf[512];
            const ssize_t n = ::read(stdout_, buf, sizeof buf);
            if (n <= 0)
                return {};
            buffer_.append(buf, static_cast<std::size_t>(n));
        }
    }

    void Send(const std::string &line)
    {
        const std::string text = line + "\n";
        [[maybe_unused]] auto n = ::write(stdin_, text.data(), text.size());
    }

    // Exit status, or -1 if it has not ended by the deadline.
    int Wait()
    {
        testsupport::WaitFor([this] {
            int st = 0;
            if (::waitpid(pid_, &st, WNOHANG) == pid_)
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            return status_ >= 0;
        });
        return status_;
    }

    void Signal(int sig) { ::kill(pid_, sig); }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int status_ = -1;
    std::string buffer_;
};

class SimExecutable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "simexe.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        link_ = dir_ + "/ttySIM";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::vector<std::string> Args(std::vector<std::string> extra) const
    {
        std::vector<std::string> a{"--link", link_};
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    }

    // One request through the serial port component, like the detector:
    // the whole expected answer length in one read.
    std::vector<uint8_t> Ask(const std::vector<uint8_t> &request, unsigned answerLength)
    {
        lumex::TComMultiPort port;
        port.ApplyControllerSettings();
        port.SetDevicePath(link_);
        port.Open();
        unsigned n = 0;
        port.Write(request.data(), static_cast<unsigned>(request.size()), n);
        std::vector<uint8_t> buf(answerLength);
        port.Read(buf.data(), answerLength, n);
        port.Unlock();
        buf.resize(n);
        return buf;
    }

    std::string dir_;
    std::string link_;
};

const std::vector<uint8_t> kIdent{0xC0, 0x01, 0x01, 0xC2};
const std::vector<uint8_t> kProbe40{0xC1, 0x01, 0x01, 0xC3};
const std::vector<uint8_t> kProbeBoot30{0xBA, 0xE1, 0xE1, 0x7C};
const std::vector<uint8_t> kProbeBoot{0xBC, 0xE1, 0xE1, 0x7E};

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t Count(const std::string &text, const std::string &what)
{
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(SimExecutable, StartsAnswersAndExitsCleanlyOnSigterm)
{
    SimProcess sim(Args({}));
    ASSERT_EQ(sim.ReadLine(), "ready " + link_);
    EXPECT_TRUE(std::filesystem::is_symlink(link_));
    const auto answer = Ask(kIdent, 4);
    ASSERT_EQ(answer.size(), 4u);
    EXPECT_EQ(answer[0], 0xD0);
    EXPECT_EQ(answer[2], 0x30);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
}

TEST_F(SimExecutable, SigintEndsItCleanlyAndCompletesTheTrace)
{
    SimProcess sim(Args({"--trace", dir_ + "/t.jsonl"}));
    ASSERT_EQ(sim.ReadLine(), "ready " + link_);
    Ask(kIdent, 4);
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/t.jsonl"));
    EXPECT_GT(std::filesystem::file_size(dir_ + "/t.jsonl"), 0u);
}

TEST_F(SimExecutable, OtherPersonalitiesAnswerOnlyTheirOwnProbe)
{
    struct Case
    {
        std::vector<std::string> args;
        std::vector<uint8_t> probe;
        std::vector<uint8_t> answer;
        std::vector<uint8_t> ignored; // another device's probe
    };
    const Case cases[] = {
        {{"--gen", "13"}, kIdent, {0xD0, 0x01, 0x13, 0xE4}, kProbe40},
        {{"--gen", "40"}, kProbe40, {0xD1, 0x01, 0x40, 0x12}, kIdent},
        {{"--gen", "35"}, kProbe40, {0xD1, 0x01, 0x35, 0x07}, kIdent},
        {{"--gen", "22"}, kIdent, {0xD0, 0x01, 0x22, 0xF3}, kProbe40},
        {{"--boot30"}, kProbeBoot30, {0xBB, 0xE1, 0x03, 0x00, 0x00, 0x9F}, kIdent},
        {{"--bootloader", "--boot-version", "4.7", "--boot-family", "40"},
         kProbeBoot,
         {0xBD, 0xE1, 0x04, 0x07, 0x00, 0xA9},
         kIdent},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
        const std::string trace = dir_ + "/probe.jsonl";
        auto args = c.args;
        args.insert(args.end(), {"--trace", trace});
        SimProcess sim(Args(args));
        ASSERT_EQ(sim.ReadLine(), "ready " + link_);
        EXPECT_EQ(Ask(c.probe, static_cast<unsigned>(c.answer.size())), c.answer);
        Ask(c.ignored, 4);
        // The simulator has thrown the other probe away once the trace says so.
        ASSERT_TRUE(WaitFor([&] { return ReadFile(trace + ".part").find("discarded") != std::string::npos; }));
        sim.Signal(SIGTERM);
        EXPECT_EQ(sim.Wait(), 0);
        const std::string lines = ReadFile(trace);
        EXPECT_EQ(Count(lines, R"("dir":"tx")"), 1u) << lines;
        EXPECT_EQ(Count(lines, R"("dir":"rx")"), 2u) << lines;
        std::filesystem::remove(trace);
    }
}

TEST_F(SimExecutable, TheBootloaderTellsItsFamilyAndStatus)
{
    SimProcess sim(Args({"--bootloader", "--boot-family", "40", "--boot-status", "2"}));
    ASSERT_EQ(sim.ReadLine(), "ready " + link_);
    // BC F0 sub: 1 the family, 2 the status, 3 resets the status.
    EXPECT_EQ(Ask({0xBC, 0xF0, 0x01, 0xAD}, 7), (std::vector<uint8_t>{0xBD, 0xF0, 40, 0, 0, 0, 0xD5}));
    EXPECT_EQ(Ask({0xBC, 0xF0, 0x02, 0xAE}, 7), (std::vector<uint8_t>{0xBD, 0xF0, 2, 0, 0, 0, 0xAF}));
    EXPECT_EQ(Ask({0xBC, 0xF0, 0x03, 0xAF}, 7), (std::vector<uint8_t>{0xBD, 0xF0, 0, 0, 0, 0, 0xAD}));
    EXPECT_EQ(Ask({0xBC, 0xF0, 0x02, 0xAE}, 7), (std::vector<uint8_t>{0xBD, 0xF0, 0, 0, 0, 0, 0xAD}));
    sim.Send("violations");
    EXPECT_EQ(sim.ReadLine(), "ok 0");
    // A wrong checksum is a violation, not an answer.
    EXPECT_TRUE(Ask({0xBC, 0xE1, 0xE1, 0x7F}, 6).empty());
    EXPECT_TRUE(WaitFor([&] {
        sim.Send("violations");
        const std::string count = sim.ReadLine();
        if (count == "ok 0")
            return false;
        EXPECT_EQ(count, "ok 1");
        EXPECT_NE(sim.ReadLine().find("checksum"), std::string::npos);
        return true;
    }));
    sim.Send("quit");
    EXPECT_EQ(sim.Wait(), 0);
}

TEST_F(SimExecutable, ControlLinesOnStandardInput)
{
    SimProcess sim(Args({"--fault", "bad-start@01:1"}));
    ASSERT_EQ(sim.ReadLine(), "ready " + link_);
    sim.Send("faults");
    EXPECT_EQ(sim.ReadLine(), "ok bad-start@01:1");
    EXPECT_EQ(Ask(kIdent, 4).at(0), 0xF0);

    sim.Send("fault silence@01:1");
    EXPECT_EQ(sim.ReadLine(), "ok fault silence@01:1");
    EXPECT_TRUE(Ask(kIdent, 4).empty());

    sim.Send("fault bogus");
    EXPECT_EQ(sim.ReadLine().rfind("error: ", 0), 0u);
    sim.Send("violations");
    EXPECT_EQ(sim.ReadLine(), "ok 0");
    sim.Send("path");
    EXPECT_EQ(sim.ReadLine(), "ok " + link_);
    sim.Send("quit");
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link_)));
}

TEST_F(SimExecutable, UsageErrorsExitWithTwo)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--link"},
        {"--link", "x", "--gen", "3"},
        {"--link", "x", "--gen", "1A"},
        {"--link", "x", "--boot-family", "40"},
        {"--link", "x", "--bootloader", "--boot30"},
        {"--link", "x", "--bootloader", "--boot-version", "4"},
        {"--link", "x", "--letter", "GG"},
        {"--link", "x", "--fault", "loud@01"},
        {"--link", "x", "--turnaround", "-1"},
        {"--link", "x", "--gen", "13", "--state", "s.json"},
        {"--link", "x", "--frobnicate"},
    };
    for (const auto &args : bad) {
        SimProcess sim(args);
        EXPECT_EQ(sim.Wait(), 2) << (args.empty() ? "(none)" : args.back());
    }
}

} // namespace
