// The dependencies between the configuration controls: what each box
// enables (or shows, on 1.4/1.5), the entries ticking selects, the forced
// values and the revision gates.
#include "configuration/ConfigDependencies.h"

#include <gtest/gtest.h>

using namespace lumex;
using C = TConfControl;

namespace {

TConfContext G30(const char *letter = "G")
{
    return {0x30, letter};
}

std::string Name(C c)
{
    return ConfControlName(c);
}

} // namespace

TEST(ConfigDependencies, EachBoxEnablesItsListsOn30)
{
    const std::pair<C, C> links[] = {
        {C::ChBConfLambda, C::CmBConfLambdaType},
        {C::ChBConfMicroInjection, C::CmBConfMicroInjectionTime},
        {C::ChBConfRpmBelow, C::CmBConfRpmBelow},
        {C::ChBConfRpmAbove, C::CmBConfRpmAbove},
        {C::ChBConfLoadAbove, C::CmBConfLoadAbove},
        {C::ChBConfTgasBelow, C::CmBConfTgasBelow},
        {C::ChBConfTgasBelow, C::CmBConfTgasBelowLoad},
        {C::ChBConfTredBelow, C::CmBConfTredBelow},
        {C::ChBConfTredBelow, C::CmBConfTredBelowLoad},
        {C::ChBConfFuelOverlap, C::CmBConfOverlapCycles},
        {C::ChBConfFuelOverlap, C::CmBConfOverlapTime},
        {C::ChBConfGasInjHeating, C::CmBConfGasInjHeatingTemp},
        {C::ChBConfCutOffPressure, C::CmBConfCutOffPressure},
        {C::ChBConfEnrichment, C::CmBConfEnrichmentTime},
        {C::ChBConfEnrichment, C::CmBConfEnrichmentRpm},
        {C::ChBConfMazda, C::CmBConfMazdaPercent},
        {C::ChBConfMinGasInj, C::CmBConfMinGasInj},
        {C::ChBConfMaxGasInj, C::CmBConfMaxGasInj},
        {C::ChBConfCutOffReturn, C::CmBConfAfterCutOffDelay},
        {C::ChBConfCutOffReturn, C::CmBConfOnCutOffDelay},
    };
    for (const auto &[box, list] : links) {
        SCOPED_TRACE(Name(box) + " -> " + Name(list));
        TConfControls c;
        EXPECT_FALSE(ResolveDependencies(c, G30()).Of(list).Enabled);
        CheckBox(c, box, true, G30());
        const TConfView v = ResolveDependencies(c, G30());
        EXPECT_TRUE(v.Of(list).Enabled);
        EXPECT_TRUE(v.Of(list).Visible); // 3.0 disables, never hides these
    }
}

TEST(ConfigDependencies, TickingWithNothingChosenSelectsTheFirstOrLastEntry)
{
    struct Case
    {
        C box, list;
        const char *letter;
        int before, after;
    } const cases[] = {
        {C::ChBConfRpmBelow, C::CmBConfRpmBelow, "G", -1, 0},
        {C::ChBConfRpmAbove, C::CmBConfRpmAbove, "G", -1, 10},
        {C::ChBConfLoadAbove, C::CmBConfLoadAbove, "G", -1, 10},
        {C::ChBConfTgasBelow, C::CmBConfTgasBelow, "G", -1, 0},
        {C::ChBConfTgasBelow, C::CmBConfTgasBelowLoad, "D", -1, 0},
        {C::ChBConfTgasBelow, C::CmBConfTgasBelowLoad, "C", -1, -1}, // no load list before D
        {C::ChBConfTredBelow, C::CmBConfTredBelowLoad, "G", -1, 0},
        {C::ChBConfLambda, C::CmBConfLambdaType, "G", -1, 0},
        {C::ChBConfRpmAbove, C::CmBConfRpmAbove, "G", 3, 3},                   // a choice is kept
        {C::ChBConfMicroInjection, C::CmBConfMicroInjectionTime, "G", -1, -1}, // not a return condition
        {C::ChBConfFuelOverlap, C::CmBConfOverlapTime, "G", -1, -1},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(Name(k.list) + " on " + k.letter);
        TConfControls c;
        c.Count[static_cast<std::size_t>(k.list)] = 11;
        c.Index[static_cast<std::size_t>(k.list)] = k.before;
        CheckBox(c, k.box, true, G30(k.letter));
        EXPECT_EQ(c.IndexOf(k.list), k.after);
    }
    // An empty list has nothing to select.
    TConfControls empty;
    CheckBox(empty, C::ChBConfRpmAbove, true, G30());
    EXPECT_EQ(empty.IndexOf(C::CmBConfRpmAbove), -1);
}

TEST(ConfigDependencies, LambdaBoxAndLubricantLevelInputExcludeEachOther)
{
    TConfControls c;
    c.Count[static_cast<std::size_t>(C::CmBConfLambdaType)] = 6;
    CheckBox(c, C::ChBConfLambda, true, G30());
    c.Index[static_cast<std::size_t>(C::CmBConfLambdaType)] = 2;
    EXPECT_EQ(LambdaTypeOf(c), 3);
    TConfView v = ResolveDependencies(c, G30());
    EXPECT_FALSE(v.Of(C::ChBConfFlashLube).Enabled);
    EXPECT_TRUE(v.Of(C::ChBConfLambda).Enabled);
    EXPECT_TRUE(v.LambdaReadoutsVisible);

    // Clearing the box stores lambda type 0.
    CheckBox(c, C::ChBConfLambda, false, G30());
    EXPECT_EQ(LambdaTypeOf(c), 0);
    EXPECT_EQ(c.IndexOf(C::CmBConfLambdaType), -1);
    CheckBox(c, C::ChBConfFlashLube, true, G30());
    v = ResolveDependencies(c, G30());
    EXPECT_FALSE(v.Of(C::ChBConfLambda).Enabled);
    EXPECT_TRUE(v.Of(C::ChBConfFlashLube).Enabled);
    EXPECT_FALSE(v.LambdaReadoutsVisible);

    // Before "G" there is no lubricant input: a stale tick blocks nothing.
    v = ResolveDependencies(c, G30("F"));
    EXPECT_FALSE(v.Of(C::ChBConfFlashLube).Enabled);
    EXPECT_TRUE(v.Of(C::ChBConfLambda).Enabled);
}

TEST(ConfigDependencies, ExternalEmulatorHidesThePostValveDelayAndPlusControlTicksIt)
{
    for (const TConfContext &ctx : {G30(), TConfContext{0x15, "E"}, TConfContext{0x14, ""}}) {
        TConfControls c;
        EXPECT_TRUE(ResolveDependencies(c, ctx).Of(C::CmBConfPostValveDelay).Visible);
        CheckBox(c, C::ChBConfPetrolInjPlus, true, ctx);
        EXPECT_TRUE(c.IsChecked(C::ChBConfExternalEmulator));
        EXPECT_FALSE(ResolveDependencies(c, ctx).Of(C::CmBConfPostValveDelay).Visible);
        // Clearing the plus control leaves the emulator as it is.
        CheckBox(c, C::ChBConfPetrolInjPlus, false, ctx);
        EXPECT_TRUE(c.IsChecked(C::ChBConfExternalEmulator));
    }
}

TEST(ConfigDependencies, RpmWireNotConnectedForcesTheSourceTypeWhereTheRevisionHasIt)
{
    struct Case
    {
        TConfContext ctx;
        bool has;
    } const cases[] = {
        {G30("C"), true},    {G30("G"), true},     {G30("B"), false},
        {{0x15, "E"}, true}, {{0x15, "D"}, false}, {{0x14, "E"}, false},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(std::to_string(k.ctx.VersionCode) + k.ctx.Letter);
        const bool legacy = k.ctx.VersionCode != 0x30;
        TConfControls c;
        c.Index[static_cast<std::size_t>(C::CmBConfRPMSourceType)] = 1;
        CheckBox(c, C::ChBConfRPMWireNotConnect, true, k.ctx);
        const TConfView v = ResolveDependencies(c, k.ctx);
        const auto &box = v.Of(C::ChBConfRPMWireNotConnect);
        EXPECT_EQ(legacy ? box.Visible : box.Enabled, k.has);
        EXPECT_EQ(c.IndexOf(C::CmBConfRPMSourceType), k.has ? kRpmFromPetrolInjectors : 1);
        const auto &source = v.Of(C::CmBConfRPMSourceType);
        EXPECT_EQ(legacy ? source.Visible : source.Enabled, !k.has);
    }
}

TEST(ConfigDependencies, PressureSensorChoiceSetsTheInFlowBoxAndPsCc1BlocksTheRpmWire)
{
    struct Case
    {
        uint8_t code;
        bool inFlowBefore, inFlowAfter, wireAfter;
    } const cases[] = {
        {1, true, false, false}, {2, true, false, true},  {3, false, true, true},
        {4, false, true, true},  {5, false, false, true}, {5, true, true, true},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(int(k.code));
        TConfControls c;
        c.Checked[static_cast<std::size_t>(C::ChBConfGasTempInFlow)] = k.inFlowBefore;
        c.Checked[static_cast<std::size_t>(C::ChBConfRPMWireNotConnect)] = true;
        ChoosePressureSensor(c, k.code);
        EXPECT_EQ(c.IsChecked(C::ChBConfGasTempInFlow), k.inFlowAfter);
        EXPECT_EQ(c.IsChecked(C::ChBConfRPMWireNotConnect), k.wireAfter);
        const TConfView v = ResolveDependencies(c, G30());
        EXPECT_EQ(v.Of(C::ChBConfRPMWireNotConnect).Enabled, k.code != 1);
        EXPECT_EQ(v.Of(C::TbSModAdaptation).Visible, k.code != 1);
    }
    // PS-CC1 keeps the box clear even when something ticks it later.
    TConfControls c;
    ChoosePressureSensor(c, 1);
    c.Checked[static_cast<std::size_t>(C::ChBConfRPMWireNotConnect)] = true;
    ResolveDependencies(c, G30());
    EXPECT_FALSE(c.IsChecked(C::ChBConfRPMWireNotConnect));
}

TEST(ConfigDependencies, LegacyPagesShowAndHideAndLackTheThreeZeroControls)
{
    const TConfContext legacy{0x15, "E"};
    TConfControls c;
    TConfView v = ResolveDependencies(c, legacy);
    EXPECT_FALSE(v.Of(C::CmBConfMicroInjectionTime).Visible);
    EXPECT_TRUE(v.Of(C::CmBConfMicroInjectionTime).Enabled);
    for (C absent : {C::ChBConfRpmBelow, C::CmBConfRpmBelow, C::ChBConfFlashLube, C::ChBConfEnrichment,
                     C::ChBConfGasTempInFlow, C::TbSModAdaptation})
        EXPECT_FALSE(v.Of(absent).Visible) << Name(absent);
    CheckBox(c, C::ChBConfMicroInjection, true, legacy);
    v = ResolveDependencies(c, legacy);
    EXPECT_TRUE(v.Of(C::CmBConfMicroInjectionTime).Visible);

    // The level-sensor button: any type on 3.0, any but the reserve switch on 1.4/1.5.
    const struct
    {
        TConfContext ctx;
        int index;
        bool shown;
    } levels[] = {{G30(), -1, false}, {G30(), 0, true}, {legacy, 0, false}, {legacy, 1, true}, {legacy, 3, true}};
    for (const auto &k : levels) {
        TConfControls l;
        l.Index[static_cast<std::size_t>(C::CmBConfLevelSensor)] = k.index;
        EXPECT_EQ(ResolveDependencies(l, k.ctx).Of(C::BtnConfLevelSensor).Visible, k.shown)
            << int(k.ctx.VersionCode) << " " << k.index;
    }
}

TEST(ConfigDependencies, RevisionGatesKeepTickedFeaturesOff)
{
    struct Case
    {
        C box, list;
        const char *without, *with;
    } const cases[] = {
        {C::ChBConfCutOffPressure, C::CmBConfCutOffPressure, "C", "D"},
        {C::ChBConfEnrichment, C::CmBConfEnrichmentRpm, "E", "F"},
        {C::ChBConfMazda, C::CmBConfMazdaPercent, "E", "F"},
        {C::ChBConfCutOffReturn, C::CmBConfOnCutOffDelay, "F", "G"},
        {C::ChBConfMaxGasInj, C::CmBConfMaxGasInj, "F", "g"}, // letters compare upper-cased
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(Name(k.list));
        TConfControls c;
        c.Checked[static_cast<std::size_t>(k.box)] = true;
        EXPECT_FALSE(ResolveDependencies(c, G30(k.without)).Of(k.list).Enabled);
        EXPECT_TRUE(ResolveDependencies(c, G30(k.with)).Of(k.list).Enabled);
    }
}
