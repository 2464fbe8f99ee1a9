// The simulated controller end to end: over a real pseudo-terminal, through
// the serial port component with the controller link's line settings, an
// independent client sends every read of the command table to a 3.0 G, a
// 1.5 and a 1.4 controller and checks each answer byte by byte.
#include "ControllerFrames.h"
#include "SimHarness.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

using namespace ctltest;

std::string TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "simctl.XXXXXX").string();
    const char *dir = ::mkdtemp(pattern.data());
    return dir ? std::string(dir) : std::string();
}

struct Target
{
    const char *name;
    uint8_t generation;
    std::optional<uint8_t> letter;
    char gateLetter; // the letter the command set follows
};

void PrintTo(const Target &t, std::ostream *os)
{
    *os << t.name;
}

class ControllerOverPty : public ::testing::TestWithParam<Target>
{
protected:
    void SetUp() override
    {
        dir_ = TempDir();
        ASSERT_FALSE(dir_.empty());
        auto options = testsupport::SimSetup::Controller(GetParam().generation, GetParam().letter);
        options.seed = 21;
        options.linkPath = dir_ + "/ttyCTL";
        sim_ = std::make_unique<testsupport::SimHarness>(options);

        port_ = std::make_unique<lumex::TComMultiPort>();
        port_->ApplyControllerSettings();
        // Answers are read as soon as they come; the wait only bounds a
        // broken simulator, so it can be long on a busy machine.
        port_->Timeouts().SetReadConstant(kAnswerWaitMs);
        port_->SetDevicePath(sim_->Path());
        port_->Open();
        ASSERT_TRUE(port_->IsOpen());
    }
    void TearDown() override
    {
        port_.reset();
        if (sim_)
            sim_->Stop();
        sim_.reset();
        std::filesystem::remove_all(dir_);
    }

    // One transaction as the controller link does it: the request, one byte,
    // then the rest when it was the answer start.
    std::vector<uint8_t> Exchange(const std::vector<uint8_t> &request, unsigned answerLength)
    {
        unsigned written = 0;
        port_->Write(request.data(), static_cast<unsigned>(request.size()), written);
        EXPECT_EQ(written, request.size());
        std::vector<uint8_t> answer;
        std::vector<uint8_t> buf(answerLength);
        unsigned got = 0;
        port_->Read(buf.data(), 1, got);
        if (got == 1 && buf[0] == 0xD0) {
            unsigned rest = 0;
            port_->Read(buf.data() + 1, answerLength - 1, rest);
            answer.assign(buf.begin(), buf.begin() + 1 + rest);
        } else if (got == 1) {
            answer.push_back(buf[0]);
        }
        port_->Unlock();
        return answer;
    }

    std::string dir_;
    // A request the controller must not answer: it is done once the
    // simulator has recorded it as a violation; a wrong answer would still
    // be read by the next exchange and fail its echo check.
    void SendUnanswered(const std::vector<uint8_t> &request, std::size_t violationsAfter)
    {
        unsigned written = 0;
        port_->Write(request.data(), static_cast<unsigned>(request.size()), written);
        port_->Unlock();
        EXPECT_TRUE(testsupport::WaitFor([&] { return sim_->Violations().size() >= violationsAfter; }));
    }

    static constexpr unsigned kAnswerWaitMs = 5000;
    std::unique_ptr<testsupport::SimHarness> sim_;
    std::unique_ptr<lumex::TComMultiPort> port_;
};

TEST_P(ControllerOverPty, EveryReadOfTheTableIsAnsweredExactlyOrMetWithSilence)
{
    const Target &t = GetParam();
    const std::set<uint8_t> silent = SilentReads(t.generation, t.gateLetter);
    std::size_t expectedViolations = 0;
    for (const auto &entry : lumex::CommandTable()) {
        if (!IsRead(entry))
            continue;
        SCOPED_TRACE(Hex(entry.code));
        if (silent.count(entry.code)) {
            SendUnanswered(ReadRequest(entry), ++expectedViolations);
            continue;
        }
        const std::vector<uint8_t> answer = Exchange(ReadRequest(entry), entry.answerLength);
        ASSERT_EQ(answer.size(), entry.answerLength);
        EXPECT_EQ(answer[0], 0xD0);
        EXPECT_EQ(answer[1], entry.code);
        EXPECT_TRUE(SumOk(answer));
        if (entry.code == 0x06 && t.generation != 0x30)
            ++expectedViolations; // a four-injector car has no cylinders 5-8
    }
    // Every byte sent is in the trace, and only the answered reads got answers.
    ASSERT_TRUE(sim_->Sync(*port_));
    std::size_t answered = 0;
    for (const auto &entry : lumex::CommandTable())
        answered += IsRead(entry) && !silent.count(entry.code) ? 1 : 0;
    EXPECT_EQ(sim_->Answers().size(), answered);
    const auto violations = sim_->Violations();
    EXPECT_EQ(violations.size(), expectedViolations);
    for (const auto &v : violations)
        EXPECT_EQ(v.find("checksum"), std::string::npos) << v;
}

TEST_P(ControllerOverPty, IdentificationAndTheLiveRunComeThroughTheLine)
{
    const Target &t = GetParam();
    const auto version = Exchange(Frame({0x01, 0x01}), 4);
    ASSERT_EQ(version.size(), 4u);
    EXPECT_EQ(version[2], t.generation);
    const auto letter = Exchange(Frame({0x53, 0x00}), 4);
    ASSERT_EQ(letter.size(), 4u);
    EXPECT_EQ(letter[2], static_cast<uint8_t>(t.gateLetter));

    // The scripted car reaches gas within a few dozen polls.
    bool gas = false;
    for (int i = 0; i < 60 && !gas; ++i) {
        const auto live = Exchange(Frame({0x05, 0x05}), 27);
        ASSERT_EQ(live.size(), 27u);
        ASSERT_TRUE(SumOk(live));
        gas = (live[10] >> 5) == 5;
    }
    EXPECT_TRUE(gas);
    EXPECT_TRUE(sim_->Violations().empty());
}

TEST_P(ControllerOverPty, AWriteReadsBackAndAControlLineReachesTheController)
{
    const auto ack = Exchange(Frame({0x08, 11, 4}), 4);
    ASSERT_EQ(ack.size(), 4u);
    EXPECT_TRUE(SumOk(ack));
    const auto read = Exchange(Frame({0x07, 11}), 5);
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[3], 4);

    std::string reply;
    ASSERT_TRUE(sim_->Sim().Control("lock 0F", reply)) << reply;
    EXPECT_EQ(Exchange(Frame({0x3F, 0x00}), 4).at(2), 0x0F);
    EXPECT_EQ(Exchange(Frame({0x08, 11, 1}), 4).size(), 4u);
    EXPECT_EQ(Exchange(Frame({0x07, 11}), 5).at(3), 4); // the locked controller kept it
    EXPECT_EQ(sim_->Violations().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Generations, ControllerOverPty,
                         ::testing::Values(Target{"Gen30G", 0x30, 'G', 'G'}, Target{"Gen15", 0x15, std::nullopt, 'E'},
                                           Target{"Gen14", 0x14, std::nullopt, 'C'}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ControllerOverPtyLetters, ALiveBlockRequestToAnFControllerIsCaught)
{
    testsupport::SimHarness simulator(testsupport::SimSetup::Controller(0x30, 'F'));
    lumex::TComMultiPort port;
    port.ApplyControllerSettings();
    port.SetDevicePath(simulator.Path());
    port.Open();
    const auto request = Frame({0x0B, 0x0B});
    unsigned written = 0;
    port.Write(request.data(), static_cast<unsigned>(request.size()), written);
    port.Unlock();
    ASSERT_TRUE(testsupport::WaitFor([&] { return !simulator.Violations().empty(); }));
    ASSERT_TRUE(simulator.Sync(port));
    EXPECT_TRUE(simulator.Answers().empty());
    const auto violations = simulator.Violations();
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_NE(violations[0].find("letter G"), std::string::npos) << violations[0];
}

} // namespace
