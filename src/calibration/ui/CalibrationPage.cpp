#include "calibration/ui/CalibrationPage.h"

#include "calibration/ui/CorrectionsPage.h"
#include "calibration/ui/InjectorTestWindow.h"
#include "calibration/ui/MapPage.h"
#include "calibration/ui/Model1Page.h"
#include "calibration/ui/Model2Page.h"
#include "controller/LockState.h"
#include "controller/Version.h"
#include "mainwindow/DeviceQuestion.h"

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
    model2_->Ask = ask;
    model2_->OnProblem = status;
    model2_->OnGasMapCleared = [this] {
        pages_->setCurrentWidget(map_);
        map_->Read();
    };
    model2_->OnModifiedChanged = [this](bool m) {
        if (OnModifiedChanged)
            OnModifiedChanged(m);
    };
    model1_->OnProblem = status;
    corrections_->OnProblem = status;
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
    if (injectorTest_)
        delete injectorTest_.data();
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
    window->show();
    return true;
}

} // namespace lumex
