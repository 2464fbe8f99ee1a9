// The Model2 page's adaptation tab: how the controller's adaptation has
// bent the model (the model against the adapted model) and the petrol map
// it adapts from, with its load lamps. Entering the tab reads the map.
#pragma once

#include "calibration/MapG3.h"
#include "calibration/ModelPoints.h"
#include "configuration/Question.h"
#include "controller/NorviData.h"

#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QPushButton;

namespace lumex {

class TDeviceWorker;
class TXYChart;

class TModel2AdaptationTab : public QWidget
{
public:
    TModel2AdaptationTab(TDeviceWorker &worker, QWidget *parent = nullptr);

    // The model and the adapted model as the model tab holds them.
    void ShowModel(const TModelPointList &model, const TModelPointList &adapted);
    // Reads the map (the G3 map from revision D) from the controller; the
    // caller checks that the controller runs.
    void Read();

    TXYChart *ModelChart() const { return modelChart_; }
    TXYChart *MapChart() const { return mapChart_; }
    int MapPetrolSeries() const { return mapPetrol_; }
    int ReadsDone() const { return readsDone_; }

    TAsker Ask;
    std::function<void(const QString &)> OnProblem;

private:
    void ShowMap();

    TDeviceWorker &worker_;
    TNorviData image_;
    TG3Coverage coverage_;
    bool g3Read_ = false;
    bool busy_ = false;
    int readsDone_ = 0;
    TXYChart *modelChart_ = nullptr, *mapChart_ = nullptr;
    int model_ = 0, adapted_ = 0;
    int mapPetrol_ = 0, mapSecond_ = 0, mapThird_ = 0, mapTemplate_ = 0;
    QPushButton *read_ = nullptr;
    QLabel *entries_ = nullptr;
    std::array<QLabel *, 3> lamps_{};
};

} // namespace lumex
