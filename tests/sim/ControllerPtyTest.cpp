// The simulated controller end to end: over a real pseudo-terminal, through
// the serial port component with the controller link's line settings, an
// independent client sends every read of the command table to a 3.0 G, a
// 1.5 and a 1.4 controller and checks each answer byte by byte.
#include "ControllerFrames.h"
#include "serial/ComMultiPort.h"
#include "sim/Simulator.h"

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
        sim::SimulatorOptions options;
        options.personality = sim::Personality::Controller;
        options.controller.generation = GetParam().generation;
        options.controller.letter = GetParam().letter;
        options.seed = 21;
        options.linkPath = dir_ + "/ttyCTL";
        sim_ = std::make_unique<sim::Simulator>(options);
        std::string error;
        ASSERT_TRUE(sim_->Start(error)) << error;

        port_ = std::make_unique<lumex::TComMultiPort>();
        port_->ApplyControllerSettings();
        // The simulator answers at once; a short wait for the first byte keeps
        // the silent commands cheap.
        port_->Timeouts().SetReadConstant(50);
        port_->Timeouts().SetReadMultiplier(10);
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
    std::unique_ptr<sim::Simulator> sim_;
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
        const std::vector<uint8_t> answer = Exchange(ReadRequest(entry), entry.answerLength);
        if (silent.count(entry.code)) {
            EXPECT_TRUE(answer.empty());
            ++expectedViolations;
            continue;
        }
        ASSERT_EQ(answer.size(), entry.answerLength);
        EXPECT_EQ(answer[0], 0xD0);
        EXPECT_TRUE(SumOk(answer));
        if (entry.code == 0x06 && t.generation != 0x30)
            ++expectedViolations; // a four-injector car has no cylinders 5-8
    }
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
    ASSERT_TRUE(sim_->Control("lock 0F", reply)) << reply;
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
    const std::string dir = TempDir();
    ASSERT_FALSE(dir.empty());
    sim::SimulatorOptions options;
    options.controller.generation = 0x30;
    options.controller.letter = 'F';
    options.linkPath = dir + "/ttyCTL";
    sim::Simulator simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(error)) << error;
    {
        lumex::TComMultiPort port;
        port.ApplyControllerSettings();
        port.Timeouts().SetReadConstant(50);
        port.SetDevicePath(simulator.Path());
        port.Open();
        const auto request = Frame({0x0B, 0x0B});
        unsigned written = 0;
        port.Write(request.data(), static_cast<unsigned>(request.size()), written);
        uint8_t b[52];
        unsigned got = 0;
        port.Read(b, 1, got);
        port.Unlock();
        EXPECT_EQ(got, 0u);
    }
    const auto violations = simulator.Violations();
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_NE(violations[0].find("letter G"), std::string::npos) << violations[0];
    simulator.Stop();
    std::filesystem::remove_all(dir);
}

} // namespace
