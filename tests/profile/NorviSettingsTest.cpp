// The legacy program's settings file beside it and its language files: which
// language a settings value may select, what a change of language saves, and
// what a missing or broken language file leaves in force.
#include "../documents/DocumentsTestSupport.h"

#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/FileIo.h"
#include "documents/IniFile.h"
#include "documents/LangManager.h"
#include "documents/VersionInfo.h"
#include "legacy/NorviLanguage.h"
#include "profile/ProgramProfile.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace lumex {
namespace {

using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

constexpr char kVersion[] = "9.9.9.9";

class NorviSettingsTest : public ::testing::Test
{
protected:
    NorviSettingsTest() : lm(folder.Path() + "Resource/", kVersion)
    {
        folders.LocalAppData = folder.Path() + "config/";
        folders.Personal = folder.Path() + "Documents/";
        folders.ProgramFolder = folder.Path() + "prog";
        folders.ProgramFile = "Norvi.exe";
        std::filesystem::create_directories(folders.ProgramFolder);
        lm.OnError = [this](const std::string &caption, const std::string &text) {
            errors.push_back(caption + "|" + text);
        };
        config.OnError = lm.OnError;
    }
    std::string Prog() const { return folder.Path() + "prog/"; }
    void WriteLang(const std::string &code, const std::string &version, const std::string &strings)
    {
        WriteBytes(Prog() + "lang/_" + code + ".lang",
                   PackLanguageText("FileVersion=" + version + "\n[Strings]\n" + strings + "\n", CharsetOf(code),
                                    std::nullopt));
    }
    void StartWith(const std::string &settingsText)
    {
        WriteBytes(Prog() + "Norvi.INI", settingsText);
        SetUpNorviSettings(lm, config, &port, folders);
    }

    TTempFolder folder;
    TAppFolders folders;
    TLM lm;
    TComMultiPort port;
    TAppConfig config;
    std::vector<std::string> errors;
};

TEST_F(NorviSettingsTest, SettingsAndDataLieBesideTheProgram)
{
    StartWith("[Settings]\nComMultiPort=3\nLanguage=EN\n");
    EXPECT_EQ(config.SettingsFile(), Prog() + "Norvi.INI");
    EXPECT_EQ(config.DataFolder(), Prog() + "Data/");
    EXPECT_TRUE(std::filesystem::is_directory(Prog() + "Data"));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "config"));
    EXPECT_EQ(config.PortNumber(), 3);
    EXPECT_EQ(lm.LanguageCode(), "EN");
    EXPECT_EQ(lm.LanguageFilePath("EN"), Prog() + "lang/_EN.lang");
}

TEST_F(NorviSettingsTest, OnlyTheProgramsOwnCodesAreTakenFromTheFile)
{
    for (const char *value : {"../../etc/passwd", "ES", "TR_Tavira", "en", "", "PL/../EN"}) {
        StartWith(std::string("[Settings]\nLanguage=") + value + "\n");
        EXPECT_EQ(lm.LanguageCode(), "PL") << value;
    }
    StartWith("[Settings]\nLanguage=TR2\n");
    EXPECT_EQ(lm.LanguageCode(), "TR2");
    StartWith("");
    EXPECT_EQ(lm.LanguageCode(), "PL");
    EXPECT_EQ(config.PortNumber(), 1);
}

TEST_F(NorviSettingsTest, AChosenLanguageIsSavedKeepingTheOtherKeys)
{
    WriteLang("PL", kVersion, "strGaz=GAZ PL");
    WriteLang("EN", kVersion, "strGaz=GAS EN");
    StartWith("[Settings]\nComMultiPort=4\nLanguage=PL\nWindowTop=12\n[Other]\nKey=kept\n");
    lm.LoadCurrentLanguage();
    ASSERT_EQ(lm.MessageText("strGaz"), "GAZ PL");

    ASSERT_TRUE(SwitchLanguage(lm, config, "EN"));
    EXPECT_EQ(lm.MessageText("strGaz"), "GAS EN");
    const TIniFile ini = TIniFile::Load(Prog() + "Norvi.INI");
    EXPECT_EQ(ini.ReadString("Settings", "Language", ""), "EN");
    EXPECT_EQ(ini.ReadInteger("Settings", "ComMultiPort", 0), 4);
    EXPECT_EQ(ini.ReadString("Settings", "WindowTop", ""), "12");
    EXPECT_EQ(ini.ReadString("Other", "Key", ""), "kept");
    EXPECT_TRUE(errors.empty());
    // Written through a temporary file: nothing is left beside it.
    int files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(Prog()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

TEST_F(NorviSettingsTest, AMissingOrBrokenFileKeepsTheLanguageInForce)
{
    WriteLang("EN", kVersion, "strGaz=GAS EN");
    WriteLang("DE", "1.0.0.0", "strGaz=GAS DE");
    StartWith("[Settings]\nLanguage=EN\n");
    lm.LoadCurrentLanguage();
    const std::string settingsBefore = ReadBytes(Prog() + "Norvi.INI");

    EXPECT_FALSE(SwitchLanguage(lm, config, "RU"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error|File not found:\r\n" + Prog() + "lang/_RU.lang");
    EXPECT_EQ(lm.LanguageCode(), "EN");
    EXPECT_EQ(lm.MessageText("strGaz"), "GAS EN");

    EXPECT_FALSE(SwitchLanguage(lm, config, "DE"));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[1].find("Incorrect file version: "), std::string::npos);
    EXPECT_NE(errors[1].find("(expected: 9.9.9.9, but found: 1.0.0.0)"), std::string::npos);
    EXPECT_EQ(lm.LanguageCode(), "EN");
    EXPECT_EQ(lm.MessageText("strGaz"), "GAS EN");
    EXPECT_EQ(ReadBytes(Prog() + "Norvi.INI"), settingsBefore);

    // A code of the other program never names a file here.
    EXPECT_FALSE(SwitchLanguage(lm, config, "ES"));
    EXPECT_EQ(lm.LanguageCode(), "EN");
}

TEST_F(NorviSettingsTest, AReadOnlyFileIsNotWritten)
{
    WriteLang("EN", kVersion, "strGaz=GAS EN");
    StartWith("[Settings]\nLanguage=PL\n");
    ASSERT_EQ(::chmod((Prog() + "Norvi.INI").c_str(), 0444), 0);
    EXPECT_TRUE(SwitchLanguage(lm, config, "EN"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error!|INI file read only");
    EXPECT_EQ(ReadBytes(Prog() + "Norvi.INI"), "[Settings]\nLanguage=PL\n");
}

TEST_F(NorviSettingsTest, AFileThatCannotBeCreatedIsReported)
{
    // The program folder lies below a plain file: nothing can be created.
    WriteBytes(folder.Path() + "blocked", "x");
    folders.ProgramFolder = folder.Path() + "blocked/prog/";
    SetUpNorviSettings(lm, config, &port, folders);
    EXPECT_FALSE(config.SaveSettings());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Error!|Cannot create INI file");
    EXPECT_EQ(ReadBytes(folder.Path() + "blocked"), "x");
}

TEST(NorviShippedLanguages, LoadWithTheProgramVersion)
{
    TLM lm;
    std::vector<std::string> errors;
    lm.OnError = [&](const std::string &, const std::string &text) { errors.push_back(text); };
    lm.UseScheme(NorviProfile().Languages, ProgramFolder());
    for (const char *code : {"PL", "EN", "CZ", "DE"}) {
        ASSERT_TRUE(lm.LoadLanguage(code)) << code << (errors.empty() ? "" : errors.back());
        const std::string gas = lm.MessageText("strGaz");
        EXPECT_FALSE(gas.empty() || gas[0] == '!') << code;
    }
    EXPECT_FALSE(lm.LoadLanguage("IT"));
    EXPECT_EQ(lm.LanguageCode(), "DE");
}

} // namespace
} // namespace lumex
