// The map page: the petrol and LPG points of the current and the other RPM
// ranges, the calculated points and band lines, the point counts, the G3
// chart, the swapped-axes chart, the load lamps and the buttons. The map
// operations are TMapSession's, run on the device thread.
#pragma once

#include "calibration/MapAutoRead.h"
#include "calibration/MapCalculation.h"
#include "calibration/MapG3.h"
#include "calibration/MapSession.h"
#include "calibration/ModelCurves.h"
#include "calibration/ModelPoints.h"
#include "configuration/Question.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace lumex {

class TJobPoster;
class TXYChart;

class TMapPage : public QWidget
{
public:
    TMapPage(TJobPoster &worker, QWidget *parent = nullptr);

    bool Running() const;
    void ShowSnapshot(const TDeviceSnapshot &snapshot);
    // The page is on screen (the automatic reading runs only then).
    void SetShown(bool shown);

    void Read();
    // "Oblicz nastawy"; with `setModel` ("Ustaw model") the model is then
    // fitted to the calculated points and handed to the model page.
    void Calculate(bool setModel = false);
    // "Zapisz jako ..." and "Odczytaj z pliku ...": the map text file.
    bool SaveToFile(const QString &path);
    void LoadFromFile(const QString &path);
    void ClearPetrol();
    void ClearGas();
    void ClearTemplate();
    void ChangeRange(int index);
    // The RPM ranges the list offers and the one shown for an index the
    // list has not; by default the controllers' own fifteen.
    void SetRpmRanges(const QStringList &texts, int unknownIndex);
    QComboBox *RangeBox() const { return range_; }

    // The points shown, redrawn for the selected range.
    void ShowPoints(const TImagePoints &points);
    TXYChart *Chart() const { return chart_; }
    // Series of the scatter chart.
    int PetrolCurrentSeries() const { return petrolCurrent_; }
    int PetrolOtherSeries() const { return petrolOther_; }
    int GasCurrentSeries() const { return gasCurrent_; }
    int GasOtherSeries() const { return gasOther_; }
    int ReadsDone() const { return readsDone_; }

    // The folder the map file dialogs start in; empty for the working one.
    QString FileFolder;
    TAsker Ask;
    std::function<void(const QString &caption, const QString &text)> Warn;
    std::function<void(const QString &)> OnProblem;
    // The calculated points (petrol ms, gas ms) for the model charts.
    std::function<void(const std::vector<std::pair<double, double>> &)> OnCalculated;
    // "Ustaw model": the fitted 3.0 point model (ms) and its multiplier, or
    // the fitted 1.4/1.5 line model; the model pages take them as edits.
    std::function<void(const TModelPointList &, double mult)> OnModelFitted;
    std::function<void(const TLegacyModel &)> OnLegacyModelFitted;
    TXYChart *ModelChart() const { return modelChart_; }

private:
    // The installer's read shows its progress; the automatic ones do not.
    void StartRead(bool showProgress);
    void Build();
    void Redraw();
    void ShowCounts();
    void ShowG3();
    void DrawModel();
    void SetModel(const TMapCalcResult &result);
    void RunOp(std::function<TMapOpResult(TMapSession &)> op);

    TJobPoster &worker_;
    TNorviData image_;
    TImagePoints points_;
    TG3Coverage coverage_;
    bool g3Read_ = false;
    bool linkUp_ = false;
    bool busy_ = false;
    bool filling_ = false;
    int unknownRange_ = 0;
    int readsDone_ = 0;
    TMapAutoRead autoRead_;
    QTimer *autoTimer_ = nullptr;

    QComboBox *range_ = nullptr;
    QPushButton *read_ = nullptr, *clearPetrol_ = nullptr, *clearGas_ = nullptr, *clearTemplate_ = nullptr;
    QPushButton *calculate_ = nullptr, *clearCalc_ = nullptr, *setModel_ = nullptr;
    QPushButton *saveFile_ = nullptr, *loadFile_ = nullptr;
    QLabel *fileName_ = nullptr;
    TXYChart *modelChart_ = nullptr;
    int modelLine_ = 0, modelCalc_ = 0;
    QCheckBox *autoRefresh_ = nullptr, *g3_ = nullptr, *swap_ = nullptr;
    QLabel *petrolCount_ = nullptr, *gasCount_ = nullptr;
    std::array<QLabel *, 3> lamps_{};
    QWidget *lampPanel_ = nullptr;
    TXYChart *chart_ = nullptr, *swapped_ = nullptr, *g3Chart_ = nullptr;
    int petrolCurrent_ = 0, petrolOther_ = 0, gasCurrent_ = 0, gasOther_ = 0, bandLines_ = 0;
    int swPetrol_ = 0, swGas_ = 0, g3Petrol_ = 0, g3Second_ = 0, g3Third_ = 0;
};

} // namespace lumex
