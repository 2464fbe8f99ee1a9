// The autocalibration page of the 3.0 wizard: the six-page book (Start,
// WaitConditions, ProgressWithoutLoad, WaitLoad, ProgressWithLoad, Result),
// START, STOP, DALEJ, ZAKOŃCZ and POWTÓRZ, the two gauges and the live
// read-outs. TAutoCalibration decides everything; it lives on the device
// thread, which reads the controller's state every half second while the
// procedure runs, and the page shows the view each step hands back.
#pragma once

#include "calibration/AutoCalibration.h"
#include "configuration/Question.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace lumex {

class TDeviceWorker;
class TReadingStrip;
class TWorkingPressureWindow;

class TConfAutoCalPage : public QWidget
{
public:
    // `ask` must be safe to call from the device thread.
    TConfAutoCalPage(TDeviceWorker &worker, TAsker ask, QWidget *parent = nullptr);
    ~TConfAutoCalPage() override;

    void ShowSnapshot(const TDeviceSnapshot &snapshot);

    const TAutoCalView &View() const { return view_; }
    bool Active() const { return active_; }
    TAutoCalOutcome Outcome() const { return outcome_; }
    QStackedWidget *Book() const { return book_; }
    // Steps whose answers came back (tests wait on it).
    int StepsShown() const { return steps_; }
    // The working-pressure window START shows (tests).
    TWorkingPressureWindow *WorkingPressure() const;

    // Errors of the procedure, on the GUI thread.
    std::function<void(const QString &)> OnError;
    // ZAKOŃCZ with a result: the wizard moves on.
    std::function<void()> OnFinished;

private:
    struct TShared;
    enum class TAction
    {
        Start,
        Continue,
        Stop,
        Poll,
        Repeat,
        Finish,
        ResumeStart
    };
    void Build();
    void Run(TAction action, bool workingPressureOk = false);
    // START's working-pressure step on the GUI side: the determination with
    // its wait window, then the working-pressure window; START goes on once
    // that window closes.
    void DetermineWorkingPressure();
    void Show(const TAutoCalView &view, bool active, TAutoCalOutcome outcome);

    TDeviceWorker &worker_;
    TAsker ask_;
    std::shared_ptr<TShared> shared_;
    TAutoCalView view_;
    bool active_ = false;
    bool busy_ = false;
    bool linkUp_ = false;
    int steps_ = 0;
    TAutoCalOutcome outcome_ = TAutoCalOutcome::Idle;

    TReadingStrip *strip_ = nullptr;
    QProgressBar *lambda_ = nullptr;
    QStackedWidget *book_ = nullptr;
    QProgressBar *gaugeWithoutLoad_ = nullptr, *gaugeWithLoad_ = nullptr;
    QLabel *info1_ = nullptr, *info2_ = nullptr;
    QPushButton *start_ = nullptr, *stop_ = nullptr, *continue_ = nullptr, *finish_ = nullptr, *repeat_ = nullptr;
    QTimer *poll_ = nullptr;
    QPointer<TWorkingPressureWindow> workingPressure_;
};

} // namespace lumex
