// What a killed save leaves and what the program removes of it: only the
// temporaries of the file in question, by their exact name pattern, never
// a file that merely looks like one; a killed recording is kept.
#include "DocumentsTestSupport.h"

#include "common/AtomicFile.h"
#include "configuration/ConfigFileOps.h"
#include "mainwindow/OscCsv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <unistd.h>

namespace lumex {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TTempFolder;
using test::WriteBytes;

std::set<std::string> Names(const std::string &folder)
{
    std::set<std::string> names;
    for (const auto &e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

TEST(LeftoverCleanUp, TemporaryNamesAreTheFileNameAndExactlySixLettersOrDigits)
{
    EXPECT_TRUE(IsTemporaryNameOf("Lumex2.INI.tmpAb3xZ9", "Lumex2.INI"));
    EXPECT_TRUE(IsTemporaryNameOf("a.tmp000000", "a"));
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI.tmpAb3xZ", "Lumex2.INI"));   // five
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI.tmpAb3xZ90", "Lumex2.INI")); // seven
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI.tmpAb-xZ9", "Lumex2.INI"));
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI.tmpAb xZ9", "Lumex2.INI"));
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI.TMPAb3xZ9", "Lumex2.INI"));
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI_tmpAb3xZ9", "Lumex2.INI"));
    EXPECT_FALSE(IsTemporaryNameOf("XLumex2.INI.tmpAb3xZ9", "Lumex2.INI"));
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI.tmpAb3xZ9", "Lumex2.IN"));
    EXPECT_FALSE(IsTemporaryNameOf("Norvi.INI.tmpAb3xZ9", "Lumex2.INI"));
    EXPECT_FALSE(IsTemporaryNameOf("Lumex2.INI", "Lumex2.INI"));
    EXPECT_FALSE(IsTemporaryNameOf(".tmpAb3xZ9", ""));
}

TEST(LeftoverCleanUp, OnlyRegularFilesOfThatPatternBesideTheFileAreRemoved)
{
    TTempFolder folder;
    const std::string dir = folder.Path();
    const std::set<std::string> kept{
        "ports.ini",           "ports.ini.tmpABCDE",  "ports.ini.tmpABCDEFG", "ports.ini.tmp",
        "ports.ini.bak",       "other.ini.tmpABCDEF", "xports.ini.tmpABCDEF", "ports.ini.tmpAB_DEF",
        "ports.ini.tmpFOLDER", "ports.ini.tmpLINKED", "ports.ini.tmpDANGLE",  "target-of-link"};
    for (const std::string &name : kept)
        if (name != "ports.ini.tmpFOLDER" && name != "ports.ini.tmpLINKED" && name != "ports.ini.tmpDANGLE")
            WriteBytes(dir + name, "keep " + name);
    fs::create_directory(dir + "ports.ini.tmpFOLDER");
    WriteBytes(dir + "ports.ini.tmpFOLDER/inside", "keep");
    fs::create_symlink(dir + "target-of-link", dir + "ports.ini.tmpLINKED");
    fs::create_symlink(dir + "missing", dir + "ports.ini.tmpDANGLE");
    WriteBytes(dir + "ports.ini.tmpa1B2c3", "stale");
    WriteBytes(dir + "ports.ini.tmp000000", "");

    EXPECT_EQ(RemoveStaleTemporaries(dir + "ports.ini"), 2u);
    EXPECT_EQ(Names(dir), kept);
    EXPECT_EQ(ReadBytes(dir + "target-of-link"), "keep target-of-link");
    EXPECT_EQ(ReadBytes(dir + "ports.ini.tmpFOLDER/inside"), "keep");
    // Nothing to do is no error, nor is a missing folder.
    EXPECT_EQ(RemoveStaleTemporaries(dir + "ports.ini"), 0u);
    EXPECT_EQ(RemoveStaleTemporaries(dir + "no-such-folder/ports.ini"), 0u);
}

TEST(LeftoverCleanUp, ASaveRemovesWhatAnInterruptedSaveOfTheSameFileLeft)
{
    TTempFolder folder;
    const std::string dir = folder.Path();
    WriteBytes(dir + "car.gcf.tmpQ1w2E3", "half a fi");
    WriteBytes(dir + "bus.gcf.tmpQ1w2E3", "another file's save, maybe running");
    WriteFileAtomically(dir + "car.gcf", "whole");
    EXPECT_EQ(Names(dir), (std::set<std::string>{"car.gcf", "bus.gcf.tmpQ1w2E3"}));
    EXPECT_EQ(ReadBytes(dir + "car.gcf"), "whole");
}

TEST(LeftoverCleanUp, TheBackupFolderLosesOnlyTemporariesOfConfigurationFiles)
{
    TTempFolder folder;
    const std::string dir = folder.Path();
    const std::set<std::string> kept{"1234-20261210-030000-upgrade.gcf", "1234-20261210-030000-upgrade.gcf.tmpABCDEFG",
                                     "notes.txt.tmpABCDEF", ".gcf.tmpABCDEF", "1234.gcfx.tmpABCDEF"};
    for (const std::string &name : kept)
        WriteBytes(dir + name, "keep");
    WriteBytes(dir + "1234-20261210-030000-upgrade.gcf.tmpABCDEF", "half");
    WriteBytes(dir + "1234-20261210-030001-load-2.gcf.tmpzzzzzz", "half");
    RemoveUnfinishedBackups(dir);
    EXPECT_EQ(Names(dir), kept);
}

TEST(LeftoverCleanUp, AKilledRecordingIsKeptUnderARecoveredNameNotTruncated)
{
    TTempFolder folder;
    const std::string dir = folder.Path();
    const std::string path = dir + "drive.csv";
    EXPECT_EQ(RecoverUnfinishedRecording(path), "");
    WriteBytes(path + ".part", "Time [s],rows of the killed drive\n");
    WriteBytes(dir + "drive-recovered.csv", "an earlier recovery");
    EXPECT_EQ(RecoverUnfinishedRecording(path), dir + "drive-recovered-2.csv");
    EXPECT_EQ(ReadBytes(dir + "drive-recovered-2.csv"), "Time [s],rows of the killed drive\n");
    EXPECT_EQ(ReadBytes(dir + "drive-recovered.csv"), "an earlier recovery");

    // A new recording to the same name starts from a fresh part and keeps
    // the killed one.
    WriteBytes(path + ".part", "the second killed drive\n");
    TOscCsvStream stream;
    std::string error;
    ASSERT_TRUE(stream.Open(path, error)) << error;
    ASSERT_TRUE(stream.Close(error)) << error;
    EXPECT_EQ(ReadBytes(dir + "drive-recovered-3.csv"), "the second killed drive\n");
    EXPECT_EQ(ReadBytes(path), OscCsvHeader());
    EXPECT_FALSE(fs::exists(path + ".part"));
}

TEST(LeftoverCleanUp, TheJournalLetTheNextStartKeepARecordingKilledUnderAnyName)
{
    TTempFolder folder;
    const std::string dir = folder.Path();
    const std::string journal = RecordingJournalIn(dir + "settings");
    fs::create_directories(dir + "settings");
    const std::string path = dir + "drive.csv";
    {
        // The journal names the open recording and goes with its Close.
        TOscCsvStream stream;
        stream.SetJournal(journal);
        std::string error;
        ASSERT_TRUE(stream.Open(path, error)) << error;
        EXPECT_EQ(ReadBytes(journal), fs::absolute(path).string() + "\n");
        ASSERT_TRUE(stream.Close(error)) << error;
        EXPECT_FALSE(fs::exists(journal));
    }
    // Killed while recording: the part and the journal are all that is left,
    // with a temporary of a journal being written.
    WriteBytes(path + ".part", "rows of the killed drive\n");
    WriteBytes(journal, fs::absolute(path).string() + "\n");
    WriteBytes(journal + ".tmpA1b2C3", "half a jou");
    EXPECT_EQ(RecoverJournaledRecording(journal), dir + "drive-recovered.csv");
    EXPECT_EQ(ReadBytes(dir + "drive-recovered.csv"), "rows of the killed drive\n");
    EXPECT_EQ(Names(dir + "settings"), std::set<std::string>{});
    EXPECT_EQ(RecoverJournaledRecording(journal), "");

    // A journal we did not write names nothing; it goes all the same.
    WriteBytes(path + ".part", "kept");
    for (const std::string &text :
         {std::string("drive.csv\n"), fs::absolute(path).string() + "\x01\n", std::string(70000, '/')}) {
        WriteBytes(journal, text);
        EXPECT_EQ(RecoverJournaledRecording(journal), "");
        EXPECT_FALSE(fs::exists(journal));
    }
    EXPECT_EQ(ReadBytes(path + ".part"), "kept");
    EXPECT_EQ(RecoverJournaledRecording(""), "");
}

} // namespace
} // namespace lumex
