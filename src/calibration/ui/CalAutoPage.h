// The autocalibration tab of 1.4/1.5 controllers: START and STOP, the step
// bar and one information line. The controller runs the procedure; the
// same TAutoCalibration as the 3.0 wizard page follows its state on the
// device thread, and when a run completed the installer may go on to map
// collection.
#pragma once

#include "calibration/AutoCalibration.h"
#include "configuration/Question.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace lumex {

class TJobPoster;

class TCalAutoPage : public QWidget
{
public:
    // `ask` must be safe to call from the device thread.
    TCalAutoPage(TJobPoster &worker, TAsker ask, QWidget *parent = nullptr);
    ~TCalAutoPage() override;

    void ShowSnapshot(const TDeviceSnapshot &snapshot);
    void Start();
    void Stop();

    const TAutoCalView &View() const { return view_; }
    bool Active() const { return active_; }
    TAutoCalOutcome Outcome() const { return outcome_; }
    int StepsShown() const { return steps_; }

    // The installer chose map collection after a completed run.
    std::function<void()> OnOpenMap;

private:
    struct TShared;
    enum class TAction
    {
        Start,
        Stop,
        Poll
    };
    void Run(TAction action);
    void Show(const TAutoCalView &view, bool active, TAutoCalOutcome outcome);

    TJobPoster &worker_;
    std::shared_ptr<TShared> shared_;
    TAutoCalView view_;
    TAutoCalOutcome outcome_ = TAutoCalOutcome::Idle;
    bool active_ = false;
    bool busy_ = false;
    bool stopPending_ = false;
    bool linkUp_ = false;
    int steps_ = 0;
    QPushButton *start_ = nullptr, *stop_ = nullptr;
    QProgressBar *bar_ = nullptr;
    QLabel *info_ = nullptr, *rpm_ = nullptr;
    QTimer *poll_ = nullptr;
};

} // namespace lumex
