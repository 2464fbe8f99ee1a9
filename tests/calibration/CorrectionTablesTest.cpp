// The correction tables without a device: the standard pressure correction
// and its shift with the worked numbers, the presets and the user-change
// checks, edit texts limited to a signed byte, and the placement reset.
#include "calibration/CorrectionTables.h"
#include "calibration/CorrectionEditor.h"
#include "calibration/CorrectionOperations.h"
#include "calibration/WorkingPressureList.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>

using namespace lumex;

namespace {

const TCorrectionTable S{102, 80, 60, 47, 33, 23, 15, 9, 0, -6, -10, -12, -16, -18, -22, -24, -26, -28, -31, -32};
const TCorrectionTable kTgasStandard{-14, -12, -10, -9, -8, -5, -4, -2, -1, 0, 1, 1, 1, 2, 2, 2, 3, 3, 4, 5};
const TCorrectionTable kTgasSmall{-6, -6, -5, -5, -4, -4, -3, -3, -2, -1, 0, 1, 1, 2, 2, 2, 3, 3, 4, 5};
const TCorrectionTable kTgasBig{-14, -12, -10, -9, -8, -5, -4, -2, -1, 0, 0, 2, 3, 4, 6, 8, 10, 12, 14, 15};
const TCorrectionTable kRpmStandard{0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 8, 10, 11, 12, 13, 14, 15, 16, 17};

// 1-based access, as the tables are described.
int At(const TCorrectionTable &t, int position)
{
    return t[static_cast<std::size_t>(position - 1)];
}

TNorviData Controller(const char *letter)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = letter;
    return d;
}

TCorrectionTexts Texts(const TCorrectionTable &t)
{
    return TextsFromTable(t);
}

} // namespace

TEST(StandardPressureCorrection, ShapeLandsWithItsZeroOnTheWorkingPressure)
{
    // 1.0 bar: the shape itself.
    EXPECT_EQ(StandardPressureCorrection(104), S);
    // 0.7 bar (i = 6): positions 1..17 are S[4..20], the tail repeats -32.
    const TCorrectionTable low = StandardPressureCorrection(76);
    for (int a = 1; a <= 17; ++a)
        EXPECT_EQ(At(low, a), At(S, a + 3)) << a;
    for (int a = 18; a <= 20; ++a)
        EXPECT_EQ(At(low, a), -32) << a;
    // A code that is not on the axis (i = 21): S[max(1, a - 12)].
    const TCorrectionTable off = StandardPressureCorrection(100);
    for (int a = 1; a <= 20; ++a)
        EXPECT_EQ(At(off, a), At(S, std::max(1, a - 12))) << a;
    EXPECT_EQ(At(off, 13), 102);
    EXPECT_EQ(At(off, 14), 80);
    // The first axis point (i = 1): the shape's head moves off the left end.
    const TCorrectionTable first = StandardPressureCorrection(29);
    EXPECT_EQ(At(first, 1), 0);
    EXPECT_EQ(At(first, 12), -32);
    EXPECT_EQ(At(first, 20), -32);
}

TEST(StandardPressureCorrection, ShiftRepeatsTheEndsAndZeroLeavesTheTable)
{
    TCorrectionTable c{};
    std::iota(c.begin(), c.end(), int8_t{1}); // C[k] = k
    const TCorrectionTable down = ShiftedPressureCorrection(c, -2);
    for (int a = 1; a <= 18; ++a)
        EXPECT_EQ(At(down, a), a + 2);
    EXPECT_EQ(At(down, 19), 20);
    EXPECT_EQ(At(down, 20), 20);
    const TCorrectionTable up = ShiftedPressureCorrection(c, 2);
    EXPECT_EQ(At(up, 1), 1);
    EXPECT_EQ(At(up, 2), 1);
    EXPECT_EQ(At(up, 3), 1);
    for (int a = 4; a <= 20; ++a)
        EXPECT_EQ(At(up, a), a - 2);
    EXPECT_EQ(ShiftedPressureCorrection(c, 0), c);
    // Shifts past the table's length leave only the repeated end.
    TCorrectionTable ones;
    ones.fill(1);
    EXPECT_EQ(ShiftedPressureCorrection(c, 40), ones);
    EXPECT_EQ(At(ShiftedPressureCorrection(c, -1000), 1), 20);

    // From "1,00" to "1,20": two positions towards higher pressures.
    EXPECT_EQ(WorkPressShiftSteps(104, 123), 2);
    EXPECT_EQ(WorkPressShiftSteps(123, 104), -2);
    // A code outside the list counts as the last position (14).
    EXPECT_EQ(WorkPressShiftSteps(0, 76), -13);
    EXPECT_EQ(WorkPressShiftSteps(198, 7), 0);
}

TEST(CorrectionEditTexts, ValuesAreLimitedToASignedByteAndBadTextIsZero)
{
    EXPECT_EQ(CorrectionFromText("12"), 12);
    EXPECT_EQ(CorrectionFromText("-7"), -7);
    EXPECT_EQ(CorrectionFromText(" 5 "), 5);
    EXPECT_EQ(CorrectionFromText("+9"), 9);
    // Limited, not wrapped: 200 would have been -56 modulo 256.
    EXPECT_EQ(CorrectionFromText("200"), 127);
    EXPECT_EQ(CorrectionFromText("-300"), -128);
    EXPECT_EQ(CorrectionFromText("128"), 127);
    EXPECT_EQ(CorrectionFromText("-128"), -128);
    EXPECT_EQ(CorrectionFromText("99999999999999999999999"), 127);
    EXPECT_EQ(CorrectionFromText("-99999999999999999999999"), -128);
    for (const char *bad : {"", " ", "-", "+", "abc", "12a", "1.5", "1,5", "0x10"})
        EXPECT_EQ(CorrectionFromText(bad), 0) << '"' << bad << '"';
}

TEST(CorrectionEditTexts, AWriteTakesOnlyEntriesOfTheSignedByteRange)
{
    EXPECT_EQ(CheckedCorrectionFromText("12"), std::optional<int8_t>(12));
    EXPECT_EQ(CheckedCorrectionFromText(" -7 "), std::optional<int8_t>(-7));
    EXPECT_EQ(CheckedCorrectionFromText("+9"), std::optional<int8_t>(9));
    EXPECT_EQ(CheckedCorrectionFromText("-128"), std::optional<int8_t>(-128));
    EXPECT_EQ(CheckedCorrectionFromText("127"), std::optional<int8_t>(127));
    for (const char *bad : {"", " ", "-", "+", "abc", "12a", "1.5", "1,5", "1,2,3", "0x10", "128", "-129", "999",
                            "99999999999999999999", "-99999999999999999999"})
        EXPECT_EQ(CheckedCorrectionFromText(bad), std::nullopt) << '"' << bad << '"';
}

TEST(CorrectionPresets, TablesChecksAndAxes)
{
    EXPECT_EQ(TgasPresetTable(2), kTgasStandard);
    EXPECT_EQ(TgasPresetTable(3), kTgasSmall);
    EXPECT_EQ(TgasPresetTable(4), kTgasBig);
    EXPECT_EQ(RpmPresetTable(2), kRpmStandard);
    EXPECT_EQ(At(*RpmPresetTable(4), 20), 25);
    EXPECT_EQ(At(*RpmPresetTable(3), 20), 8);
    EXPECT_EQ(TgasPresetTable(1), TCorrectionTable{});
    EXPECT_FALSE(TgasPresetTable(5));
    EXPECT_FALSE(RpmPresetTable(0));
    EXPECT_FALSE(RpmPresetTable(6));

    EXPECT_FALSE(CheckTgasCorrForUserChanges(kTgasStandard, 2));
    EXPECT_TRUE(CheckTgasCorrForUserChanges(kTgasStandard, 3));
    EXPECT_TRUE(CheckTgasCorrForUserChanges(kTgasStandard, 4));
    // Only the shaped presets are compared.
    for (uint8_t code : {0, 1, 5, 9})
        EXPECT_FALSE(CheckTgasCorrForUserChanges(kTgasSmall, code)) << int{code};
    // The RPM check looks at the RPM presets, not the gas temperature ones.
    EXPECT_FALSE(CheckRpmCorrForUserChanges(kRpmStandard, 2));
    EXPECT_TRUE(CheckRpmCorrForUserChanges(kTgasStandard, 2));

    const auto p = CorrAxisLabels(TCorrAxis::Pressure);
    EXPECT_EQ(p[0], "0,2");
    EXPECT_EQ(p[8], "1,0");
    EXPECT_EQ(p[18], "2,0");
    EXPECT_EQ(p[19], " > ");
    const auto t = CorrAxisLabels(TCorrAxis::GasTemp);
    EXPECT_EQ(t[0], "-10");
    EXPECT_EQ(t[18], "80");
    const auto r = CorrAxisLabels(TCorrAxis::Rpm);
    EXPECT_EQ(r[0], "500");
    EXPECT_EQ(r[17], "5700");
    EXPECT_EQ(r[18], "6000");
    EXPECT_EQ(r[19], "   > ");
}

TEST(CorrectionEditor, TypingIntoAPresetMakesItUserDefinedAndTypingBackDoesNotUndoIt)
{
    TNorviData d = Controller("G");
    ASSERT_TRUE(PressTgasPreset(d, TCorrPreset::Standard));
    EXPECT_EQ(d.TgasCorType, 2);
    EXPECT_EQ(d.CTG, kTgasStandard);
    EXPECT_EQ(TgasButtonDown(d), TCorrPreset::Standard);

    TCorrectionTexts texts = Texts(kTgasStandard);
    texts[4] = "7";
    EXPECT_TRUE(TgasEdited(d, texts));
    EXPECT_EQ(d.TgasCorType, 5);
    EXPECT_EQ(TgasButtonDown(d), TCorrPreset::User);
    EXPECT_EQ(d.CTG[4], 7);
    texts[4] = "-8";
    EXPECT_FALSE(TgasEdited(d, texts));
    EXPECT_EQ(d.CTG, kTgasStandard);
    EXPECT_EQ(d.TgasCorType, 5);

    // An edit out of range is limited, and the RPM group works the same way.
    ASSERT_TRUE(PressRpmPreset(d, TCorrPreset::Big));
    EXPECT_EQ(d.RPMCorType, 4);
    TCorrectionTexts rpm = Texts(d.CRPM);
    rpm[19] = "300";
    EXPECT_TRUE(RpmEdited(d, rpm));
    EXPECT_EQ(d.CRPM[19], 127);
    EXPECT_EQ(d.RPMCorType, 5);
    // User-defined shows the type's button and keeps the table.
    const TCorrectionTable kept = d.CRPM;
    EXPECT_TRUE(PressRpmPreset(d, TCorrPreset::User));
    EXPECT_EQ(d.CRPM, kept);
    EXPECT_EQ(RpmButtonDown(d), TCorrPreset::User);
}

TEST(CorrectionEditor, BeforeRevisionDStandardIsAOneShotLoaderAndTheTypesStayUntouched)
{
    TNorviData d = Controller("C");
    d.TgasCorType = 0;
    d.CTG.fill(9);
    EXPECT_FALSE(PressTgasPreset(d, TCorrPreset::Small));
    EXPECT_FALSE(PressRpmPreset(d, TCorrPreset::Big));
    EXPECT_EQ(d.CTG[0], 9);
    EXPECT_TRUE(PressTgasPreset(d, TCorrPreset::Standard));
    EXPECT_EQ(d.CTG, kTgasStandard);
    EXPECT_EQ(d.TgasCorType, 0);
    EXPECT_EQ(TgasButtonDown(d), std::nullopt);
    EXPECT_EQ(RpmButtonDown(d), TCorrPreset::Standard);
    EXPECT_FALSE(CorrPresetButtonEnabled(d, TCorrPreset::User));

    // The program-logic presets copy without touching types or flags.
    TNorviData g = Controller("G");
    g.CMActive = 0x0F;
    g.RPMCorType = 3;
    ApplyRpmPreset(g, 2);
    EXPECT_EQ(g.CRPM, kRpmStandard);
    EXPECT_EQ(g.RPMCorType, 3);
    ApplyRpmPreset(g, 1);
    EXPECT_EQ(g.CRPM, TCorrectionTable{});
    g.CTG = kTgasBig;
    ApplyTgasPreset(g, 5);
    ApplyTgasPreset(g, 77);
    EXPECT_EQ(g.CTG, kTgasBig);
    EXPECT_EQ(g.CMActive, 0x0F);
}

TEST(TgasPlacement, TablesAndFlagsForTheSensorPlacement)
{
    EXPECT_EQ(TgasTableForPlacement(true, 4), kTgasStandard);
    EXPECT_EQ(TgasTableForPlacement(true, 19), kTgasBig);
    EXPECT_EQ(TgasTableForPlacement(false, 19), kTgasSmall);
    EXPECT_EQ(TgasPresetForPlacement(false), TCorrPreset::Small);
    EXPECT_EQ(TgasPresetForPlacement(true), TCorrPreset::Standard);
    // Psys bit kept, Tgas set, RPM and Pcol from the boxes (Pcol only from G).
    EXPECT_EQ(CMActiveAfterPlacementReset(0x00, false, false, true), 0x02);
    EXPECT_EQ(CMActiveAfterPlacementReset(0x0D, true, true, true), 0x0F);
    EXPECT_EQ(CMActiveAfterPlacementReset(0x0D, false, true, false), 0x03);
    EXPECT_EQ(CMActiveAfterPlacementReset(0xF0, true, false, true), 0x06);
}

TEST(WorkingPressureList, CodesAndTexts)
{
    const auto &list = WorkingPressureList();
    EXPECT_STREQ(list.front().Text, "0,70");
    EXPECT_EQ(list.front().Raw, 76);
    EXPECT_STREQ(list.back().Text, "2,00");
    EXPECT_EQ(list.back().Raw, 198);
    // The list is the pressure axis from 0.7 bar on.
    for (std::size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list[i].Raw, kPressureAxisCodes[i + 5]) << i;
    EXPECT_EQ(WorkingPressureIndex(104), 3u);
    EXPECT_FALSE(WorkingPressureIndex(105));
    EXPECT_EQ(WorkingPressureIndexOfBar(1.2), 5u);
    EXPECT_EQ(WorkingPressureIndexOfBar(0.7), 0u);
    EXPECT_FALSE(WorkingPressureIndexOfBar(0.6));
    EXPECT_FALSE(WorkingPressureIndexOfBar(2.1));
    EXPECT_FALSE(WorkingPressureIndexOfBar(std::numeric_limits<double>::quiet_NaN()));
}
