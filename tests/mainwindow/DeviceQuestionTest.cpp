// Questions from the device thread: answered on the GUI thread, and let go
// with the cautious answer when nobody will answer them any more, so that
// closing the program never waits for a question that waits for it.
#include "QtWait.h"
#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/TickHooks.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <optional>

using namespace lumex;
using testsupport::WaitFor;

namespace {

using testsupport::PumpUntil;

const TQuestion kLeave{"Zapisać zmiany?", "Zapis", true};
const TQuestion kChangeList{"Zapisać wpis?", "Lista zmian", false};

// A window whose questions are counted and answered with `Answer`.
struct TAskedWindow
{
    std::unique_ptr<QWidget> Window = std::make_unique<QWidget>();
    std::atomic<int> Shown{0};
    TAnswer Answer = TAnswer::Yes;
    QWidget *SeenOwner = nullptr;
    std::string SeenText;

    TQuestionPresenter Presenter()
    {
        return [this](QWidget *owner, const TQuestion &q) {
            ++Shown;
            SeenOwner = owner;
            SeenText = q.Text;
            return Answer;
        };
    }
};

} // namespace

TEST(DeviceQuestion, DeviceThreadGetsTheAnswerGivenOnTheGuiThread)
{
    TAskedWindow w;
    TDeviceQuestion question(w.Window.get(), w.Presenter());
    w.Answer = TAnswer::No;
    auto asked = std::async(std::launch::async, [&] { return question.Ask(kLeave); });
    ASSERT_TRUE(PumpUntil([&] { return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(asked.get(), TAnswer::No);
    EXPECT_EQ(w.Shown, 1);
    EXPECT_EQ(w.SeenOwner, w.Window.get());
    EXPECT_EQ(w.SeenText, kLeave.Text);
    EXPECT_EQ(question.Waiting(), 0);

    // Asked on the GUI thread itself it answers at once, without posting.
    w.Answer = TAnswer::Cancel;
    EXPECT_EQ(question.Asker()(kLeave), TAnswer::Cancel);
    EXPECT_EQ(w.Shown, 2);
}

TEST(DeviceQuestion, ClosingTheWindowLetsTheWaitingQuestionGoUntilItIsShownAgain)
{
    TAskedWindow w;
    w.Window->show();
    TDeviceQuestion question(w.Window.get(), w.Presenter());
    auto leave = std::async(std::launch::async, [&] { return question.Ask(kLeave); });
    ASSERT_TRUE(WaitFor([&] { return question.Waiting() == 1; }));
    // The GUI thread does not pump: it closes, as the program does on exit.
    w.Window->close();
    EXPECT_EQ(leave.get(), TAnswer::Cancel);
    auto changeList = std::async(std::launch::async, [&] { return question.Ask(kChangeList); });
    EXPECT_EQ(changeList.get(), TAnswer::No);
    // The question posted before the close is not shown afterwards.
    QApplication::processEvents();
    EXPECT_EQ(w.Shown, 0);
    EXPECT_TRUE(question.Released());

    w.Window->show();
    EXPECT_FALSE(question.Released());
    auto again = std::async(std::launch::async, [&] { return question.Ask(kChangeList); });
    ASSERT_TRUE(PumpUntil([&] { return again.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(again.get(), TAnswer::Yes);
    EXPECT_EQ(w.Shown, 1);
}

TEST(DeviceQuestion, DestroyingTheOwnerLetsTheWaitingQuestionGo)
{
    TAskedWindow w;
    TDeviceQuestion question(w.Window.get(), w.Presenter());
    auto leave = std::async(std::launch::async, [&] { return question.Ask(kLeave); });
    ASSERT_TRUE(WaitFor([&] { return question.Waiting() == 1; }));
    w.Window.reset();
    EXPECT_EQ(leave.get(), TAnswer::Cancel);
    QApplication::processEvents();
    EXPECT_EQ(w.Shown, 0);
}

// The program closing: the window stops the device thread and waits for its
// job, while that job waits for the installer's answer.
TEST(DeviceQuestion, StoppingTheWorkerEndsTheJobThatWaitsForAnAnswer)
{
    TControllerLink link;
    TTickHooks hooks;
    TDeviceWorker worker(link, nullptr, hooks);
    TWorkerStartup startup;
    startup.Offline = true;
    worker.Start(startup);
    TAskedWindow w;
    TDeviceQuestion question(w.Window.get(), w.Presenter(), &worker);
    std::optional<TAnswer> got;
    worker.Post([&] { got = question.Ask(kLeave); });
    ASSERT_TRUE(WaitFor([&] { return question.Waiting() == 1; }));
    worker.Stop();
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, TAnswer::Cancel);
    EXPECT_TRUE(question.Released());
    QApplication::processEvents();
    EXPECT_EQ(w.Shown, 0);

    // A started worker lets questions through again.
    worker.Start(startup);
    EXPECT_FALSE(question.Released());
    worker.Post([&] { got = question.Ask(kChangeList); });
    ASSERT_TRUE(PumpUntil([&] { return w.Shown == 1 && question.Waiting() == 0; }));
    worker.Stop();
    EXPECT_EQ(*got, TAnswer::Yes);
}
