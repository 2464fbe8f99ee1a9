// The in-process simulator on a real pseudo-terminal, seen by the client
// through the real serial layer with the controller link's settings: what
// each injected fault looks like from the PC's side.
#include "SimHarness.h"
#include "controller/CommandTable.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::SimHarness;

double MsSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

std::string TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "simline.XXXXXX").string();
    const char *dir = ::mkdtemp(pattern.data());
    return dir ? std::string(dir) : std::string();
}

// What the client saw of one request: the bytes, and how long it took.
struct Seen
{
    std::vector<uint8_t> bytes;
    bool readOk = true;
    double ms = 0;
};

class SimulatorLine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = TempDir();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override
    {
        port_.reset();
        sim_.reset();
        std::filesystem::remove_all(dir_);
    }

    // The simulated 3.0 controller; tests check answers against what the
    // simulator says it sent and against the frame rules, not a copy of it.
    void StartSim(sim::SimulatorOptions options = testsupport::SimSetup::Controller())
    {
        options.linkPath = dir_ + "/ttySIM";
        sim_ = std::make_unique<SimHarness>(options);
    }

    void OpenPort()
    {
        port_ = std::make_unique<lumex::TComMultiPort>();
        port_->ApplyControllerSettings();
        port_->SetDevicePath(sim_->Path());
        port_->Open();
    }

    // The last answer the simulator put on the line.
    std::vector<uint8_t> LastAnswer() const
    {
        const auto trace = sim_->Trace();
        for (auto it = trace.rbegin(); it != trace.rend(); ++it) {
            if (it->dir == "tx")
                return it->bytes;
        }
        return {};
    }

    // The controller link's receive step: one byte, then the rest if it
    // was the answer start; the write's lock is released at the end.
    Seen Exchange(const std::vector<uint8_t> &request, unsigned answerLength)
    {
        Seen seen;
        const auto start = Clock::now();
        unsigned written = 0;
        port_->Write(request.data(), static_cast<unsigned>(request.size()), written);
        std::vector<uint8_t> buf(answerLength);
        unsigned got = 0;
        seen.readOk = port_->Read(buf.data(), 1, got);
        if (got == 1) {
            seen.bytes.push_back(buf[0]);
            if (buf[0] == 0xD0) {
                seen.readOk = port_->Read(buf.data() + 1, answerLength - 1, got) && seen.readOk;
                seen.bytes.insert(seen.bytes.end(), buf.begin() + 1, buf.begin() + 1 + got);
            }
        }
        seen.ms = MsSince(start);
        port_->Unlock();
        return seen;
    }

    // Up to `count` bytes that arrive without a request; stops early only
    // when the deadline passes, which a working line never reaches.
    std::vector<uint8_t> Collect(unsigned count, std::chrono::milliseconds deadline = testsupport::kGenerousDeadline)
    {
        std::vector<uint8_t> out;
        const auto end = Clock::now() + deadline;
        while (out.size() < count && Clock::now() < end) {
            uint8_t b[64];
            unsigned got = 0;
            port_->Read(b, std::min<unsigned>(count - static_cast<unsigned>(out.size()), sizeof b), got);
            out.insert(out.end(), b, b + got);
        }
        return out;
    }

    std::string dir_;
    std::unique_ptr<SimHarness> sim_;
    std::unique_ptr<lumex::TComMultiPort> port_;
};

const std::vector<uint8_t> kIdent{0xC0, 0x01, 0x01, 0xC2};
const std::vector<uint8_t> kLive{0xC0, 0x0B, 0x0B, 0xD6};
const std::vector<uint8_t> kIdentAnswer{0xD0, 0x01, 0x30, 0x01}; // a 3.0 controller
const unsigned kLiveLength = lumex::FindCommand(0x0B)->answerLength;

// Start byte and checksum as a controller answer has them.
bool WellFormed(const std::vector<uint8_t> &answer)
{
    return answer.size() >= 3 && answer[0] == lumex::kAnswerStart &&
           lumex::FrameSum(std::span(answer).first(answer.size() - 1)) == answer.back();
}

sim::FaultRule Fault(const std::string &text)
{
    std::string error;
    auto f = sim::ParseFault(text, error);
    EXPECT_TRUE(f.has_value()) << error;
    return f.value_or(sim::FaultRule{});
}

TEST_F(SimulatorLine, AnswersWholeFramesAndTheClientCanReopenThePort)
{
    StartSim();
    OpenPort();
    const Seen live = Exchange(kLive, kLiveLength);
    EXPECT_EQ(live.bytes.size(), kLiveLength);
    EXPECT_TRUE(WellFormed(live.bytes));
    EXPECT_EQ(live.bytes, LastAnswer());
    port_->Close();
    port_->Open();
    EXPECT_EQ(Exchange(kIdent, 4).bytes, kIdentAnswer);
    EXPECT_EQ(sim_->Requests(), (std::vector<std::string>{"C0 0B 0B D6", "C0 01 01 C2"}));
    EXPECT_TRUE(sim_->Violations().empty());
}

TEST_F(SimulatorLine, SilenceLeavesTheClientWithNothingAfterItsTimeOut)
{
    StartSim();
    sim_->AddFault("silence@01:1");
    OpenPort();
    const Seen seen = Exchange(kIdent, 4);
    EXPECT_TRUE(seen.bytes.empty());
    EXPECT_GE(seen.ms, 250.0); // the first byte is waited for 300 ms
    // Only once: the next identification is answered.
    EXPECT_EQ(Exchange(kIdent, 4).bytes, kIdentAnswer);
}

TEST_F(SimulatorLine, BadChecksumArrivesWholeWithTheLastByteOffByOne)
{
    StartSim();
    sim_->AddFault("bad-checksum@0B");
    OpenPort();
    auto seen = Exchange(kLive, kLiveLength).bytes;
    ASSERT_EQ(seen.size(), kLiveLength);
    EXPECT_EQ(seen, LastAnswer());
    EXPECT_FALSE(WellFormed(seen));
    seen.back() = static_cast<uint8_t>(seen.back() - 1);
    EXPECT_TRUE(WellFormed(seen));
}

TEST_F(SimulatorLine, WrongStartByteStopsTheClientAtTheFirstByte)
{
    StartSim();
    sim_->AddFault("bad-start@01");
    OpenPort();
    const Seen seen = Exchange(kIdent, 4);
    ASSERT_EQ(seen.bytes.size(), 1u);
    EXPECT_NE(seen.bytes[0], 0xD0);
}

TEST_F(SimulatorLine, ShortAnswerIsAnAcknowledgementWhereMoreWasExpected)
{
    StartSim();
    sim_->AddFault("short@0B");
    OpenPort();
    const Seen seen = Exchange(kLive, kLiveLength);
    ASSERT_EQ(seen.bytes.size(), 4u);
    EXPECT_EQ(seen.bytes[0], 0xD0);
    EXPECT_EQ(seen.bytes[3], static_cast<uint8_t>(0xD0 + seen.bytes[1] + seen.bytes[2]));
}

TEST_F(SimulatorLine, StrayByteComesBeforeTheAnswer)
{
    StartSim();
    sim_->AddFault("stray@01");
    OpenPort();
    const Seen seen = Exchange(kIdent, 4);
    ASSERT_EQ(seen.bytes.size(), 1u);
    EXPECT_EQ(seen.bytes[0], sim::kStrayByte);
    // The real answer follows it on the line.
    EXPECT_EQ(Collect(4), kIdentAnswer);
}

TEST_F(SimulatorLine, AGapLongerThanTheIntervalTimeOutCutsTheAnswer)
{
    StartSim();
    sim_->AddFault("gap=300@01");
    OpenPort();
    const Seen seen = Exchange(kIdent, 4);
    // The rest-of-answer read (500 ms in all) gets its first byte after
    // 300 ms, but the next 300 ms pause exceeds the 100 ms interval. The
    // gap sits midway, so a late sender or reader of up to 200 ms changes
    // nothing.
    ASSERT_EQ(seen.bytes.size(), 2u);
    EXPECT_EQ(seen.bytes[0], 0xD0);
    EXPECT_GE(seen.ms, 300.0 + 100.0);
}

TEST_F(SimulatorLine, LateAnswerArrivesOnlyAfterTheClientGaveUp)
{
    StartSim();
    sim_->AddFault("late=900@01");
    OpenPort();
    const Seen seen = Exchange(kIdent, 4);
    EXPECT_TRUE(seen.bytes.empty());
    EXPECT_EQ(Collect(4), kIdentAnswer);
}

TEST_F(SimulatorLine, GarbageBurstIsNoAnswer)
{
    StartSim();
    sim_->AddFault("garbage@0B");
    OpenPort();
    const Seen seen = Exchange(kLive, kLiveLength);
    ASSERT_EQ(seen.bytes.size(), 1u);
    EXPECT_NE(seen.bytes[0], 0xD0);
    // The rest of the burst is on the line, not an answer.
    EXPECT_EQ(Collect(kLiveLength - 1).size(), kLiveLength - 1);
}

TEST_F(SimulatorLine, UnplugHangsUpTheClientAndThePathComesBack)
{
    StartSim();
    sim_->AddFault("unplug=400@01:1");
    OpenPort();
    const Seen seen = Exchange(kIdent, 4);
    EXPECT_TRUE(seen.bytes.empty());
    EXPECT_FALSE(seen.readOk); // a hung-up line, not a mere time-out
    port_->Close();

    // Reopen until the simulated cable is back.
    const auto start = Clock::now();
    ASSERT_TRUE(testsupport::WaitFor([&] {
        try {
            port_->Open();
            return true;
        } catch (const lumex::EComPortError &) {
            return false;
        }
    }));
    EXPECT_GE(MsSince(start), 200.0);
    EXPECT_EQ(Exchange(kIdent, 4).bytes, kIdentAnswer);
}

TEST_F(SimulatorLine, PacedLiveReadTakesTheLineTimeOfBothFrames)
{
    sim::SimulatorOptions options;
    options.pace = true;
    StartSim(options);
    OpenPort();
    const Seen seen = Exchange(kLive, kLiveLength);
    ASSERT_EQ(seen.bytes.size(), kLiveLength);
    EXPECT_TRUE(WellFormed(seen.bytes));
    // 56 characters at 9600 8N1 are 58.3 ms, plus the turnaround.
    EXPECT_GE(seen.ms, 58.0);
}

TEST_F(SimulatorLine, TraceRecordsFramesFaultsAndDiscards)
{
    sim::SimulatorOptions options;
    options.tracePath = dir_ + "/trace.jsonl";
    options.faults.push_back(Fault("bad-checksum@0B:1"));
    options.personality = sim::Personality::Controller;
    StartSim(options);
    OpenPort();
    Exchange(kIdent, 4);
    Exchange(kLive, kLiveLength);
    const std::vector<uint8_t> junk{0x55, 0xAA};
    unsigned written = 0;
    port_->Write(junk.data(), 2, written);
    port_->Unlock();
    // The junk is traced once the line has been quiet after it.
    ASSERT_TRUE(
        sim_->WaitUntil([](const testsupport::SimTrace &t) { return !t.empty() && !t.back().discarded.empty(); }));
    sim_->Stop();

    std::ifstream in(options.tracePath);
    ASSERT_TRUE(in.good());
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find(R"("dir":"rx","hex":"C0 01 01 C2")"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(R"("dir":"tx","hex":"D0 01 30 01")"), std::string::npos) << lines[1];
    EXPECT_NE(lines[3].find(R"("fault":"bad-checksum@0B:1")"), std::string::npos) << lines[3];
    EXPECT_NE(lines[4].find(R"("hex":"55 AA","discarded":"unknown start byte 0x55")"), std::string::npos) << lines[4];
    EXPECT_FALSE(std::filesystem::exists(options.tracePath + ".part"));
}

TEST_F(SimulatorLine, StopRemovesTheLinkAndLeavesOthersAlone)
{
    StartSim();
    const std::string link = sim_->Path();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    sim_->Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));

    // A regular file at the link path is never replaced.
    std::ofstream(dir_ + "/plain") << "keep";
    sim::SimulatorOptions options;
    options.linkPath = dir_ + "/plain";
    sim::Simulator other(options);
    std::string error;
    EXPECT_FALSE(other.Start(error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos);
}

TEST_F(SimulatorLine, ControlLinesChangeTheLineWhileItRuns)
{
    StartSim();
    OpenPort();
    std::string reply;
    ASSERT_TRUE(sim_->Sim().Control("fault silence@01:1", reply)) << reply;
    EXPECT_EQ(reply, "ok fault silence@01:1");
    EXPECT_TRUE(Exchange(kIdent, 4).bytes.empty());
    ASSERT_TRUE(sim_->Sim().Control("faults", reply));
    EXPECT_EQ(reply, "ok"); // used up
    EXPECT_FALSE(sim_->Sim().Control("fault nonsense", reply));
    EXPECT_FALSE(sim_->Sim().Control("turnaround x", reply));

    ASSERT_TRUE(sim_->Sim().Control("turnaround 150", reply));
    const Seen slow = Exchange(kIdent, 4);
    EXPECT_EQ(slow.bytes.size(), 4u);
    EXPECT_GE(slow.ms, 140.0);

    ASSERT_TRUE(sim_->Sim().Control("violations", reply));
    EXPECT_EQ(reply, "ok 0");
    const std::vector<uint8_t> badSum{0xC0, 0x01, 0x01, 0xC3};
    Exchange(badSum, 4);
    ASSERT_TRUE(sim_->Sim().Control("violations", reply));
    EXPECT_EQ(reply.substr(0, 5), "ok 1\n");
    EXPECT_NE(reply.find("checksum"), std::string::npos);
}

} // namespace
