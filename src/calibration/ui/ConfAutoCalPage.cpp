#include "calibration/ui/ConfAutoCalPage.h"

#include "calibration/AutoCalRun.h"
#include "calibration/WorkingPressure.h"
#include "calibration/ui/DeviceJob.h"
#include "calibration/ui/WorkingPressureWindow.h"
#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/ReadingStrip.h"
#include "mainwindow/UiText.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <thread>

namespace lumex {

namespace {

// The controller's state is read at the configuration page's polling interval.
constexpr int kPollMs = static_cast<int>(kAutoCalPollInterval.count());
// The lambda bar spans the probe's output, in hundredths of a volt.
constexpr int kLambdaBarMax = 100;

QLabel *PageText(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSize(font.pointSize() + 4);
    font.setBold(true);
    label->setFont(font);
    return label;
}

QPushButton *Button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setMinimumHeight(36);
    return b;
}

} // namespace

// The procedure and its reads belong to the device thread.
struct TConfAutoCalPage::TShared
{
    TShared(TDataManager &manager, TAutoCalIo io) : Cal(manager, std::move(io)) {}
    TAutoCalibration Cal;
    int FailedReads = 0;
};

TConfAutoCalPage::TConfAutoCalPage(TDeviceWorker &worker, TAsker ask, QWidget *parent)
    : QWidget(parent), worker_(worker), ask_(ask)
{
    setObjectName("PnlConfAutoCal");
    TDataManager &manager = worker.JobManager();
    const QPointer<QObject> guard(this);
    TAutoCalIo io;
    io.Ask = ask;
    io.ShowError = [guard, this](const std::string &text) {
        if (guard)
            QMetaObject::invokeMethod(
                guard.data(),
                [this, text] {
                    if (OnError)
                        OnError(QString::fromStdString(text));
                },
                Qt::QueuedConnection);
    };
    // The device thread's own waits (the idle time capture settling).
    io.Wait = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    // The working pressure is determined by this page between two device
    // steps, so its windows can use the line.
    io.DeferWorkingPressure = true;
    shared_ = std::make_shared<TShared>(manager, std::move(io));
    Build();
    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, [this] { Run(TAction::Poll); });
    Show(view_, false, outcome_);
}

TConfAutoCalPage::~TConfAutoCalPage() = default;

TWorkingPressureWindow *TConfAutoCalPage::WorkingPressure() const
{
    return workingPressure_.data();
}

void TConfAutoCalPage::Build()
{
    auto *layout = new QVBoxLayout(this);
    TStripLayout strip = ModelStripLayout();
    strip.Prefix = "ConfAuto";
    strip_ = new TReadingStrip(strip, this);
    layout->addWidget(strip_);
    auto *lambdaRow = new QHBoxLayout;
    auto *lambdaCaption = new QLabel(QStringLiteral("Sonda lambda [V]"), this);
    lambdaCaption->setObjectName("LblConfAutoLambda");
    lambda_ = new QProgressBar(this);
    lambda_->setObjectName("PrBConfAutoLambda");
    lambda_->setRange(0, kLambdaBarMax);
    lambda_->setTextVisible(false);
    lambdaRow->addWidget(lambdaCaption);
    lambdaRow->addWidget(lambda_, 1);
    layout->addLayout(lambdaRow);

    book_ = new QStackedWidget(this);
    book_->setObjectName("NtbConfAutoCal");
    const auto addPage = [this](TAutoCalPage which) {
        auto *w = new QWidget(book_);
        w->setObjectName(AutoCalPageName(which));
        new QVBoxLayout(w);
        book_->addWidget(w);
        return w;
    };
    QWidget *start = addPage(TAutoCalPage::Start);
    start->layout()->addWidget(
        PageText(start, "LblConfAutoStartInfo",
                 QStringLiteral("Uruchom silnik, pozostaw go na biegu jałowym bez obciążenia i naciśnij START.")));
    QWidget *conditions = addPage(TAutoCalPage::WaitConditions);
    conditions->layout()->addWidget(
        PageText(conditions, "LblConfAutoWaitConditions", QStringLiteral("TEMP. REDUKTORA < 50 °C")));
    QWidget *without = addPage(TAutoCalPage::ProgressWithoutLoad);
    without->layout()->addWidget(
        PageText(without, "LblConfAutoWithoutLoad", QStringLiteral("Kalibracja bez obciążenia...")));
    gaugeWithoutLoad_ = new QProgressBar(without);
    gaugeWithoutLoad_->setObjectName("GgeConfStepWithoutLoad");
    without->layout()->addWidget(gaugeWithoutLoad_);
    QWidget *waitLoad = addPage(TAutoCalPage::WaitLoad);
    waitLoad->layout()->addWidget(
        PageText(waitLoad, "LblConfAutoWaitLoad",
                 QStringLiteral("Włącz obciążenie (światła, dmuchawę, ogrzewanie szyby) i naciśnij DALEJ.")));
    QWidget *with = addPage(TAutoCalPage::ProgressWithLoad);
    with->layout()->addWidget(PageText(with, "LblConfAutoWithLoad", QStringLiteral("Kalibracja z obciążeniem...")));
    gaugeWithLoad_ = new QProgressBar(with);
    gaugeWithLoad_->setObjectName("GgeConfStepWithLoad");
    with->layout()->addWidget(gaugeWithLoad_);
    QWidget *result = addPage(TAutoCalPage::Result);
    info1_ = PageText(result, "LblConfAutoResultInfo1", QString());
    info2_ = PageText(result, "LblConfAutoResultInfo2", QString());
    result->layout()->addWidget(info1_);
    result->layout()->addWidget(info2_);
    layout->addWidget(book_, 1);

    auto *buttons = new QHBoxLayout;
    start_ = Button(this, "BtnConfAutoStart", QStringLiteral("START"));
    stop_ = Button(this, "BtnConfAutoStop", QStringLiteral("STOP"));
    continue_ = Button(this, "BtnConfAutoContinue", QStringLiteral("DALEJ"));
    repeat_ = Button(this, "BtnConfAutoRepeat", QStringLiteral("POWTÓRZ"));
    finish_ = Button(this, "BtnConfAutoFinish", QStringLiteral("ZAKOŃCZ"));
    for (QPushButton *b : {start_, stop_, continue_, repeat_, finish_})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, [this] { Run(TAction::Start); });
    connect(stop_, &QPushButton::clicked, this, [this] { Run(TAction::Stop); });
    connect(continue_, &QPushButton::clicked, this, [this] { Run(TAction::Continue); });
    connect(repeat_, &QPushButton::clicked, this, [this] { Run(TAction::Repeat); });
    connect(finish_, &QPushButton::clicked, this, [this] { Run(TAction::Finish); });
}

void TConfAutoCalPage::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    linkUp_ = snapshot.LinkUp;
    if (!isVisible())
        return;
    strip_->ShowReadings(snapshot);
    const double volts = LambdaVolts(snapshot.Data.LambdaRaw, snapshot.Data.LambdaType);
    lambda_->setValue(static_cast<int>(std::lround(volts * kLambdaBarMax)));
    if (!busy_)
        Show(view_, active_, outcome_);
}

void TConfAutoCalPage::Run(TAction action, bool workingPressureOk)
{
    // One step at a time; a poll that finds the line busy waits for the next tick.
    if (busy_)
        return;
    if (!linkUp_ && action != TAction::Poll && action != TAction::ResumeStart)
        return;
    busy_ = true;
    struct TStep
    {
        TAutoCalView View;
        bool Active = false;
        TAutoCalOutcome Outcome = TAutoCalOutcome::Idle;
        bool Finished = false;
        bool WorkingPressurePending = false;
    };
    const std::shared_ptr<TShared> shared = shared_;
    PostDeviceJob<TStep>(
        worker_, this,
        [shared, action, workingPressureOk](TDataManager &m) {
            TAutoCalibration &cal = shared->Cal;
            TStep step;
            switch (action) {
            case TAction::Start:
                shared->FailedReads = 0;
                cal.Start();
                break;
            case TAction::Continue:
                cal.Continue();
                break;
            case TAction::Stop:
                cal.Stop();
                break;
            case TAction::Repeat:
                cal.Repeat();
                break;
            case TAction::Finish:
                step.Finished = cal.Finish();
                break;
            case TAction::ResumeStart:
                cal.ResumeStart(workingPressureOk);
                break;
            case TAction::Poll:
                if (!cal.Active())
                    break;
                if (m.LinkUp && m.ReadCalibrationState(!cal.Legacy())) {
                    shared->FailedReads = 0;
                    cal.OnState();
                } else if (++shared->FailedReads >= kAutoCalFailedReads) {
                    cal.Abandon();
                }
                break;
            }
            step.View = cal.View();
            step.Active = cal.Active();
            step.Outcome = cal.Outcome();
            step.WorkingPressurePending = cal.View().WorkingPressurePending;
            return step;
        },
        [this](const TStep &step, const TNorviData &) {
            busy_ = false;
            ++steps_;
            Show(step.View, step.Active, step.Outcome);
            if (step.Finished && OnFinished)
                OnFinished();
            if (step.WorkingPressurePending)
                DetermineWorkingPressure();
        });
}

void TConfAutoCalPage::DetermineWorkingPressure()
{
    busy_ = true;
    const auto warn = [this](const QString &text) {
        if (OnError)
            OnError(text);
    };
    RunWorkingPressureDetermination(worker_, ask_, this, warn, [this, warn](const TWorkPressResult &r) {
        busy_ = false;
        if (!r.Ok) {
            Run(TAction::ResumeStart, false);
            return;
        }
        if (!workingPressure_) {
            auto *window = new TWorkingPressureWindow(worker_, ask_, this);
            window->Warn = warn;
            window->OnProblem = warn;
            workingPressure_ = window;
            // However the window closes (accepted, or closed as "Kontynuuj"),
            // the procedure goes on with the pressure now stored.
            connect(window, &QDialog::finished, this, [this] { Run(TAction::ResumeStart, true); });
        }
        if (r.ChosenIndex)
            workingPressure_->List()->setCurrentIndex(static_cast<int>(*r.ChosenIndex));
        workingPressure_->show();
        workingPressure_->raise();
    });
}

void TConfAutoCalPage::Show(const TAutoCalView &view, bool active, TAutoCalOutcome outcome)
{
    view_ = view;
    active_ = active;
    outcome_ = outcome;
    book_->setCurrentIndex(static_cast<int>(view.Page));
    gaugeWithoutLoad_->setRange(0, std::max(1, view.GaugeWithoutLoadMax));
    gaugeWithoutLoad_->setValue(view.GaugeWithoutLoad);
    gaugeWithLoad_->setRange(0, std::max(1, view.GaugeWithLoadMax));
    gaugeWithLoad_->setValue(view.GaugeWithLoad);
    info1_->setText(view.Info1.empty() ? QString() : UiText(view.Info1, QString::fromStdString(view.Info1)));
    info2_->setText(view.Info2.empty() ? QString() : UiText(view.Info2, QString::fromStdString(view.Info2)));
    const bool idle = !active && !busy_;
    start_->setEnabled(linkUp_ && idle && view.Page == TAutoCalPage::Start);
    stop_->setEnabled(linkUp_ && view.StopEnabled);
    continue_->setEnabled(linkUp_ && active && view.Page == TAutoCalPage::WaitLoad);
    repeat_->setEnabled(idle && view.Page == TAutoCalPage::Result);
    finish_->setEnabled(idle && view.FinishEnabled);
    if (active && !view.WorkingPressurePending && !poll_->isActive())
        poll_->start();
    else if (!active || view.WorkingPressurePending)
        poll_->stop();
}

} // namespace lumex
