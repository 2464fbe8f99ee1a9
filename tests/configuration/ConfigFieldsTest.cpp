// The configuration field table without a device: which fields each
// generation and revision has, raw values in the image, the texts the pages
// show, and the checks input passes before anything is sent.
#include "configuration/ConfigFields.h"
#include "configuration/ConfigText.h"
#include "configuration/ConfigValidator.h"
#include "configuration/ConfigVerify.h"
#include "documents/LangManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace lumex;

namespace {

TNorviData Controller(uint8_t generation, const char *letter)
{
    TNorviData d;
    d.VersionCode = generation;
    d.SoftwareLetter = letter;
    return d;
}

const TConfigField &Field(const char *name)
{
    const TConfigField *f = FindConfigField(name);
    if (f == nullptr)
        throw std::invalid_argument(name);
    return *f;
}

bool Has(const TNorviData &d, const char *name)
{
    return IsPresent(Field(name), d);
}

} // namespace

TEST(ConfigFields, NamesAreUniqueAndFound)
{
    std::set<std::string> names;
    for (const TConfigField &f : ConfigFields())
        EXPECT_TRUE(names.insert(f.Name).second) << f.Name;
    for (const char *name : {"LoadP>val", "Tgas<&Load_Lval", "Tred<&Load_Tredval", "0903", "RPM<"})
        EXPECT_NE(FindConfigField(name), nullptr) << name;
    EXPECT_EQ(FindConfigField("Tgas<"), &Field("Tgas<"));
    EXPECT_EQ(FindConfigField("tgas<"), nullptr);
    EXPECT_TRUE(FieldsPresent(TNorviData{}).empty()); // no controller, no fields
}

TEST(ConfigFields, RevisionGatesOfEachGeneration)
{
    const TNorviData g14 = Controller(0x14, "E"), g15C = Controller(0x15, "C"), g15D = Controller(0x15, "D"),
                     g15E = Controller(0x15, "E");
    EXPECT_FALSE(Has(g14, "AlWorkOnGas")); // the gates of 1.5 never open on 1.4
    EXPECT_FALSE(Has(g14, "RPMWireNotConnect"));
    EXPECT_FALSE(Has(g15C, "AlWorkOnGas"));
    EXPECT_TRUE(Has(g15D, "AlWorkOnGas"));
    EXPECT_FALSE(Has(g15D, "RPMWireNotConnect"));
    EXPECT_TRUE(Has(g15E, "RPMWireNotConnect"));
    EXPECT_FALSE(Has(g15E, "RPM<"));
    EXPECT_TRUE(Has(g15E, "InjHW"));

    const char *gated[] = {"RPMWireNotConnect", "Tgas<&Load_Lval", "MazdaEnrichmentPercentage", "MinGasInjectionTime"};
    const struct
    {
        const char *letter;
        int open; // how many of `gated` are present
    } revisions[] = {{"B", 0}, {"C", 1}, {"D", 2}, {"F", 3}, {"G", 4}, {"H", 4}};
    for (const auto &r : revisions) {
        const TNorviData d = Controller(0x30, r.letter);
        int open = 0;
        for (const char *name : gated)
            open += Has(d, name) ? 1 : 0;
        EXPECT_EQ(open, r.open) << r.letter;
        EXPECT_TRUE(Has(d, "Tgas<val")) << r.letter;
        EXPECT_TRUE(Has(d, "UseOnIdleModel")) << r.letter;
    }
    // Each later revision has every field of the earlier ones.
    EXPECT_LT(FieldsPresent(Controller(0x30, "B")).size(), FieldsPresent(Controller(0x30, "G")).size());
    EXPECT_LT(FieldsPresent(g14).size(), FieldsPresent(Controller(0x30, "B")).size());
}

TEST(ConfigFields, RawValuesLiveInTheImage)
{
    TNorviData d = Controller(0x30, "G");
    SetRawValue(Field("InjSW"), d, 255);
    EXPECT_EQ(d.InjMask, 255);
    EXPECT_EQ(d.InjSW, 8);
    SetRawValue(Field("Tgas<&Load_Lval"), d, 70);
    EXPECT_EQ(d.TgasBelowAndLoad_Lval, 70);
    SetRawValue(Field("MinGasInjectionTime"), d, 766);
    EXPECT_EQ(RawValue(Field("MinGasInjectionTime"), d), 766u);
    SetRawValue(Field("AlWorkOnGas"), d, 1);
    EXPECT_EQ(d.AlWorkOnGas, 1);

    TNorviData legacy = Controller(0x15, "E");
    SetRawValue(Field("AlWorkOnGas"), legacy, 1); // 1.5 keeps byte 29 whole
    EXPECT_EQ(legacy.LegacyParam29, 1);
    EXPECT_EQ(legacy.AlWorkOnGas, 0);
    EXPECT_EQ(ListOf(Field("NozzleSize"), legacy), TValueListId::NozzleSizeLegacy);
    EXPECT_EQ(ListOf(Field("NozzleSize"), d), TValueListId::NozzleSize);

    EXPECT_EQ(ReadBackMask(Field("InjType"), d), 0x02u);
    EXPECT_EQ(ReadBackMask(Field("InjType"), legacy), 0x03u);
    EXPECT_EQ(ReadBackMask(Field("RPM"), d), 0x3FFFu);
    EXPECT_TRUE(ReadBackReplaced(Field("FuelOverlap"), Controller(0x30, "B")));
    EXPECT_FALSE(ReadBackReplaced(Field("FuelOverlap"), Controller(0x30, "C")));
    EXPECT_TRUE(ReadBackReplaced(Field("PressureSensorType"), Controller(0x14, "C")));
    EXPECT_FALSE(ReadBackReplaced(Field("PressureSensorType"), legacy));
}

TEST(ConfigFields, DisplayTextIsTheListEntryOrTheNumberWithItsUnit)
{
    TLM lm;
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    TNorviData d = Controller(0x30, "G");
    d.T = 142;
    d.RPM = 11220;
    d.EngineCubicCapacity = 1598;
    d.IdleHotTb = 542;
    d.InjMask = 255;
    d.MazdaEnrichmentPercentage = 156;
    d.LambdaType = 0;
    EXPECT_EQ(DisplayText(Field("T"), d), "20");
    EXPECT_EQ(DisplayText(Field("RPM"), d), "2000");
    EXPECT_EQ(DisplayText(Field("EngineCubicCapacity"), d), "1598 ccm");
    EXPECT_EQ(DisplayText(Field("IdleHotTb"), d), "2,90 ms");
    EXPECT_EQ(DisplayText(Field("InjSW"), d), "8");
    EXPECT_EQ(DisplayText(Field("MazdaEnrichmentPercentage"), d), "-100");
    EXPECT_EQ(DisplayText(Field("LambdaType"), d), "");
    d.RPM = 7480; // matched, but no entry shows it
    EXPECT_EQ(DisplayText(Field("RPM"), d), "");
    d.T = 143;
    EXPECT_EQ(DisplayText(Field("T"), d), "");
    EXPECT_EQ(UnitText(Field("RPM")), "rpm"); // brackets of the label dropped

    ASSERT_TRUE(lm.LoadLanguage("DE"));
    EXPECT_EQ(UnitText(Field("RPM")), "U/min");
    EXPECT_EQ(UnitText(Field("MaxCyclesMixedFuel")), "Zyklen");
}

TEST(ConfigValidator, NumbersAreCheckedAgainstTheirFieldsBounds)
{
    const TNorviData d = Controller(0x15, "E");
    const auto raw = [&d](const char *name, const char *text) { return ParseShownValue(Field(name), d, text); };
    EXPECT_EQ(raw("IdleHotTb", "2,9").Raw, 542u);
    EXPECT_EQ(raw("IdleHotTb", "2.9").Raw, 542u);
    EXPECT_EQ(raw("IdleHotTb", "350").Raw, 65450u);
    EXPECT_EQ(raw("IdleHotTb", "0").Raw, 0u);
    EXPECT_EQ(raw("EngineCubicCapacity", "9999").Raw, 9999u);
    EXPECT_EQ(raw("Power", "999").Raw, 999u);
    EXPECT_EQ(raw("Power", " 77 ").Raw, 77u);
    struct Bad
    {
        const char *name, *text, *why;
    };
    for (const Bad &b : {Bad{"IdleHotTb", "351", "out of range"}, Bad{"IdleHotTb", "-1", "negative"},
                         Bad{"IdleHotTb", "abc", "not a number"}, Bad{"IdleHotTb", "", "not a number"},
                         Bad{"IdleHotTb", "1,2,3", "not a number"}, Bad{"EngineCubicCapacity", "10000", "out of range"},
                         Bad{"EngineCubicCapacity", "1598.5", "not a number"}, Bad{"Power", "1000", "out of range"},
                         Bad{"Power", "-5", "negative"}, Bad{"MasterMode", "2", "neither 0 nor 1"},
                         Bad{"T", "21", "not an entry"}}) {
        const TFieldInput in = raw(b.name, b.text);
        EXPECT_FALSE(in) << b.name << " " << b.text;
        EXPECT_NE(in.Error.find(b.why), std::string::npos) << in.Error;
        EXPECT_EQ(in.Error.rfind(b.name, 0), 0u) << "the message names the field: " << in.Error;
    }
    EXPECT_FALSE(CheckRawValue(Field("Power"), d, 1000));
    EXPECT_FALSE(CheckRawValue(Field("T"), d, 143));
    EXPECT_TRUE(CheckRawValue(Field("RPM"), d, 7480)); // a value the list matches may be stored
}

TEST(ConfigValidator, InjectorCountNeverGivesMaskZeroAndRespectsTheHardware)
{
    TNorviData d = Controller(0x30, "G");
    d.InjHW = 4;
    const TConfigField &inj = Field("InjSW");
    EXPECT_EQ(ParseShownValue(inj, d, "4").Raw, 15u);
    EXPECT_FALSE(ParseShownValue(inj, d, "6"));
    EXPECT_FALSE(ParseShownValue(inj, d, "0"));
    EXPECT_FALSE(CheckRawValue(inj, d, 0));
    EXPECT_FALSE(CheckRawValue(inj, d, 256 + 7));
    EXPECT_FALSE(CheckRawValue(inj, d, 12));
    d.InjHW = 0; // unreported: every count
    EXPECT_EQ(CheckRawValue(inj, d, 255).Raw, 255u);

    EXPECT_TRUE(NotWritable(Field("InjHW"), d));
    EXPECT_TRUE(NotWritable(Field("RPM<"), Controller(0x14, "C")));
    EXPECT_FALSE(NotWritable(Field("RPM<"), d));

    d.InjMask = 0;
    d.Power = 1000;
    d.EngineCubicCapacity = 1598;
    const auto problems = WriteBlockers(d);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].rfind("InjSW", 0), 0u) << problems[0];
    EXPECT_EQ(problems[1].rfind("Power", 0), 0u) << problems[1];
    d.InjMask = 63;
    d.Power = 999;
    EXPECT_TRUE(WriteBlockers(d).empty());
}

TEST(ConfigVerify, DifferencesNameTheFieldsAndIgnoreWhatTheReadCannotShow)
{
    TNorviData written = Controller(0x30, "B");
    written.InjType = 3;
    written.RPM = 0xC000 | 11220;
    written.Flags37 = 0;
    written.FuelOverlap = 1;
    TNorviData back = written;
    back.InjType = 2;      // the block gives bit 1 only
    back.RPM = 11220;      // fourteen bits
    back.FuelOverlap = 0;  // byte 37 reads as 1 before "C"
    back.UseOnIdleModel = 1;
    back.Markers = 77;     // not sent by the configuration write
    EXPECT_TRUE(ConfigDifferences(written, back).empty());
    back.Power = 78;
    back.LowPT = 1;
    EXPECT_EQ(ConfigDifferences(written, back), (std::vector<std::string>{"Power", "LowPT"}));
}
