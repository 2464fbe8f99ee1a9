#include "DocumentsTestSupport.h"

#include "documents/FileIo.h"
#include "documents/IniFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lumex {
namespace {

using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

TEST(IniFile, ReadsCrlfAndLfAlike)
{
    for (const char *text :
         {"[Settings]\r\nComMultiPort=3\r\nLanguage=DE\r\n", "[Settings]\nComMultiPort=3\nLanguage=DE"}) {
        auto ini = TIniFile::Parse(text);
        EXPECT_EQ(ini.ReadInteger("Settings", "ComMultiPort", 1), 3) << text;
        EXPECT_EQ(ini.ReadString("Settings", "Language", ""), "DE") << text;
    }
}

TEST(IniFile, ACarriageReturnEndingTheTextIsALineEnd)
{
    auto ini = TIniFile::Parse("[S]\r\nk=v\r");
    EXPECT_EQ(ini.ReadString("S", "k", ""), "v");
    EXPECT_EQ(TIniFile::Parse(ini.Text()).ReadString("S", "k", ""), "v");
}

TEST(IniFile, BareCarriageReturnsEndLinesSoARewriteReadsTheSame)
{
    // Found by fuzzing: a value made of bare CRs read one way from the file
    // and another from our own rewrite of it.
    std::string text = "\n[!]\nR=" + std::string(95, '\r') + "\r\n" +
                       std::string("\0\0\0\x9e"
                                   "z=",
                                   6);
    auto ini = TIniFile::Parse(text);
    EXPECT_EQ(ini.ReadString("!", "R", "?"), "");
    auto again = TIniFile::Parse(ini.Text());
    EXPECT_EQ(again.ReadString("!", "R", "?"), "");
    EXPECT_EQ(again.Text(), ini.Text());

    auto mac = TIniFile::Parse("[S]\rk=v\rj=w\r");
    EXPECT_EQ(mac.ReadString("S", "k", ""), "v");
    EXPECT_EQ(mac.ReadString("S", "j", ""), "w");
    EXPECT_EQ(mac.Text(), "[S]\r\nk=v\r\nj=w\r\n");
    EXPECT_EQ(SplitLines("a\r\n\rb\n\nc"), (std::vector<std::string_view>{"a", "", "b", "", "c"}));
}

TEST(IniFile, NamesIgnoreCaseAndTheFirstOccurrenceWins)
{
    auto ini = TIniFile::Parse("[Settings]\nPort = 4 \nport=5\n[settings]\nPort=6\nExtra=x\n");
    EXPECT_EQ(ini.ReadString("SETTINGS", "PORT", ""), "4");
    EXPECT_FALSE(ini.ValueExists("Settings", "Extra")) << "a repeated section is shadowed";
    EXPECT_EQ(ini.Sections(), std::vector<std::string>{"Settings"});
    EXPECT_EQ(ini.Keys("settings"), std::vector<std::string>{"Port"});
}

TEST(IniFile, KeepsOrderAndTextOfWhatItDoesNotChange)
{
    const std::string text = "; made by hand\r\n[B]\r\nz=1\r\na = [x], <y>\r\n\r\n[A]\r\nk=v\r\n";
    auto ini = TIniFile::Parse(text);
    EXPECT_EQ(ini.Text(), text);
    EXPECT_EQ(ini.ReadString("B", "a", ""), "[x], <y>");
    EXPECT_EQ(ini.Keys("B"), (std::vector<std::string>{"z", "a"}));
    EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"B", "A"}));
}

TEST(IniFile, WritesInPlaceAndAppendsNewKeysAfterTheLastKey)
{
    auto ini = TIniFile::Parse("[B]\nz=1\na=2\n\n[A]\nk=v\n");
    ini.WriteString("b", "A", "two");
    ini.WriteString("B", "new", "3");
    ini.WriteInteger("C", "n", -7);
    EXPECT_EQ(ini.Text(), "[B]\nz=1\na=two\nnew=3\n\n[A]\nk=v\n[C]\nn=-7\n");
    EXPECT_EQ(ini.LineBreak(), "\n");
}

TEST(IniFile, RefusesNamesAndValuesThatWouldBreakTheFile)
{
    TIniFile ini;
    EXPECT_THROW(ini.WriteString("S", "k", "two\nlines"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "a=b", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "[k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S]", "k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "", "v"), std::invalid_argument);
    EXPECT_EQ(ini.Text(), "");
}

TEST(IniFile, IntegersAcceptDecimalAndHexOnly)
{
    auto ini =
        TIniFile::Parse("[S]\na=12\nb=-5\nc=0x1F\nd=$10\ne=abc\nf=12abc\ng=\nh=99999999999999999999\ni=+3\nj=--3\n");
    EXPECT_EQ(ini.ReadInteger("S", "a", 1), 12);
    EXPECT_EQ(ini.ReadInteger("S", "b", 1), -5);
    EXPECT_EQ(ini.ReadInteger("S", "c", 1), 31);
    EXPECT_EQ(ini.ReadInteger("S", "d", 1), 16);
    EXPECT_EQ(ini.ReadInteger("S", "e", 1), 1);
    EXPECT_EQ(ini.ReadInteger("S", "f", 1), 1);
    EXPECT_EQ(ini.ReadInteger("S", "g", 1), 1);
    EXPECT_EQ(ini.ReadInteger("S", "h", 1), 1);
    EXPECT_EQ(ini.ReadInteger("S", "i", 1), 3);
    EXPECT_EQ(ini.ReadInteger("S", "j", 1), 1);
    EXPECT_EQ(ini.ReadInteger("S", "missing", 9), 9);
}

TEST(IniFile, SavesAtomicallyKeepingPermissionsAndLeavingNoTemporaryFile)
{
    TTempFolder folder;
    const std::string path = folder.Path() + "x.INI";
    WriteBytes(path, "[S]\r\nk=1\r\n[Other]\r\nkeep=me\r\n");
    ::chmod(path.c_str(), 0640);
    auto ini = TIniFile::Load(path);
    ini.WriteString("S", "k", "2");
    ini.Save(path);
    EXPECT_EQ(ReadBytes(path), "[S]\r\nk=2\r\n[Other]\r\nkeep=me\r\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(folder.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(IniFile, MissingFileReadsEmptyAndUnwritableFolderThrows)
{
    TTempFolder folder;
    EXPECT_TRUE(TIniFile::Load(folder.Path() + "none.INI").Sections().empty());
    TIniFile ini;
    ini.WriteString("S", "k", "v");
    EXPECT_THROW(ini.Save(folder.Path() + "no/such/folder/x.INI"), EFileWriteError);
    EXPECT_THROW(TIniFile::Load(folder.Path()), EIniFileError) << "a folder is not an INI file";
}

} // namespace
} // namespace lumex
