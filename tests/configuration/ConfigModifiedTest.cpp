// The shared modified flag, the change-list question asked once per run and
// the question on leaving a modified page, against the simulated controller.
#include "ConfigLine.h"

#include "configuration/ConfigModified.h"
#include "controller/CommandCodes.h"

#include <gtest/gtest.h>

using namespace lumex;
using configtest::ConfigLine;
using configtest::KeyText;

namespace {

// The programming-PC record: C0 55, four code bytes, the date code of
// 2010-03-15 14:05 (0x7DA37B85), checksum.
bool IsChangeListRecord(const std::string &frame)
{
    return frame.starts_with("C0 55 ") && frame.size() == 11 * 3 - 1 && frame.substr(18, 11) == "7D A3 7B 85";
}

// Scripted answers; every question is kept.
struct Installer
{
    std::vector<TAnswer> answers;
    std::vector<TQuestion> asked;

    TAsker Asker()
    {
        return [this](const TQuestion &q) {
            asked.push_back(q);
            if (answers.empty()) {
                ADD_FAILURE() << "unexpected question " << q.Text;
                return TAnswer::Cancel;
            }
            const TAnswer a = answers.front();
            answers.erase(answers.begin());
            return a;
        };
    }
};

struct Page
{
    explicit Page(sim::SimulatorOptions options = testsupport::SimSetup::Controller()) : line(options)
    {
        line.Manager().LocalTime = [] { return TDateParts{2010, 3, 15, 14, 5}; };
        line.NewRequests();
    }

    // A write of the pages that sends one byte parameter, as a stand-in for
    // the configuration write.
    std::function<bool()> Writer(bool succeed = true)
    {
        return [this, succeed] {
            ++writes;
            return line.Manager().WriteByteParam(22, 1) && succeed;
        };
    }

    ConfigLine line;
    TModifiedFlag modified;
    Installer installer;
    TWriteConfirmation confirmation{line.Manager(), modified, installer.Asker(), KeyText};
    int writes = 0;
};

} // namespace

TEST(ModifiedFlag, ObserversHearOfChangesOnly)
{
    TModifiedFlag flag;
    std::vector<bool> first, second;
    const auto a = flag.Subscribe([&](bool m) { first.push_back(m); });
    flag.Subscribe([&](bool m) { second.push_back(m); });
    flag.SetModified(true);
    flag.SetModified(true);
    flag.Unsubscribe(a);
    flag.SetModified(false);
    EXPECT_EQ(first, std::vector<bool>{true});
    EXPECT_EQ(second, (std::vector<bool>{true, false}));
    EXPECT_FALSE(flag.IsModified());
}

TEST(ChangeListQuestion, FirstModifiedWriteAsksAndYesRecordsThisPcOncePerRun)
{
    Page p;
    p.modified.SetModified(true);
    p.installer.answers = {TAnswer::Yes};
    EXPECT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Written);
    ASSERT_EQ(p.installer.asked.size(), 1u);
    EXPECT_EQ(p.installer.asked[0].Text, "<strQModChange>");
    EXPECT_FALSE(p.installer.asked[0].WithCancel);
    const auto frames = p.line.NewRequests();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(IsChangeListRecord(frames[0])) << frames[0];
    EXPECT_TRUE(frames[1].starts_with("C0 08 16 01")) << frames[1];
    EXPECT_TRUE(p.confirmation.EntryConfirmed());
    EXPECT_FALSE(p.modified.IsModified());

    // Not asked again in this run.
    p.modified.SetModified(true);
    EXPECT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Written);
    EXPECT_EQ(p.installer.asked.size(), 1u);
    const auto again = p.line.NewRequests();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(again[0].starts_with("C0 08 16 01"));
}

TEST(ChangeListQuestion, NoCancelsTheWriteBeforeAnythingIsSent)
{
    Page p;
    p.modified.SetModified(true);
    p.installer.answers = {TAnswer::No};
    EXPECT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Cancelled);
    EXPECT_EQ(p.writes, 0);
    EXPECT_TRUE(p.line.NewRequests().empty());
    EXPECT_TRUE(p.modified.IsModified());
    EXPECT_FALSE(p.confirmation.EntryConfirmed());
    // So the next write asks again.
    p.installer.answers = {TAnswer::Yes};
    EXPECT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Written);
    EXPECT_EQ(p.installer.asked.size(), 2u);
}

TEST(ChangeListQuestion, NotAskedWhenUnmodifiedOrWithoutAChangeList)
{
    {
        Page p; // 3.0 "G", nothing modified
        EXPECT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Written);
        EXPECT_TRUE(p.installer.asked.empty());
        EXPECT_EQ(p.line.NewRequests().size(), 1u);
    }
    {
        Page p(testsupport::SimSetup::Controller(0x30, 'F'));
        p.modified.SetModified(true);
        EXPECT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Written);
        EXPECT_TRUE(p.installer.asked.empty());
        const auto frames = p.line.NewRequests();
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_FALSE(frames[0].starts_with("C0 55"));
    }
}

TEST(ChangeListQuestion, ALostRecordIsAskedForAgain)
{
    Page p;
    p.line.AddFault("silence@55:1");
    p.modified.SetModified(true);
    p.installer.answers = {TAnswer::Yes};
    p.confirmation.Write(p.Writer());
    EXPECT_FALSE(p.confirmation.EntryConfirmed());
    p.line.Manager().PollCycle(pmNone); // the next tick reconnects
    ASSERT_TRUE(p.line.Manager().LinkUp);
    p.modified.SetModified(true);
    p.installer.answers = {TAnswer::Yes};
    EXPECT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Written);
    EXPECT_EQ(p.installer.asked.size(), 2u);
    EXPECT_TRUE(p.confirmation.EntryConfirmed());
}

TEST(LeavePage, UnmodifiedLeavesWithoutAsking)
{
    Page p;
    EXPECT_EQ(p.confirmation.Leave(p.Writer()), TLeaveDecision::Leave);
    EXPECT_TRUE(p.installer.asked.empty());
    EXPECT_EQ(p.writes, 0);
}

TEST(LeavePage, CancelStaysAndNoLeavesWithoutWriting)
{
    Page p;
    p.modified.SetModified(true);
    p.installer.answers = {TAnswer::Cancel, TAnswer::No};
    EXPECT_EQ(p.confirmation.Leave(p.Writer()), TLeaveDecision::Stay);
    EXPECT_TRUE(p.modified.IsModified());
    EXPECT_EQ(p.confirmation.Leave(p.Writer()), TLeaveDecision::Leave);
    EXPECT_FALSE(p.modified.IsModified());
    EXPECT_EQ(p.writes, 0);
    EXPECT_TRUE(p.line.NewRequests().empty());
    // Before the entry is confirmed the question is the change-list one,
    // with Cancel, under the save caption.
    ASSERT_EQ(p.installer.asked.size(), 2u);
    for (const auto &q : p.installer.asked) {
        EXPECT_EQ(q.Text, "<strQModChange>");
        EXPECT_EQ(q.Caption, "<strConfirmDataSave>");
        EXPECT_TRUE(q.WithCancel);
    }
}

TEST(LeavePage, YesWithAFailedWriteStaysOnThePage)
{
    Page p;
    p.modified.SetModified(true);
    p.installer.answers = {TAnswer::Yes};
    EXPECT_EQ(p.confirmation.Leave(p.Writer(/*succeed=*/false)), TLeaveDecision::Stay);
    EXPECT_EQ(p.writes, 1);
    EXPECT_TRUE(p.modified.IsModified());
    // The entry was recorded on the way.
    const auto frames = p.line.NewRequests();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(IsChangeListRecord(frames[0]));

    // A controller that does not answer the write keeps the page too.
    p.line.AddFault("silence@08:1");
    p.installer.answers = {TAnswer::Yes};
    EXPECT_EQ(p.confirmation.Leave(p.Writer()), TLeaveDecision::Stay);
    EXPECT_TRUE(p.modified.IsModified());
}

TEST(LeavePage, OnceConfirmedTheQuestionIsAboutTheChangedDataAndYesWritesAndLeaves)
{
    Page p;
    p.modified.SetModified(true);
    p.installer.answers = {TAnswer::Yes, TAnswer::Yes};
    ASSERT_EQ(p.confirmation.Write(p.Writer()), TWriteOutcome::Written);
    p.modified.SetModified(true);
    p.line.NewRequests();
    EXPECT_EQ(p.confirmation.Leave(p.Writer()), TLeaveDecision::Leave);
    ASSERT_EQ(p.installer.asked.size(), 2u);
    EXPECT_EQ(p.installer.asked[1].Text, "<strQuestWriteChangedData>");
    EXPECT_TRUE(p.installer.asked[1].WithCancel);
    EXPECT_FALSE(p.modified.IsModified());
    const auto frames = p.line.NewRequests();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].starts_with("C0 55"));
}
