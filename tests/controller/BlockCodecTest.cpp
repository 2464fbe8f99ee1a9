// Wire scaling, the parameter tables and the answer decoders of the
// parameter blocks, without a device.
#include "controller/BlockCodec.h"
#include "controller/ParamTables.h"
#include "controller/WireScaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace lumex;

namespace {

// A whole answer frame: 0xD0, a byte the client ignores, the payload, and the
// checksum (which the decoders do not look at).
std::vector<uint8_t> Answer(std::size_t length, std::initializer_list<std::pair<std::size_t, uint8_t>> bytes)
{
    std::vector<uint8_t> frame(length, 0);
    frame[0] = 0xD0;
    for (const auto &[at, value] : bytes)
        frame[at] = value;
    return frame;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(WireScaling, MultiplierFitsAnUnsignedWordOrIsRefused)
{
    EXPECT_EQ(EncodeMult(1.0), 1024);
    EXPECT_EQ(EncodeMult(0.0), 0);
    EXPECT_EQ(EncodeMult(65535.0 / 1024), 65535);
    EXPECT_FALSE(EncodeMult(64.0));    // 65536 would wrap to 0
    EXPECT_FALSE(EncodeMult(-0.001));  // rounds to -1
    EXPECT_EQ(EncodeMult(-0.0004), 0); // rounds to 0
    EXPECT_FALSE(EncodeMult(kNaN));
    EXPECT_DOUBLE_EQ(DecodeMult(1216), 1.1875);
}

TEST(WireScaling, OffsetIsASignedWordOfTicks)
{
    EXPECT_EQ(EncodeOffset(-237 / 187.0), 0xFF13);
    EXPECT_NEAR(DecodeOffset(0xFF13), -1.267, 0.001);
    EXPECT_EQ(EncodeOffset(32767 / 187.0), 0x7FFF);
    EXPECT_EQ(EncodeOffset(-32768 / 187.0), 0x8000);
    EXPECT_FALSE(EncodeOffset(32768 / 187.0));
    EXPECT_FALSE(EncodeOffset(-32769 / 187.0));
    EXPECT_FALSE(EncodeOffset(std::numeric_limits<double>::infinity()));
}

TEST(WireScaling, ModelPointsAndEnrichments)
{
    EXPECT_EQ(EncodeP(5), 935);
    EXPECT_EQ(EncodeP(350), 65450);
    EXPECT_FALSE(EncodeP(351));
    EXPECT_FALSE(EncodeP(-1));
    EXPECT_EQ(DecodeP(935), 5);
    EXPECT_EQ(DecodeP(1029), 6); // 5.5 rounds up

    EXPECT_EQ(EncodeE(0), 4096);
    EXPECT_EQ(EncodeE(-100), 0);
    EXPECT_FALSE(EncodeE(-101));
    EXPECT_EQ(EncodeE(1499), 65495);
    EXPECT_FALSE(EncodeE(1500));
    for (int e : {-100, -37, -3, 0, 2, 5, 250, 1499})
        EXPECT_EQ(DecodeE(*EncodeE(e)), e) << e;
}

TEST(WireScaling, CorrectionsAreSignedBytes)
{
    EXPECT_EQ(EncodeCorrection(127), 0x7F);
    EXPECT_EQ(EncodeCorrection(-128), 0x80);
    EXPECT_EQ(EncodeCorrection(-1), 0xFF);
    EXPECT_FALSE(EncodeCorrection(128));
    EXPECT_FALSE(EncodeCorrection(-129));
    EXPECT_EQ(DecodeCorrection(0xF1), -15);
    EXPECT_FALSE(EncodeTicks(65536 / 187.0));
    EXPECT_EQ(EncodeTicks(3.0), 561);
}

TEST(ParamTables, ByteParametersLandInTheirFieldsAndBits)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = "G";
    EXPECT_TRUE(StoreByteParam(1, 0xF5, d));
    EXPECT_EQ(d.LambdaType, 5);
    EXPECT_TRUE(StoreByteParam(31, 0b1010'0101, d));
    EXPECT_EQ(d.Flags31, 0xA5);
    EXPECT_EQ(d.RpmBelow, 1);
    EXPECT_EQ(d.RpmAbove, 0);
    EXPECT_EQ(d.LoadPAbove, 1);
    EXPECT_EQ(d.AdaptationMode, 0);
    EXPECT_EQ(d.TgasBelow, 1);
    EXPECT_TRUE(StoreByteParam(26, 9, d));
    EXPECT_EQ(d.Param25, 9);
    EXPECT_TRUE(StoreByteParam(29, 85, d));
    EXPECT_EQ(d.LoadPAboveVal, 85);
    EXPECT_EQ(d.LegacyParam29, 0);
    for (uint8_t none : {6, 9, 36, 47, 51, 53, 0})
        EXPECT_FALSE(StoreByteParam(none, 1, d)) << int{none};
    EXPECT_FALSE(ByteParamValue(36, d));
}

TEST(ParamTables, WritingAByteParameterKeepsTheBitsTheImageDoesNotOwn)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = "G";
    StoreByteParam(37, 0b1000'0010, d); // bits 1 and 7 have no field
    d.GasInjHeating = 1;
    EXPECT_EQ(ByteParamValue(37, d), 0b1010'0010);
    StoreByteParam(52, 0b1100'0000, d); // bit 6 is the seventh flag, bit 7 unowned
    d.FlashLubeSupportEnabled = 1;
    EXPECT_EQ(ByteParamValue(52, d), 0b1100'0001);
    d.Flags52Bit6 = 0;
    EXPECT_EQ(ByteParamValue(52, d), 0b1000'0001);
    // Single-bit parameters send just their bit.
    StoreByteParam(5, 0xFF, d);
    EXPECT_EQ(ByteParamValue(5, d), 1);
}

TEST(ParamTables, GenerationRulesOfBytes28To37)
{
    TNorviData d;
    d.VersionCode = 0x14;
    d.Variant = 3;
    d.PressureSensorType = 7;
    StoreByteParam(28, 1, d);
    EXPECT_EQ(d.PressureSensorType, 7); // variant 3 leaves it unchanged
    d.Variant = 0;
    StoreByteParam(28, 9, d);
    EXPECT_EQ(d.PressureSensorType, 1);
    d.Variant = 2;
    StoreByteParam(28, 9, d);
    EXPECT_EQ(d.PressureSensorType, 2);
    StoreByteParam(29, 44, d);
    EXPECT_EQ(d.LegacyParam29, 44);
    EXPECT_EQ(d.LoadPAboveVal, 0);

    d.VersionCode = 0x15;
    StoreByteParam(28, 3, d);
    EXPECT_EQ(d.PressureSensorType, 3);

    d.VersionCode = 0x30;
    d.SoftwareLetter = "B";
    StoreByteParam(37, 0x7C, d);
    EXPECT_EQ(d.Flags37, 1); // before "C" the byte is forced to 1
    EXPECT_EQ(d.UseOnIdleModel, 1);
    d.SoftwareLetter = "C";
    StoreByteParam(37, 0x7C, d);
    EXPECT_EQ(d.Flags37, 0x7C);
    EXPECT_EQ(d.UseOnIdleModel, 0);
}

TEST(ParamTables, WordParameters)
{
    TNorviData d;
    EXPECT_TRUE(StoreWordParam(3, 65000, d));
    EXPECT_EQ(d.Word1to5[2], 65000);
    EXPECT_TRUE(StoreWordParam(14, 0x8001, d));
    EXPECT_EQ(d.Markers, 0x8001);
    EXPECT_TRUE(StoreWordParam(23, 7000, d));
    EXPECT_EQ(d.NextInspection, 7000);
    EXPECT_EQ(WordParamValue(23, d), 7000);
    for (uint8_t none : {0, 13, 15, 17, 26})
        EXPECT_FALSE(StoreWordParam(none, 1, d)) << int{none};
}

TEST(ParamTables, ModelParametersScaleAndUnknownIndexesAreRefused)
{
    TNorviData d;
    EXPECT_TRUE(StoreModelParam(2, 0xFF13, d));
    EXPECT_NEAR(d.Offset, -1.267, 0.001);
    EXPECT_TRUE(StoreModelParam(8, 4096 + 82, d)); // E2: 2 %
    EXPECT_EQ(d.E2, 2);
    EXPECT_TRUE(StoreModelParam(14, 0x00F0, d));
    EXPECT_EQ(d.CPS[0], -16);
    EXPECT_TRUE(StoreModelParam(73, 0x0005, d));
    EXPECT_EQ(d.CRPM[19], 5);
    EXPECT_TRUE(StoreModelParam(83, 0xBEEF, d));
    EXPECT_EQ(d.ModelWord83, 0xBEEF);
    EXPECT_EQ(ModelParamValue(14, d), 0xF0);
    EXPECT_EQ(ModelParamValue(2, d), 0xFF13);

    for (uint8_t unknown : {0, 75, 82, 84, 103, 105, 255}) {
        EXPECT_FALSE(IsKnownModelParam(unknown)) << int{unknown};
        EXPECT_FALSE(StoreModelParam(unknown, 1, d));
        EXPECT_FALSE(ModelParamValue(unknown, d));
    }
    d.Mult = 64.0; // does not fit the wire
    EXPECT_FALSE(ModelParamValue(1, d));
}

TEST(BlockCodec, LegacyBlockKeepsFourteenBitsOfRpmAndDerivesTheInjectorCount)
{
    TNorviData d;
    d.InjSW = 6;
    ASSERT_TRUE(DecodeBasicConfig(Answer(8, {{2, 100}, {3, 0xC3}, {4, 0xE8}, {5, 0b1011'0110}, {6, 0x07}}), d));
    EXPECT_EQ(d.RPM, 1000);
    EXPECT_EQ(d.T, 100);
    EXPECT_EQ(d.InjType, 2);
    EXPECT_EQ(d.ReserveType, 1);
    EXPECT_EQ(d.FuelType, 1);
    EXPECT_EQ(d.RPMsource, 1);
    EXPECT_EQ(d.EngineType, 1);
    EXPECT_EQ(d.InjSW, 3);
    EXPECT_EQ(LegacyConfigFlags(d), 0b1011'0110);
    const auto payload = EncodeBasicConfig(d);
    EXPECT_EQ(payload, (std::array<uint8_t, 5>{100, 0x03, 0xE8, 0x07, 0b1011'0110}));
    // An unknown mask leaves the count as it was.
    ASSERT_TRUE(DecodeBasicConfig(Answer(8, {{6, 0x05}}), d));
    EXPECT_EQ(d.InjSW, 3);
    EXPECT_FALSE(DecodeBasicConfig(Answer(7, {}), d));
}

TEST(BlockCodec, G3BlockFlagsAndTheBitsKeptForTheWrite)
{
    TNorviData d;
    auto frame = Answer(28, {{2, 0x93}, {3, 0xFF}, {4, 0xFD}, {5, 0x75}, {6, 88}, {7, 0x57}, {8, 0xA8}, {26, 4}});
    ASSERT_TRUE(DecodeBasicConfigG3(frame, d));
    EXPECT_EQ(d.InjType, 2);
    EXPECT_EQ(d.FuelType, 1);
    EXPECT_EQ(d.RPMsource, 0);
    EXPECT_EQ(d.EngineType, 1);
    EXPECT_EQ(d.InjSW, 8);
    EXPECT_EQ(d.LambdaType, 5);
    EXPECT_EQ(d.CAP_TIE_enable, 1);
    EXPECT_EQ(d.PetrolInjPlusControl, 1);
    EXPECT_EQ(d.SemiGasControl, 1);
    EXPECT_EQ(d.MicroInjection, 0);
    EXPECT_EQ(d.HemiEngine, 1);
    EXPECT_EQ(d.MasterMode, 0);
    EXPECT_EQ(d.RPM, 0x17A8);
    EXPECT_EQ(d.PressureSensorType, 4);
    EXPECT_EQ(d.ConfigG3Flags, (std::array<uint8_t, 4>{0x93, 0xFF, 0xFD, 0x75}));
    // Unchanged fields give back the bytes read, unknown bits included.
    EXPECT_EQ(G3ConfigFlags(d), d.ConfigG3Flags);
    // Changing owned fields touches only their bits: bit 0 of the first byte
    // and bits 4..6 of the fourth are not the system's.
    d.FuelType = 0;
    d.InjType = 0;
    d.RPMsource = 3;
    d.TuningMode = 1;
    d.LambdaType = 2;
    d.InjMask = 0x0F;
    EXPECT_EQ(G3ConfigFlags(d), (std::array<uint8_t, 4>{0xE1, 0x0F, 0xFA, 0x7D}));
    const auto payload = EncodeBasicConfigG3(d);
    EXPECT_EQ(payload[4], 88);
    EXPECT_EQ(payload[5], 0x17);
    EXPECT_EQ(payload[6], 0xA8);
    EXPECT_EQ(payload[24], 4);
}

TEST(BlockCodec, MapPointWordsAndCounts)
{
    const TMapPoint p = DecodeMapPoint(0x2C85, 2);
    EXPECT_EQ(p.Kind, 1);
    EXPECT_NEAR(p.Pressure, (60 / 256.0 + 0.00842) / 0.242, 1e-12);
    EXPECT_NEAR(p.TimeMs, 160 / 187.0, 1e-12);
    EXPECT_EQ(MapPointCount(0x80), 127);
    EXPECT_EQ(MapPointCount(0xFF), 127);
    EXPECT_EQ(MapPointCount(0x7F), 127);
    EXPECT_EQ(MapPointCount(12), 12);
    const auto words = DecodeMapBlock(Answer(35, {{2, 0xFF}, {3, 0xFF}, {4, 0x2C}, {5, 0x85}}));
    ASSERT_TRUE(words);
    EXPECT_EQ((*words)[0], 0); // 0xFFFF reads as 0
    EXPECT_EQ((*words)[1], 0x2C85);
}

TEST(BlockCodec, AdaptationAnswerMustEchoItsSelector)
{
    TNorviData d;
    auto frame = Answer(54, {{2, 0x21}, {3, 0xFB}, {52, 7}});
    EXPECT_FALSE(DecodeAdaptationCorr(0x20, frame, d)); // asked for half 0
    EXPECT_EQ(d.AdaptCorrBank2[5][0], 0);
    EXPECT_TRUE(DecodeAdaptationCorr(0x21, frame, d));
    EXPECT_EQ(d.AdaptCorrBank2[5][0], -5);
    EXPECT_EQ(d.AdaptCorrBank2[9][9], 7);
    EXPECT_EQ(d.AdaptCorrBank1[5][0], 0);
    EXPECT_FALSE(AdaptationSelector(3, 0));
    EXPECT_FALSE(AdaptationSelector(1, 2));
    EXPECT_EQ(AdaptationSelector(2, 1), 0x21);
    EXPECT_EQ(EncodeAdaptationHalf(0x21, d)[0], 0xFB);
}

TEST(BlockCodec, ServiceAnswers)
{
    TNorviData d;
    ASSERT_TRUE(DecodeCalibrationState(Answer(13, {{2, 0x5A}, {3, 1}, {4, 2}, {9, 2}, {10, 77}, {11, 48}}), true, d));
    EXPECT_EQ(d.CalState, 0x0A);
    EXPECT_EQ(d.SystemState, 5);
    EXPECT_EQ(d.CalTimeA, 0x0102);
    EXPECT_EQ(d.CalPhase, 2);
    EXPECT_EQ(d.CalProgress, 77);
    EXPECT_EQ(d.CalByte48, 0); // only the 1.4/1.5 layout has it
    ASSERT_TRUE(DecodeCalibrationState(Answer(13, {{7, 0x49}, {8, 0x0C}, {11, 48}}), false, d));
    EXPECT_EQ(d.CalRpmPeriod, 0x490C);
    EXPECT_EQ(d.CalByte48, 48);

    ASSERT_TRUE(DecodeErrorLogRecord(9, Answer(24, {{2, 3}, {3, 255}, {22, 9}}), d));
    EXPECT_EQ(d.ErrorLogHead, 3);
    EXPECT_EQ(d.ErrorLog[9][0], 255);
    EXPECT_EQ(d.ErrorLog[9][19], 9);
    EXPECT_FALSE(DecodeErrorLogRecord(10, Answer(24, {}), d));

    ASSERT_TRUE(DecodeComputerCodes(Answer(44, {{2, 0x3C}, {5, 0xD4}, {6, 0x7D}, {41, 1}, {42, 2}}), d));
    EXPECT_EQ(d.ComputerCodes[0].Code, 0x3C0000D4u);
    EXPECT_EQ(d.ComputerCodes[0].Date, 0x7D000000u);
    EXPECT_EQ(d.ComputerCodes[4].Date, 1u);
    EXPECT_EQ(d.NewestComputerCode, 2);

    ASSERT_TRUE(DecodeInjTestCounters(Answer(35, {{2, 0x80}, {33, 1}}), d));
    EXPECT_EQ(d.InjTestCounters[0], static_cast<int32_t>(0x80000000u));
    EXPECT_EQ(d.InjTestCounters[7], 1);
    ASSERT_TRUE(DecodeInjSystemDetect(2, Answer(6, {{3, 0x43}, {4, 0x21}}), d));
    EXPECT_EQ(d.InjSystemDetect[1], 0x4321);
    EXPECT_FALSE(DecodeInjSystemDetect(3, Answer(6, {}), d));
}

TEST(BlockCodec, InjectorRecordIsKeptWhole)
{
    TNorviData d;
    auto frame = Answer(15, {});
    for (std::size_t i = 0; i < 12; ++i)
        frame[2 + i] = static_cast<uint8_t>(i + 1);
    ASSERT_TRUE(DecodeInjectorParams(frame, d));
    EXPECT_EQ(d.InjectorRecord, (std::array<uint8_t, 12>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
}

TEST(BlockCodec, Model2PointsRefuseCoordinatesOutsideAWord)
{
    TModel2Set set{};
    set[10] = {0x1234, 0xFFFF};
    const auto half = EncodeModel2Half(1, set);
    ASSERT_TRUE(half);
    EXPECT_EQ((*half)[0], 0x12);
    EXPECT_EQ((*half)[3], 0xFF);
    set[12].Y = 0x10000;
    EXPECT_FALSE(EncodeModel2Half(1, set));
    EXPECT_TRUE(EncodeModel2Half(0, set));
    set[0].X = -1;
    EXPECT_FALSE(EncodeModel2Half(0, set));
    EXPECT_FALSE(EncodeModel2Half(2, set));
}

TEST(BlockCodec, EveryDecoderRefusesAFrameOfTheWrongLength)
{
    TNorviData d;
    TModelPoints points;
    TModel2Set set{};
    const std::vector<uint8_t> shortFrame(3, 0xD0);
    EXPECT_FALSE(DecodeByteParam(shortFrame));
    EXPECT_FALSE(DecodeWordParam(shortFrame));
    EXPECT_FALSE(DecodeBasicConfigG3(shortFrame, d));
    EXPECT_FALSE(DecodeModelBlock(shortFrame, d));
    EXPECT_FALSE(DecodeModelPoints(shortFrame, points));
    EXPECT_FALSE(DecodeModel2Half(0xD4, 0, shortFrame, set));
    EXPECT_FALSE(DecodeCorrTable(TCorrTable::CPCOL, shortFrame, d));
    EXPECT_FALSE(DecodeMapG3Row(0xDC, 0, shortFrame, d));
    EXPECT_FALSE(DecodeMapBlock(shortFrame));
    EXPECT_FALSE(DecodeTroubleFlags(shortFrame, d));
    EXPECT_FALSE(DecodeAdaptationInfo(shortFrame, d));
    EXPECT_FALSE(DecodeComputerCodes(shortFrame, d));
    EXPECT_FALSE(DecodeMapG3Row(0xDC, 40, Answer(9, {}), d));
}
