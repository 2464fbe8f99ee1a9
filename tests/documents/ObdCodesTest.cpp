#include "DocumentsTestSupport.h"

#include "documents/CustomCatalogue.h"
#include "documents/ObdCodes.h"

#include <gtest/gtest.h>

namespace lumex {
namespace {

using test::TTempFolder;
using test::WriteBytes;
using test::WriteObdList;

TEST(OBDCodeText, LooksUpGenericCodesOnly)
{
    const std::vector<std::string> codes = {"P0300 Random misfire",      "P0301 Misfire in cylinder 1",
                                            "P1301 Maker code",          "P2096 Lean after the catalyst",
                                            "U0100\tLost engine module", "P3400"};
    EXPECT_EQ(OBDCodeTextOf(codes, "P0301"), "P0301 (Misfire in cylinder 1)");
    EXPECT_EQ(OBDCodeTextOf(codes, "P2096"), "P2096 (Lean after the catalyst)");
    EXPECT_EQ(OBDCodeTextOf(codes, "U0100"), "U0100 (Lost engine module)") << "any separator character";
    EXPECT_EQ(OBDCodeTextOf(codes, "P1301"), "P1301") << "maker codes are not looked up";
    EXPECT_EQ(OBDCodeTextOf(codes, "P030"), "P030");
    EXPECT_EQ(OBDCodeTextOf(codes, "P03011"), "P03011");
    EXPECT_EQ(OBDCodeTextOf(codes, "P0420"), "P0420") << "not listed";
    EXPECT_EQ(OBDCodeTextOf(codes, "P3400"), "P3400 ()") << "a line with the code alone";
    EXPECT_EQ(OBDCodeTextOf({}, "P0300"), "P0300");
}

class ObdListTest : public ::testing::Test
{
protected:
    TTempFolder folder;
    TCustom catalogue{folder.Path(), folder.Path() + "locale"};
};

TEST_F(ObdListTest, LanguageListDecodedInItsCodePage)
{
    WriteObdList(folder.Path(), "CZ", "P0301 Vynechávání zapalování ve válci 1\n");
    WriteObdList(folder.Path(), "en_GB", "P0301 Misfire in cylinder 1\n");
    catalogue.SetCatalogueLanguage("CZ");
    EXPECT_EQ(catalogue.OBDCodeText("P0301"), "P0301 (Vynechávání zapalování ve válci 1)");
    EXPECT_EQ(catalogue.OBDCodesFile(), folder.Path() + "OBD-Codes-CZ.lng");
}

TEST_F(ObdListTest, FallsBackToTheBritishList)
{
    WriteObdList(folder.Path(), "en_GB", "P0301 Misfire in cylinder 1\n");
    catalogue.SetCatalogueLanguage("DE");
    EXPECT_EQ(catalogue.OBDCodeText("P0301"), "P0301 (Misfire in cylinder 1)");
    EXPECT_EQ(catalogue.OBDCodesFile(), folder.Path() + "OBD-Codes-en_GB.lng");
}

TEST_F(ObdListTest, ALanguageWithoutUnderscoreTakesTheFirstVariant)
{
    WriteObdList(folder.Path(), "en_GB", "P0301 British\n");
    WriteObdList(folder.Path(), "DE_b", "P0301 Variante B\n");
    WriteObdList(folder.Path(), "DE_a", "P0301 Variante A\n");
    catalogue.SetCatalogueLanguage("DE");
    EXPECT_EQ(catalogue.OBDCodeText("P0301"), "P0301 (Variante A)");
    catalogue.SetCatalogueLanguage("DE_b");
    EXPECT_EQ(catalogue.OBDCodeText("P0301"), "P0301 (Variante B)");
    catalogue.SetCatalogueLanguage("DE_c");
    EXPECT_EQ(catalogue.OBDCodeText("P0301"), "P0301 (British)") << "an exact name is not widened";
}

TEST_F(ObdListTest, NoListAtAllEmptiesIt)
{
    WriteObdList(folder.Path(), "CZ", "P0301 Válec 1\n");
    catalogue.SetCatalogueLanguage("CZ");
    ASSERT_FALSE(catalogue.OBDCodes().empty());
    catalogue.SetCatalogueLanguage("DE");
    EXPECT_TRUE(catalogue.OBDCodes().empty());
    EXPECT_EQ(catalogue.OBDCodeText("P0301"), "P0301");
}

TEST_F(ObdListTest, ReloadsEvenWhenTheLanguageStays)
{
    catalogue.SetCatalogueLanguage("CZ");
    EXPECT_TRUE(catalogue.OBDCodes().empty());
    WriteObdList(folder.Path(), "CZ", "P0301 Válec 1\n");
    catalogue.SetCatalogueLanguage("CZ");
    EXPECT_EQ(catalogue.OBDCodes().size(), 1u);
}

} // namespace
} // namespace lumex
