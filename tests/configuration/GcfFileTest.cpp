// The configuration file without a device: the identification check, what
// a load takes from good and bad files, and the map rule of a save.
#include "configuration/ConfigFile.h"
#include "controller/Version.h"
#include "documents/LangManager.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace lumex;

namespace {

TNorviData Controller30(const char *letter)
{
    TNorviData d;
    d.VersionCode = kVersion30;
    d.SoftwareLetter = letter;
    d.InjHW = 6;
    d.Variant = 1;
    d.PcCompatCode = 4;
    // The defaults a file without keys gives.
    const std::string empty = "[Info]\r\nVer=" + VersionString(d, false) + "\r\n";
    // List fields whose file default no list entry shows keep the
    // controller's value: give them the factory settings.
    d.T = 100;
    d.MicroInjectionTime = 150;
    d.PostValveDelay = 500;
    TGcfLoad defaults = ApplyGcf(empty, d, {}, false);
    EXPECT_TRUE(defaults) << defaults.Message;
    EXPECT_TRUE(defaults.Warnings.empty()) << ::testing::PrintToString(defaults.Warnings);
    return defaults.Image;
}

// A file saved from an image: every key, so loading it changes nothing.
std::string Saved(const TNorviData &d, const TImagePoints &p = {})
{
    return BuildGcf(d, p, {"2024-01-02 03:04:05", "1.0"}).Text();
}

std::string Replace(std::string text, const std::string &from, const std::string &to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

bool Mentions(const std::vector<std::string> &warnings, const std::string &what)
{
    return std::any_of(warnings.begin(), warnings.end(),
                       [&](const std::string &w) { return w.find(what) != std::string::npos; });
}

} // namespace

TEST(GcfFile, GenerationIsReadFromTheEndOfTheDigitRun)
{
    EXPECT_EQ(GcfGeneration("0013130G STAND [4-3] "), "30");
    EXPECT_EQ(GcfGeneration("0013115E STAND [0] "), "15");
    // An identification byte of 10 or more adds a digit in front.
    EXPECT_EQ(GcfGeneration("00131230G STAND [4] "), "30");
    EXPECT_EQ(GcfGeneration("0012114 STAND [0]"), "14"); // no letter
    // Too short to hold five digits and the generation: no crash, no guess.
    for (const char *bad : {"", "3", "0013", "001313", "30G", "abcdefgh", "00131x30G"})
        EXPECT_FALSE(GcfGeneration(bad).has_value()) << bad;
}

TEST(GcfFile, ASavedFileLoadsBackToTheSameImage)
{
    TNorviData d = Controller30("G");
    d.Offset = -237.0 / 187; // negative reals must survive exactly
    d.Mult = 1.1875;
    d.RpmBelow = 1;
    d.RpmBelowVal = 1100;
    d.MazdaEnrichmentPercentage = static_cast<uint8_t>(-15);
    d.CPS[3] = static_cast<int8_t>(-22);
    d.AdaptCorrBank2[9][9] = -7;
    d.InjCorr[1] = static_cast<uint8_t>(-3);
    TImagePoints p;
    p.ModelPoints = {3.0053475935828877, 4.8, 4.0, 6.0};
    const std::string text = Saved(d, p);
    EXPECT_NE(text.find("Offset=-1.267379679144385"), std::string::npos);
    EXPECT_NE(text.find("MazdaEnrichmentPercentage=-15"), std::string::npos);
    EXPECT_NE(text.find("RPM<=1\r\n"), std::string::npos);

    const TGcfLoad load = ApplyGcf(text, Controller30("G"), {}, false);
    ASSERT_TRUE(load) << load.Message;
    EXPECT_EQ(load.Image.Offset, d.Offset);
    EXPECT_EQ(load.Image.Mult, d.Mult);
    EXPECT_EQ(load.Image.RpmBelow, 1);
    EXPECT_EQ(load.Image.RpmBelowVal, 1100);
    EXPECT_EQ(load.Image.MazdaEnrichmentPercentage, d.MazdaEnrichmentPercentage);
    EXPECT_EQ(load.Image.CPS[3], -22);
    EXPECT_EQ(load.Image.AdaptCorrBank2[9][9], -7);
    EXPECT_EQ(load.Image.InjCorr[1], d.InjCorr[1]);
    EXPECT_EQ(load.Points.ModelPoints.P1X, p.ModelPoints.P1X);
    EXPECT_TRUE(GcfDifferences(d, p, load, false).empty());
}

TEST(GcfFile, BadFilesAreRefusedOrRepairedWithAMessage)
{
    TLM lm;
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    const TNorviData c = Controller30("G");
    const std::string good = Saved(c);
    const auto verAt = good.find("Ver=");
    const std::string ver = good.substr(verAt, good.find("\r\n", verAt) - verAt);

    struct Refusal
    {
        const char *what;
        std::string text;
        const char *shows;
    };
    TNorviData g15 = c;
    g15.VersionCode = kVersion15;
    for (const Refusal &r :
         {Refusal{"another generation", Saved(g15), "[15]"}, Refusal{"no Ver", Replace(good, ver + "\r\n", ""), "[]"},
          Refusal{"short Ver", Replace(good, ver, "Ver=0013"), "[]"}, Refusal{"no Info", "[Config]\r\nT=90\r\n", "[]"},
          Refusal{"binary", std::string("\0\1\2[Info]", 10), "[?]"}}) {
        SCOPED_TRACE(r.what);
        const TGcfLoad load = ApplyGcf(r.text, c, {}, false);
        EXPECT_FALSE(load);
        EXPECT_NE(load.Message.find("another controller generation"), std::string::npos) << load.Message;
        EXPECT_NE(load.Message.find(r.shows), std::string::npos) << load.Message;
    }

    // Out of range or not in the list: the default, with a warning.
    const TGcfLoad range = ApplyGcf(Replace(Replace(good, "LowPT=47", "LowPT=999"), "MazdaEnrichmentPercentage=0",
                                            "MazdaEnrichmentPercentage=-300"),
                                    c, {}, false);
    ASSERT_TRUE(range);
    EXPECT_TRUE(Mentions(range.Warnings, "[Config] LowPT=999"));
    EXPECT_TRUE(Mentions(range.Warnings, "MazdaEnrichmentPercentage=-300"));
    EXPECT_EQ(range.Image.LowPT, 47);
    EXPECT_EQ(range.Image.MazdaEnrichmentPercentage, 0);
    // A raw value past any integer is refused like the others, not converted.
    const TGcfLoad huge = ApplyGcf(Replace(good, "\r\nT=", "\r\nT=97444444444444444444444444444"), c, {}, false);
    ASSERT_TRUE(huge);
    EXPECT_TRUE(Mentions(huge.Warnings, "[Config] T=97444444444444444444444444444"))
        << ::testing::PrintToString(huge.Warnings);

    // More injectors than the controller's channels: limited, with a warning.
    const TGcfLoad injectors = ApplyGcf(Replace(good, "InjSW=4", "InjSW=8"), c, {}, false);
    EXPECT_TRUE(Mentions(injectors.Warnings, "InjSW=8"));
    EXPECT_EQ(injectors.Image.InjSW, 6);
    EXPECT_EQ(injectors.Image.InjMask, 0x3F);

    // LF line ends and a byte-order mark load as the plain file does.
    std::string lf = good;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    for (const std::string &text : {lf, "\xEF\xBB\xBF" + good}) {
        const TGcfLoad load = ApplyGcf(Replace(text, "Power=66", "Power=77"), c, {}, false);
        ASSERT_TRUE(load) << load.Message;
        EXPECT_TRUE(load.Warnings.empty()) << ::testing::PrintToString(load.Warnings);
        EXPECT_EQ(load.Image.Power, 77);
    }

    // A key given twice: the first counts, and the installer is told.
    const TGcfLoad twice = ApplyGcf(Replace(good, "Power=66\r\n", "Power=70\r\npower=90\r\n"), c, {}, false);
    EXPECT_EQ(twice.Image.Power, 70);
    EXPECT_TRUE(Mentions(twice.Warnings, "[config] power"));

    // A missing key takes its default: a file from before "D" has no Markers.
    TNorviData marked = c;
    marked.Markers = 15;
    const TGcfLoad old = ApplyGcf(Replace(good, "Markers=0\r\n", ""), marked, {}, false);
    EXPECT_EQ(old.Image.Markers, 0);
    EXPECT_TRUE(old.Warnings.empty());
}

TEST(GcfFile, RealsLoadWithAPointOrAComma)
{
    const TNorviData c = Controller30("G");
    const std::string good = Saved(c);
    TNorviData warm = c;
    warm.T = 88; // 40 °C
    for (const char *t : {"T=100", "T=100.0", "T=100,0", "T=99,6"}) {
        const TGcfLoad load = ApplyGcf(Replace(good, "T=100", t), warm, {}, false);
        EXPECT_EQ(load.Image.T, 100) << t;
        EXPECT_TRUE(load.Warnings.empty()) << t;
    }
    // 97 is no entry of the switch temperature list: the controller's value
    // stays, and the installer is told.
    const TGcfLoad off = ApplyGcf(Replace(good, "T=100", "T=97,0"), warm, {}, false);
    EXPECT_EQ(off.Image.T, 88);
    EXPECT_TRUE(Mentions(off.Warnings, "[Config] T=97,0"));
}

TEST(GcfFile, SaveSetsTheFirstMapWordOfFlaggedEntriesToTheMeanWithoutWrap)
{
    TNorviData d = Controller30("G");
    d.MapG3[0] = {1, 0x8064, 200};    // flagged: (0x8064 + 200) / 2 with the flag
    d.MapG3[1] = {5, 0x0064, 200};    // not flagged: kept
    d.MapG3[2] = {7, 0xFFFF, 0xFFFF}; // 0x1FFFE / 2, no 16-bit wrap
    const TNorviData v = GcfSaveView(d);
    EXPECT_EQ(v.MapG3[0][0], ((0x8064 + 200) / 2) | 0x8000);
    EXPECT_EQ(v.MapG3[1][0], 5);
    EXPECT_EQ(v.MapG3[2][0], 0xFFFF);
    const std::string text = Saved(d);
    EXPECT_NE(text.find("MapG3_0_0=" + std::to_string(((0x8064 + 200) / 2) | 0x8000)), std::string::npos);
}

TEST(GcfFile, RevisionGatesDecideTheSections)
{
    const std::string c = Saved(Controller30("C"));
    const std::string g = Saved(Controller30("G"));
    EXPECT_EQ(c.find("[GasInjCorr]"), std::string::npos);
    EXPECT_EQ(c.find("MapG3_0_0"), std::string::npos);
    EXPECT_EQ(c.find("[MapCorrections]"), std::string::npos);
    EXPECT_NE(c.find("RPMWireNotConnect="), std::string::npos);
    EXPECT_EQ(c.find("Markers="), std::string::npos);
    for (const char *s : {"[GasInjCorr]", "MapG3_39_2=", "[MapCorrections]",
                          "AdaptCorrectionsBank2_9_9=", "CPCOL20=", "InspectionTimeDistRatio="})
        EXPECT_NE(g.find(s), std::string::npos) << s;

    TNorviData legacy;
    legacy.VersionCode = kVersion14;
    legacy.SoftwareLetter = "C";
    const std::string l = Saved(legacy);
    for (const char *s : {"P4=", "E1=", "PressureSensorType="})
        EXPECT_NE(l.find(s), std::string::npos) << s;
    for (const char *s : {"[Map]", "[GasInjCorr]", "M2XP0", "WorkPress"})
        EXPECT_EQ(l.find(s), std::string::npos) << s;
    // 1.4 and 1.5 take each other's files; 3.0 does not.
    TNorviData g15 = legacy;
    g15.VersionCode = kVersion15;
    EXPECT_TRUE(ApplyGcf(l, g15, {}, false));
    EXPECT_FALSE(ApplyGcf(l, Controller30("G"), {}, false));
}
