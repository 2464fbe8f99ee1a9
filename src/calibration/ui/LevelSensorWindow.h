// The level-sensor window: the switch panel's LED colour and the four
// thresholds of the fuel-level indicator, with the indicator's voltage now.
// Reads and writes run on the device thread; the window keeps the edits and
// the modified mark, and closing with unsaved edits asks first.
#pragma once

#include "calibration/LevelSensor.h"
#include "configuration/Question.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QWidget;

namespace lumex {

class TDeviceWorker;
class TQtLanguageWindow;

class TLevelSensorWindow : public QDialog
{
public:
    // `ask` must be safe to call from the device thread.
    TLevelSensorWindow(TDeviceWorker &worker, TAsker ask, QWidget *parent = nullptr);
    ~TLevelSensorWindow() override;

    // Live readings and the link state, while shown.
    void ShowSnapshot(const TDeviceSnapshot &snapshot);

    bool Modified() const { return modified_; }
    // A read, a write or the closing question is on its way.
    bool Busy() const { return busy_; }
    int ReadsDone() const { return readsDone_; }
    int WritesDone() const { return writesDone_; }
    TLevelThresholds Thresholds() const;

    std::function<void(const QString &)> OnProblem;

protected:
    void showEvent(QShowEvent *event) override;
    void ReadHint();
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    struct TShared;
    void Build();
    void Read();
    void Save(bool factory);
    void Fill(const TNorviData &image);
    void SetModified(bool modified);
    void ShowLabels();
    void Problem(const std::string &text);
    void SetBusy(bool busy);
    void ShowButtons();

    TDeviceWorker &worker_;
    std::shared_ptr<TShared> shared_;
    std::unique_ptr<TQtLanguageWindow> language_;
    bool linkUp_ = false;
    bool modified_ = false;
    bool filling_ = false;
    bool busy_ = false;
    bool hintBusy_ = false;
    bool mayClose_ = false;
    int readsDone_ = 0, writesDone_ = 0;
    uint8_t reserveType_ = kReserveSwitchOnly;

    QComboBox *led_ = nullptr;
    QFrame *ledSample_ = nullptr;
    QWidget *thresholdPanel_ = nullptr;
    std::array<QSlider *, 4> sliders_{};
    std::array<QLabel *, 4> volts_{};
    QLineEdit *actual_ = nullptr;
    QPushButton *save_ = nullptr, *cancel_ = nullptr, *factory_ = nullptr;
};

} // namespace lumex
