#include "calibration/ui/InjectorTestWindow.h"

#include "controller/ControllerLink.h"
#include "documents/LanguageSections.h"
#include "documents/MessageKeys.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"
#include "widgets/BarChart.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace lumex {

namespace {

constexpr int kRefreshMs = 1000;
constexpr int kWatchMs = 100;
const QColor kMarkDone(40, 170, 60), kMarkWaiting(210, 40, 40);

QPushButton *Button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

// What one step on the device thread hands back.
struct TInjectorTestWindow::TState
{
    TInjTestSnapshot Snapshot;
    std::array<int8_t, kCylinders> Corrections{};
    bool Modified = false;
    bool Refreshed = false;
    std::optional<TInjTestStartStop> StartStop;
    bool PcolDrifted = false;
    bool MayClose = false;
    bool CloseAsked = false;
};

TInjectorTestWindow::TInjectorTestWindow(TDeviceWorker &worker, TAsker ask, QWidget *parent)
    : QDialog(parent), worker_(worker), test_(std::make_shared<TInjectorTest>(worker.Link().Manager, std::move(ask)))
{
    setObjectName("FormInjTest");
    setWindowTitle(QStringLiteral("Test wtryskiwaczy gazowych"));
    setModal(true);
    Build();
    language_ = AttachLanguage(TLanguageWindowId::InjectorTest, this);
    refresh_ = new QTimer(this);
    refresh_->setInterval(kRefreshMs);
    connect(refresh_, &QTimer::timeout, this, [this] {
        blink_ = !blink_;
        Post([](TInjectorTest &t, TState &s) {
            s.Snapshot = t.Refresh();
            s.Refreshed = true;
        });
    });
    watch_ = new QTimer(this);
    watch_->setInterval(kWatchMs);
    connect(watch_, &QTimer::timeout, this,
            [this] { Post([](TInjectorTest &t, TState &s) { s.PcolDrifted = t.WatchPcol(); }); });
    // On opening: the table once, then the first refresh.
    Post([](TInjectorTest &t, TState &s) {
        t.ReadCorrections();
        s.Snapshot = t.Refresh();
        s.Refreshed = true;
    });
    refresh_->start();
}

TInjectorTestWindow::~TInjectorTestWindow() = default;

void TInjectorTestWindow::Build()
{
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    start_ = Button(this, "BtnStartTest", UiText(msg::strStart, QStringLiteral("START")));
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName("GaugeInjTest");
    gauge_->setRange(0, 100);
    gauge_->setVisible(false);
    top->addWidget(start_);
    top->addWidget(gauge_, 1);
    layout->addLayout(top);

    auto *middle = new QHBoxLayout;
    chart_ = new TBarChart(this);
    chart_->setObjectName("ChartGasEfficiencyTest");
    // The first series carries the flow (green), the second the time (red).
    flowSeries_ = chart_->AddSeries(QStringLiteral("gasInjectorsCyclesCount"), QColor(40, 170, 60));
    timeSeries_ = chart_->AddSeries(QStringLiteral("gasEfficiencyTestResult"), QColor(210, 40, 40));
    middle->addWidget(chart_, 2);

    auto *cylinders = new QGroupBox(QStringLiteral("Cylindry"), this);
    cylinders->setObjectName("GrBInjTestCylinders");
    auto *grid = new QGridLayout(cylinders);
    auto *computedLabel = new QLabel(QStringLiteral("Obliczone korekty"), cylinders);
    computedLabel->setObjectName("LblCalculatedCorr");
    auto *storedLabel = new QLabel(QStringLiteral("Korekty [%]"), cylinders);
    storedLabel->setObjectName("LblCorrGasInj");
    grid->addWidget(computedLabel, 0, 1);
    grid->addWidget(storedLabel, 0, 2);
    for (std::size_t i = 0; i < kCylinders; ++i) {
        const int row = static_cast<int>(i) + 1;
        ticked_[i] = new QCheckBox(QString::number(i + 1), cylinders);
        ticked_[i]->setObjectName(QString("ChBTestActiveCylinderMask%1").arg(i + 1));
        ticked_[i]->setChecked(true);
        computed_[i] = new QLineEdit(cylinders);
        computed_[i]->setObjectName(QString("EdtCalculatedCorrCyl%1").arg(i + 1));
        computed_[i]->setReadOnly(true);
        computed_[i]->setMaximumWidth(60);
        corrections_[i] = new QSpinBox(cylinders);
        corrections_[i]->setObjectName(QString("UpDCorrGasInj%1").arg(i + 1));
        corrections_[i]->setRange(-kInjCorrLimit, kInjCorrLimit);
        grid->addWidget(ticked_[i], row, 0);
        grid->addWidget(computed_[i], row, 1);
        grid->addWidget(corrections_[i], row, 2);
        connect(corrections_[i], &QSpinBox::valueChanged, this, [this, i](int v) {
            if (!filling_)
                Post([i, v](TInjectorTest &t, TState &) { t.SetCorrection(i, v); });
        });
    }
    grid->setRowStretch(static_cast<int>(kCylinders) + 1, 1);
    middle->addWidget(cylinders);
    layout->addLayout(middle, 1);

    verdict_ = new QLabel(this);
    verdict_->setObjectName("LblTestResult");
    verdict_->setAlignment(Qt::AlignCenter);
    verdict_->setWordWrap(true);
    verdict_->setVisible(false);
    layout->addWidget(verdict_);

    auto *buttons = new QHBoxLayout;
    allOn_ = Button(this, "BtBSetAllCylindersActive", QStringLiteral("Wszystkie"));
    allOff_ = Button(this, "BtBSetAllCylindersInactive", QStringLiteral("Żaden"));
    copy_ = Button(this, "BtBCopyCorrToDevice", QStringLiteral("&Przepisz korekty"));
    readCorr_ = Button(this, "BtBReadGasInjCorrTab", QStringLiteral("&Odczytaj"));
    writeCorr_ = Button(this, "BtBWriteGasInjTab", QStringLiteral("&Zapisz"));
    clearCorr_ = Button(this, "BtBClearGasInjCorrTab", QStringLiteral("&Wyzeruj"));
    close_ = Button(this, "BtnClose", QStringLiteral("Zamknij"));
    for (QPushButton *b : {allOn_, allOff_, copy_, readCorr_, writeCorr_, clearCorr_})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, [this] { StartStop(); });
    const auto tickAll = [this](bool on) {
        if (shown_.Running)
            return;
        for (std::size_t i = 0; i < kCylinders; ++i)
            ticked_[i]->setChecked(on && i < shown_.Cylinders);
    };
    connect(allOn_, &QPushButton::clicked, this, [tickAll] { tickAll(true); });
    connect(allOff_, &QPushButton::clicked, this, [tickAll] { tickAll(false); });
    connect(copy_, &QPushButton::clicked, this,
            [this] { Post([](TInjectorTest &t, TState &) { t.CopyComputedCorrections(); }); });
    connect(readCorr_, &QPushButton::clicked, this,
            [this] { Post([](TInjectorTest &t, TState &) { t.ReadCorrections(); }); });
    connect(writeCorr_, &QPushButton::clicked, this,
            [this] { Post([](TInjectorTest &t, TState &) { t.WriteCorrections(); }); });
    connect(clearCorr_, &QPushButton::clicked, this,
            [this] { Post([](TInjectorTest &t, TState &) { t.ClearCorrections(); }); });
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    resize(760, 460);
}

void TInjectorTestWindow::Post(std::function<void(TInjectorTest &, TState &)> step)
{
    std::shared_ptr<TInjectorTest> test = test_;
    QPointer<TInjectorTestWindow> self(this);
    worker_.Post([test, self, step = std::move(step)] {
        TState state;
        step(*test, state);
        state.Corrections = test->Corrections();
        state.Modified = test->CorrectionsModified();
        QMetaObject::invokeMethod(
            self.data(),
            [self, state] {
                if (self)
                    self->Show(state);
            },
            Qt::QueuedConnection);
    });
}

void TInjectorTestWindow::Show(const TState &state)
{
    if (state.CloseAsked) {
        closing_ = false;
        if (state.MayClose) {
            mayClose_ = true;
            close();
        }
        return;
    }
    if (state.StartStop == TInjTestStartStop::TooCold && Warn)
        Warn(UiText(msg::strTredLow60, QStringLiteral("Temperatura reduktora poniżej 60 °C.")) + " " +
             UiText(msg::strTryAgain, QStringLiteral("Spróbuj ponownie.")));
    if (state.StartStop == TInjTestStartStop::Started)
        watch_->start();
    if (state.StartStop == TInjTestStartStop::Stopped)
        watch_->stop();
    if (state.PcolDrifted) {
        watch_->stop();
        if (Warn)
            Warn(UiText(msg::strInjTStabPcol, QStringLiteral("Ciśnienie w kolektorze nie było stabilne.")));
    }
    filling_ = true;
    for (std::size_t i = 0; i < kCylinders; ++i)
        corrections_[i]->setValue(state.Corrections[i]);
    filling_ = false;
    // The modified table colours its write button as the configuration pages do.
    writeCorr_->setStyleSheet(state.Modified ? QStringLiteral("background-color: #e04040; color: white;") : QString());
    if (!state.Refreshed)
        return;
    ++refreshes_;
    shown_ = state.Snapshot;
    const TInjTestSnapshot &s = shown_;
    if (!s.Running)
        watch_->stop();
    start_->setText(s.Running ? UiText(msg::strStop, QStringLiteral("STOP"))
                              : UiText(msg::strStart, QStringLiteral("START")));
    gauge_->setVisible(s.Running);
    gauge_->setValue(s.GaugePercent);
    std::vector<QString> names;
    std::vector<double> flow, time;
    std::vector<QColor> marks;
    for (std::size_t i = 0; i < kCylinders; ++i) {
        ticked_[i]->setVisible(i < s.Cylinders);
        ticked_[i]->setEnabled(!s.Running);
        computed_[i]->setVisible(i < s.Cylinders);
        corrections_[i]->setVisible(i < s.Cylinders);
        if (i >= s.Cylinders)
            continue;
        names.push_back(QStringLiteral("Cyl. %1").arg(i + 1));
        flow.push_back(s.Bars[i].Flow);
        time.push_back(s.Bars[i].Time);
        // Tested cylinders turn green; the one under test blinks.
        QColor mark = kMarkWaiting;
        if (s.Running && ticked_[i]->isChecked() && s.UnderTest) {
            if (i < *s.UnderTest)
                mark = kMarkDone;
            else if (i == *s.UnderTest)
                mark = blink_ ? kMarkDone : kMarkWaiting;
        }
        marks.push_back(mark);
        const auto &d = s.Evaluation.Deviation[i];
        computed_[i]->setText(d ? QString::number(std::lround(*d)) + "%" : QString());
    }
    chart_->SetCategories(std::move(names));
    chart_->SetValues(flowSeries_, std::move(flow));
    chart_->SetValues(timeSeries_, std::move(time));
    chart_->SetMarks(std::move(marks));
    const char *key = InjTestVerdictKey(s.Evaluation.Verdict);
    verdict_->setVisible(s.Evaluation.Verdict != TInjTestVerdict::None && key && *key);
    if (key && *key)
        verdict_->setText(UiText(key, QString::fromUtf8(key)));
}

void TInjectorTestWindow::StartStop()
{
    std::array<bool, kCylinders> ticked{};
    for (std::size_t i = 0; i < kCylinders; ++i)
        ticked[i] = ticked_[i]->isChecked();
    Post([ticked](TInjectorTest &t, TState &s) {
        s.StartStop = t.StartStop(ticked);
        s.Snapshot = t.Refresh();
        s.Refreshed = true;
    });
}

void TInjectorTestWindow::closeEvent(QCloseEvent *event)
{
    if (mayClose_) {
        refresh_->stop();
        watch_->stop();
        event->accept();
        if (OnClosed)
            OnClosed();
        return;
    }
    // The questions (test running, table unsaved) come from the device
    // thread's close step; the window closes once it says so.
    event->ignore();
    if (closing_)
        return;
    closing_ = true;
    Post([](TInjectorTest &t, TState &s) {
        s.CloseAsked = true;
        s.MayClose = t.Close();
    });
}

void TInjectorTestWindow::reject()
{
    close();
}

} // namespace lumex
