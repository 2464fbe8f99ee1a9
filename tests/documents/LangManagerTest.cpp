#include "DocumentsTestSupport.h"

#include "documents/CustomCatalogue.h"
#include "documents/LangManager.h"
#include "documents/Languages.h"
#include "documents/MessageKeys.h"

#include <gtest/gtest.h>

#include <map>

namespace lumex {
namespace {

using test::TTempFolder;
using test::WriteLanguageFile;
using test::WriteObdList;

// A window that records what the language file does to it.
class TRecordingWindow : public TLanguageWindow
{
public:
    explicit TRecordingWindow(std::set<std::string> components) : components_(std::move(components)) {}
    void SetCaption(const std::string &caption) override { Caption = caption; }
    void SetFontCharset(uint8_t charset) override { Charset = charset; }
    bool ApplyComponentLine(const std::string &name, const TComponentValue &value, uint8_t charset) override
    {
        if (!components_.count(name))
            return false;
        Applied.push_back({name, value, charset});
        return true;
    }
    struct TLine
    {
        std::string Name;
        TComponentValue Value;
        uint8_t Charset;
    };
    std::string Caption;
    int Charset = -1;
    std::vector<TLine> Applied;

private:
    std::set<std::string> components_;
};

class LangManagerTest : public ::testing::Test
{
protected:
    LangManagerTest() : lm(folder.Path(), "3.0.5.1")
    {
        lm.OnError = [this](const std::string &caption, const std::string &text) {
            errors.push_back(caption + "|" + text);
        };
    }
    TTempFolder folder;
    TLM lm;
    std::vector<std::string> errors;
};

TEST_F(LangManagerTest, LoadsMessagesAndSwitchesTheLanguage)
{
    WriteLanguageFile(folder.Path(), "EN", "FileVersion=3.0.5.1\n[Strings]\nstrOK=Fine\nstrEmpty=\n");
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(lm.LanguageCode(), "EN");
    EXPECT_EQ(lm.MessageText("strOK"), "Fine");
    EXPECT_EQ(lm.MessageText("STROK"), "Fine") << "names compare without regard to case";
    EXPECT_EQ(lm.MessageText("strMissing"), "!_strMissing");
    EXPECT_EQ(lm.MessageText("strEmpty"), "!_strEmpty");
}

TEST_F(LangManagerTest, RefusesALowerCaseVersionKey)
{
    WriteLanguageFile(folder.Path(), "EN", "FileVersion=3.0.5.1\nstrOK=Old\n");
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    WriteLanguageFile(folder.Path(), "DE", "fileversion=3.0.5.1\nstrOK=Neu\n");
    EXPECT_FALSE(lm.LoadLanguage("DE"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error|Incorrect file structure: " + folder.Path() + "_DE.lng");
    EXPECT_EQ(lm.LanguageCode(), "EN");
    EXPECT_EQ(lm.MessageText("strOK"), "Old");
}

TEST_F(LangManagerTest, RefusesAFileOfAnotherVersionNamingBoth)
{
    WriteLanguageFile(folder.Path(), "CZ", "FileVersion=3.0.4.9\nstrOK=Dobře\n");
    EXPECT_FALSE(lm.LoadLanguage("CZ"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error|Incorrect file version: " + folder.Path() +
                             "_CZ.lng\r\n\r\n(expected: 3.0.5.1, but found: 3.0.4.9)");
    EXPECT_EQ(lm.LanguageCode(), "PL");
}

TEST_F(LangManagerTest, EmptyAndMissingFiles)
{
    WriteLanguageFile(folder.Path(), "DE", "");
    EXPECT_FALSE(lm.LoadLanguage("DE"));
    EXPECT_FALSE(lm.LoadLanguage("IT"));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "Error|Incorrect file structure: " + folder.Path() + "_DE.lng");
    EXPECT_EQ(errors[1], "Error|File not found:\r\n" + folder.Path() + "_IT.lng");
}

TEST_F(LangManagerTest, OnlyKnownCodesNameFiles)
{
    // A file that a crafted code could reach must not be read.
    TCustom catalogue(folder.Path(), folder.Path() + "locale");
    lm.SetCatalogue(&catalogue);
    WriteLanguageFile(folder.Path(), "XX", "FileVersion=3.0.5.1\nstrOK=Sneaky\n");
    EXPECT_FALSE(lm.LoadLanguage("XX"));
    EXPECT_FALSE(lm.LoadLanguage("../EN"));
    EXPECT_EQ(lm.MessageText("strOK"), "!_strOK");
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_EQ(catalogue.CatalogueLanguage(), "PL") << "only the language in force reached the catalogue";
}

TEST_F(LangManagerTest, DecodesTheCodePageOfTheLanguage)
{
    WriteLanguageFile(folder.Path(), "CZ", "FileVersion=3.0.5.1\nstrOK=Připojit č\n");
    WriteLanguageFile(folder.Path(), "RU", "FileVersion=3.0.5.1\nstrOK=Подключить\n");
    ASSERT_TRUE(lm.LoadLanguage("CZ"));
    EXPECT_EQ(lm.MessageText("strOK"), "Připojit č");
    ASSERT_TRUE(lm.LoadLanguage("RU"));
    EXPECT_EQ(lm.MessageText("strOK"), "Подключить");
}

TEST_F(LangManagerTest, WindowSectionsApplyToExistingWindowsOnly)
{
    WriteLanguageFile(folder.Path(), "CZ",
                      "FileVersion=3.0.5.1\n"
                      "[FormMain]=Hlavní okno\n"
                      "BtnOne=Jedna\n"
                      "BtnGhost=Nikdo\n"
                      "=bez jména\n"
                      "[FormInjTest]\n"
                      "LblInj=Test vstřikovačů\n"
                      "[Strings]\n"
                      "strOK=Dobře\n");
    TRecordingWindow main({"BtnOne"});
    lm.AttachWindow(TLanguageWindowId::MainWindow, &main);
    ASSERT_TRUE(lm.LoadLanguage("CZ"));
    EXPECT_EQ(main.Caption, "Hlavní okno");
    EXPECT_EQ(main.Charset, 238);
    ASSERT_EQ(main.Applied.size(), 1u);
    EXPECT_EQ(main.Applied[0].Name, "BtnOne");
    EXPECT_EQ(main.Applied[0].Value.Text, "Jedna");
    EXPECT_EQ(main.Applied[0].Charset, 238);
    // The injector test window does not exist yet: its lines are message texts.
    EXPECT_EQ(lm.MessageText("LblInj"), "Test vstřikovačů");
    EXPECT_EQ(lm.MessageText("strOK"), "Dobře");
    EXPECT_EQ(lm.MessageText("BtnOne"), "!_BtnOne");

    TRecordingWindow injTest({"LblInj"});
    lm.AttachWindow(TLanguageWindowId::InjectorTest, &injTest);
    ASSERT_TRUE(lm.LoadLanguage("CZ"));
    ASSERT_EQ(injTest.Applied.size(), 1u);
    EXPECT_EQ(injTest.Applied[0].Value.Text, "Test vstřikovačů");
    EXPECT_EQ(lm.MessageText("LblInj"), "!_LblInj");
    lm.DetachWindow(TLanguageWindowId::InjectorTest, &injTest);
    lm.DetachWindow(TLanguageWindowId::MainWindow, &main);
}

TEST_F(LangManagerTest, KeepsTheItemsOfListsStartedWithACaret)
{
    WriteLanguageFile(folder.Path(), "DE",
                      "FileVersion=3.0.5.1\n"
                      "[FormMain]\n"
                      "CmBFuel=^\n"
                      "CmBFuel=Flüssiggas\n"
                      "CmBFuel=|a hint is no item\n"
                      "CmBFuel=\n"
                      "CmBFuel=Erdgas\n"
                      "LblFuel=Kraftstoff\n"
                      "CmBRestarted=^\n"
                      "CmBRestarted=Alt\n"
                      "CmBRestarted=^\n"
                      "CmBRestarted=Neu\n"
                      "[FormInjTest]\n"
                      "CmBFuel=^\n"
                      "CmBFuel=Anderes Fenster\n");
    TRecordingWindow main({"CmBFuel"});
    TRecordingWindow injTest({});
    lm.AttachWindow(TLanguageWindowId::MainWindow, &main);
    lm.AttachWindow(TLanguageWindowId::InjectorTest, &injTest);
    ASSERT_TRUE(lm.LoadLanguage("DE"));
    const auto *fuel = lm.ListItems(TLanguageWindowId::MainWindow, "CmBFuel");
    ASSERT_NE(fuel, nullptr);
    EXPECT_EQ(*fuel, (std::vector<std::string>{"Flüssiggas", "Erdgas"}));
    // The lines still reach the window as before.
    EXPECT_EQ(main.Applied.size(), 5u);
    // A caption line starts no list; a second "^" starts the list again;
    // each window section keeps its own lists.
    EXPECT_EQ(lm.ListItems(TLanguageWindowId::MainWindow, "LblFuel"), nullptr);
    EXPECT_EQ(*lm.ListItems(TLanguageWindowId::MainWindow, "CmBRestarted"), std::vector<std::string>{"Neu"});
    EXPECT_EQ(*lm.ListItems(TLanguageWindowId::InjectorTest, "CmBFuel"), std::vector<std::string>{"Anderes Fenster"});

    // A file that fails to load leaves the lists of the language in force;
    // a good one without lists drops them.
    WriteLanguageFile(folder.Path(), "CZ", "FileVersion=3.0.4.0\n");
    EXPECT_FALSE(lm.LoadLanguage("CZ"));
    EXPECT_NE(lm.ListItems(TLanguageWindowId::MainWindow, "CmBFuel"), nullptr);
    WriteLanguageFile(folder.Path(), "EN", "FileVersion=3.0.5.1\n[FormMain]\nLblFuel=Fuel\n");
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    EXPECT_EQ(lm.ListItems(TLanguageWindowId::MainWindow, "CmBFuel"), nullptr);
    lm.DetachWindow(TLanguageWindowId::InjectorTest, &injTest);
    lm.DetachWindow(TLanguageWindowId::MainWindow, &main);
}

TEST_F(LangManagerTest, SectionNamesCompareExactly)
{
    WriteLanguageFile(folder.Path(), "EN", "FileVersion=3.0.5.1\n[formmain]\nBtnOne=One\n[FormMultiOBD]\nBtnObd=Obd\n");
    TRecordingWindow main({"BtnOne", "BtnObd"});
    lm.AttachWindow(TLanguageWindowId::MainWindow, &main);
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    ASSERT_EQ(main.Applied.size(), 1u);
    EXPECT_EQ(main.Applied[0].Name, "BtnObd") << "the OBD section addresses the main window";
    EXPECT_EQ(lm.MessageText("BtnOne"), "One");
    lm.DetachWindow(TLanguageWindowId::MainWindow, &main);
}

TEST_F(LangManagerTest, HintsWithExtensions)
{
    WriteLanguageFile(folder.Path(), "EN",
                      "FileVersion=3.0.5.1\n[FormMain]\n"
                      "BtnHint=|Short hint||First line||Second line\n"
                      "BtnPlain=|Only a hint\n"
                      "BtnMissing=|Lost||but kept\n");
    TRecordingWindow main({"BtnHint", "BtnPlain"});
    lm.AttachWindow(TLanguageWindowId::MainWindow, &main);
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    ASSERT_EQ(main.Applied.size(), 2u);
    EXPECT_EQ(main.Applied[0].Value.Kind, TComponentValue::TKind::Hint);
    EXPECT_EQ(main.Applied[0].Value.Text, "Short hint");
    EXPECT_EQ(lm.HintExtension("BtnHint"), "First line\r\nSecond line");
    EXPECT_EQ(lm.HintExtension("bthint"), "");
    EXPECT_EQ(lm.HintExtension("BTNHINT"), "First line\r\nSecond line");
    EXPECT_EQ(main.Applied[1].Value.Text, "Only a hint");
    EXPECT_EQ(lm.HintExtension("BtnPlain"), "");
    // The extension is kept even when the component is not found.
    EXPECT_EQ(lm.HintExtension("BtnMissing"), "but kept");
    lm.DetachWindow(TLanguageWindowId::MainWindow, &main);
}

TEST(ComponentValue, TakesHintsClearsAndCaptionsApart)
{
    auto clear = ParseComponentValue("^");
    EXPECT_EQ(clear.Kind, TComponentValue::TKind::Clear);
    auto caption = ParseComponentValue("^ not alone");
    EXPECT_EQ(caption.Kind, TComponentValue::TKind::Text);
    auto hint = ParseComponentValue("|a||b||c||");
    EXPECT_EQ(hint.Kind, TComponentValue::TKind::Hint);
    EXPECT_EQ(hint.Text, "a");
    EXPECT_EQ(hint.HintExtension, "b\r\nc\r\n");
    auto emptyHint = ParseComponentValue("|");
    EXPECT_EQ(emptyHint.Kind, TComponentValue::TKind::Hint);
    EXPECT_EQ(emptyHint.Text, "");
    EXPECT_FALSE(emptyHint.HintExtension);
}

TEST_F(LangManagerTest, LoadCurrentLanguageFallsBackToPolish)
{
    WriteLanguageFile(folder.Path(), "PL", "FileVersion=3.0.5.1\nstrOK=Dobrze\n");
    lm.SetLanguageCode("DE");
    lm.LoadCurrentLanguage();
    EXPECT_EQ(lm.LanguageCode(), "PL");
    EXPECT_EQ(lm.MessageText("strOK"), "Dobrze");
}

TEST_F(LangManagerTest, LoadCurrentLanguageKeepsOldTextsWhenPolishFailsToo)
{
    WriteLanguageFile(folder.Path(), "EN", "FileVersion=3.0.5.1\nstrOK=Fine\n");
    ASSERT_TRUE(lm.LoadLanguage("EN"));
    std::filesystem::remove(folder.Path() + "_EN.lng");
    lm.LoadCurrentLanguage();
    EXPECT_EQ(lm.LanguageCode(), "PL");
    EXPECT_EQ(lm.MessageText("strOK"), "Fine");
    EXPECT_EQ(errors.size(), 2u);
}

TEST_F(LangManagerTest, AFailedLoadPutsBackTheCatalogueOfTheLanguageInForce)
{
    TCustom catalogue(folder.Path(), folder.Path() + "locale");
    lm.SetCatalogue(&catalogue);
    WriteLanguageFile(folder.Path(), "CZ", "FileVersion=3.0.5.1\nstrOK=Dobře\n");
    WriteObdList(folder.Path(), "CZ", "P0300 Vynechávání zapalování\n");
    WriteObdList(folder.Path(), "DE", "P0300 Zündaussetzer\n");
    ASSERT_TRUE(lm.LoadLanguage("CZ"));
    EXPECT_EQ(catalogue.CatalogueLanguage(), "CZ");

    EXPECT_FALSE(lm.LoadLanguage("DE")); // no German language file
    EXPECT_EQ(lm.LanguageCode(), "CZ");
    EXPECT_EQ(catalogue.CatalogueLanguage(), "CZ");
    EXPECT_EQ(catalogue.OBDCodeText("P0300"), "P0300 (Vynechávání zapalování)");
}

TEST(EnglishTexts, MapTheirTextsToUsedKeys)
{
    // The windows' 75 texts and the 15 of the module settings files.
    EXPECT_EQ(EnglishTextCount(), 92u);
    auto keys = UsedMessageKeys();
    for (std::string_view english :
         {"Wait", "Open loop due to driving conditions", "[C.deg]", "Incompatible version", "Continue?",
          "Error while writing default configuration.", "To check pending trouble codes click the 'Read' button"}) {
        const char *key = EnglishTextKey(english);
        ASSERT_NE(key, nullptr) << english;
        EXPECT_NE(std::find(keys.begin(), keys.end(), key), keys.end()) << key;
    }
    EXPECT_STREQ(EnglishTextKey("[km/h]"), "strUnitKmH");
    EXPECT_EQ(EnglishTextKey("wait"), nullptr) << "English texts match exactly";
}

TEST_F(LangManagerTest, TranslatesEnglishThroughMessageKeys)
{
    WriteLanguageFile(folder.Path(), "DE", "FileVersion=3.0.5.1\nstrTextWait=Bitte warten\n");
    ASSERT_TRUE(lm.LoadLanguage("DE"));
    EXPECT_EQ(lm.TranslateEnglish("Wait"), "Bitte warten");
    // Missing from the language file, or from the map: the English text.
    EXPECT_EQ(lm.TranslateEnglish("Connect"), "Connect");
    EXPECT_EQ(lm.TranslateEnglish("Frobnicate"), "Frobnicate");
}

TEST(Languages, TableLookups)
{
    EXPECT_EQ(LanguageCodeOf(4, "EN"), "CZ");
    EXPECT_EQ(LanguageCodeOf(10, "EN"), "TR_Tavira");
    EXPECT_EQ(LanguageCodeOf(16, "DE"), "DE");
    EXPECT_EQ(CharsetOf("CZ"), 238);
    EXPECT_EQ(CharsetOf("TH"), 222);
    EXPECT_EQ(CharsetOf("cz"), 0);
    EXPECT_EQ(CatalogueCharsetOf("CZ"), 0) << "the catalogue table knows \"cs\", not \"CZ\"";
    EXPECT_EQ(CatalogueCharsetOf("cs_CZ"), 238);
    EXPECT_EQ(CatalogueCharsetOf("ru"), 204);
    EXPECT_EQ(CatalogueCharsetOf("tr_TR"), 162);
}

TEST(LanguagePictures, PathsFollowTheLanguageCode)
{
    TLM lm("/opt/lumex/Resource/", "3.0.5.1");
    lm.SetLanguageCode("DE");
    EXPECT_EQ(lm.LanguagePicturePath("schema", ".jpg"), "/opt/lumex/Resource/_DE_schema.jpg");
    EXPECT_EQ(lm.CommonPicturePath("inj5", ".jpg"), "/opt/lumex/Resource/__inj5.jpg");
}

} // namespace
} // namespace lumex
