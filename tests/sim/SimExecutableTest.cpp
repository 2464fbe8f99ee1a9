// lumex2-sim as a program: start-up line, answers through the serial port
// component, control lines on stdin, clean exit on signals, usage errors.
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

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
    std::string ReadLine(int ms = 3000)
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

    // Exit status, or -1 if it has not ended within `ms`.
    int Wait(int ms = 3000)
    {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (status_ < 0 && Clock::now() < end) {
            int st = 0;
            if (::waitpid(pid_, &st, WNOHANG) == pid_)
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
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

TEST_F(SimExecutable, OtherGenerationsAnswerOnlyTheirOwnProbe)
{
    struct Case
    {
        std::vector<std::string> args;
        std::vector<uint8_t> probe;
        std::vector<uint8_t> answer;
        std::vector<uint8_t> ignored; // another generation's probe
    };
    const Case cases[] = {
        {{"--gen", "13"}, kIdent, {0xD0, 0x01, 0x13, 0xE4}, kProbe40},
        {{"--gen", "40"}, kProbe40, {0xD1, 0x01, 0x40, 0x12}, kIdent},
        {{"--gen", "35"}, kProbe40, {0xD1, 0x01, 0x35, 0x07}, kIdent},
        {{"--boot30"}, kProbeBoot30, {0xBB, 0xE1, 0x03, 0x00, 0x00, 0x9F}, kIdent},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args[0]);
        SimProcess sim(Args(c.args));
        ASSERT_EQ(sim.ReadLine(), "ready " + link_);
        EXPECT_EQ(Ask(c.probe, static_cast<unsigned>(c.answer.size())), c.answer);
        // Wait out the quiet time so the probe that is ignored starts clean.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_TRUE(Ask(c.ignored, 4).empty());
        sim.Signal(SIGTERM);
        EXPECT_EQ(sim.Wait(), 0);
    }
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
        {"--link", "x", "--gen", "31"},
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
