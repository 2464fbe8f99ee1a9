// The Model1 page of 1.4/1.5 controllers: the straight model line with its
// four enrichment points, drawn, and the spinners that edit it.
#pragma once

#include "calibration/Model1.h"
#include "calibration/ModelCurves.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QWidget>
#include <array>
#include <functional>

class QDoubleSpinBox;
class QPushButton;
class QSpinBox;

namespace lumex {

class TJobPoster;
class TXYChart;

class TModel1Page : public QWidget
{
public:
    TModel1Page(TJobPoster &worker, QWidget *parent = nullptr);

    bool Running() const;
    void ShowSnapshot(const TDeviceSnapshot &snapshot);
    void Read();
    void Write();
    // The map's "Ustaw model": the fitted multiplier and enrichments.
    void SetFittedModel(const TLegacyModel &fitted);
    const TModel1 &Model() const { return model_; }
    int ReadsDone() const { return readsDone_; }

    std::function<void(const QString &)> OnProblem;

private:
    void Fill();
    void Take();
    void Draw();

    TJobPoster &worker_;
    TModel1 model_ = DefaultModel1();
    uint8_t version_ = 0;
    bool linkUp_ = false;
    bool busy_ = false;
    bool filling_ = false;
    int readsDone_ = 0;
    TXYChart *chart_ = nullptr;
    int seriesGas_ = 0, seriesPoints_ = 0;
    QDoubleSpinBox *mult_ = nullptr, *offset_ = nullptr;
    std::array<QSpinBox *, 4> p_{}, e_{};
    QPushButton *read_ = nullptr, *write_ = nullptr, *default_ = nullptr;
};

} // namespace lumex
