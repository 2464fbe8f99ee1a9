// The texts the configuration pages show in their lists: the language's
// items by control name when it gives one per entry, the built-in ones
// otherwise.
#include "configuration/ListTexts.h"
#include "documents/LangManager.h"
#include "documents/LanguagePack.h"
#include "documents/Languages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace lumex;

namespace {

// A window that takes every component line.
class TAnyWindow : public TLanguageWindow
{
public:
    void SetCaption(const std::string &) override {}
    void SetFontCharset(uint8_t) override {}
    bool ApplyComponentLine(const std::string &, const TComponentValue &, uint8_t) override { return true; }
};

} // namespace

TEST(ListTexts, LanguageItemsOnlyWhenThereIsOnePerEntry)
{
    const std::vector<std::string> builtIn = ValueList(TValueListId::Reducer).entries;
    const std::vector<std::string> five{"OTHER", "A", "A T", "B", "B T"};
    const std::vector<std::string> four{"OTHER", "A", "A T", "B"};
    EXPECT_EQ(ListEntryTexts(TValueListId::Reducer, &five), five);
    EXPECT_EQ(ListEntryTexts(TValueListId::Reducer, &four), builtIn);
    EXPECT_EQ(ListEntryTexts(TValueListId::Reducer, nullptr), builtIn);
    const std::vector<std::string> none;
    EXPECT_EQ(ListEntryTexts(TValueListId::Reducer, &none), builtIn);
}

TEST(ListTexts, ByControlNameFromTheLanguageInForce)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "lumex-lists-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const std::string folder = pattern + "/";
    {
        std::ofstream out(folder + "_EN.lng", std::ios::binary);
        out << PackLanguageText("FileVersion=3.0.5.1\n[FormMain]\n"
                                "CmBKnfFuel=^\nCmBKnfFuel=Autogas\nCmBKnfFuel=Natural gas\n"
                                "CmBKnfRedType=^\nCmBKnfRedType=OTHER\n",
                                CharsetOf("EN"), std::nullopt);
    }
    {
        TLM lm(folder, "3.0.5.1");
        ASSERT_EQ(TLM::Instance(), &lm);
        // Before any language: the built-in texts.
        EXPECT_EQ(ListEntryTexts(TValueListId::Fuel, "CmBKnfFuel"), ValueList(TValueListId::Fuel).entries);
        TAnyWindow window;
        lm.AttachWindow(TLanguageWindowId::MainWindow, &window);
        ASSERT_TRUE(lm.LoadLanguage("EN"));
        EXPECT_EQ(ListEntryTexts(TValueListId::Fuel, "CmBKnfFuel"),
                  (std::vector<std::string>{"Autogas", "Natural gas"}));
        // Another control of the same list, and a list given too few items.
        EXPECT_EQ(ListEntryTexts(TValueListId::Fuel, "CmBConfFuel"), ValueList(TValueListId::Fuel).entries);
        EXPECT_EQ(ListEntryTexts(TValueListId::Reducer, "CmBKnfRedType"), ValueList(TValueListId::Reducer).entries);
        lm.DetachWindow(TLanguageWindowId::MainWindow, &window);
    }
    std::filesystem::remove_all(pattern);
}
