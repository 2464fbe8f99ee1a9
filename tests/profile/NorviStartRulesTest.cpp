// The legacy program's screen check with "/W", its language choice from
// the settings file and the colours of its RPM displays.
#include "legacy/NorviStartRules.h"
#include "legacy/NorviRpmRanges.h"
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

namespace {

TEST(NorviRpmRanges, FiveRangesWithTheMiddleOneForAnUnknownIndex)
{
    EXPECT_EQ(NorviRpmRanges().size(), 5u);
    EXPECT_EQ(NorviRpmRange(0).Text, "~1500 (1250-1750)");
    EXPECT_EQ(NorviRpmRange(4).Text, "~3500 (3250-3750)");
    for (int unknown : {-1, 5, 200})
        EXPECT_EQ(NorviRpmRange(unknown).Text, "~2500 (2250-2750)") << unknown;
}

TEST(NorviRpmRanges, GreenOnlyStrictlyInside)
{
    EXPECT_EQ(MapRpmShade(1, 1750), TRpmShade::Yellow);
    EXPECT_EQ(MapRpmShade(1, 1751), TRpmShade::Green);
    EXPECT_EQ(MapRpmShade(1, 2249), TRpmShade::Green);
    EXPECT_EQ(MapRpmShade(1, 2250), TRpmShade::Yellow);
    EXPECT_EQ(MapRpmShade(9, 2500), TRpmShade::Green);
    EXPECT_EQ(MapRpmShade(9, 2000), TRpmShade::Yellow);
    EXPECT_EQ(CalibrationRpmShade(2200), TRpmShade::Yellow);
    EXPECT_EQ(CalibrationRpmShade(2201), TRpmShade::Green);
    EXPECT_EQ(CalibrationRpmShade(2799), TRpmShade::Green);
    EXPECT_EQ(CalibrationRpmShade(2800), TRpmShade::Yellow);
    EXPECT_EQ(CalibrationRpmShade(0), TRpmShade::Yellow);
}

} // namespace
