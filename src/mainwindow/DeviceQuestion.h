// A question a sequence on the device thread puts to the installer. The
// sequence runs on the device thread, the installer answers on the GUI
// thread: the question is posted to the window and the device thread waits
// for the answer. That wait must never outlive the GUI thread's willingness
// to answer, or closing the program (which stops the device thread and waits
// for its running job) would wait for a job that waits for the GUI. So the
// wait ends with the cautious answer (Cancel, or No without a Cancel
// button) as soon as the window closes or is destroyed, or the worker stops.
#pragma once

#include "configuration/Question.h"
#include "mainwindow/QuestionBox.h"

#include <QObject>
#include <QPointer>
#include <cstddef>
#include <memory>

class QThread;
class QWidget;

namespace lumex {

class TJobPoster;

// The answer a question gets when nobody can give one.
TAnswer CautiousAnswer(const TQuestion &question);

class TDeviceQuestion
{
public:
    // `owner` is the window the question belongs to, on the GUI thread;
    // the questions are shown through `present` there. With a worker, its
    // Stop lets the waiting question go.
    TDeviceQuestion(QWidget *owner, TQuestionPresenter present, TJobPoster *worker = nullptr);
    ~TDeviceQuestion();
    TDeviceQuestion(const TDeviceQuestion &) = delete;
    TDeviceQuestion &operator=(const TDeviceQuestion &) = delete;

    // Any thread. On the owner's thread the presenter answers at once; on
    // another it posts the question and waits for the answer or a release.
    TAnswer Ask(const TQuestion &question);
    // The asker the configuration logic takes.
    TAsker Asker();

    // Any thread: the question waiting now, and every later one until the
    // owner's window is shown again, get the cautious answer.
    void Release();
    bool Released() const;
    // Questions posted and not yet answered or released (tests).
    int Waiting() const;

    // Replaces the presenter (tests answer the questions).
    void SetPresenter(TQuestionPresenter present);

private:
    struct TState;
    class TWindowWatch;

    std::shared_ptr<TState> state_;
    QThread *guiThread_ = nullptr;
    TJobPoster *worker_ = nullptr;
    std::size_t stopListener_ = 0;
    QPointer<QObject> watch_; // owned by the owner's window (a QObject child)
};

} // namespace lumex
