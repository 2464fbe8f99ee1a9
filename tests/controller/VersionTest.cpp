#include "controller/Version.h"

#include <gtest/gtest.h>

using namespace lumex;

TEST(Version, Digits)
{
    EXPECT_EQ(VersionDigits(0), "00");
    EXPECT_EQ(VersionDigits(0x14), "14");
    EXPECT_EQ(VersionDigits(0x15), "15");
    EXPECT_EQ(VersionDigits(0x30), "30");
    EXPECT_EQ(VersionDigits(0xAB), "1011");
}

TEST(Version, ShortAndLongStrings)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = "G";
    d.ExtraVersion = 255;
    EXPECT_EQ(VersionString(d, true), "0000030G STD[0]");
    EXPECT_EQ(VersionString(d, false), "0000030G STAND [0] ");

    d.UsaFlag = 1;
    d.IdentByte3 = 2;
    d.Variant = 1;
    d.IdentByte2 = 7;
    d.PcCompatCode = 4;
    d.ExtraVersion = 3;
    EXPECT_EQ(VersionString(d, true), "1021730G TUR[4-3]USA");
    EXPECT_EQ(VersionString(d, false), "1021730G TURBO [4-3] USA");

    d.Variant = 9;
    EXPECT_EQ(VersionString(d, true), "1029730G -[4-3]USA");
}

TEST(Version, VariantNames)
{
    EXPECT_EQ(VariantName(4, true), "UPD");
    EXPECT_EQ(VariantName(4, false), "UPDATE");
    EXPECT_EQ(VariantName(5, true), "-");
    EXPECT_EQ(VariantName(255, false), "-");
}

TEST(Version, ControllerSerial)
{
    EXPECT_EQ(ControllerSerialText(0x0A05, 123, 0, 0), "00123000510");
    EXPECT_EQ(ControllerSerialText(0, 0, 0, 4), "0000004"
                                                "0000");
    // 2 x 65536 + 1 = 131073: the last five digits stay.
    EXPECT_EQ(ControllerSerialText(0x0101, 1, 2, 12), "31073120101");
    // The full 32-bit range stays positive.
    EXPECT_EQ(ControllerSerialText(0xFFFF, 0xFFFF, 0xFFFF, 255), "67295255255255");
}

TEST(Version, LettersCompareAsCaseSensitiveStrings)
{
    EXPECT_TRUE(IsCompatibleLetter("A"));
    EXPECT_TRUE(IsCompatibleLetter("H"));
    EXPECT_FALSE(IsCompatibleLetter("I"));
    EXPECT_FALSE(IsCompatibleLetter("h"));
    EXPECT_FALSE(IsCompatibleLetter(""));
    EXPECT_TRUE(LetterAtLeast("h", "G"));
    EXPECT_TRUE(LetterAtLeast("G", "G"));
    EXPECT_FALSE(LetterAtLeast("F", "G"));
    EXPECT_FALSE(LetterAtLeast("", "C"));

    TNorviData d;
    d.VersionCode = 0x15;
    d.SoftwareLetter = "Z";
    EXPECT_FALSE(HasLiveBlock(d)); // letters gate only generation 0x30
    d.VersionCode = 0x30;
    EXPECT_TRUE(HasLiveBlock(d));
    d.SoftwareLetter = "C";
    EXPECT_FALSE(HasExtraVersion(d));
    d.SoftwareLetter = "D";
    EXPECT_TRUE(HasExtraVersion(d));
}

TEST(Version, SupportedCodes)
{
    EXPECT_TRUE(IsSupportedVersion(0x14));
    EXPECT_TRUE(IsSupportedVersion(0x15));
    EXPECT_TRUE(IsSupportedVersion(0x30));
    EXPECT_FALSE(IsSupportedVersion(0x13));
    EXPECT_FALSE(IsSupportedVersion(0));
    EXPECT_FALSE(IsSupportedVersion(0x40));
}
