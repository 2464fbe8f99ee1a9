// One store behind every view: a value written through one command reads
// back through every other command that carries it; a locked controller
// acknowledges writes and keeps its settings.
#include "ControllerFrames.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

namespace {

using namespace ctltest;
using sim::ControllerIdentity;
using sim::ControllerModel;

class Views : public ::testing::Test
{
protected:
    std::vector<uint8_t> Ask(const std::vector<uint8_t> &frame)
    {
        const auto reply = model.Answer(frame);
        EXPECT_EQ(reply.violation, "") << Hex(frame[1]);
        EXPECT_TRUE(SumOk(reply.bytes)) << Hex(frame[1]);
        return reply.bytes;
    }
    uint8_t ByteParam(uint8_t index) { return Ask(Frame({0x07, index})).at(3); }
    uint16_t WordAt(const std::vector<uint8_t> &answer, std::size_t k)
    {
        return static_cast<uint16_t>(answer.at(k) << 8 | answer.at(k + 1));
    }
    uint16_t WordParam(uint8_t index) { return WordAt(Ask(Frame({0x51, index})), 3); }
    uint16_t ModelParam(uint8_t index) { return WordAt(Ask(Frame({0x12, index})), 3); }

    ControllerModel model{ControllerIdentity::Gen30('G')};
};

TEST_F(Views, TheThreeZeroBlockAndTheParametersAreOneSetting)
{
    // flags 1: class 3, CNG, ignition 2, turbo; flags 2: lambda 5, plus-controlled,
    // external emulator; flags 3: micro-injection, master mode.
    std::vector<uint8_t> body{0xD9, 0xD3, 0x3F, 0x4D, 0x82, 77,   0x2B, 0xD4, 11,   0x07, 0xD0, 0x00, 0x96,
                              0x02, 0x3A, 2,    3,    27,   0x03, 0xE8, 0x01, 0xF4, 9,    66,   122,  4};
    Ask(FrameOf(body));
    EXPECT_EQ(ByteParam(2), 11);       // injector type
    EXPECT_EQ(WordParam(7), 2000);     // cubic capacity
    EXPECT_EQ(WordParam(6), 150);      // power
    EXPECT_EQ(WordParam(8), 570);      // idle hot Tb
    EXPECT_EQ(ByteParam(12), 2);       // injection system
    EXPECT_EQ(ByteParam(11), 3);       // reducer
    EXPECT_EQ(ByteParam(10), 27);      // nozzle
    EXPECT_EQ(WordParam(9), 1000);     // emulator switch delay
    EXPECT_EQ(WordParam(10), 500);     // post-valve delay
    EXPECT_EQ(ByteParam(3), 9);        // low-pressure delay
    EXPECT_EQ(ByteParam(4), 66);       // low-pressure threshold
    EXPECT_EQ(ByteParam(23), 122);     // micro-injection time
    EXPECT_EQ(ByteParam(28), 4);       // pressure sensor
    EXPECT_EQ(ByteParam(1) & 0x0F, 5); // lambda type
    EXPECT_EQ(ByteParam(5) & 1, 1);    // petrol injectors plus-controlled
    EXPECT_EQ(ByteParam(7) & 1, 0);    // not non-sequential
    EXPECT_EQ(ByteParam(20) & 1, 1);   // external emulator
    EXPECT_EQ(ByteParam(17) & 1, 1);   // micro-injection
    EXPECT_EQ(ByteParam(27) & 1, 1);   // master mode

    // The other way round: parameters change what the block reads.
    Ask(Frame({0x08, 12, 3}));
    Ask(Frame({0x08, 18, 1}));
    Ask(Frame({0x52, 6, 0x00, 0x58}));
    Ask(Frame({0x08, 1, 0x06}));
    const auto block = Ask(Frame({0xD8, 0xD8}));
    EXPECT_EQ(block[16], 3);
    EXPECT_EQ(block[5] & 0x04, 0x04);
    EXPECT_EQ(WordAt(block, 12), 88);
    EXPECT_EQ(block[4] & 0x07, 6);
    EXPECT_EQ(block[2], 0xD3);
    EXPECT_EQ(block[3], 0x3F);
    EXPECT_EQ(block[6], 77);
    EXPECT_EQ(WordAt(block, 7), 0x2BD4);
}

TEST_F(Views, ALambdaWriteThroughTheBlockKeepsTheUpperBitsOfItsParameter)
{
    Ask(Frame({0x08, 1, 0x3E})); // upper nibble 3, lambda 14
    auto block = Ask(Frame({0xD8, 0xD8}));
    std::vector<uint8_t> body{0xD9};
    body.insert(body.end(), block.begin() + 2, block.begin() + 27);
    body[3] = static_cast<uint8_t>((body[3] & ~7) | 2);
    Ask(FrameOf(body));
    EXPECT_EQ(ByteParam(1), 0x32);
}

TEST_F(Views, TheModelBlockAndTheModelParametersAreOneModel)
{
    Ask(Frame({0x16, 1, 0x04, 0xCD}));  // Mult 1.2
    Ask(Frame({0x16, 2, 0xFF, 0x13}));  // Offset -237 ticks
    Ask(Frame({0x16, 5, 0x0B, 0x6F}));  // P3
    Ask(Frame({0x16, 10, 0x11, 0x00})); // E4
    const auto block = Ask(Frame({0x10, 0x10}));
    EXPECT_EQ(WordAt(block, 2), 0x04CD);
    EXPECT_EQ(WordAt(block, 4), 0xFF13);
    EXPECT_EQ(WordAt(block, 10), 0x0B6F);
    EXPECT_EQ(WordAt(block, 20), 0x1100);
}

TEST_F(Views, CorrectionTablesAreAlsoModelParameters)
{
    std::vector<uint8_t> body{0xD1};
    for (int i = 0; i < 20; ++i)
        body.push_back(static_cast<uint8_t>(i * 13 - 100));
    Ask(FrameOf(body));
    for (uint8_t i = 0; i < 20; ++i)
        EXPECT_EQ(ModelParam(static_cast<uint8_t>(14 + i)), static_cast<uint8_t>(i * 13 - 100));

    Ask(Frame({0x16, 40, 0x00, 0xF6})); // CTG position 7 = -10
    Ask(Frame({0x16, 73, 0x00, 0x19})); // CRPM position 20 = 25
    EXPECT_EQ(Ask(Frame({0xD2, 0x00}))[2 + 6], 0xF6);
    EXPECT_EQ(Ask(Frame({0xDB, 0x00}))[2 + 19], 25);
}

TEST_F(Views, InspectionAndTheNextInspectionWordAgree)
{
    Ask(Frame({0x57, 40, 0x27, 0x10}));
    EXPECT_EQ(WordParam(23), 10000);
    Ask(Frame({0x52, 23, 0x13, 0x88}));
    const auto inspection = Ask(Frame({0x56, 0x00}));
    EXPECT_EQ(inspection[2], 40);
    EXPECT_EQ(WordAt(inspection, 3), 5000);
}

TEST_F(Views, LevelTablesAndTheInjectorRecordLiveInControllerMemory)
{
    Ask(Frame({0x37, 190, 140, 90, 45, 0}));
    EXPECT_EQ(Ask(Frame({0x33, 0x00, 101}))[4], 140);
    Ask(Frame({0x34, 0x00, 106, 66}));
    EXPECT_EQ(Ask(Frame({0x36, 0x00}))[4], 66);

    Ask(Frame({0x15, 0x02, 0x31, 37, 15, 0, 0, 0x4D, 0x58, 0, 255, 0x01, 0x76}));
    const auto record = Ask(Frame({0x17, 0x00}));
    EXPECT_EQ(WordAt(record, 2), 0x0231);
    EXPECT_EQ(record[4], 37);
    EXPECT_EQ(record[5], 15);
    EXPECT_EQ(WordAt(Ask(Frame({0x31, 0x00, 36})), 4), 0x0231);
    EXPECT_EQ(WordAt(Ask(Frame({0x31, 0x00, 46})), 4), 0x0176);
}

TEST_F(Views, MapPointsReadTheSameThroughMemoryAndTheThreeZeroBlocks)
{
    Ask(Frame({0x32, 0x00, 200, 0x2C, 0x85}));
    Ask(Frame({0x32, 0x00, 202, 0x2D, 0x06}));
    Ask(Frame({0x34, 0x00, 198, 2}));
    Ask(Frame({0x32, 0x01, 0xC8, 0x41, 0x11})); // gas point 0 at 456
    Ask(Frame({0x34, 0x00, 199, 1}));
    EXPECT_EQ(WordAt(Ask(Frame({0x31, 0x00, 198})), 4), 0x0201);
    const auto petrol = Ask(Frame({0xD6, 0}));
    EXPECT_EQ(WordAt(petrol, 2), 0x2C85);
    EXPECT_EQ(WordAt(petrol, 4), 0x2D06);
    EXPECT_EQ(WordAt(petrol, 6), 0xFFFF); // unused slots read as erased
    EXPECT_EQ(WordAt(Ask(Frame({0xD7, 0})), 2), 0x4111);

    Ask(Frame({0xDE, 1}));
    EXPECT_EQ(Ask(Frame({0x33, 0x00, 198}))[4], 0);
    EXPECT_EQ(Ask(Frame({0x33, 0x00, 199}))[4], 1);
}

TEST_F(Views, GThreeMapRowsAreWrittenByTheirFirstWordAndCleared)
{
    Ask(Frame({0xDF, 3, 0x82, 0x10}));
    auto row = Ask(Frame({0xDC, 3}));
    EXPECT_EQ(WordAt(row, 2), 0x8210);
    model.EditStore([](sim::ParameterStore &s) { s.mapG3B[3] = {0x8001, 0x8002, 0x8003}; });
    Ask(Frame({0xDE, 3}));
    EXPECT_EQ(WordAt(Ask(Frame({0xDC, 3})), 2), 0);
    EXPECT_EQ(WordAt(Ask(Frame({0xDD, 3})), 4), 0);
}

TEST_F(Views, ModelTwoSetsAndIdlePointsRoundTrip)
{
    std::vector<uint8_t> body{0xD5, 1};
    for (int i = 0; i < 10; ++i) {
        const uint16_t x = static_cast<uint16_t>(300 * i), y = static_cast<uint16_t>(310 * i + 150);
        body.insert(body.end(), {uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y)});
    }
    Ask(FrameOf(body));
    const auto half = Ask(Frame({0xD4, 1}));
    EXPECT_EQ(WordAt(half, 2 + 4 * 9), 2700);
    EXPECT_EQ(WordAt(half, 4 + 4 * 9), 2940);
    EXPECT_EQ(WordAt(Ask(Frame({0x95, 1})), 2), 0xFFFF); // the adapted set is separate

    Ask(Frame({0xC1, 0x02, 0x31, 0x02, 0xC7, 0x04, 0x62, 0x04, 0xF8}));
    const auto points = Ask(Frame({0xC0, 0x00}));
    EXPECT_EQ(WordAt(points, 2), 561);
    EXPECT_EQ(WordAt(points, 8), 1272);
}

TEST_F(Views, AdaptationHalvesLandInTheirBank)
{
    std::vector<uint8_t> body{0x62, 0x21};
    for (int i = 0; i < 50; ++i)
        body.push_back(static_cast<uint8_t>(i - 25));
    Ask(FrameOf(body));
    const auto bank2 = Ask(Frame({0x61, 0x21}));
    EXPECT_EQ(bank2[2], 0x21);
    EXPECT_EQ(bank2[3], static_cast<uint8_t>(-25));
    EXPECT_EQ(bank2[52], 24);
    EXPECT_EQ(Ask(Frame({0x61, 0x11}))[3], 0);
    EXPECT_EQ(model.Store().adaptBank2[5][0], -25);
}

TEST(LegacyViews, TheBasicBlockIsWrittenMaskFirstAndReadFlagsFirst)
{
    ControllerModel model(ControllerIdentity::Gen15());
    // T, RPM high, RPM low, mask, flags: class 2, reserve 3, CNG, ignition 1, turbo.
    EXPECT_EQ(model.Answer(Frame({0x04, 88, 0x57, 0xA8, 0x0F, 0xBE})).violation, "");
    const auto block = model.Answer(Frame({0x03, 0x03})).bytes;
    ASSERT_EQ(block.size(), 8u);
    EXPECT_EQ(block[2], 88);
    EXPECT_EQ(block[5], 0xBE);
    EXPECT_EQ(block[6], 0x0F);
    EXPECT_EQ(model.Answer(Frame({0x07, 33})).bytes[3], 3); // the reserve type is byte parameter 33
    model.Answer(Frame({0x08, 33, 1}));
    EXPECT_EQ(model.Answer(Frame({0x03, 0x03})).bytes[5] & 0x0C, 0x04);
}

TEST(Lock, ALockedControllerAcknowledgesWritesAndKeepsItsSettings)
{
    ControllerModel model(ControllerIdentity::Gen30('G'));
    // Password 123456 = 0x0001E240, least significant byte first.
    const auto lock = model.Answer(Frame({0x3D, 0x40, 0xE2, 0x01, 0x00}));
    ASSERT_EQ(lock.bytes.size(), 4u);
    EXPECT_EQ(lock.bytes[2], 0x0F);
    EXPECT_EQ(model.Password(), 123456u);
    EXPECT_EQ(model.Answer(Frame({0x3F, 0x00})).bytes[2], 0x0F);

    const uint8_t before = model.Store().byteParams[2];
    const auto write = model.Answer(Frame({0x08, 2, static_cast<uint8_t>(before + 1)}));
    EXPECT_EQ(write.bytes.size(), 4u);
    EXPECT_TRUE(SumOk(write.bytes));
    EXPECT_NE(write.violation.find("locked"), std::string::npos);
    EXPECT_EQ(model.Store().byteParams[2], before);
    const auto memory = model.Answer(Frame({0x34, 0x00, 1, 9}));
    EXPECT_EQ(memory.bytes.size(), 5u); // a memory write answers with its own length even when refused
    EXPECT_EQ(model.Store().memory[1], 0);
    EXPECT_FALSE(model.Answer(Frame({0x14, 0x14})).violation.empty());
    EXPECT_EQ(model.ViolationCount(), 3u);

    // Reads go on; a wrong password keeps the lock; the right one opens it.
    EXPECT_EQ(model.Answer(Frame({0x07, 2})).bytes[3], before);
    EXPECT_EQ(model.Answer(Frame({0x3E, 0x41, 0xE2, 0x01, 0x00})).bytes[2], 0x0F);
    EXPECT_EQ(model.Answer(Frame({0x3E, 0x40, 0xE2, 0x01, 0x00})).bytes[2], 0xF0);
    EXPECT_EQ(model.Answer(Frame({0x08, 2, 7})).violation, "");
    EXPECT_EQ(model.Store().byteParams[2], 7);
}

} // namespace
