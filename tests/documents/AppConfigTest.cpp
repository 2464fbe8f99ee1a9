#include "DocumentsTestSupport.h"

#include "documents/AppConfig.h"
#include "documents/AppFolders.h"
#include "documents/IniFile.h"
#include "documents/LangManager.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lumex {
namespace {

using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

class AppConfigTest : public ::testing::Test
{
protected:
    AppConfigTest() : lm(folder.Path() + "Resource/", "3.0.5.1")
    {
        folders.LocalAppData = folder.Path() + "config/Lumex2";
        folders.Personal = folder.Path() + "Documents";
        folders.ProgramFolder = folder.Path() + "program/";
        folders.ProgramFile = "Lumex2";
        std::filesystem::create_directories(folders.Personal);
        std::filesystem::create_directories(folders.ProgramFolder);
        config.DefaultLanguage = "CZ";
        config.SetLanguageManager(&lm);
        config.OnError = [this](const std::string &caption, const std::string &text) {
            errors.push_back(caption + "|" + text);
        };
    }
    void Load(const std::string &settingsText)
    {
        config.InitPaths(&port, folders);
        WriteBytes(config.SettingsFile(), settingsText);
        config.LoadSettings();
    }

    TTempFolder folder;
    TAppFolders folders;
    TLM lm;
    TComMultiPort port;
    TAppConfig config;
    std::vector<std::string> errors;
};

TEST_F(AppConfigTest, FoldersFollowThePerUserFolders)
{
    config.InitPaths(&port, folders);
    EXPECT_EQ(config.SettingsFolder(), folder.Path() + "config/Lumex2/");
    EXPECT_EQ(config.SettingsFile(), folder.Path() + "config/Lumex2/Lumex2.INI");
    EXPECT_EQ(config.DataFolder(), folder.Path() + "Documents/Lumex2 Data/");
    EXPECT_TRUE(std::filesystem::is_directory(config.DataFolder()));
    EXPECT_EQ(config.Port(), &port);
}

TEST_F(AppConfigTest, EmptyPerUserFoldersFallBackToTheProgramFolder)
{
    folders.LocalAppData.clear();
    folders.Personal.clear();
    config.InitPaths(&port, folders);
    EXPECT_EQ(config.SettingsFile(), folder.Path() + "program/Lumex2.INI");
    EXPECT_EQ(config.DataFolder(), folder.Path() + "program/Data/");
    EXPECT_TRUE(std::filesystem::is_directory(config.DataFolder()));
}

TEST_F(AppConfigTest, DataFolderIsCreatedOneLevelOnly)
{
    folders.Personal = folder.Path() + "no/such/Documents";
    config.InitPaths(&port, folders);
    EXPECT_EQ(config.DataFolder(), folder.Path() + "no/such/Documents/Lumex2 Data/");
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "no"));
}

TEST_F(AppConfigTest, PortNumbersBelowTwoAndNonNumbersSelectPortOne)
{
    const std::pair<const char *, int> cases[] = {{"0", 1}, {"-5", 1}, {"abc", 1}, {"12", 12},
                                                  {"1", 1}, {"2", 2},  {"300", 1}, {"", 1}};
    for (auto [text, expected] : cases) {
        port.SetComDevice(7);
        Load(std::string("[Settings]\r\nComMultiPort=") + text + "\r\n");
        EXPECT_EQ(config.PortNumber(), expected) << text;
        EXPECT_EQ(port.ComDevice(), expected) << text;
    }
    port.SetComDevice(7);
    Load("");
    EXPECT_EQ(config.PortNumber(), 1) << "missing key";
}

TEST_F(AppConfigTest, LanguageDefaultsAndOnlyKnownCodesPass)
{
    Load("[Settings]\nComMultiPort=3\n");
    EXPECT_EQ(lm.LanguageCode(), "CZ") << "no key: this program starts in Czech";
    Load("[Settings]\nLanguage=DE\n");
    EXPECT_EQ(lm.LanguageCode(), "DE");
    Load("[Settings]\nLanguage=../../../etc/passwd\n");
    EXPECT_EQ(lm.LanguageCode(), "CZ");
    Load("[Settings]\nLanguage=de\n");
    EXPECT_EQ(lm.LanguageCode(), "CZ") << "codes are exact";
    config.DefaultLanguage.clear();
    Load("[Settings]\n");
    EXPECT_EQ(lm.LanguageCode(), "EN");
}

TEST_F(AppConfigTest, SaveCreatesMissingFoldersAndKeepsForeignKeys)
{
    config.InitPaths(&port, folders);
    ASSERT_FALSE(std::filesystem::exists(folders.LocalAppData));
    config.SetPortNumber(5, false);
    lm.SetLanguageCode("DE");
    ASSERT_TRUE(config.SaveSettings());
    EXPECT_TRUE(errors.empty());
    auto ini = TIniFile::Load(config.SettingsFile());
    EXPECT_EQ(ini.ReadInteger("Settings", "ComMultiPort", 0), 5);
    EXPECT_EQ(ini.ReadString("Settings", "Language", ""), "DE");

    WriteBytes(config.SettingsFile(), "[Window]\r\nLeft=10\r\n[settings]\r\nlanguage=PL\r\nOwn=x\r\n");
    lm.SetLanguageCode("EN");
    ASSERT_TRUE(config.SaveSettings());
    EXPECT_EQ(ReadBytes(config.SettingsFile()),
              "[Window]\r\nLeft=10\r\n[settings]\r\nlanguage=EN\r\nOwn=x\r\nComMultiPort=5\r\n");
}

TEST_F(AppConfigTest, ReadOnlyFileKeepsItsContent)
{
    config.InitPaths(&port, folders);
    const std::string old = "[Settings]\r\nComMultiPort=3\r\nLanguage=PL\r\n";
    WriteBytes(config.SettingsFile(), old);
    ::chmod(config.SettingsFile().c_str(), 0444);
    config.SetPortNumber(9, false);
    lm.SetLanguageCode("DE");
    EXPECT_FALSE(config.SaveSettings());
    EXPECT_EQ(errors, std::vector<std::string>{"Error!|INI file read only"});
    EXPECT_EQ(ReadBytes(config.SettingsFile()), old);
}

TEST_F(AppConfigTest, UncreatableFileIsReported)
{
    WriteBytes(folder.Path() + "blocker", "a file where the folder should be");
    folders.LocalAppData = folder.Path() + "blocker/Lumex2";
    config.InitPaths(&port, folders);
    EXPECT_FALSE(config.SaveSettings());
    EXPECT_EQ(errors, std::vector<std::string>{"Error!|Cannot create INI file"});
}

TEST_F(AppConfigTest, SetPortNumberSwallowsOpenErrors)
{
    config.InitPaths(&port, folders);
    port.SetDevicePath(folder.Path() + "no-such-tty");
    EXPECT_NO_THROW(config.SetPortNumber(4, true));
    EXPECT_EQ(config.PortNumber(), 4);
    EXPECT_FALSE(port.IsOpen());
}

TEST(SettingsFileName, ReplacesTheExtensionOrAddsOne)
{
    EXPECT_EQ(SettingsFileNameOf("Lumex2"), "Lumex2.INI");
    EXPECT_EQ(SettingsFileNameOf("Norvi.exe"), "Norvi.INI");
    EXPECT_EQ(SettingsFileNameOf("lumex2-sim"), "lumex2-sim.INI");
}

TEST(UserDirs, DocumentsFolderLikeXdgUserDir)
{
    EXPECT_EQ(DocumentsFolderFromUserDirs("# c\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", "/home/u"),
              "/home/u/Dokumente");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"/data/docs/\"", "/home/u"), "/data/docs");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/My \\\"Docs\\\"\"", "/h"), "/h/My \"Docs\"");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"relative/docs\"", "/home/u"), "");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/unterminated", "/home/u"), "");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_MUSIC_DIR=\"$HOME/Music\"", "/home/u"), "");
    EXPECT_EQ(DocumentsFolderFromUserDirs("XDG_DOCUMENTS_DIR=\"$HOME/Docs\"", ""), "");
}

class EnvironmentGuard
{
public:
    explicit EnvironmentGuard(const char *name) : name_(name)
    {
        if (const char *value = std::getenv(name))
            old_ = value;
    }
    ~EnvironmentGuard()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

TEST(AppFolders, FromTheEnvironment)
{
    TTempFolder folder;
    EnvironmentGuard home("HOME"), config("XDG_CONFIG_HOME");
    ::setenv("HOME", (folder.Path() + "home").c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    auto folders = TAppFolders::FromEnvironment("Lumex2");
    EXPECT_EQ(folders.LocalAppData, folder.Path() + "home/.config/Lumex2");
    EXPECT_EQ(folders.Personal, folder.Path() + "home/Documents");
    EXPECT_FALSE(folders.ProgramFile.empty());

    ::setenv("XDG_CONFIG_HOME", (folder.Path() + "cfg").c_str(), 1);
    WriteBytes(folder.Path() + "cfg/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumenty\"\n");
    folders = TAppFolders::FromEnvironment("Lumex2");
    EXPECT_EQ(folders.LocalAppData, folder.Path() + "cfg/Lumex2");
    EXPECT_EQ(folders.Personal, folder.Path() + "home/Dokumenty");

    ::unsetenv("HOME");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    folders = TAppFolders::FromEnvironment("Lumex2");
    EXPECT_EQ(folders.LocalAppData, "");
    EXPECT_EQ(folders.Personal, "");
}

} // namespace
} // namespace lumex
