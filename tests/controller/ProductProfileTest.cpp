#include "documents/ProductProfile.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace lumex;

TEST(ProductProfile, NamesByCode)
{
    EXPECT_EQ(ProductName(0), "Unknown");
    EXPECT_EQ(ProductName(-1), "ERROR");
    EXPECT_EQ(ProductName(24), "ERROR");
    EXPECT_EQ(ProductLongName(99), "ERROR");
    std::set<std::string> names;
    for (int code = 0; code < kProductProfileCount; ++code) {
        const TProductProfile *p = FindProductProfile(code);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Code, code);
        names.insert(p->Name);
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kProductProfileCount));
}

TEST(ProductProfile, TheSelectedRow)
{
    const TProductProfile &p = SelectedProductProfile();
    EXPECT_EQ(&p, FindProductProfile(SelectedProductCode()));
    EXPECT_STREQ(p.Name, "Lumex2");
    EXPECT_EQ(ProductName(SelectedProductCode()), "Lumex2");
    EXPECT_STREQ(p.DefaultLanguage, "CZ");
    EXPECT_EQ(std::vector<uint8_t>(p.InjectorTypes.begin(), p.InjectorTypes.end()),
              (std::vector<uint8_t>{5, 0, 19, 28, 2, 24, 12, 11, 23, 13, 21, 22}));
    EXPECT_EQ(std::vector<uint8_t>(p.PressureSensorTypes.begin(), p.PressureSensorTypes.end()),
              (std::vector<uint8_t>{1, 2, 3, 4}));
    // Palette entries 5..16; the ones the live displays rely on.
    auto entry = [&p](std::size_t index) { return p.Palette[index - kProfilePaletteFirst]; };
    EXPECT_EQ(entry(5), 0x0000FFu);
    EXPECT_EQ(entry(7), 0xFFFF00u);
    EXPECT_EQ(entry(10), 0xFF0000u);
    EXPECT_EQ(entry(13), 0x2020FFu);
    EXPECT_EQ(entry(14), 0x000080u);
    EXPECT_EQ(entry(15), 0xFF0000u);
    EXPECT_EQ(entry(16), 0x800000u);
}
