#include "mainwindow/DeviceQuestion.h"

#include "controller/JobPoster.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QWidget>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace lumex {

TAnswer CautiousAnswer(const TQuestion &question)
{
    return question.WithCancel ? TAnswer::Cancel : TAnswer::No;
}

struct TDeviceQuestion::TState
{
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false; // for good: the owner or this object is gone
    bool closed = false;   // until the window is shown again
    int waiting = 0;
    TQuestionPresenter present;
    QPointer<QWidget> owner; // GUI thread only
    TJobPoster *worker = nullptr;

    // Under the lock.
    bool Blocked() const { return released || closed || (worker && worker->Stopping()); }

    void Set(bool TState::*flag, bool value)
    {
        {
            std::lock_guard g(mutex);
            this->*flag = value;
        }
        changed.notify_all();
    }
};

// Watches the owner's window: a close lets the waiting question go, a show
// lets questions through again.
class TDeviceQuestion::TWindowWatch : public QObject
{
public:
    TWindowWatch(QObject *window, std::weak_ptr<TState> state) : QObject(window), state_(std::move(state))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && (event->type() == QEvent::Close || event->type() == QEvent::Show)) {
            if (const auto state = state_.lock())
                state->Set(&TState::closed, event->type() == QEvent::Close);
        }
        return false;
    }

private:
    std::weak_ptr<TState> state_;
};

TDeviceQuestion::TDeviceQuestion(QWidget *owner, TQuestionPresenter present, TJobPoster *worker)
    : state_(std::make_shared<TState>()), guiThread_(owner ? owner->thread() : QThread::currentThread()),
      worker_(worker)
{
    state_->present = std::move(present);
    state_->owner = owner;
    state_->worker = worker;
    const std::weak_ptr<TState> weak = state_;
    if (owner) {
        watch_ = new TWindowWatch(owner->window(), weak);
        QObject::connect(owner, &QObject::destroyed, [weak] {
            if (const auto state = weak.lock())
                state->Set(&TState::released, true);
        });
    }
    // The worker may outlive or predecease this object: the listener holds
    // the state weakly and is never removed.
    if (worker)
        worker->AddStopListener([weak] {
            if (const auto state = weak.lock()) {
                {
                    std::lock_guard g(state->mutex);
                }
                state->changed.notify_all();
            }
        });
}

TDeviceQuestion::~TDeviceQuestion()
{
    Release();
    // The watch lives with the window; a window still there drops it.
    delete watch_.data();
}

void TDeviceQuestion::Release()
{
    state_->Set(&TState::released, true);
}

bool TDeviceQuestion::Released() const
{
    std::lock_guard g(state_->mutex);
    return state_->Blocked();
}

int TDeviceQuestion::Waiting() const
{
    std::lock_guard g(state_->mutex);
    return state_->waiting;
}

void TDeviceQuestion::SetPresenter(TQuestionPresenter present)
{
    std::lock_guard g(state_->mutex);
    state_->present = std::move(present);
}

TAsker TDeviceQuestion::Asker()
{
    return [this](const TQuestion &question) { return Ask(question); };
}

TAnswer TDeviceQuestion::Ask(const TQuestion &question)
{
    const std::shared_ptr<TState> state = state_;
    if (QThread::currentThread() == guiThread_) {
        TQuestionPresenter present;
        {
            std::lock_guard g(state->mutex);
            if (state->Blocked())
                return CautiousAnswer(question);
            present = state->present;
        }
        return present && state->owner ? present(state->owner, question) : CautiousAnswer(question);
    }
    if (!QCoreApplication::instance())
        return CautiousAnswer(question);
    auto answer = std::make_shared<std::optional<TAnswer>>();
    {
        std::lock_guard g(state->mutex);
        if (state->Blocked())
            return CautiousAnswer(question);
        ++state->waiting;
    }
    // Posted to the application object, which outlives every window: the
    // owner may go while the question is on its way.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [state, answer, question] {
            TQuestionPresenter present;
            {
                std::lock_guard g(state->mutex);
                if (state->Blocked())
                    return;
                present = state->present;
            }
            const TAnswer given = present && state->owner ? present(state->owner, question) : CautiousAnswer(question);
            {
                std::lock_guard g(state->mutex);
                *answer = given;
            }
            state->changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(state->mutex);
    state->changed.wait(lock, [&] { return answer->has_value() || state->Blocked(); });
    --state->waiting;
    return answer->has_value() ? **answer : CautiousAnswer(question);
}

} // namespace lumex
