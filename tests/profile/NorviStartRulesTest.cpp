// The legacy program's screen check with "/W" and its language choice from
// the settings file.
#include "legacy/NorviStartRules.h"
#include "profile/ProgramProfile.h"

#include <gtest/gtest.h>

using namespace lumex;

namespace {

TEST(NorviStartRules, SmallScreenClosesUnlessTheFirstArgumentIsW)
{
    EXPECT_TRUE(ScreenTooSmall({}, 640, 480));
    EXPECT_TRUE(ScreenTooSmall({}, 799, 600));
    EXPECT_TRUE(ScreenTooSmall({}, 800, 599));
    EXPECT_FALSE(ScreenTooSmall({}, 800, 600));
    EXPECT_FALSE(ScreenTooSmall({"/W"}, 640, 480));
    EXPECT_FALSE(ScreenTooSmall({"/w"}, 640, 480));
    // Only the first argument counts.
    EXPECT_TRUE(ScreenTooSmall({"--demo", "/W"}, 640, 480));
    EXPECT_TRUE(ScreenTooSmall({"/WX"}, 640, 480));
    EXPECT_EQ(ScreenTooSmallText("PL"), "Za mała rozdzielczość ekranu (Min: 800x600).");
    EXPECT_EQ(ScreenTooSmallText("EN"), "Screen resolution to low (Min: 800x600).");
    EXPECT_EQ(ScreenTooSmallText("DE"), "Screen resolution to low (Min: 800x600).");
}

TEST(NorviStartRules, SettingsLanguageIsOneOfTheProgramsCodes)
{
    const TLanguageScheme &scheme = NorviProfile().Languages;
    EXPECT_EQ(LanguageFromSettings(scheme, "DE"), "DE");
    EXPECT_EQ(LanguageFromSettings(scheme, "TR2"), "TR2");
    for (const char *bad : {"", "de", "../EN", "ES", "TR_Tavira", "EN "})
        EXPECT_EQ(LanguageFromSettings(scheme, bad), "PL") << bad;
}

} // namespace
