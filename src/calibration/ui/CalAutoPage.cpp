#include "calibration/ui/CalAutoPage.h"

#include "calibration/AutoCalRun.h"
#include "calibration/ui/DeviceJob.h"
#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "controller/JobPoster.h"
#include "mainwindow/UiText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <thread>
#include <utility>

namespace lumex {

namespace {

constexpr int kPollMs = static_cast<int>(kAutoCalPollInterval.count());

QPushButton *Button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setMinimumSize(120, 40);
    return b;
}

} // namespace

struct TCalAutoPage::TShared
{
    TShared(TDataManager &manager, TAutoCalIo io) : Cal(manager, std::move(io)) {}
    TAutoCalibration Cal;
    int FailedReads = 0;
};

TCalAutoPage::TCalAutoPage(TJobPoster &worker, TAsker ask, QWidget *parent) : QWidget(parent), worker_(worker)
{
    setObjectName("TbSCalAuto");
    TAutoCalIo io;
    io.Ask = std::move(ask);
    io.Wait = [](std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); };
    shared_ = std::make_shared<TShared>(worker.JobManager(), std::move(io));

    auto *layout = new QVBoxLayout(this);
    auto *buttons = new QHBoxLayout;
    start_ = Button(this, "SpBCalStart", QStringLiteral("START"));
    stop_ = Button(this, "SpBCalStop", QStringLiteral("STOP"));
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch();
    layout->addLayout(buttons);
    auto *rpmRow = new QHBoxLayout;
    auto *rpmCaption = new QLabel(QStringLiteral("RPM"), this);
    rpmCaption->setObjectName("LblCalAutoRPMCaption");
    rpm_ = new QLabel(QStringLiteral("0"), this);
    rpm_->setObjectName("LblCalAutoRPM");
    QFont big = rpm_->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    rpm_->setFont(big);
    rpmRow->addWidget(rpmCaption);
    rpmRow->addWidget(rpm_);
    rpmRow->addStretch();
    layout->addLayout(rpmRow);
    bar_ = new QProgressBar(this);
    bar_->setObjectName("PrBCalPostep");
    bar_->setRange(0, kLegacyBarSteps);
    layout->addWidget(bar_);
    info_ = new QLabel(this);
    info_->setObjectName("LblCalInfo");
    info_->setAlignment(Qt::AlignCenter);
    info_->setWordWrap(true);
    info_->setFont(big);
    layout->addWidget(info_);
    layout->addStretch();
    connect(start_, &QPushButton::clicked, this, [this] { Start(); });
    connect(stop_, &QPushButton::clicked, this, [this] { Stop(); });
    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, [this] { Run(TAction::Poll); });
    Show(view_, false, outcome_);
}

TCalAutoPage::~TCalAutoPage() = default;

void TCalAutoPage::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    const bool wasUp = linkUp_;
    linkUp_ = snapshot.LinkUp;
    if (active_)
        rpm_->setText(QString::number(RpmFromPeriod(snapshot.Data.RpmPeriod)));
    if (wasUp != linkUp_ && !busy_)
        Show(view_, active_, outcome_);
}

void TCalAutoPage::Start()
{
    Run(TAction::Start);
}

void TCalAutoPage::Stop()
{
    Run(TAction::Stop);
}

void TCalAutoPage::Run(TAction action)
{
    // STOP pressed while a poll is on the line runs once that poll is back.
    if (busy_ && action == TAction::Stop)
        stopPending_ = true;
    if (busy_ || (!linkUp_ && action != TAction::Poll))
        return;
    busy_ = true;
    if (action == TAction::Start)
        rpm_->setText(QStringLiteral("0"));
    struct TStep
    {
        TAutoCalView View;
        bool Active = false;
        TAutoCalOutcome Outcome = TAutoCalOutcome::Idle;
    };
    const std::shared_ptr<TShared> shared = shared_;
    PostDeviceJob<TStep>(
        worker_, this,
        [shared, action](TDataManager &m) {
            TAutoCalibration &cal = shared->Cal;
            switch (action) {
            case TAction::Start:
                shared->FailedReads = 0;
                cal.Start();
                break;
            case TAction::Stop:
                cal.Stop();
                break;
            case TAction::Poll:
                if (!cal.Active())
                    break;
                if (m.LinkUp && m.ReadCalibrationState(!cal.Legacy())) {
                    shared->FailedReads = 0;
                    cal.OnState();
                } else if (++shared->FailedReads >= kAutoCalFailedReads) {
                    cal.Cancel();
                }
                break;
            }
            return TStep{cal.View(), cal.Active(), cal.Outcome()};
        },
        [this](const TStep &step, const TNorviData &) {
            busy_ = false;
            ++steps_;
            const bool openMap = step.View.OpenMapPage && !view_.OpenMapPage;
            Show(step.View, step.Active, step.Outcome);
            if (openMap && OnOpenMap)
                OnOpenMap();
            if (std::exchange(stopPending_, false) && active_)
                Stop();
        });
}

void TCalAutoPage::Show(const TAutoCalView &view, bool active, TAutoCalOutcome outcome)
{
    view_ = view;
    active_ = active;
    outcome_ = outcome;
    // START and STOP take each other's place.
    start_->setVisible(!active);
    stop_->setVisible(active);
    start_->setEnabled(linkUp_ && !busy_);
    stop_->setEnabled(linkUp_ && view.StopEnabled);
    bar_->setVisible(view.BarVisible);
    bar_->setValue(view.Bar);
    QString info;
    if (view.ReducerColdLabel)
        info = QStringLiteral("TEMP. REDUKTORA\n< 50 °C");
    else if (!view.Info1.empty())
        info = UiText(view.Info1, QString::fromStdString(view.Info1));
    info_->setText(info);
    info_->setVisible(active || !info.isEmpty());
    if (active && !poll_->isActive())
        poll_->start();
    else if (!active)
        poll_->stop();
}

} // namespace lumex
