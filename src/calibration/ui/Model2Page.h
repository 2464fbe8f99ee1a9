// The Model2 page of 3.0 controllers: the model chart the installer edits
// with the mouse and the keys, the point table, the multiplier and offset
// spinners, the zoom, the idle points, the check boxes and the BANK2
// correction line. The editing rules are TModel2Editor's; the page binds
// the controls and posts reads and writes to the device thread.
#pragma once

#include "calibration/Model2Editor.h"
#include "configuration/Question.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QKeyEvent;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QLineEdit;
class QTableWidget;
class QGroupBox;
class QTabWidget;

namespace lumex {

class TDeviceWorker;
class TModel2AdaptationTab;
class TXYChart;

class TModel2Page : public QWidget
{
public:
    TModel2Page(TDeviceWorker &worker, QWidget *parent = nullptr);

    const TModel2Editor &Editor() const { return editor_; }
    TXYChart *Chart() const { return chart_; }
    // Whether the controller answers and is a 3.0 one; nothing runs otherwise.
    bool Running() const;
    void ShowSnapshot(const TDeviceSnapshot &snapshot);

    void Read();
    void Write();
    void LoadDefault();
    // The map page's calculated points ("Oblicz nastawy"); empty clears them.
    // The map's "Ustaw model": the fitted points replace the chart's, as an
    // edit that Write sends.
    void SetFittedModel(const TModelPointList &points, double mult);
    void SetCalculatedPoints(const std::vector<std::pair<double, double>> &points);
    // "Ustal nowy model": reads the model and the idle points and builds a
    // new model from them as a finished autocalibration run would; a write
    // sends it and copies it to the adapted table.
    void SetNewModel();
    // "Wczytaj model z pliku...": the model part of a configuration file,
    // written after the installer agrees; the page then reads the model.
    void LoadModelFromFile(const QString &path);
    TModel2AdaptationTab *Adaptation() const { return adaptationTab_; }
    QTabWidget *Tabs() const { return tabs_; }
    int NewModelsSet() const { return newModelsSet_; }
    int FileLoadsDone() const { return fileLoadsDone_; }
    // Reads done and writes acknowledged so far (tests wait on them).
    int ReadsDone() const { return readsDone_; }
    int WritesDone() const { return writesDone_; }

    // Questions asked on the device thread and on this one.
    TAsker Ask;
    // A refused edit.
    std::function<void()> Beep;
    // A failed step, worded for the status bar.
    std::function<void(const QString &)> OnProblem;
    // A write refused because the BANK2 offset is no value the controller
    // takes; nothing was sent.
    std::function<void(const QString &)> OnRefused;
    // The LPG map was cleared after a model change: show the map page.
    std::function<void()> OnGasMapCleared;
    // The modified state the configuration pages share.
    std::function<void(bool)> OnModifiedChanged;
    // The configuration file to take the model from (empty: none), and the
    // folder the controller is backed up into before the file is written.
    std::function<QString()> ChooseModelFile;
    std::function<std::string()> BackupFolder;
    // The outcome of a file load, for a message box.
    std::function<void(const QString &caption, const QString &text)> Tell;

private:
    void Build();
    void Refresh();
    void Edited(TEditResult result);
    bool Key(QKeyEvent *event);
    void MousePress(QMouseEvent *event, QPointF value);
    void MouseMove(QMouseEvent *event, QPointF value);
    void Spinner(QSpinBox *box, int position, const std::function<TEditResult(int)> &click);
    // Tells the installer when the BANK2 offset text is refused; true then.
    bool RefuseBadOffset();
    void ApplyZoom(int maxTb);
    void TakeCorrectionLine();
    QWidget *BuildModelTab();
    void ApplyAdaptationTab();

    TDeviceWorker &worker_;
    TModel2Editor editor_;
    TNorviData image_;
    bool linkUp_ = false;
    bool autocalRunning_ = false;
    bool filling_ = false;
    bool busy_ = false;
    int readsDone_ = 0, writesDone_ = 0, newModelsSet_ = 0, fileLoadsDone_ = 0;
    std::optional<std::size_t> dragging_;

    TXYChart *chart_ = nullptr;
    int seriesPoints_ = 0, seriesLine_ = 0, seriesAdapted_ = 0, seriesIdle_ = 0, seriesCalculated_ = 0;
    QTableWidget *table_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    TModel2AdaptationTab *adaptationTab_ = nullptr;
    QPushButton *read_ = nullptr, *write_ = nullptr, *default_ = nullptr;
    QPushButton *setNew_ = nullptr, *readFrom_ = nullptr;
    QSpinBox *mult_ = nullptr, *offset_ = nullptr;
    QLabel *multText_ = nullptr, *offsetText_ = nullptr, *defaultOffset_ = nullptr;
    QSlider *zoom_ = nullptr;
    QCheckBox *withIdle_ = nullptr, *useOnIdle_ = nullptr, *adaptation_ = nullptr, *showValues_ = nullptr;
    QGroupBox *idlePanel_ = nullptr;
    std::array<QSpinBox *, 4> idle_{};
    QSpinBox *corrMult_ = nullptr;
    QLineEdit *corrOffset_ = nullptr;
    bool typingOffset_ = false; // a change of the offset text is being taken
    std::array<QCheckBox *, 8> mask_{};
};

} // namespace lumex
