// The calibration page of the main window: the map, Model2, Model1 and
// corrections pages in one page control, shown by the controller's
// generation, and the injector test window opened from here. Questions of
// the pages' device sequences go through one device question.
#pragma once

#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/QuestionBox.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QTabWidget;

namespace lumex {

class TCalAutoPage;
class TCorrectionsPage;
class TDeviceQuestion;
class TDeviceWorker;
class TInjectorTestWindow;
class TLevelSensorWindow;
class TWorkingPressureWindow;
class TMapPage;
class TModel1Page;
class TModel2Page;

class TCalibrationPage : public QWidget
{
public:
    TCalibrationPage(TDeviceWorker &worker, QWidget *parent = nullptr);
    ~TCalibrationPage() override;

    void ShowSnapshot(const TDeviceSnapshot &snapshot);
    // The page on screen changed: the map reads itself only while shown.
    void SetShown(bool shown);

    TMapPage *Map() const { return map_; }
    TModel2Page *Model2() const { return model2_; }
    TModel1Page *Model1() const { return model1_; }
    TCorrectionsPage *Corrections() const { return corrections_; }
    TCalAutoPage *AutoCal() const { return autoCal_; }
    QTabWidget *Pages() const { return pages_; }

    // Opens the injector test (only on an unlocked controller); the window
    // lives until it closes.
    bool OpenInjectorTest();
    TInjectorTestWindow *InjectorTest() const;

    // The level-sensor window, made on first use and kept.
    bool OpenLevelSensor();
    TLevelSensorWindow *LevelSensor() const;
    // The configuration page's "Wyznacz": the determination, then, when it
    // succeeded, the working-pressure window; `after` hears the stored
    // working pressure once that window closes (or at once on failure).
    void DetermineWorkingPressure(std::function<void(uint8_t workPress)> after);
    // The working-pressure window on its own, showing the stored pressure.
    bool OpenWorkingPressure();
    TWorkingPressureWindow *WorkingPressure() const;

    // Every question of the pages, on the GUI thread.
    TQuestionPresenter Present;
    std::function<void(const QString &caption, const QString &text)> Warn;
    std::function<void(const QString &)> OnStatus;
    std::function<void(bool)> OnModifiedChanged;

private:
    void ApplyGeneration(uint8_t versionCode);

    TDeviceWorker &worker_;
    std::unique_ptr<TDeviceQuestion> question_;
    QTabWidget *pages_ = nullptr;
    TMapPage *map_ = nullptr;
    TModel2Page *model2_ = nullptr;
    TModel1Page *model1_ = nullptr;
    TCorrectionsPage *corrections_ = nullptr;
    TCalAutoPage *autoCal_ = nullptr;
    QPointer<TInjectorTestWindow> injectorTest_;
    QPointer<TLevelSensorWindow> levelSensor_;
    QPointer<TWorkingPressureWindow> workingPressure_;
    TDeviceSnapshot last_;
    uint8_t shownVersion_ = 0xFF;
    bool shown_ = false;
};

} // namespace lumex
