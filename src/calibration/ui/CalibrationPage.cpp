#include "calibration/ui/CalibrationPage.h"

#include "mainwindow/DeviceWorker.h"

#include "calibration/ui/CalAutoPage.h"
#include "calibration/ui/CorrectionsPage.h"
#include "calibration/ui/InjectorTestWindow.h"
#include "calibration/ui/LevelSensorWindow.h"
#include "calibration/ui/MapPage.h"
#include "calibration/ui/Model1Page.h"
#include "calibration/ui/Model2Page.h"
#include "calibration/ui/WorkingPressureWindow.h"
#include "controller/LockState.h"
#include "controller/Version.h"
#include "mainwindow/DeviceQuestion.h"

#include "calibration/WorkingPressureList.h"

#include <QComboBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace lumex {

TCalibrationPage::TCalibrationPage(TDeviceWorker &worker, QWidget *parent) : QWidget(parent), worker_(worker)
{
    setObjectName("TbSCalibration");
    question_ = std::make_unique<TDeviceQuestion>(
        this,
        [this](QWidget *owner, const TQuestion &q) { return Present ? Present(owner, q) : AskQuestionBox(owner, q); },
        &worker_);
    const TAsker ask = question_->Asker();
    auto *layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    pages_->setObjectName("PgCCalibration");
    map_ = new TMapPage(worker_, pages_);
    model2_ = new TModel2Page(worker_, pages_);
    model1_ = new TModel1Page(worker_, pages_);
    corrections_ = new TCorrectionsPage(worker_, pages_);
    autoCal_ = new TCalAutoPage(worker_, ask, pages_);
    pages_->addTab(autoCal_, QStringLiteral("Autokalibracja"));
    pages_->addTab(map_, QStringLiteral("Mapa"));
    pages_->addTab(model2_, QStringLiteral("Model2 (F9)"));
    pages_->addTab(model1_, QStringLiteral("Model"));
    pages_->addTab(corrections_, QStringLiteral("Korekty (F11)"));
    layout->addWidget(pages_, 1);

    const auto status = [this](const QString &text) {
        if (OnStatus)
            OnStatus(text);
    };
    map_->Ask = ask;
    map_->Warn = [this](const QString &caption, const QString &text) {
        if (Warn)
            Warn(caption, text);
    };
    map_->OnProblem = status;
    map_->OnCalculated = [this](const std::vector<std::pair<double, double>> &points) {
        model2_->SetCalculatedPoints(points);
    };
    map_->OnModelFitted = [this](const TModelPointList &points, double mult) { model2_->SetFittedModel(points, mult); };
    map_->OnLegacyModelFitted = [this](const TLegacyModel &fitted) { model1_->SetFittedModel(fitted); };
    model2_->Ask = ask;
    model2_->OnProblem = status;
    // Refused input is a message, not a status line: nothing was sent.
    const auto refused = [this](const QString &text) {
        if (Warn)
            Warn(QString(), text);
    };
    model2_->OnRefused = refused;
    model2_->OnGasMapCleared = [this] {
        pages_->setCurrentWidget(map_);
        map_->Read();
    };
    model2_->OnModifiedChanged = [this](bool m) {
        if (OnModifiedChanged)
            OnModifiedChanged(m);
    };
    model1_->OnProblem = status;
    // After a completed run the installer may go straight on to map collection.
    autoCal_->OnOpenMap = [this] {
        pages_->setCurrentWidget(map_);
        map_->Read();
    };
    corrections_->OnProblem = status;
    corrections_->OnRefused = refused;
    corrections_->OnModifiedChanged = model2_->OnModifiedChanged;
    connect(pages_, &QTabWidget::currentChanged, this, [this] {
        map_->SetShown(shown_ && pages_->currentWidget() == map_);
        // The corrections are read whenever their page comes up.
        if (pages_->currentWidget() == corrections_ && !corrections_->Modified())
            corrections_->Read();
    });
    ApplyGeneration(0);
}

TCalibrationPage::~TCalibrationPage()
{
    for (QWidget *w : std::initializer_list<QWidget *>{injectorTest_, levelSensor_, workingPressure_})
        delete w;
}

void TCalibrationPage::ApplyGeneration(uint8_t versionCode)
{
    if (versionCode == shownVersion_)
        return;
    shownVersion_ = versionCode;
    const bool is30 = versionCode == kVersion30;
    const bool legacy = versionCode != 0 && !is30;
    pages_->setTabVisible(pages_->indexOf(model2_), is30 || versionCode == 0);
    pages_->setTabVisible(pages_->indexOf(corrections_), is30 || versionCode == 0);
    pages_->setTabVisible(pages_->indexOf(model1_), legacy);
    pages_->setTabVisible(pages_->indexOf(autoCal_), legacy);
}

void TCalibrationPage::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    last_ = snapshot;
    if (snapshot.LinkUp)
        ApplyGeneration(snapshot.Data.VersionCode);
    map_->ShowSnapshot(snapshot);
    model2_->ShowSnapshot(snapshot);
    model1_->ShowSnapshot(snapshot);
    corrections_->ShowSnapshot(snapshot);
    autoCal_->ShowSnapshot(snapshot);
    if (levelSensor_ && levelSensor_->isVisible())
        levelSensor_->ShowSnapshot(snapshot);
}

void TCalibrationPage::SetShown(bool shown)
{
    shown_ = shown;
    map_->SetShown(shown && pages_->currentWidget() == map_);
}

TInjectorTestWindow *TCalibrationPage::InjectorTest() const
{
    return injectorTest_.data();
}

bool TCalibrationPage::OpenInjectorTest()
{
    if (!last_.LinkUp || last_.Data.LockState != kLockUnlocked)
        return false;
    if (injectorTest_) {
        injectorTest_->raise();
        return true;
    }
    auto *window = new TInjectorTestWindow(worker_, question_->Asker(), this->window());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Warn = [this](const QString &text) {
        if (Warn)
            Warn(QString(), text);
    };
    injectorTest_ = window;
    // The main window stays out of the way while the test runs and comes
    // back when the test window goes.
    QPointer<QWidget> main = this->window();
    window->OnClosed = [main] {
        if (main)
            main->show();
    };
    main->hide();
    window->show();
    return true;
}

} // namespace lumex

namespace lumex {

TLevelSensorWindow *TCalibrationPage::LevelSensor() const
{
    return levelSensor_.data();
}

bool TCalibrationPage::OpenLevelSensor()
{
    if (!levelSensor_) {
        levelSensor_ = new TLevelSensorWindow(worker_, question_->Asker(), this->window());
        levelSensor_->OnProblem = [this](const QString &text) {
            if (Warn)
                Warn(QString(), text);
        };
    }
    levelSensor_->ShowSnapshot(last_);
    levelSensor_->show();
    levelSensor_->raise();
    return true;
}

TWorkingPressureWindow *TCalibrationPage::WorkingPressure() const
{
    return workingPressure_.data();
}

bool TCalibrationPage::OpenWorkingPressure()
{
    if (!workingPressure_) {
        auto *window = new TWorkingPressureWindow(worker_, question_->Asker(), this->window());
        window->setAttribute(Qt::WA_DeleteOnClose);
        const auto warn = [this](const QString &text) {
            if (Warn)
                Warn(QString(), text);
        };
        window->Warn = warn;
        window->OnProblem = warn;
        workingPressure_ = window;
    }
    workingPressure_->SelectStored(last_.Data.WorkPress);
    workingPressure_->show();
    workingPressure_->raise();
    return true;
}

void TCalibrationPage::DetermineWorkingPressure(std::function<void(uint8_t workPress)> after)
{
    const auto warn = [this](const QString &text) {
        if (Warn)
            Warn(QString(), text);
    };
    RunWorkingPressureDetermination(worker_, question_->Asker(), this, warn, [this, after](const TWorkPressResult &r) {
        const uint8_t stored = r.ChosenIndex ? WorkingPressureList()[*r.ChosenIndex].Raw : last_.Data.WorkPress;
        if (!r.Ok) {
            if (after)
                after(stored);
            return;
        }
        OpenWorkingPressure();
        workingPressure_->SelectStored(stored);
        QPointer<TWorkingPressureWindow> window = workingPressure_;
        connect(workingPressure_, &QDialog::finished, this, [window, stored, after](int result) {
            // Accepted: the window wrote its entry; otherwise the
            // determination's entry stands.
            const uint8_t now = window && result == QDialog::Accepted
                                    ? static_cast<uint8_t>(window->List()->currentData().toUInt())
                                    : stored;
            if (after)
                after(now);
        });
    });
}

} // namespace lumex
