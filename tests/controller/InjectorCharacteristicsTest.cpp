// The characteristic records the configuration write sends: one for every
// index the injector table names, each telling its characteristic apart.
#include "controller/InjectorCharacteristics.h"
#include "configuration/InjectorTable.h"

#include <gtest/gtest.h>

#include <set>

using namespace lumex;

TEST(InjectorCharacteristics, EveryIndexTheInjectorsNameHasItsOwnRecord)
{
    std::set<uint8_t> named;
    for (unsigned code = 0; code < 256; ++code) {
        if (const auto index = InjectorClassOf(static_cast<uint8_t>(code)).Characteristic) {
            EXPECT_TRUE(InjectorCharacteristicRecord(*index).has_value()) << "injector " << code;
            named.insert(*index);
        }
    }
    EXPECT_EQ(named.size(), std::size_t{kLastCharacteristic - kFirstCharacteristic + 1});

    std::set<TInjectorRecord> records;
    std::set<std::pair<uint8_t, uint8_t>> tags;
    for (unsigned i = kFirstCharacteristic; i <= kLastCharacteristic; ++i) {
        const auto r = InjectorCharacteristicRecord(static_cast<uint8_t>(i));
        ASSERT_TRUE(r.has_value()) << i;
        records.insert(*r);
        tags.insert({(*r)[6], (*r)[7]});
    }
    EXPECT_EQ(records.size(), named.size());
    EXPECT_EQ(tags.size(), named.size());
}

TEST(InjectorCharacteristics, IndexesOutsideTheTableHaveNoRecord)
{
    EXPECT_FALSE(InjectorCharacteristicRecord(0).has_value());
    EXPECT_FALSE(InjectorCharacteristicRecord(kLastCharacteristic + 1).has_value());
    EXPECT_FALSE(InjectorCharacteristicRecord(255).has_value());
}

TEST(InjectorCharacteristics, WordsGoHighByteFirst)
{
    // Characteristic 1 starts with 748 (0x02EC) and ends with 468 (0x01D4).
    const auto r = InjectorCharacteristicRecord(1);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ((*r)[0], 0x02);
    EXPECT_EQ((*r)[1], 0xEC);
    EXPECT_EQ((*r)[10], 0x01);
    EXPECT_EQ((*r)[11], 0xD4);
}
