// The line host on its own: no pty, the clock is driven by the test.
#include "sim/LineHost.h"
#include "controller/CommandTable.h"
#include "sim/ProbeResponders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace simtest {

// A stand-in responder for the line host's own tests, which are about
// dispatch and timing rather than any device: it frames by the command table,
// answers every known command with a frame of the table's answer length
// (the answer start, the code, a counting payload, the checksum) and records
// what it saw.
class TableResponder : public sim::Responder
{
public:
    explicit TableResponder(uint8_t start = 0xC0, uint8_t answerStart = 0xD0) : start_(start), answerStart_(answerStart)
    {
    }

    uint8_t StartByte() const override { return start_; }

    sim::Scan ScanFrame(std::span<const uint8_t> buffer) const override
    {
        if (buffer.size() < 2)
            return {sim::ScanResult::NeedMore, 0};
        const auto *entry = lumex::FindCommand(buffer[1]);
        if (!entry)
            return {sim::ScanResult::Invalid, 0};
        if (buffer.size() < entry->requestLength)
            return {sim::ScanResult::NeedMore, 0};
        return {sim::ScanResult::Complete, entry->requestLength};
    }

    sim::Reply Answer(std::span<const uint8_t> frame) override
    {
        frames.emplace_back(frame.begin(), frame.end());
        sim::Reply r;
        if (lumex::FrameSum(frame.first(frame.size() - 1)) != frame.back()) {
            r.violation = "request checksum wrong";
            return r;
        }
        r.bytes = AnswerFor(frame[1], answerStart_);
        return r;
    }

    static std::vector<uint8_t> AnswerFor(uint8_t code, uint8_t answerStart = 0xD0)
    {
        const auto *entry = lumex::FindCommand(code);
        std::vector<uint8_t> a{answerStart, code};
        for (std::size_t i = 2; i + 1 < entry->answerLength; ++i)
            a.push_back(static_cast<uint8_t>(0x10 + i));
        a.push_back(lumex::FrameSum(a));
        return a;
    }

    std::vector<std::vector<uint8_t>> frames;

private:
    uint8_t start_;
    uint8_t answerStart_;
};

// A request frame: start, code, parameters, checksum.
inline std::vector<uint8_t> Request(std::vector<uint8_t> bytes)
{
    bytes.push_back(lumex::FrameSum(bytes));
    return bytes;
}

} // namespace simtest

namespace {

using simtest::Request;
using simtest::TableResponder;

struct Sent
{
    double t;
    uint8_t byte;
};

// Runs the host from `now` to `end` the way the pty loop does: jump from
// deadline to deadline, collecting what goes out and when.
class Line
{
public:
    explicit Line(sim::LineOptions options = {}) : host(options)
    {
        host.SetEventSink([this](const sim::TraceEvent &e) { events.push_back(e); });
    }

    void Write(std::vector<uint8_t> bytes)
    {
        host.Receive(bytes, now);
        host.Advance(now);
    }

    void RunUntil(double end)
    {
        for (;;) {
            host.Advance(now);
            for (uint8_t b : host.TakeOutput(now))
                sent.push_back({now, b});
            if (auto u = host.TakeUnplug())
                unplugs.push_back(*u);
            const double d = host.NextDeadline();
            if (d > end)
                break;
            now = std::max(d, now + 1e-6);
        }
        now = end;
    }

    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> out;
        for (const auto &s : sent)
            out.push_back(s.byte);
        return out;
    }

    std::vector<sim::TraceEvent> Events(const std::string &dir) const
    {
        std::vector<sim::TraceEvent> out;
        std::copy_if(events.begin(), events.end(), std::back_inserter(out),
                     [&](const sim::TraceEvent &e) { return dir == e.dir; });
        return out;
    }

    sim::LineHost host;
    double now = 0;
    std::vector<Sent> sent;
    std::vector<sim::TraceEvent> events;
    std::vector<double> unplugs;
};

const std::vector<uint8_t> kIdent{0xC0, 0x01, 0x01, 0xC2};
const std::vector<uint8_t> kLive{0xC0, 0x0B, 0x0B, 0xD6};

sim::FaultRule Fault(const std::string &text)
{
    std::string error;
    auto f = sim::ParseFault(text, error);
    EXPECT_TRUE(f.has_value()) << error;
    return f.value_or(sim::FaultRule{});
}

TEST(LineHostDispatch, RoutesFramesByStartByteToTheirResponder)
{
    Line line;
    auto controller = std::make_shared<TableResponder>(0xC0, 0xD0);
    auto other = std::make_shared<TableResponder>(0xC2, 0xD2);
    line.host.Register(controller);
    line.host.Register(other);

    line.Write(kIdent);
    line.RunUntil(10);
    line.Write(Request({0xC2, 0x01, 0x01}));
    line.RunUntil(20);

    ASSERT_EQ(controller->frames.size(), 1u);
    EXPECT_EQ(controller->frames[0], kIdent);
    ASSERT_EQ(other->frames.size(), 1u);
    auto expected = TableResponder::AnswerFor(0x01, 0xD0);
    auto second = TableResponder::AnswerFor(0x01, 0xD2);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(line.Bytes(), expected);
    EXPECT_TRUE(line.host.Violations().empty());
}

TEST(LineHostDispatch, AnswersOnlyAfterTheTurnaround)
{
    Line line(sim::LineOptions{false, 7.0, 20.0});
    line.host.Register(std::make_shared<TableResponder>());
    line.Write(kIdent);
    line.RunUntil(6.9);
    EXPECT_TRUE(line.sent.empty());
    line.RunUntil(8);
    ASSERT_EQ(line.sent.size(), 4u);
    EXPECT_DOUBLE_EQ(line.sent.front().t, 7.0);
}

TEST(LineHostDispatch, AFrameSplitOverSeveralWritesIsAssembled)
{
    Line line;
    auto controller = std::make_shared<TableResponder>();
    line.host.Register(controller);
    line.Write({0xC0, 0x0B});
    line.RunUntil(10);
    line.Write({0x0B, 0xD6});
    line.RunUntil(30);
    ASSERT_EQ(controller->frames.size(), 1u);
    EXPECT_EQ(line.Bytes(), TableResponder::AnswerFor(0x0B));
}

TEST(LineHostDispatch, BackToBackFramesInOneWriteAreAnsweredInOrder)
{
    Line line;
    line.host.Register(std::make_shared<TableResponder>());
    auto both = kIdent;
    both.insert(both.end(), kLive.begin(), kLive.end());
    line.Write(both);
    line.RunUntil(30);
    auto expected = TableResponder::AnswerFor(0x01);
    auto live = TableResponder::AnswerFor(0x0B);
    expected.insert(expected.end(), live.begin(), live.end());
    EXPECT_EQ(line.Bytes(), expected);
}

TEST(LineHostGarbage, UnknownStartByteIsDiscardedUntilTheLineIsQuiet)
{
    Line line;
    auto controller = std::make_shared<TableResponder>();
    line.host.Register(controller);

    line.Write({0x12, 0x34});
    line.RunUntil(10);
    // Still inside the burst: this frame is lost with the garbage.
    line.Write(kIdent);
    line.RunUntil(29);
    EXPECT_TRUE(controller->frames.empty());
    line.RunUntil(40);
    // Quiet for 20 ms: the next frame is heard.
    line.Write(kIdent);
    line.RunUntil(60);

    ASSERT_EQ(controller->frames.size(), 1u);
    EXPECT_EQ(line.Bytes(), TableResponder::AnswerFor(0x01));
    // Another device's traffic is not the client's fault.
    EXPECT_TRUE(line.host.Violations().empty());
    auto rx = line.Events("rx");
    ASSERT_GE(rx.size(), 2u);
    EXPECT_EQ(rx[0].bytes, (std::vector<uint8_t>{0x12, 0x34, 0xC0, 0x01, 0x01, 0xC2}));
    EXPECT_NE(rx[0].discarded.find("unknown start byte 0x12"), std::string::npos);
}

TEST(LineHostGarbage, TheQuietDeadlineItReportsEndsTheDiscardExactly)
{
    // The pty loop sleeps until NextDeadline() and must then find the work
    // done, whatever rounding the clock values bring.
    sim::LineHost host;
    host.Register(std::make_shared<TableResponder>());
    const std::vector<uint8_t> junk{0x12};
    host.Receive(junk, 14.8); // (14.8 + 20) - 14.8 < 20 in doubles
    host.Advance(14.8);
    const double d = host.NextDeadline();
    ASSERT_NE(d, sim::kNever);
    host.Advance(d);
    EXPECT_EQ(host.NextDeadline(), sim::kNever);
}

TEST(LineHostGarbage, AFrameTheResponderRejectsIsAViolationAndDiscarded)
{
    Line line;
    auto controller = std::make_shared<TableResponder>();
    line.host.Register(controller);
    line.Write({0xC0, 0xEE, 0x00, 0xAE}); // 0xEE is no command
    line.RunUntil(50);
    EXPECT_TRUE(controller->frames.empty());
    EXPECT_TRUE(line.sent.empty());
    ASSERT_EQ(line.host.Violations().size(), 1u);
    EXPECT_NE(line.host.Violations()[0].find("C0 EE"), std::string::npos);
}

TEST(LineHostGarbage, AnIncompleteFrameIsDroppedWhenTheLineGoesQuiet)
{
    Line line;
    auto controller = std::make_shared<TableResponder>();
    line.host.Register(controller);
    line.Write({0xC0, 0x0B, 0x0B});
    line.RunUntil(19);
    EXPECT_TRUE(line.Events("rx").empty());
    line.RunUntil(25);
    ASSERT_EQ(line.Events("rx").size(), 1u);
    EXPECT_EQ(line.Events("rx")[0].discarded, "incomplete frame");
    ASSERT_EQ(line.host.Violations().size(), 1u);

    // The stale bytes must not be glued to the next request.
    line.Write(kIdent);
    line.RunUntil(40);
    ASSERT_EQ(controller->frames.size(), 1u);
    EXPECT_EQ(controller->frames[0], kIdent);
}

TEST(LineHostGarbage, AResponderThatNeverCompletesCannotGrowTheBuffer)
{
    class Greedy : public sim::Responder
    {
    public:
        uint8_t StartByte() const override { return 0xAA; }
        sim::Scan ScanFrame(std::span<const uint8_t>) const override { return {sim::ScanResult::NeedMore, 0}; }
        sim::Reply Answer(std::span<const uint8_t>) override { return {}; }
    };
    Line line;
    line.host.Register(std::make_shared<Greedy>());
    line.Write(std::vector<uint8_t>(5000, 0xAA));
    line.RunUntil(100);
    ASSERT_FALSE(line.host.Violations().empty());
    EXPECT_NE(line.host.Violations()[0].find("frame too long"), std::string::npos);
}

TEST(LineHostProtocol, ARequestBeforeThePreviousAnswerEndedIsAViolation)
{
    Line line(sim::LineOptions{true, 2.0, 20.0});
    line.host.Register(std::make_shared<TableResponder>());
    line.Write(kLive);
    line.RunUntil(20); // the 52-byte answer is still going out
    line.Write(kIdent);
    line.RunUntil(200);
    ASSERT_EQ(line.host.Violations().size(), 1u);
    EXPECT_NE(line.host.Violations()[0].find("before the previous answer"), std::string::npos);
    // Both are still answered, one after the other.
    EXPECT_EQ(line.sent.size(), 52u + 4u);
}

TEST(LineHostPacing, ARequestIsCompleteOnlyAfterItsBytesCouldHaveArrived)
{
    Line line(sim::LineOptions{true, 0.0, 20.0});
    auto controller = std::make_shared<TableResponder>();
    line.host.Register(controller);
    line.Write(kIdent);
    line.RunUntil(4 * sim::kByteMs - 0.01);
    EXPECT_TRUE(controller->frames.empty());
    line.RunUntil(4 * sim::kByteMs + 0.01);
    EXPECT_EQ(controller->frames.size(), 1u);
}

TEST(LineHostPacing, AnswerBytesLeaveAtLineRate)
{
    Line line(sim::LineOptions{true, 2.0, 20.0});
    line.host.Register(std::make_shared<TableResponder>());
    line.Write(kLive);
    line.RunUntil(200);
    ASSERT_EQ(line.sent.size(), 52u);
    // 4 bytes in, 2 ms turnaround, 52 bytes out.
    EXPECT_NEAR(line.sent.front().t, 4 * sim::kByteMs + 2 + sim::kByteMs, 1e-6);
    EXPECT_NEAR(line.sent.back().t, 4 * sim::kByteMs + 2 + 52 * sim::kByteMs, 1e-6);
    for (std::size_t i = 1; i < line.sent.size(); ++i)
        EXPECT_NEAR(line.sent[i].t - line.sent[i - 1].t, sim::kByteMs, 1e-6);
}

TEST(LineHostFaults, EachKindShapesTheAnswerBytes)
{
    const auto live = TableResponder::AnswerFor(0x0B);
    struct Case
    {
        const char *rule;
        std::vector<uint8_t> expected;
    };
    auto badSum = live;
    badSum.back() = static_cast<uint8_t>(badSum.back() + 1);
    auto badStart = live;
    badStart[0] = 0xF0;
    auto stray = live;
    stray.insert(stray.begin(), sim::kStrayByte);
    const std::vector<uint8_t> shortAck{0xD0, 0x0B, 0x00, 0xDB};
    const Case cases[] = {
        {"silence@0B", {}},     {"bad-checksum@0B", badSum}, {"bad-start@0B", badStart},
        {"short@0B", shortAck}, {"stray@0B", stray},         {"gap=5@0B", live},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rule);
        Line line;
        line.host.Register(std::make_shared<TableResponder>());
        line.host.Faults().Add(Fault(c.rule));
        line.Write(kLive);
        line.RunUntil(2000);
        EXPECT_EQ(line.Bytes(), c.expected);
        auto tx = line.Events("tx");
        ASSERT_EQ(tx.size(), 1u);
        EXPECT_EQ(tx[0].fault, c.rule);
    }
}

TEST(LineHostFaults, GapSpacesTheAnswerBytes)
{
    Line line;
    line.host.Register(std::make_shared<TableResponder>());
    line.host.Faults().Add(Fault("gap=30@01"));
    line.Write(kIdent);
    line.RunUntil(500);
    ASSERT_EQ(line.sent.size(), 4u);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_NEAR(line.sent[i].t - line.sent[i - 1].t, 30.0, 1e-6);
}

TEST(LineHostFaults, LateAnswersComeAfterTheClientHasGivenUp)
{
    Line line;
    line.host.Register(std::make_shared<TableResponder>());
    line.host.Faults().Add(Fault("late@0B"));
    line.Write(kLive);
    line.RunUntil(10000);
    ASSERT_EQ(line.sent.size(), 52u);
    // The client waits at most 200 + 100 x 52 ms in all.
    EXPECT_GT(line.sent.front().t, 200.0 + 100.0 * 52);
    EXPECT_EQ(line.Bytes(), TableResponder::AnswerFor(0x0B));
}

TEST(LineHostFaults, GarbageReplacesTheAnswerWithNoiseOfTheSameLength)
{
    Line line;
    line.host.Register(std::make_shared<TableResponder>());
    line.host.Faults().Add(Fault("garbage@0B"));
    line.Write(kLive);
    line.RunUntil(100);
    const auto bytes = line.Bytes();
    ASSERT_EQ(bytes.size(), 52u);
    EXPECT_NE(bytes[0], 0xD0);
    EXPECT_NE(bytes, TableResponder::AnswerFor(0x0B));
}

TEST(LineHostFaults, UnplugDropsTheLineInsteadOfAnswering)
{
    Line line;
    line.host.Register(std::make_shared<TableResponder>());
    line.host.Faults().Add(Fault("unplug=700@01"));
    line.Write(kIdent);
    line.RunUntil(50);
    EXPECT_TRUE(line.sent.empty());
    ASSERT_EQ(line.unplugs.size(), 1u);
    EXPECT_DOUBLE_EQ(line.unplugs[0], 700.0);
}

TEST(LineHostFaults, CountAndCodeChooseWhichAnswersAreHit)
{
    Line line;
    line.host.Register(std::make_shared<TableResponder>());
    line.host.Faults().Add(Fault("silence@01:2"));
    for (int i = 0; i < 3; ++i) {
        line.Write(kLive);
        line.RunUntil(line.now + 100);
        line.Write(kIdent);
        line.RunUntil(line.now + 100);
    }
    // 0x0B untouched three times; 0x01 silent twice, then answered.
    EXPECT_EQ(line.sent.size(), 3 * 52u + 4u);
    EXPECT_EQ(line.host.Faults().List()[0].count, 0);
}

TEST(LineHostFaults, AWildcardFaultHitsEveryCommand)
{
    Line line;
    line.host.Register(std::make_shared<TableResponder>());
    line.host.Faults().Add(Fault("bad-start@*"));
    line.Write(kIdent);
    line.RunUntil(50);
    line.Write(kLive);
    line.RunUntil(150);
    ASSERT_EQ(line.sent.size(), 56u);
    EXPECT_EQ(line.sent[0].byte, 0xF0);
    EXPECT_EQ(line.sent[4].byte, 0xF0);
}

TEST(FaultRuleText, ParsesTheDocumentedForms)
{
    std::string error;
    auto f = sim::ParseFault("gap=150@0B:3", error);
    ASSERT_TRUE(f) << error;
    EXPECT_EQ(f->kind, sim::FaultKind::Gap);
    EXPECT_EQ(f->ms, 150u);
    EXPECT_EQ(f->code, 0x0B);
    EXPECT_EQ(f->count, 3);
    EXPECT_EQ(sim::FormatFault(*f), "gap=150@0B:3");

    f = sim::ParseFault("late@*", error);
    ASSERT_TRUE(f) << error;
    EXPECT_FALSE(f->code.has_value());
    EXPECT_EQ(f->count, -1);
    EXPECT_FALSE(f->ms.has_value());
}

TEST(FaultRuleText, RejectsMalformedFormsWithAReason)
{
    for (const char *bad : {"silence", "silence@", "noise@01", "silence@1FF", "silence@0G", "silence@01:0",
                            "silence@01:x", "stray=5@01", "gap=@01", "gap=-1@01", "gap=9999999@01", "@01"}) {
        std::string error;
        EXPECT_FALSE(sim::ParseFault(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(ProbePersonalities, AnswerTheirOwnProbeOnly)
{
    struct Case
    {
        std::shared_ptr<sim::ProbeResponder> responder;
        std::vector<uint8_t> probe;
        std::vector<uint8_t> answer;
    };
    const Case cases[] = {
        {sim::MakeController13(), {0xC0, 0x01, 0x01, 0xC2}, {0xD0, 0x01, 0x13, 0xE4}},
        {sim::MakeDevice40(0x40), {0xC1, 0x01, 0x01, 0xC3}, {0xD1, 0x01, 0x40, 0x12}},
        {sim::MakeDevice40(0x35), {0xC1, 0x01, 0x01, 0xC3}, {0xD1, 0x01, 0x35, 0x07}},
        {sim::MakeBootloader30(), {0xBA, 0xE1, 0xE1, 0x7C}, {0xBB, 0xE1, 0x03, 0x00, 0x00, 0x9F}},
    };
    for (const auto &c : cases) {
        Line line;
        line.host.Register(c.responder);
        line.Write(c.probe);
        line.RunUntil(50);
        EXPECT_EQ(line.Bytes(), c.answer);
        // A well-formed frame that is not the probe meets silence; one with a
        // wrong checksum is the client's fault.
        auto other = c.probe;
        other[2] = static_cast<uint8_t>(other[2] + 1);
        other[3] = static_cast<uint8_t>(other[3] + 1);
        line.Write(other);
        line.RunUntil(100);
        EXPECT_EQ(line.Bytes(), c.answer);
        EXPECT_TRUE(line.host.Violations().empty());
        auto broken = c.probe;
        broken[3] = static_cast<uint8_t>(broken[3] + 1);
        line.Write(broken);
        line.RunUntil(150);
        EXPECT_EQ(line.host.Violations().size(), 1u);
    }
}

TEST(TraceLine, IsOneJsonObjectWithEscapedTexts)
{
    sim::TraceEvent e;
    e.t = 12.345;
    e.dir = "rx";
    e.bytes = {0xC0, 0x01, 0x01, 0xC2};
    e.violation = "bad \"frame\"\n";
    EXPECT_EQ(sim::FormatTraceLine(e), R"({"t":12.3,"dir":"rx","hex":"C0 01 01 C2","violation":"bad \"frame\"\n"})");
}

} // namespace
