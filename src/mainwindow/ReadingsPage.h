// The readings page (TbSMeasure): live values on digital displays, the
// load indicators, per-cylinder bars and the lambda bar, refreshed from
// each snapshot that follows an ok poll cycle.
#pragma once

#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/ReadingsView.h"

#include <QWidget>
#include <array>

class QComboBox;
class QLabel;
class QProgressBar;

namespace lumex {

class TDigitalDisplay;
class TLoadChartWidget;

class TReadingsPage : public QWidget
{
public:
    explicit TReadingsPage(QWidget *parent = nullptr);

    // Refreshes the displays from an ok cycle's readings.
    void ShowReadings(const TDeviceSnapshot &snapshot);
    // Rebuilds the time selection after connecting; keeps the selection
    // unless `reset` or it exceeds the injector count.
    void RebuildLayout(const TNorviData &data, bool reset);

    // What is on screen, for tests.
    const TReadingsView &LastView() const { return view_; }
    int TimeSelection() const;

private:
    TDigitalDisplay *Display(const char *name, int digits);
    QLabel *Caption(const char *name, const QString &text);

    TDigitalDisplay *rpm_, *psys_, *pcol_, *tred_, *tgaz_, *petrol_, *lpg_, *lambda_;
    QProgressBar *rpmBar_, *psysBar_, *lambdaBar_;
    QLabel *tNomRed_, *vbat_, *vbatUnit_, *petrolCaption_, *lpgCaption_;
    QWidget *lambdaPanel_;
    QComboBox *timeSelection_;
    std::array<QProgressBar *, kCylinders> petrolBars_{}, lpgBars_{};
    std::array<QLabel *, kCylinders> cylinderNumbers_{}, petrolLoad_{}, gasLoad_{}, injCorr_{};
    QLabel *injCorrCaption_;
    TLoadChartWidget *petrolChart_, *gasChart_;
    TReadingsView view_;
    int injectors_ = -1;
};

} // namespace lumex
