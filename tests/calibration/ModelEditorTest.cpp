// The model editor's rules without a device: points in ticks and the empty
// mark, the default model, every key, mouse and spinner edit at its limits,
// the BANK2 line, the 1.4/1.5 model and the pressure correction shift.
#include "calibration/CorrectionLine.h"
#include "calibration/DefaultModel.h"
#include "calibration/Model1.h"
#include "calibration/Model2Editor.h"
#include "calibration/ModelPoints.h"
#include "common/DecimalText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace lumex;

namespace {

constexpr double kTol = 1e-9;

TModel2Set EmptySet()
{
    TModel2Set set;
    set.fill({kModelEmptyTicks, kModelEmptyTicks});
    return set;
}

// An editor holding the given points with offset `offset` (ms) and
// multiplier 1.
TModel2Editor EditorWith(const TModelPointList &points, double offset = 1.0)
{
    TNorviData d;
    d.Model2SetA = SetFromPoints(points);
    d.Model2SetB = EmptySet();
    d.Mult = 1.0;
    d.Offset = offset;
    TModel2Editor e;
    e.Load(d, {});
    return e;
}

void ExpectAllFinite(const TModel2Editor &e)
{
    for (const auto &p : e.Points())
        EXPECT_TRUE(std::isfinite(p.Tb) && std::isfinite(p.Tg) && p.Tg >= 0);
    EXPECT_TRUE(std::isfinite(e.LeastSquaresMultiplier()));
}

} // namespace

TEST(ModelPoints, OnlySlotsUpTo30msAreInUseAndAWriteSendsTheRestEmpty)
{
    TModel2Set set = EmptySet();
    set[0] = {0, 187};
    set[1] = {5610, 6000}; // exactly 30 ms: in use
    set[2] = {5611, 6100}; // one tick more: not drawn
    set[3] = {kModelEmptyTicks, kModelEmptyTicks};
    const TModelPointList points = PointsInUse(set);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[1].Tb, 30.0);
    const TModel2Set sent = SetFromPoints(points);
    EXPECT_EQ(sent[0].X, 0);
    EXPECT_EQ(sent[0].Y, 187);
    EXPECT_EQ(sent[1].X, 5610);
    EXPECT_EQ(sent[1].Y, 6000);
    // The slot that held the 5611-tick point goes out empty in both halves.
    for (std::size_t i = 2; i < sent.size(); ++i)
        EXPECT_TRUE(IsEmptySlot(sent[i])) << i;
}

TEST(ModelPoints, ARealPointNeverEncodesAsEmptyOrNegative)
{
    EXPECT_EQ(PointTicks(1.0), 187);
    EXPECT_EQ(PointTicks(0.1), 19); // 18.7 rounds up
    EXPECT_EQ(PointTicks(-0.5), 0);
    EXPECT_EQ(PointTicks(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(PointTicks(65535 / 187.0), kModelMaxPointTicks);
    EXPECT_EQ(PointTicks(1e9), kModelMaxPointTicks);
    EXPECT_EQ(PointTicks(std::numeric_limits<double>::infinity()), kModelMaxPointTicks);
    const TModel2Set set = SetFromPoints({{0, -3.0}, {400.0, 400.0}});
    EXPECT_EQ(set[0].Y, 0);
    EXPECT_FALSE(IsEmptySlot(set[1]));
    // 20 slots at most: a 21st point is not sent.
    const TModelPointList many(21, TModelPointMs{1.0, 1.0});
    EXPECT_EQ(SetFromPoints(many).size(), kModel2Points);
}

TEST(DefaultModel, OffsetByInjectorType)
{
    const std::vector<std::pair<double, std::vector<int>>> rows{{1.1, {21, 22}},
                                                                {0.3, {0, 19, 28}},
                                                                {0.8, {5, 12, 13, 15, 16, 18}},
                                                                {1.7, {2, 10}},
                                                                {1.5, {4, 8, 9, 11, 14, 17}},
                                                                {0.9, {1, 6, 23, 24}},
                                                                {0.7, {7}},
                                                                {1.1, {3, 20, 25, 26, 27, 29, 255}}};
    for (const auto &[offset, codes] : rows) {
        for (const int code : codes)
            EXPECT_DOUBLE_EQ(DefaultModelOffset(static_cast<uint8_t>(code)), offset) << code;
    }
}

TEST(DefaultModel, PointsIdlePointsAndPageStateLieOnTbPlusOffset)
{
    TModel2Editor e = EditorWith({{0, 2}, {10, 9}});
    e.Select(1);
    e.LoadDefault(2); // 1.7 ms
    EXPECT_EQ(e.MultPosition(), 0);
    EXPECT_EQ(e.OffsetPosition(), 17);
    EXPECT_DOUBLE_EQ(e.Offset(), 1.7);
    const std::vector<double> tbs{0, 1.5, 4.5, 8, 15, 25};
    ASSERT_EQ(e.Points().size(), tbs.size());
    for (std::size_t i = 0; i < tbs.size(); ++i) {
        EXPECT_DOUBLE_EQ(e.Points()[i].Tb, tbs[i]);
        EXPECT_NEAR(e.Points()[i].Tg, tbs[i] + 1.7, kTol);
    }
    EXPECT_EQ(e.AdaptedPoints(), e.Points());
    EXPECT_NEAR(e.Idle().P1X, 3.0, kTol);
    EXPECT_NEAR(e.Idle().P1Y, 4.7, kTol);
    EXPECT_NEAR(e.Idle().P2X, 6.0, kTol);
    EXPECT_NEAR(e.Idle().P2Y, 7.7, kTol);
    EXPECT_NEAR(e.Line().From.Tg, 1.7, kTol);
    EXPECT_NEAR(e.Line().To.Tg, e.Line().To.Tb + 1.7, kTol);
    EXPECT_EQ(e.Correction(), TCorrectionLine{});
    EXPECT_TRUE(e.UseOnIdleModel());
    EXPECT_FALSE(e.Adaptation());
    EXPECT_TRUE(e.Modified());
    EXPECT_TRUE(e.CopyToAdapted());
    EXPECT_FALSE(e.Selection().has_value());
    // Multiplier spinner at 0: the written multiplier is the slope 1.
    EXPECT_NEAR(e.LeastSquaresMultiplier(), 1.0, kTol);
}

TEST(Model2Editor, LoadTakesTheImageAsTheSpinnersShowIt)
{
    TNorviData d;
    d.Model2SetA = EmptySet();
    d.Model2SetA[0] = {0, 187};
    d.Model2SetA[1] = {1870, 2244};
    d.Model2SetA[2] = {5611, 6000};
    d.Model2SetB = EmptySet();
    d.Mult = 1.234;
    d.Offset = -1.267; // wire 0xFF13
    d.Markers = 1u << 3;
    d.UseOnIdleModel = 1;
    d.AdaptationMode = 1;
    d.CorrectionMult = 1.05;
    d.CorrectionOffset = 0.25;
    d.CorrectionMask = 0x81;
    TModel2Editor e;
    e.Load(d, {3, 4, 6, 7});
    EXPECT_EQ(e.Points().size(), 2u);
    EXPECT_TRUE(e.AdaptedPoints().empty());
    EXPECT_EQ(e.MultPosition(), 23);
    EXPECT_EQ(e.OffsetPosition(), -13);
    EXPECT_FALSE(e.WithIdlePoints());
    EXPECT_TRUE(e.UseOnIdleModel());
    EXPECT_TRUE(e.Adaptation());
    EXPECT_EQ(MultiplierPosition(e.Correction().Mult), 5);
    EXPECT_EQ(e.Correction().Mask, 0x81);
    EXPECT_FALSE(e.Modified());
    EXPECT_FALSE(e.CopyToAdapted());
    // The line from the first point's Tb at the offset to the last on the multiplier.
    EXPECT_DOUBLE_EQ(e.Line().From.Tb, 0.0);
    EXPECT_DOUBLE_EQ(e.Line().From.Tg, -1.267);
    EXPECT_NEAR(e.Line().To.Tg, 10.0 * 1.234 - 1.267, kTol);
    // Spinners stop at their ends.
    d.Mult = 2.5;
    d.Offset = -9;
    e.Load(d, {});
    EXPECT_EQ(e.MultPosition(), TModel2Editor::kMultMax);
    EXPECT_EQ(e.OffsetPosition(), TModel2Editor::kOffsetMin);
}

TEST(Model2Editor, OffsetClicksMoveEveryGasTimeButNeverBelowZero)
{
    TModel2Editor e = EditorWith({{0, 0.05}, {2, 0.5}, {10, 11}}, 0.0);
    ASSERT_NEAR(e.Points()[0].Tg, 9 / 187.0, kTol); // 0.05 ms in ticks
    const double low = e.Points()[0].Tg;
    EXPECT_EQ(e.OffsetClick(-1), TEditResult::Done);
    EXPECT_EQ(e.OffsetPosition(), -1);
    EXPECT_NEAR(e.Points()[0].Tg, low, kTol); // would go below 0: unchanged
    EXPECT_NEAR(e.Points()[1].Tg, PointTicks(0.5) / 187.0 - 0.1, kTol);
    EXPECT_EQ(e.OffsetClick(+1), TEditResult::Done);
    EXPECT_NEAR(e.Points()[0].Tg, low + 0.1, kTol);
    EXPECT_TRUE(e.Modified());
    // The spinner's range is −4.0 … 6.0 ms.
    TModel2Editor top = EditorWith({{0, 7}, {10, 17}}, 6.0);
    EXPECT_EQ(top.OffsetClick(+1), TEditResult::Refused);
    TModel2Editor bottom = EditorWith({{0, 7}, {10, 17}}, -4.0);
    EXPECT_EQ(bottom.OffsetClick(-1), TEditResult::Refused);
    EXPECT_FALSE(top.Modified());
}

TEST(Model2Editor, MultiplierClicksTurnThePointsAboutTheOffset)
{
    TModel2Editor e = EditorWith({{0, 1.0}, {10, 11.0}, {20, 21.0}}, 1.0);
    const double first = e.Points()[0].Tg;
    EXPECT_EQ(e.MultiplierClick(+1), TEditResult::Done);
    EXPECT_EQ(e.MultPosition(), 1);
    EXPECT_NEAR(e.Points()[0].Tg, first, kTol); // the first point never changes
    EXPECT_NEAR(e.Points()[1].Tg, PointTicks(11.0) / 187.0 + 0.1, kTol);
    EXPECT_NEAR(e.Points()[2].Tg, PointTicks(21.0) / 187.0 + 0.2, kTol);
    EXPECT_NEAR(e.Line().To.Tg, 20 * 1.0 + 1.0 + 0.2, 1e-6);
    // Idle points follow while the model uses them.
    TModel2Editor idle;
    idle.LoadDefault(7); // offset 0.7
    idle.MultiplierClick(-1);
    EXPECT_NEAR(idle.Idle().P1Y, 3.0 + 0.7 - 0.03, kTol);
    EXPECT_NEAR(idle.Idle().P2Y, 6.0 + 0.7 - 0.06, kTol);
    idle.SetWithIdlePoints(false);
    idle.MultiplierClick(-1);
    EXPECT_NEAR(idle.Idle().P1Y, 3.0 + 0.7 - 0.03, kTol);
    // A point below the offset line turned down stops at 0.
    TModel2Editor low = EditorWith({{0, 1.0}, {25, 0.1}}, 1.0);
    low.MultiplierClick(-1);
    EXPECT_EQ(low.Points()[1].Tg, 0.0);
    // The spinner's range is −40 … 70.
    TModel2Editor e2 = EditorWith({{0, 1}, {10, 18}}, 1.0);
    for (int i = 0; i < 70; ++i)
        ASSERT_EQ(e2.MultiplierClick(+1), TEditResult::Done);
    EXPECT_EQ(e2.MultiplierClick(+1), TEditResult::Refused);
    EXPECT_EQ(e2.MultPosition(), 70);
}

TEST(Model2Editor, TbKeysKeepTwoTenthsFromTheNeighboursAndSpareTheEnds)
{
    TModel2Editor e = EditorWith({{0, 1}, {5.0, 6}, {5.25, 6.2}, {10, 11}});
    const double neighbour = e.Points()[1].Tb;
    ASSERT_EQ(e.Select(2), TEditResult::Done);
    ASSERT_NEAR(e.Points()[2].Tb - neighbour, 0.251, 0.001);
    EXPECT_EQ(e.MoveTb(-1), TEditResult::Done);
    EXPECT_NEAR(e.Points()[2].Tb, neighbour + 0.2, kTol); // exactly 0.2 ms from it
    EXPECT_EQ(e.MoveTb(-1), TEditResult::Refused);
    EXPECT_EQ(e.MoveTb(+1), TEditResult::Done);
    EXPECT_NEAR(e.Points()[2].Tb, neighbour + 0.3, kTol);
    // The first and the last point keep their Tb.
    e.Select(0);
    EXPECT_EQ(e.MoveTb(+1), TEditResult::Refused);
    e.Select(3);
    EXPECT_EQ(e.MoveTb(-1), TEditResult::Refused);
    EXPECT_DOUBLE_EQ(e.Points()[3].Tb, PointTicks(10) / 187.0);
    // Nothing selected: nothing moves.
    TModel2Editor none = EditorWith({{0, 1}, {5, 6}, {10, 11}});
    EXPECT_EQ(none.MoveTb(+1), TEditResult::Refused);
    EXPECT_FALSE(none.Modified());
}

TEST(Model2Editor, TgKeysNeverGoBelowZero)
{
    TModel2Editor e = EditorWith({{0, 0.05}, {5, 6}, {10, 11}}, 0.0);
    e.Select(0);
    EXPECT_EQ(e.MoveTg(-1), TEditResult::Done);
    EXPECT_EQ(e.Points()[0].Tg, 0.0);
    EXPECT_EQ(e.MoveTg(-1), TEditResult::Refused);
    EXPECT_EQ(e.MoveTg(+1), TEditResult::Done);
    EXPECT_NEAR(e.Points()[0].Tg, 0.1, kTol);
}

TEST(Model2Editor, InsertHalfwayButNotAfterTheLastNorBeyondTwentyPoints)
{
    TModel2Editor e = EditorWith({{0, 1}, {4, 5}, {10, 11}});
    e.Select(1);
    EXPECT_EQ(e.InsertAfterSelection(), TEditResult::Done);
    ASSERT_EQ(e.Points().size(), 4u);
    EXPECT_NEAR(e.Points()[2].Tb, (PointTicks(4) + PointTicks(10)) / 2.0 / 187.0, kTol);
    EXPECT_NEAR(e.Points()[2].Tg, (PointTicks(5) + PointTicks(11)) / 2.0 / 187.0, kTol);
    EXPECT_EQ(e.Selection(), 2u);
    e.Select(3);
    EXPECT_EQ(e.InsertAfterSelection(), TEditResult::Refused);

    TModelPointList full;
    for (int i = 0; i < 20; ++i)
        full.push_back({i * 1.0, i + 1.0});
    TModel2Editor f = EditorWith(full);
    f.Select(5);
    EXPECT_EQ(f.InsertAfterSelection(), TEditResult::Refused);
    EXPECT_EQ(f.AddAt(5.5, 6.0), TEditResult::Refused);
    EXPECT_EQ(f.Points().size(), 20u);
    EXPECT_FALSE(f.Modified());
}

TEST(Model2Editor, DeleteSparesTheFirstAndTheLastPoint)
{
    TModel2Editor e = EditorWith({{0, 1}, {4, 5}, {7, 8}, {10, 11}});
    e.Select(0);
    EXPECT_EQ(e.DeleteSelection(), TEditResult::Refused);
    e.Select(3);
    EXPECT_EQ(e.DeleteSelection(), TEditResult::Refused);
    EXPECT_EQ(e.DeleteAt(3), TEditResult::Refused);
    e.Select(2);
    EXPECT_EQ(e.DeleteSelection(), TEditResult::Done);
    EXPECT_EQ(e.Points().size(), 3u);
    EXPECT_EQ(e.Selection(), 1u);
    EXPECT_EQ(e.DeleteAt(1), TEditResult::Done);
    EXPECT_FALSE(e.Selection().has_value());
    EXPECT_EQ(e.DeleteAt(1), TEditResult::Refused); // two points left: both are ends
}

TEST(Model2Editor, MouseAddsInOrderOnlyWhereNoPointLies)
{
    TModel2Editor e = EditorWith({{0, 1}, {4, 5}, {10, 11}});
    e.Select(2);
    EXPECT_EQ(e.AddAt(4.0, 3.0), TEditResult::Refused); // a point lies at that Tb
    EXPECT_EQ(e.AddAt(7.0, -2.0), TEditResult::Done);
    ASSERT_EQ(e.Points().size(), 4u);
    EXPECT_DOUBLE_EQ(e.Points()[2].Tb, 7.0);
    EXPECT_EQ(e.Points()[2].Tg, 0.0);                    // no negative gas time
    EXPECT_EQ(e.Selection(), 3u);                        // still on the point it was on
    EXPECT_EQ(e.AddAt(31.0, 5.0), TEditResult::Refused); // beyond the model
    EXPECT_EQ(e.AddAt(std::nan(""), 5.0), TEditResult::Refused);
}

TEST(Model2Editor, DraggingKeepsTheNeighbourLimits)
{
    TModel2Editor e = EditorWith({{0, 1}, {4, 5}, {10, 11}});
    EXPECT_EQ(e.DragTo(1, 12.0, 9.0), TEditResult::Done);
    EXPECT_NEAR(e.Points()[1].Tb, PointTicks(10) / 187.0 - 0.2, kTol);
    EXPECT_DOUBLE_EQ(e.Points()[1].Tg, 9.0);
    EXPECT_EQ(e.DragTo(1, -5.0, -1.0), TEditResult::Done);
    EXPECT_NEAR(e.Points()[1].Tb, 0.2, kTol);
    EXPECT_EQ(e.Points()[1].Tg, 0.0);
    EXPECT_EQ(e.DragTo(0, 3.0, 2.0), TEditResult::Done); // the first point: Tg only
    EXPECT_EQ(e.Points()[0].Tb, 0.0);
    EXPECT_DOUBLE_EQ(e.Points()[0].Tg, 2.0);
    EXPECT_EQ(e.DragTo(9, 3.0, 2.0), TEditResult::Refused);
}

TEST(Model2Editor, SelectionWalksThePoints)
{
    TModel2Editor e = EditorWith({{0, 1}, {4, 5}});
    EXPECT_EQ(e.SelectPrevious(), TEditResult::Refused);
    EXPECT_EQ(e.SelectNext(), TEditResult::Done);
    EXPECT_EQ(e.Selection(), 0u);
    EXPECT_EQ(e.SelectNext(), TEditResult::Done);
    EXPECT_EQ(e.SelectNext(), TEditResult::Refused);
    EXPECT_EQ(e.Selection(), 1u);
    EXPECT_EQ(e.SelectPrevious(), TEditResult::Done);
    EXPECT_EQ(e.Selection(), 0u);
}

TEST(Model2Editor, IdleSpinnersInTenthsWithinTheirRanges)
{
    TModel2Editor e;
    EXPECT_EQ(e.SetIdlePosition(TIdleSpinner::P1X, 300), TEditResult::Done);
    EXPECT_DOUBLE_EQ(e.Idle().P1X, 30.0);
    EXPECT_EQ(e.SetIdlePosition(TIdleSpinner::P1X, 301), TEditResult::Refused);
    EXPECT_EQ(e.SetIdlePosition(TIdleSpinner::P2Y, 350), TEditResult::Done);
    EXPECT_DOUBLE_EQ(e.Idle().P2Y, 35.0);
    EXPECT_EQ(e.SetIdlePosition(TIdleSpinner::P2Y, -1), TEditResult::Refused);
}

TEST(Model2Editor, TheWrittenMultiplierStaysFiniteOnDegeneratePoints)
{
    TModel2Editor e = EditorWith({{0, 1}, {10, 15}}, 1.0);
    EXPECT_NEAR(e.LeastSquaresMultiplier(),
                (PointTicks(1) / 187.0 + PointTicks(15) / 187.0 - 2.0) / (PointTicks(10) / 187.0), kTol);
    TModel2Editor zero = EditorWith({{0, 1}, {0, 2}}, 1.0);
    zero.MultiplierClick(+1);
    EXPECT_NEAR(zero.LeastSquaresMultiplier(), 1.01, kTol); // the spinner's multiplier
    TModel2Editor empty;
    EXPECT_NEAR(empty.LeastSquaresMultiplier(), 1.0, kTol);
    ExpectAllFinite(zero);
    ExpectAllFinite(empty);
}

TEST(Model2Editor, StoreIntoPutsWhatAWriteSends)
{
    TModel2Editor e;
    e.LoadDefault(0); // 0.3 ms
    e.SetWithIdlePoints(false);
    e.SetCorrection({MultiplierFromPercent(-3), 0.5, MaskFromBoxes({true, false, true})});
    TNorviData d;
    d.Markers = 0x0003;
    TModelPoints idle;
    e.StoreInto(d, idle);
    EXPECT_EQ(d.Markers, 0x000B);
    EXPECT_EQ(d.Model2SetA[1].X, PointTicks(1.5));
    EXPECT_EQ(d.Model2SetA[1].Y, PointTicks(1.8));
    EXPECT_TRUE(IsEmptySlot(d.Model2SetA[6]));
    EXPECT_EQ(d.Model2SetB[1].Y, d.Model2SetA[1].Y); // default: the adapted copy too
    EXPECT_DOUBLE_EQ(d.Offset, 0.3);
    EXPECT_NEAR(d.Mult, 1.0, kTol);
    EXPECT_DOUBLE_EQ(d.CorrectionMult, 0.97);
    EXPECT_EQ(d.CorrectionMask, 0x05);
    EXPECT_EQ(d.UseOnIdleModel, 1);
    EXPECT_EQ(d.AdaptationMode, 0);
    EXPECT_NEAR(idle.P2Y, 6.3, kTol);
    e.SetWithIdlePoints(true);
    e.StoreInto(d, idle);
    EXPECT_EQ(d.Markers, 0x0003);
}

TEST(CorrectionLine, PercentPositionsAndMaskBoxes)
{
    EXPECT_EQ(MultiplierPosition(1.0), 0);
    EXPECT_EQ(MultiplierPosition(0.955), -5); // −4.5 rounds away from zero
    EXPECT_EQ(MultiplierPosition(std::nan("")), 0);
    EXPECT_DOUBLE_EQ(MultiplierFromPercent(12), 1.12);
    EXPECT_EQ(MaskFromBoxes({true, false, false, false, false, false, false, true}), 0x81);
    const auto boxes = BoxesFromMask(0x42);
    EXPECT_TRUE(boxes[1]);
    EXPECT_TRUE(boxes[6]);
    EXPECT_EQ(MaskFromBoxes(boxes), 0x42);
}

TEST(CorrectionLine, AnOffsetTextIsTakenOnlyWithinTheSignedTickWord)
{
    EXPECT_EQ(CorrectionOffsetFromText("0,25"), std::optional<double>(0.25));
    EXPECT_EQ(CorrectionOffsetFromText("-0.5"), std::optional<double>(-0.5));
    // 175 ms is 32725 ticks; 175,3 ms would be 32781, past the word.
    EXPECT_EQ(CorrectionOffsetFromText("175"), std::optional<double>(175.0));
    EXPECT_EQ(CorrectionOffsetFromText("-175"), std::optional<double>(-175.0));
    for (const char *bad : {"", "abc", "1,2,3", "12abc", "175,3", "-175,3", "999999", "99999999999999999999"})
        EXPECT_EQ(CorrectionOffsetFromText(bad), std::nullopt) << '"' << bad << '"';
}

TEST(Model1, EnrichmentRunsThroughThePointsAndOnAlongTheLastSegment)
{
    TModel1 m = DefaultModel1();
    EXPECT_EQ(m.P, (std::array<int32_t, 4>{5, 10, 15, 20}));
    EXPECT_DOUBLE_EQ(m.Offset, 1.0);
    EXPECT_DOUBLE_EQ(m.Mult, 1.0);
    EXPECT_DOUBLE_EQ(Model1GasTime(m, 8.0), 9.0); // no enrichment: the line itself
    m.E = {10, 20, 0, -10};
    EXPECT_DOUBLE_EQ(Model1Enrichment(m, 0.0), 0.0);
    EXPECT_DOUBLE_EQ(Model1Enrichment(m, 2.5), 5.0);
    EXPECT_DOUBLE_EQ(Model1Enrichment(m, 5.0), 10.0);
    EXPECT_DOUBLE_EQ(Model1Enrichment(m, 7.5), 15.0);
    EXPECT_DOUBLE_EQ(Model1Enrichment(m, 12.5), 10.0);
    EXPECT_DOUBLE_EQ(Model1Enrichment(m, 20.0), -10.0);
    EXPECT_DOUBLE_EQ(Model1Enrichment(m, 25.0), -20.0); // extended along P3..P4
    m.Mult = 1.1;
    EXPECT_DOUBLE_EQ(Model1GasTime(m, 7.5), (1.1 * 7.5 + 1.0) * 1.15);
    // Points without width stay finite.
    TModel1 flat;
    flat.E = {5, 6, 7, 8};
    EXPECT_DOUBLE_EQ(Model1Enrichment(flat, 0.0), 5.0);
    EXPECT_TRUE(std::isfinite(Model1GasTime(flat, 3.0)));
    EXPECT_DOUBLE_EQ(Model1Enrichment(flat, std::nan("")), 0.0);
}

TEST(Model1, ImageRoundTrip)
{
    TModel1 m = DefaultModel1();
    m.E = {1, 2, 3, 4};
    m.Correction = {1.2, -0.5, 0x0F};
    TNorviData d;
    StoreModel1(m, d);
    EXPECT_EQ(d.P3, 15);
    EXPECT_EQ(d.E4, 4);
    EXPECT_EQ(d.CorrectionMask, 0x0F);
    EXPECT_EQ(Model1Of(d), m);
}

TEST(DecimalText, CommaAndPointAreTheSameSeparator)
{
    EXPECT_EQ(ParseDecimal("1,5"), 1.5);
    EXPECT_EQ(ParseDecimal("1.5"), 1.5);
    EXPECT_EQ(ParseDecimal(" -0,25 "), -0.25);
    EXPECT_EQ(ParseDecimal("+2"), 2.0);
    EXPECT_EQ(ParseDecimal(",5"), 0.5);
    for (const char *bad : {"", " ", "-", ",", "1,2,3", "1.2,3", "1e3", "abc", "1 2", "--1", "nan", "inf"})
        EXPECT_FALSE(ParseDecimal(bad)) << bad;
}
