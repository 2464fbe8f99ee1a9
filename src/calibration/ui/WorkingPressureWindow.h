// The working-pressure window and the determination it and the
// configuration page run: the controller measures the gas system's pressure
// on the device thread while a wait window with a cancel button is shown;
// the chosen entry is written by the determination, and "Zaakceptuj i
// kontynuuj" writes the entry the installer picked.
#pragma once

#include "calibration/WorkingPressure.h"
#include "configuration/Question.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class QComboBox;
class QPushButton;
class QWidget;

namespace lumex {

class TDeviceWorker;
class TQtLanguageWindow;

// Runs the determination on the device thread. `owner` parents the wait
// window (cancel stops the measurement; the controller is left on petrol
// either way); `warn` shows the too-low warning; `done` hears the result on the GUI thread unless the owner
// is gone. `ask` must be safe to call from the device thread.
void RunWorkingPressureDetermination(TDeviceWorker &worker, TAsker ask, QWidget *owner,
                                     std::function<void(const QString &)> warn,
                                     std::function<void(const TWorkPressResult &)> done);

class TWorkingPressureWindow : public QDialog
{
public:
    TWorkingPressureWindow(TDeviceWorker &worker, TAsker ask, QWidget *parent = nullptr);
    ~TWorkingPressureWindow() override;

    // Selects the entry of the stored working pressure (none when it matches none).
    void SelectStored(uint8_t workPress);
    // "Wyznacz" again, into this list.
    void Determine();

    QComboBox *List() const { return list_; }
    int DeterminationsDone() const { return determinations_; }
    std::function<void(const QString &)> OnProblem;
    std::function<void(const QString &)> Warn;

private:
    void Accept();

    TDeviceWorker &worker_;
    TAsker ask_;
    std::unique_ptr<TQtLanguageWindow> language_;
    bool busy_ = false;
    int determinations_ = 0;
    QComboBox *list_ = nullptr;
    QPushButton *determine_ = nullptr, *accept_ = nullptr, *continue_ = nullptr;
};

} // namespace lumex
