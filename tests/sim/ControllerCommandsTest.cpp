// The simulated controller's framing: every command of the table, each
// generation's command set, checksums, parameter forms and frame scanning.
#include "ControllerFrames.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace ctltest;
using sim::ControllerIdentity;
using sim::ControllerModel;

struct Generation
{
    const char *name;
    ControllerIdentity id;
    uint8_t generation;
    char letter;
};

void PrintTo(const Generation &g, std::ostream *os)
{
    *os << g.name;
}

class EveryRead : public ::testing::TestWithParam<Generation>
{
};

TEST_P(EveryRead, AnswersWithTheTableLengthAndAValidChecksumOrStaysSilent)
{
    const Generation &g = GetParam();
    ControllerModel model(g.id, 3);
    const std::set<uint8_t> silent = SilentReads(g.generation, g.letter);
    for (const auto &entry : lumex::CommandTable()) {
        if (!IsRead(entry))
            continue;
        SCOPED_TRACE(Hex(entry.code));
        const std::vector<uint8_t> request = ReadRequest(entry);
        ASSERT_EQ(request.size(), entry.requestLength);
        const auto scan = model.ScanFrame(request);
        EXPECT_EQ(scan.result, sim::ScanResult::Complete);
        EXPECT_EQ(scan.length, entry.requestLength);

        const std::size_t before = model.ViolationCount();
        const sim::Reply reply = model.Answer(request);
        if (silent.count(entry.code)) {
            EXPECT_TRUE(reply.bytes.empty());
            EXPECT_FALSE(reply.violation.empty());
            EXPECT_EQ(model.ViolationCount(), before + 1);
            continue;
        }
        ASSERT_EQ(reply.bytes.size(), entry.answerLength);
        EXPECT_EQ(reply.bytes[0], 0xD0);
        EXPECT_TRUE(SumOk(reply.bytes));
        // Cylinders 5-8 are answered but blamed on a four-injector car.
        const bool blamed = entry.code == 0x06 && g.id.HardwareInjectors() < 5;
        EXPECT_EQ(reply.violation.empty(), !blamed) << reply.violation;
        EXPECT_EQ(model.ViolationCount(), before + (blamed ? 1 : 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Generations, EveryRead,
                         ::testing::Values(Generation{"30G", ControllerIdentity::Gen30('G'), 0x30, 'G'},
                                           Generation{"30F", ControllerIdentity::Gen30('F'), 0x30, 'F'},
                                           Generation{"30C", ControllerIdentity::Gen30('C'), 0x30, 'C'},
                                           Generation{"15", ControllerIdentity::Gen15(), 0x15, 'E'},
                                           Generation{"14", ControllerIdentity::Gen14(), 0x14, 'C'}),
                         [](const auto &info) { return std::string("Gen") + info.param.name; });

TEST(ControllerCommands, EveryWriteOfAThreeZeroGIsAcknowledgedWithTheTableLength)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    for (const auto &entry : lumex::CommandTable()) {
        if (IsRead(entry) || entry.code == 0x3D) // locking is covered on its own
            continue;
        SCOPED_TRACE(Hex(entry.code));
        const sim::Reply reply = model.Answer(WriteRequest(entry));
        if (entry.code == 0x04) { // the 1.4/1.5 block: a 3.0 stays silent
            EXPECT_TRUE(reply.bytes.empty());
            continue;
        }
        ASSERT_EQ(reply.bytes.size(), entry.answerLength);
        EXPECT_EQ(reply.bytes[0], 0xD0);
        EXPECT_TRUE(SumOk(reply.bytes));
        EXPECT_EQ(reply.violation, "");
    }
    EXPECT_EQ(model.ViolationCount(), 1u);
}

TEST(ControllerCommands, TheRepeatedCodeFormHasTheDocumentedChecksum)
{
    EXPECT_EQ(Frame({0x05, 0x05}), (std::vector<uint8_t>{0xC0, 0x05, 0x05, 0xCA}));
    ControllerModel model(ControllerIdentity::Gen30('G'));
    const auto reply = model.Answer(std::vector<uint8_t>{0xC0, 0x01, 0x01, 0xC2});
    EXPECT_EQ(reply.bytes, (std::vector<uint8_t>{0xD0, 0x01, 0x30, 0x01}));
}

TEST(ControllerCommands, LetterGatesCatchClientsThatAssumeANewerFirmware)
{
    ControllerModel f(ControllerIdentity::Gen30('F'));
    const auto live = f.Answer(Frame({0x0B, 0x0B}));
    EXPECT_TRUE(live.bytes.empty());
    EXPECT_NE(live.violation.find("letter G"), std::string::npos) << live.violation;
    EXPECT_EQ(f.Answer(Frame({0x97, 0x00})).bytes.size(), 23u);

    ControllerModel e(ControllerIdentity::Gen30('E'));
    EXPECT_TRUE(e.Answer(Frame({0x97, 0x00})).bytes.empty());
    EXPECT_EQ(e.Answer(Frame({0x93, 0x00})).bytes.size(), 11u);

    ControllerModel c(ControllerIdentity::Gen30('C'));
    EXPECT_TRUE(c.Answer(Frame({0x93, 0x00})).bytes.empty());
    EXPECT_TRUE(c.Answer(FrameOf(std::vector<uint8_t>(9, 0x94))).bytes.empty()); // 0x94 + 8 bytes
    EXPECT_EQ(c.ViolationCount(), 2u);
}

TEST(ControllerCommands, OddLettersCompareAsStrings)
{
    // An empty letter is below every gate; 'h' and 'I' are above 'H'.
    ControllerModel none(ControllerIdentity::Gen30(0));
    EXPECT_TRUE(none.Answer(Frame({0x93, 0x00})).bytes.empty());
    EXPECT_EQ(none.Answer(Frame({0x53, 0x00})).bytes[2], 0);
    ControllerModel lower(ControllerIdentity::Gen30('h'));
    EXPECT_EQ(lower.Answer(Frame({0x0B, 0x0B})).bytes.size(), 52u);
    EXPECT_EQ(lower.Answer(Frame({0x53, 0x00})).bytes[2], 'h');
    ControllerModel i(ControllerIdentity::Gen30('I'));
    EXPECT_EQ(i.Answer(Frame({0x0B, 0x0B})).bytes.size(), 52u);
}

TEST(ControllerCommands, ABadChecksumGetsSilenceAndChangesNothing)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    std::vector<uint8_t> write = Frame({0x08, 2, 17});
    write.back() = static_cast<uint8_t>(write.back() + 1);
    const auto reply = model.Answer(write);
    EXPECT_TRUE(reply.bytes.empty());
    EXPECT_NE(reply.violation.find("checksum"), std::string::npos);
    EXPECT_NE(model.Store().byteParams[2], 17);
    EXPECT_EQ(model.ViolationCount(), 1u);
}

TEST(ControllerCommands, AWrongFixedParameterIsAnsweredButBlamed)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    const struct
    {
        std::vector<uint8_t> frame;
        std::size_t length;
    } cases[] = {{Frame({0x05, 0x00}), 27}, {Frame({0x17, 0x01}), 15}, {Frame({0x60, 0x00}), 33}};
    for (const auto &c : cases) {
        const auto reply = model.Answer(c.frame);
        EXPECT_EQ(reply.bytes.size(), c.length);
        EXPECT_FALSE(reply.violation.empty());
    }
    EXPECT_EQ(model.ViolationCount(), 3u);
}

TEST(ControllerCommands, IndexesOutsideTheirRangeAreBlamed)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    const std::vector<uint8_t> frames[] = {Frame({0x58, 10}),         Frame({0xDC, 40}),   Frame({0xD6, 8}),
                                           Frame({0xD4, 2}),          Frame({0x61, 0x30}), Frame({0x53, 7}),
                                           Frame({0x3F, 2}),          Frame({0x07, 0}),    Frame({0x40, 0}),
                                           Frame({0x31, 0x04, 0x00}), Frame({0x3B, 3}),    Frame({0x20, 8})};
    for (const auto &frame : frames) {
        SCOPED_TRACE(Hex(frame[1]));
        const auto reply = model.Answer(frame);
        EXPECT_FALSE(reply.bytes.empty());
        EXPECT_TRUE(SumOk(reply.bytes));
        EXPECT_FALSE(reply.violation.empty());
    }
}

TEST(ControllerCommands, ScanFrameFindsFramesByTheTableLength)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    const std::vector<uint8_t> d9 = FrameOf(std::vector<uint8_t>(26, 0xD9));
    for (std::size_t n = 1; n < d9.size(); ++n) {
        const auto scan = model.ScanFrame(std::span(d9).first(n));
        EXPECT_EQ(scan.result, sim::ScanResult::NeedMore) << n;
    }
    const auto whole = model.ScanFrame(d9);
    EXPECT_EQ(whole.result, sim::ScanResult::Complete);
    EXPECT_EQ(whole.length, 28u);
    EXPECT_EQ(model.ScanFrame(std::vector<uint8_t>{0xC0, 0x77, 0x77}).result, sim::ScanResult::Invalid);
    EXPECT_EQ(model.ScanFrame(std::vector<uint8_t>{0xC1, 0x01}).result, sim::ScanResult::Invalid);
}

TEST(ControllerCommands, ShortOrLongFramesHandedInDirectlyAreRefused)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    EXPECT_TRUE(model.Answer(std::vector<uint8_t>{0xC0, 0x01}).bytes.empty());
    EXPECT_TRUE(model.Answer(Frame({0x01, 0x01, 0x01})).bytes.empty());
    EXPECT_TRUE(model.Answer(Frame({0x77, 0x77})).bytes.empty());
    EXPECT_EQ(model.ViolationCount(), 3u);
}

TEST(ControllerCommands, TheJumpToTheBootloaderIsAcknowledgedAndRemembered)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    EXPECT_EQ(model.ScanFrame(Frame({0xE2, 0x01})).length, 4u);
    const auto reply = model.Answer(Frame({0xE2, 0x01}));
    EXPECT_EQ(reply.bytes.size(), 4u);
    EXPECT_TRUE(model.BootloaderRequested());
}

} // namespace
