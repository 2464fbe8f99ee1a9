// The two programs' profiles: generations, command lists and the language
// file names a settings value may lead to.
#include "profile/ProgramProfile.h"

#include <gtest/gtest.h>

using namespace lumex;

namespace {

TEST(ProgramProfile, GenerationsServed)
{
    EXPECT_TRUE(NorviProfile().AcceptsGeneration(0x14));
    EXPECT_TRUE(NorviProfile().AcceptsGeneration(0x15));
    EXPECT_FALSE(NorviProfile().AcceptsGeneration(0x30));
    EXPECT_FALSE(NorviProfile().AcceptsGeneration(0));
    EXPECT_TRUE(Lumex2Profile().AcceptsGeneration(0x30));
    EXPECT_FALSE(Lumex2Profile().AcceptsGeneration(0x13));
}

TEST(ProgramProfile, OnlyTheLegacyProgramHasACommandList)
{
    EXPECT_FALSE(Lumex2Profile().HasCommandList());
    EXPECT_TRUE(Lumex2Profile().AllowsCommand(0xD8));
    ASSERT_TRUE(NorviProfile().HasCommandList());
    int allowed = 0;
    for (int code = 0; code < 256; ++code)
        allowed += NorviProfile().AllowsCommand(static_cast<uint8_t>(code)) ? 1 : 0;
    EXPECT_EQ(allowed, 37);
    for (uint8_t code : {0x0B, 0x11, 0x17, 0x30, 0x54, 0x60, 0x92, 0xD8, 0xDE})
        EXPECT_FALSE(NorviProfile().AllowsCommand(code)) << int(code);
}

TEST(LanguageScheme, OnlyKnownCodesBecomePaths)
{
    const TLanguageScheme &scheme = NorviProfile().Languages;
    EXPECT_EQ(scheme.Codes.size(), 12u);
    EXPECT_EQ(scheme.DefaultCode, "PL");
    EXPECT_EQ(scheme.FilePath("/opt/n/", "EN"), std::optional<std::string>("/opt/n/lang/_EN.lang"));
    EXPECT_EQ(scheme.FilePath("/opt/n/", "TR2"), std::optional<std::string>("/opt/n/lang/_TR2.lang"));
    for (const char *bad : {"", "en", "../../etc/passwd", "EN/../PL", "ES", "PL\n"})
        EXPECT_EQ(scheme.FilePath("/opt/n/", bad), std::nullopt) << bad;
    EXPECT_EQ(Lumex2Profile().Languages.FilePath("/r/", "TR_Tavira"), std::optional<std::string>("/r/_TR_Tavira.lng"));
}

} // namespace
