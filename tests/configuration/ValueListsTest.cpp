// The configuration's value lists: entries and raw values in step, matching
// a stored value to the entry that shows it, and the values a list matches
// without showing them.
#include "configuration/InjectorTable.h"
#include "configuration/ValueLists.h"

#include <gtest/gtest.h>

#include <set>

using namespace lumex;

namespace {

std::string ShownFor(TValueListId id, unsigned raw)
{
    const auto i = IndexOfRaw(id, raw);
    return i ? ValueList(id).entries[*i] : "<none>";
}

} // namespace

TEST(ValueLists, EveryListHasOneRawValuePerEntryAndNoRawTwice)
{
    std::size_t position = 0;
    for (const TValueList &l : AllValueLists()) {
        SCOPED_TRACE(l.name);
        EXPECT_EQ(static_cast<std::size_t>(l.id), position++);
        ASSERT_FALSE(l.entries.empty());
        EXPECT_EQ(l.raws.size(), l.entries.size());
        const std::set<uint16_t> shown(l.raws.begin(), l.raws.end());
        EXPECT_EQ(shown.size(), l.raws.size()) << "two entries would store the same value";
        for (uint16_t extra : l.matchOnly)
            EXPECT_FALSE(shown.count(extra)) << extra;
        // Each text finds its own entry; only the injector list's "-"
        // placeholders share a text.
        for (std::size_t i = 0; i < l.raws.size(); ++i) {
            const auto found = IndexOfText(l.id, l.entries[i]);
            ASSERT_TRUE(found) << l.entries[i];
            if (l.entries[i] != "-") {
                EXPECT_EQ(*found, i) << l.entries[i];
            }
        }
    }
}

TEST(ValueLists, SwitchSpeedMatchesOnFourteenBitsAndKnowsSpeedsItDoesNotShow)
{
    EXPECT_EQ(ShownFor(TValueListId::SwitchRpm, 11220), "2000");
    EXPECT_EQ(RawOf(TValueListId::SwitchRpm, *IndexOfText(TValueListId::SwitchRpm, "2000")), 11220);
    EXPECT_EQ(ShownFor(TValueListId::SwitchRpm, 11220 | 0xC000), "2000"); // the upper two bits are ignored
    EXPECT_EQ(ShownFor(TValueListId::SwitchRpm, 16028), "1400");
    // 3000 rpm as stored: known, but no entry shows it.
    EXPECT_FALSE(IndexOfRaw(TValueListId::SwitchRpm, 7480));
    EXPECT_TRUE(MatchesRaw(TValueListId::SwitchRpm, 7480));
    EXPECT_FALSE(MatchesRaw(TValueListId::SwitchRpm, 7481));
    // The heater's matching table goes on to 80 °C.
    EXPECT_FALSE(IndexOfRaw(TValueListId::GasInjHeatingTred, 28));
    EXPECT_TRUE(MatchesRaw(TValueListId::GasInjHeatingTred, 28));
    EXPECT_EQ(ShownFor(TValueListId::GasInjHeatingTred, 207), "-5");
}

TEST(ValueLists, InjectorCountsAreMasksAndSignedPercentIsAByte)
{
    EXPECT_EQ(RawOf(TValueListId::InjectorCount, *IndexOfText(TValueListId::InjectorCount, "8")), 255);
    EXPECT_EQ(ShownFor(TValueListId::InjectorCount, 255), "8");
    EXPECT_EQ(ShownFor(TValueListId::InjectorCount, 7), "3");
    EXPECT_FALSE(IndexOfRaw(TValueListId::InjectorCount, 0));
    EXPECT_FALSE(IndexOfText(TValueListId::InjectorCount, "7"));

    EXPECT_EQ(RawOf(TValueListId::MazdaCorrection, *IndexOfText(TValueListId::MazdaCorrection, "-100")), 156);
    EXPECT_EQ(ShownFor(TValueListId::MazdaCorrection, 241), "-15");
    EXPECT_EQ(ShownFor(TValueListId::MazdaCorrection, 50), "50");
    EXPECT_EQ(SignedPercentByte(-100), 156);
    EXPECT_EQ(SignedPercentValue(156), -100);
    EXPECT_EQ(SignedPercentValue(50), 50);
}

TEST(ValueLists, RealsShowADecimalCommaAndMapToTheirUnits)
{
    EXPECT_EQ(ShownFor(TValueListId::EmulatorSwitchDelay, 100), "0,2");
    EXPECT_EQ(ShownFor(TValueListId::EmulatorSwitchDelay, 500), "1");
    EXPECT_EQ(ShownFor(TValueListId::PostValveDelay, 450), "0,9");
    EXPECT_EQ(ShownFor(TValueListId::PostValveDelay, 500), "1,0");
    EXPECT_EQ(ShownFor(TValueListId::PostValveDelay, 5000), "10,0");
    EXPECT_EQ(ShownFor(TValueListId::LowPressureDelay, 15), "1,5");
    EXPECT_EQ(ShownFor(TValueListId::LowPressureDelay, 50), "5");
    EXPECT_EQ(ShownFor(TValueListId::MicroInjectionTime, 19), "<0,2");
    EXPECT_EQ(ShownFor(TValueListId::MicroInjectionTime, 243), "<2,6");
    EXPECT_EQ(ShownFor(TValueListId::NozzleSize, 40), "4,0");
    EXPECT_FALSE(IndexOfRaw(TValueListId::NozzleSizeLegacy, 36));
    EXPECT_EQ(ShownFor(TValueListId::MinGasInjectionTime, 766), "4,1");
    EXPECT_EQ(ShownFor(TValueListId::MaxGasInjectionTime, 4675), "25");
    EXPECT_EQ(ShownFor(TValueListId::InjectionTimeMs, 1870), "10");
    EXPECT_EQ(ShownFor(TValueListId::OnCutOffDelay, 5000), "10");
    EXPECT_EQ(ShownFor(TValueListId::HighLoadReturn, 95), "95%");
    EXPECT_EQ(ShownFor(TValueListId::NextInspection, 0), "NotSet");
    // What a user types: a point for the comma, no "<" and no "%".
    EXPECT_EQ(IndexOfText(TValueListId::MicroInjectionTime, "0.3"), 1u);
    EXPECT_EQ(IndexOfText(TValueListId::HighLoadReturn, "55"), 1u);
    EXPECT_FALSE(IndexOfText(TValueListId::LowPressureThreshold, "0,35"));
}

TEST(ValueLists, EnumerationsStoreCodesNotPositions)
{
    EXPECT_FALSE(IndexOfRaw(TValueListId::LambdaType, 0)); // no probe: nothing chosen
    EXPECT_EQ(ShownFor(TValueListId::LambdaType, 1), "0 - 1 V");
    EXPECT_EQ(ShownFor(TValueListId::LambdaType, 6), "0,8 - 1,6 V");
    EXPECT_FALSE(IndexOfRaw(TValueListId::PressureSensor, 0));
    EXPECT_EQ(ShownFor(TValueListId::PressureSensor, 4), "PS-CCT3-ATM (PPO)");
    EXPECT_EQ(ShownFor(TValueListId::PressureSensorLegacy, 2), "PS-CC2/CCT3");
    EXPECT_EQ(ShownFor(TValueListId::InjectionSystemType, 2), "PÓŁSEKWENCYJNY");
    EXPECT_EQ(ShownFor(TValueListId::IgnitionType, 1), "DIS - podwójna cewka");
    EXPECT_EQ(ShownFor(TValueListId::GasInjector, 20), "KOLTEC ");
    EXPECT_EQ(ShownFor(TValueListId::GasInjector, 29), "VALTEK TYPE34");
    EXPECT_EQ(ValueList(TValueListId::GasInjector).entries.size(), 30u);
}

TEST(InjectorTable, ClassCharacteristicAndModelOffsetByCode)
{
    struct Case
    {
        uint8_t code, cls;
        std::optional<uint8_t> characteristic;
        const char *offset;
    };
    for (const Case &c : {Case{0, 3, 11, "(1,0)"}, Case{1, 1, {}, "(2,0)"}, Case{6, 1, {}, "(1,5)"},
                          Case{10, 2, {}, "(2,5)"}, Case{15, 0, {}, "(1,0)"}, Case{20, 0, {}, "(1,8)"},
                          Case{22, 3, 3, "(1,1)"}, Case{26, 0, {}, "(-,-)"}, Case{29, 3, 17, "(1,1)"},
                          Case{30, 0, {}, "(-,-)"}, Case{255, 0, {}, "(-,-)"}}) {
        SCOPED_TRACE(int{c.code});
        const TInjectorClass k = InjectorClassOf(c.code);
        EXPECT_EQ(k.Class, c.cls);
        EXPECT_EQ(k.Characteristic, c.characteristic);
        EXPECT_EQ(DefaultModelOffsetLabel(c.code), c.offset);
    }
    // Only class 3 sends a characteristic, and each index belongs to one injector.
    std::set<uint8_t> indexes;
    for (unsigned code = 0; code < 30; ++code) {
        const TInjectorClass k = InjectorClassOf(static_cast<uint8_t>(code));
        EXPECT_EQ(k.Characteristic.has_value(), k.Class == 3) << code;
        if (k.Characteristic) {
            EXPECT_TRUE(indexes.insert(*k.Characteristic).second) << code;
        }
    }
    EXPECT_EQ(indexes.size(), 17u);
}
