#include "controller/AnswerDecode.h"
#include "controller/CommandTable.h"
#include "controller/Frame.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lumex;

namespace {

// A well-formed answer frame of the command's length with the given payload
// from B[2] on; the rest zero, checksum last.
std::vector<uint8_t> Answer(uint8_t code, std::vector<uint8_t> payload)
{
    std::vector<uint8_t> frame(FindCommand(code)->answerLength, 0);
    frame[0] = kAnswerStart;
    frame[1] = code;
    for (std::size_t i = 0; i < payload.size() && 2 + i < frame.size() - 1; ++i)
        frame[2 + i] = payload[i];
    frame.back() = FrameSum(std::span(frame).first(frame.size() - 1));
    return frame;
}

} // namespace

TEST(Frames, RequestLayoutAndChecksum)
{
    EXPECT_EQ(BuildRequest(0x40, std::vector<uint8_t>{0x0D}), (std::vector<uint8_t>{0xC0, 0x40, 0x0D, 0x0D}));
    EXPECT_EQ(BuildRequest(0x05, std::vector<uint8_t>{0x05}), (std::vector<uint8_t>{0xC0, 0x05, 0x05, 0xCA}));
    EXPECT_EQ(BuildRequest(0x01, std::vector<uint8_t>{0x01}), (std::vector<uint8_t>{0xC0, 0x01, 0x01, 0xC2}));
    EXPECT_EQ(BuildRequest(0x31, std::vector<uint8_t>{0x00, 0x54}),
              (std::vector<uint8_t>{0xC0, 0x31, 0x00, 0x54, 0x45}));
    EXPECT_TRUE(FrameChecksumValid(Answer(0x05, {1, 2, 3})));
    auto bad = Answer(0x05, {1, 2, 3});
    bad.back() = static_cast<uint8_t>(bad.back() + 1);
    EXPECT_FALSE(FrameChecksumValid(bad));
    EXPECT_FALSE(FrameChecksumValid(std::vector<uint8_t>{0xD0}));
    EXPECT_FALSE(FrameChecksumValid(std::vector<uint8_t>{}));
}

TEST(Decode, LiveDataCylindersOneToFour)
{
    TNorviData d;
    // B[10] = 101 00001: SystemState 5 and the top bits of cylinder 1.
    const auto a = Answer(0x05, {0x80, 0x90, 0xC4, 0x85, 0x40, 0x32, 0x49, 0x0C, 0xA1, 0x23, 0x81, 0x10,
                                 0x00, 0x00, 0x01, 0x02, 0x02, 0x00, 0x01, 0x11, 0x01, 0x22, 0x01, 0x33});
    ASSERT_TRUE(DecodeLiveData(a, d));
    EXPECT_EQ(d.PsysRaw, 0x80);
    EXPECT_EQ(d.TredRaw, 0x90);
    EXPECT_EQ(d.TgasRaw, 0xC4);
    EXPECT_EQ(d.SupplyRaw, 0x85);
    EXPECT_EQ(d.LevelSensorRaw, 0x40);
    EXPECT_EQ(d.LambdaRaw, 0x32);
    EXPECT_EQ(d.RpmPeriod, 0x490C);
    EXPECT_EQ(d.SystemState, 5);
    EXPECT_EQ(d.PetrolTime[0], 0x0123); // SystemState does not leak into it
    EXPECT_EQ(d.Cyl2Flag, 1);
    EXPECT_EQ(d.PetrolTime[1], 0x0110);
    EXPECT_EQ(d.PetrolTime[2], 0);
    EXPECT_EQ(d.PetrolTime[3], 0x0102);
    EXPECT_EQ(d.GasTime[0], 0x0200);
    // Cylinder 2 has petrol, cylinder 3 has none: its gas time is dropped.
    EXPECT_EQ(d.GasTime[1], 0x0111);
    EXPECT_EQ(d.GasTime[2], 0);
    EXPECT_EQ(d.GasTime[3], 0x0133);
}

TEST(Decode, LiveDataHighCylindersLeaveLowOnes)
{
    TNorviData d;
    d.PetrolTime[0] = 55;
    d.GasTime[0] = 66;
    const auto a = Answer(0x06, {0, 10, 0, 0, 0, 30, 0, 40, 0, 11, 0, 21, 0, 31, 0, 41});
    ASSERT_TRUE(DecodeLiveDataHigh(a, d));
    EXPECT_EQ(d.PetrolTime[0], 55);
    EXPECT_EQ(d.GasTime[0], 66);
    EXPECT_EQ(d.PetrolTime[4], 10);
    EXPECT_EQ(d.PetrolTime[5], 0);
    EXPECT_EQ(d.GasTime[4], 11);
    EXPECT_EQ(d.GasTime[5], 0); // forced: no petrol on cylinder 6
    EXPECT_EQ(d.GasTime[7], 41);
}

TEST(Decode, LiveDataFullBlock)
{
    std::vector<uint8_t> p(49, 0);
    p[0] = 100;   // B[2] Psys
    p[8] = 0x07;  // B[10]: cylinder 1 high bits, state 0
    p[9] = 0xD0;  // B[11]
    p[24] = 0x01; // B[26]: cylinder 5 petrol high
    p[25] = 0x00; // B[27]
    p[32] = 0x02; // B[34]: cylinder 5 gas high
    p[34] = 0x03; // B[36]: cylinder 6 gas, but cylinder 6 petrol is 0
    p[40] = 77;   // B[42] Pcol
    p[41] = 90;   // B[43] nominal Tred
    p[42] = 0x05; // B[44]
    p[43] = 0x0A; // B[45]
    p[44] = 0xF0; // B[46]
    p[45] = 0x37; // B[47] valve: not 0 becomes 1
    p[46] = 150;  // B[48]
    p[47] = 9;    // B[49] work state
    p[48] = 64;   // B[50] load
    TNorviData d;
    ASSERT_TRUE(DecodeLiveDataFull(Answer(0x0B, p), d));
    EXPECT_EQ(d.PsysRaw, 100);
    EXPECT_EQ(d.PetrolTime[0], 0x07D0);
    EXPECT_EQ(d.PetrolTime[4], 0x0100);
    EXPECT_EQ(d.GasTime[4], 0x0200);
    EXPECT_EQ(d.GasTime[5], 0);
    EXPECT_EQ(d.PcolRaw, 77);
    EXPECT_EQ(d.NominalTredG, 90);
    EXPECT_EQ(d.PetrolOverloadMask, 0x05);
    EXPECT_EQ(d.GasOverloadMask, 0x0A);
    EXPECT_EQ(d.EmulatorSwitchState, 0xF0);
    EXPECT_EQ(d.ValveOpen, 1);
    EXPECT_EQ(d.TpcbRaw, 150);
    EXPECT_EQ(d.WorkState, 9);
    EXPECT_EQ(d.LoadPercent, 64);
}

TEST(Decode, IdentificationBytes)
{
    TNorviData d;
    ASSERT_TRUE(DecodeIdentByte(0, Answer(0x53, {'G'}), d));
    EXPECT_EQ(d.SoftwareLetter, "G");
    // A zero byte is no letter at all, not a string holding a zero.
    ASSERT_TRUE(DecodeIdentByte(0, Answer(0x53, {0}), d));
    EXPECT_TRUE(d.SoftwareLetter.empty());

    d.VersionCode = 0x30;
    d.SoftwareLetter = "C";
    DecodeIdentByte(6, Answer(0x53, {7}), d);
    EXPECT_EQ(d.ExtraVersion, 255);
    d.SoftwareLetter = "D";
    DecodeIdentByte(6, Answer(0x53, {7}), d);
    EXPECT_EQ(d.ExtraVersion, 7);

    DecodeIdentByte(1, Answer(0x53, {3}), d);
    DecodeIdentByte(4, Answer(0x53, {4}), d);
    DecodeIdentByte(5, Answer(0x53, {2}), d);
    EXPECT_EQ(d.Variant, 3);
    EXPECT_EQ(d.PcCompatCode, 4);
    EXPECT_EQ(d.WorkState, 2);
    EXPECT_TRUE(DecodeIdentByte(200, Answer(0x53, {9}), d));
}

TEST(Decode, CompileInfoStopsAtZeroBytes)
{
    std::vector<uint8_t> p;
    for (char c : std::string("10:42:17Mar 15 2010"))
        p.push_back(static_cast<uint8_t>(c));
    TNorviData d;
    ASSERT_TRUE(DecodeCompileInfo(Answer(0x02, p), d));
    EXPECT_EQ(d.CompileTime, "10:42:17");
    EXPECT_EQ(d.CompileDate, "Mar 15 2010");
    ASSERT_TRUE(DecodeCompileInfo(Answer(0x02, {}), d));
    EXPECT_EQ(d.CompileTime, "");
    EXPECT_EQ(d.CompileDate, "");
}

TEST(Decode, SmallAnswers)
{
    TNorviData d;
    ASSERT_TRUE(DecodeVersionCode(Answer(0x01, {0x30}), d));
    EXPECT_EQ(d.VersionCode, 0x30);
    ASSERT_TRUE(DecodePcol(Answer(0x22, {91}), d));
    EXPECT_EQ(d.PcolRaw, 91);
    ASSERT_TRUE(DecodeCalRPM(Answer(0x50, {0x49, 0x0C}), d));
    EXPECT_EQ(d.CalRpmPeriod, 18700);
    ASSERT_TRUE(DecodeLoadIndex(Answer(0x64, {0xA5, 0, 7}), d));
    EXPECT_EQ(d.LoadIndex, 7);
    ASSERT_TRUE(DecodeLockState(Answer(0x3F, {0xF0}), d));
    EXPECT_EQ(d.LockState, 0xF0);
    EXPECT_EQ(DecodeWordVar(Answer(0x40, {0x12, 0x34})), 0x1234);
    EXPECT_EQ(DecodeMemWord(Answer(0x31, {0x00, 0x54, 0x0A, 0x05})), 0x0A05);
}

TEST(Decode, WrongLengthsStoreNothing)
{
    TNorviData d;
    d.PsysRaw = 42;
    d.VersionCode = 0x14;
    auto live = Answer(0x05, {1, 2, 3});
    live.pop_back();
    EXPECT_FALSE(DecodeLiveData(live, d));
    EXPECT_EQ(d.PsysRaw, 42);
    EXPECT_FALSE(DecodeVersionCode(std::vector<uint8_t>{0xD0, 0, 0x30}, d));
    EXPECT_EQ(d.VersionCode, 0x14);
    EXPECT_FALSE(DecodeLiveDataFull(Answer(0x05, {}), d));
    EXPECT_FALSE(DecodeWordVar(std::vector<uint8_t>{}).has_value());
    EXPECT_FALSE(DecodeMemWord(Answer(0x40, {})).has_value());
}

TEST(Image, ControllerIndexesAreCheckedBeforeUse)
{
    TNorviData d;
    d.NewestComputerCode = 4;
    EXPECT_EQ(NewestComputerCodeSlot(d), 4u);
    d.NewestComputerCode = 5;
    EXPECT_FALSE(NewestComputerCodeSlot(d).has_value());
    d.ErrorLogHead = 9;
    EXPECT_EQ(ErrorLogHeadSlot(d), 9u);
    d.ErrorLogHead = 255;
    EXPECT_FALSE(ErrorLogHeadSlot(d).has_value());
    d.LoadIndex = 10;
    EXPECT_FALSE(LoadRow(d).has_value());
    d.LoadIndex = 0;
    EXPECT_EQ(LoadRow(d), 0u);
    EXPECT_EQ(Model2HalfFirstPoint(1), 10u);
    EXPECT_FALSE(Model2HalfFirstPoint(2).has_value());
}
