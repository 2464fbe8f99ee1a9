// The gas injector test window: start and stop, the cylinders to test, the
// two bars per cylinder with their marks, the progress, the verdict, the
// computed deviations and the stored per-cylinder corrections. The test's
// rules are TInjectorTest's; every step of it runs on the device thread and
// the window shows the snapshot that comes back.
#pragma once

#include "calibration/InjectorTest.h"
#include "configuration/Question.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace lumex {

class TBarChart;
class TDeviceWorker;
class TQtLanguageWindow;

class TInjectorTestWindow : public QDialog
{
public:
    // `ask` must be safe to call from the device thread.
    TInjectorTestWindow(TDeviceWorker &worker, TAsker ask, QWidget *parent = nullptr);
    ~TInjectorTestWindow() override;

    const TInjTestSnapshot &Shown() const { return shown_; }
    int Refreshes() const { return refreshes_; }
    TBarChart *Chart() const { return chart_; }

    std::function<void(const QString &)> Warn;
    // The window has closed (it is deleted later).
    std::function<void()> OnClosed;

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    struct TState;
    void Build();
    void Post(std::function<void(TInjectorTest &, TState &)> step);
    void Show(const TState &state);
    void StartStop();

    TDeviceWorker &worker_;
    std::shared_ptr<TInjectorTest> test_;
    std::unique_ptr<TQtLanguageWindow> language_;
    TInjTestSnapshot shown_;
    int refreshes_ = 0;
    bool blink_ = false;
    bool closing_ = false;
    bool mayClose_ = false;
    bool filling_ = false;
    QTimer *refresh_ = nullptr, *watch_ = nullptr;

    QPushButton *start_ = nullptr, *allOn_ = nullptr, *allOff_ = nullptr, *copy_ = nullptr;
    QPushButton *readCorr_ = nullptr, *writeCorr_ = nullptr, *clearCorr_ = nullptr, *close_ = nullptr;
    std::array<QCheckBox *, kCylinders> ticked_{};
    std::array<QLineEdit *, kCylinders> computed_{};
    std::array<QSpinBox *, kCylinders> corrections_{};
    QLabel *verdict_ = nullptr;
    QProgressBar *gauge_ = nullptr;
    TBarChart *chart_ = nullptr;
    int flowSeries_ = 0, timeSeries_ = 0;
};

} // namespace lumex
