#include "calibration/ui/Model1Page.h"

#include "calibration/ModelSequences.h"
#include "calibration/ui/DeviceJob.h"
#include "calibration/ui/SequenceJob.h"
#include "controller/Version.h"
#include "widgets/XYChart.h"

#include "widgets/DecimalSpinBox.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>

namespace lumex {

namespace {

constexpr double kAxisMs = 25.0;
constexpr double kCurveStepMs = 0.5;
constexpr int kPointMaxMs = 30, kEnrichMin = -50, kEnrichMax = 50;

} // namespace

TModel1Page::TModel1Page(TJobPoster &worker, QWidget *parent) : QWidget(parent), worker_(worker)
{
    setObjectName("TbSCalModel");
    auto *layout = new QHBoxLayout(this);
    chart_ = new TXYChart(this);
    chart_->setObjectName("ChtModel1");
    chart_->SetTitles(QStringLiteral("Tb [ms]"), QStringLiteral("Tg [ms]"));
    chart_->SetAxes({0, kAxisMs}, {0, kAxisMs * 1.5});
    seriesGas_ = chart_->AddSeries({QStringLiteral("model"), QColor(30, 80, 200), TSeriesStyle::Line, {}, true, false});
    seriesPoints_ =
        chart_->AddSeries({QStringLiteral("points"), QColor(200, 40, 40), TSeriesStyle::Points, {}, true, true});
    layout->addWidget(chart_, 3);

    auto *side = new QVBoxLayout;
    auto *buttons = new QHBoxLayout;
    read_ = new QPushButton(QStringLiteral("Odczytaj"), this);
    read_->setObjectName("BtBModelRead");
    write_ = new QPushButton(QStringLiteral("Zapisz"), this);
    write_->setObjectName("BtBModelWrite");
    default_ = new QPushButton(QStringLiteral("Ustawienia standardowe"), this);
    default_->setObjectName("BtBModelDefault");
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    side->addLayout(buttons);
    side->addWidget(default_);
    auto *grid = new QGridLayout;
    mult_ = new TDecimalSpinBox(this);
    mult_->setObjectName("YEdModelMult");
    mult_->setRange(0.5, 2.0);
    mult_->setSingleStep(0.01);
    offset_ = new TDecimalSpinBox(this);
    offset_->setObjectName("YEdModelOffset");
    offset_->setRange(-4.0, 6.0);
    offset_->setDecimals(1);
    offset_->setSingleStep(0.1);
    auto *multLabel = new QLabel(QStringLiteral("Mnożnik"), this);
    multLabel->setObjectName("LblModelMult");
    auto *offsetLabel = new QLabel(QStringLiteral("Offset [ms]"), this);
    offsetLabel->setObjectName("LblModelOffset");
    grid->addWidget(multLabel, 0, 0);
    grid->addWidget(mult_, 0, 1, 1, 2);
    grid->addWidget(offsetLabel, 1, 0);
    grid->addWidget(offset_, 1, 1, 1, 2);
    const char *pNames[] = {"UpDProgA", "UpDProgB", "UpDProgC", "UpDProgD"};
    const char *eNames[] = {"UpDWzbogacenieProgA", "UpDWzbogacenieProgB", "UpDWzbogacenieProgC", "UpDWzbogacenieProgD"};
    for (std::size_t i = 0; i < 4; ++i) {
        const int row = static_cast<int>(i) + 2;
        p_[i] = new QSpinBox(this);
        p_[i]->setObjectName(pNames[i]);
        p_[i]->setRange(0, kPointMaxMs);
        p_[i]->setSuffix(" ms");
        e_[i] = new QSpinBox(this);
        e_[i]->setObjectName(eNames[i]);
        e_[i]->setRange(kEnrichMin, kEnrichMax);
        e_[i]->setSuffix(" %");
        grid->addWidget(new QLabel(QString("P%1").arg(i + 1), this), row, 0);
        grid->addWidget(p_[i], row, 1);
        grid->addWidget(e_[i], row, 2);
        connect(p_[i], &QSpinBox::valueChanged, this, [this] { Take(); });
        connect(e_[i], &QSpinBox::valueChanged, this, [this] { Take(); });
    }
    connect(mult_, &QDoubleSpinBox::valueChanged, this, [this] { Take(); });
    connect(offset_, &QDoubleSpinBox::valueChanged, this, [this] { Take(); });
    side->addLayout(grid);
    side->addStretch();
    layout->addLayout(side, 1);
    connect(read_, &QPushButton::clicked, this, [this] { Read(); });
    connect(write_, &QPushButton::clicked, this, [this] { Write(); });
    connect(default_, &QPushButton::clicked, this, [this] {
        model_ = DefaultModel1();
        Fill();
    });
    Fill();
}

bool TModel1Page::Running() const
{
    return linkUp_ && (version_ == kVersion14 || version_ == kVersion15);
}

void TModel1Page::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    const bool wasRunning = Running();
    linkUp_ = snapshot.LinkUp;
    version_ = snapshot.Data.VersionCode;
    if (!wasRunning && Running() && readsDone_ == 0)
        Read();
}

void TModel1Page::SetFittedModel(const TLegacyModel &fitted)
{
    model_.Mult = fitted.Mult;
    for (std::size_t i = 0; i < model_.E.size(); ++i)
        model_.E[i] = static_cast<int32_t>(std::lround(fitted.E[i]));
    Fill();
    Draw();
}

void TModel1Page::Fill()
{
    filling_ = true;
    mult_->setValue(model_.Mult);
    offset_->setValue(model_.Offset);
    for (std::size_t i = 0; i < 4; ++i) {
        p_[i]->setValue(model_.P[i]);
        e_[i]->setValue(model_.E[i]);
    }
    filling_ = false;
    Draw();
}

void TModel1Page::Take()
{
    if (filling_)
        return;
    model_.Mult = mult_->value();
    model_.Offset = offset_->value();
    for (std::size_t i = 0; i < 4; ++i) {
        model_.P[i] = p_[i]->value();
        model_.E[i] = e_[i]->value();
    }
    Draw();
}

void TModel1Page::Draw()
{
    std::vector<QPointF> curve, points;
    for (double tb = 0; tb <= kAxisMs; tb += kCurveStepMs)
        curve.emplace_back(tb, Model1GasTime(model_, tb));
    for (int32_t p : model_.P)
        points.emplace_back(p, Model1GasTime(model_, p));
    chart_->SetPoints(seriesGas_, std::move(curve));
    chart_->SetPoints(seriesPoints_, std::move(points));
}

void TModel1Page::Read()
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    PostDeviceSequence<TWriteResult>(
        worker_, this, [](TDataManager &m) { return ReadModel1(m); },
        [this](const TWriteResult &r, const TNorviData &image) {
            busy_ = false;
            if (!r.Ok) {
                if (OnProblem && !r.Cancelled)
                    OnProblem(QString::fromStdString(r.Message()));
                return;
            }
            model_ = Model1Of(image);
            ++readsDone_;
            Fill();
        });
}

void TModel1Page::Write()
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    const TModel1 model = model_;
    PostDeviceSequence<TWriteResult>(
        worker_, this, [model](TDataManager &m) { return WriteModel1(m, model); },
        [this](const TWriteResult &r, const TNorviData &) {
            busy_ = false;
            if (!r.Ok && OnProblem)
                OnProblem(WriteFailureText(r));
        });
}

} // namespace lumex
