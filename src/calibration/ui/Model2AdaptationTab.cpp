#include "calibration/ui/Model2AdaptationTab.h"

#include "calibration/MapRanges.h"
#include "calibration/MapSession.h"
#include "calibration/ui/DeviceJob.h"
#include "configuration/ConfigModified.h"
#include "controller/Conversions.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"
#include "widgets/XYChart.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumex {

namespace {

constexpr double kModelAxisMs = 25.0;
constexpr double kGasAxisHeadroom = 1.25;
constexpr double kMapTbAxisMs = 20.0;
const QColor kLampOn(60, 190, 60), kLampOff(200, 200, 200);

std::vector<QPointF> ChartPoints(const TModelPointList &points)
{
    std::vector<QPointF> out;
    for (const auto &p : points)
        out.emplace_back(p.Tb, p.Tg);
    return out;
}

// The valid words of one column of a G3 table, as (bar, ms).
std::vector<QPointF> G3Column(const TMapG3 &map, std::size_t column, std::size_t entries)
{
    std::vector<QPointF> out;
    for (std::size_t j = 0; j < entries && j < map.size(); ++j) {
        if (IsValidG3Word(map[j][column]))
            out.emplace_back(G3BinPressure(j), G3Ticks(map[j][column]) / kTicksPerMs);
    }
    return out;
}

struct TReadOutcome
{
    TMapReadResult Result;
};

} // namespace

TModel2AdaptationTab::TModel2AdaptationTab(TDeviceWorker &worker, QWidget *parent) : QWidget(parent), worker_(worker)
{
    setObjectName("TbSModel2Adaptation");
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    read_ = new QPushButton(QStringLiteral("Odczytaj"), this);
    read_->setObjectName("BtnModel2AdaptRead");
    entries_ = new QLabel(this);
    entries_->setObjectName("LblModel2AdaptEntries");
    top->addWidget(read_);
    top->addWidget(entries_, 1);
    const char *lampNames[] = {"LblModel2AdaptLoadSmall", "LblModel2AdaptLoadMedium", "LblModel2AdaptLoadLarge"};
    const QString lampTexts[] = {QStringLiteral("Małe"), QStringLiteral("Średnie"), QStringLiteral("Duże")};
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        lamps_[i] = new QLabel(lampTexts[i], this);
        lamps_[i]->setObjectName(lampNames[i]);
        lamps_[i]->setAlignment(Qt::AlignCenter);
        lamps_[i]->setAutoFillBackground(true);
        lamps_[i]->setMinimumWidth(90);
        top->addWidget(lamps_[i]);
    }
    layout->addLayout(top);

    auto *charts = new QHBoxLayout;
    modelChart_ = new TXYChart(this);
    modelChart_->setObjectName("ChtModel2Adapt");
    modelChart_->SetTitles(QStringLiteral("Tb [ms]"), QStringLiteral("Tg [ms]"));
    modelChart_->SetAxes({0, kModelAxisMs}, {0, kModelAxisMs * kGasAxisHeadroom});
    // The model drawn over the adapted model: where the adaptation changed
    // nothing only the model shows.
    adapted_ = modelChart_->AddSeries(
        {QStringLiteral("adapted"), QColor(240, 150, 40), TSeriesStyle::LineAndPoints, {}, true, false});
    model_ =
        modelChart_->AddSeries({QStringLiteral("model"), QColor(30, 80, 200), TSeriesStyle::Line, {}, true, false});
    mapChart_ = new TXYChart(this);
    mapChart_->setObjectName("ChtModel2AdaptMap");
    mapChart_->SetTitles(QStringLiteral("P [bar]"), QStringLiteral("Tb [ms]"));
    mapPetrol_ = mapChart_->AddSeries(
        {QStringLiteral("petrol"), QColor(30, 80, 200), TSeriesStyle::LineAndPoints, {}, true, false});
    mapSecond_ =
        mapChart_->AddSeries({QStringLiteral("2"), QColor(200, 40, 40), TSeriesStyle::Points, {}, true, false});
    mapThird_ = mapChart_->AddSeries({QStringLiteral("3"), QColor(40, 160, 60), TSeriesStyle::Points, {}, true, false});
    mapTemplate_ =
        mapChart_->AddSeries({QStringLiteral("template"), QColor(150, 150, 150), TSeriesStyle::Line, {}, true, false});
    charts->addWidget(modelChart_, 1);
    charts->addWidget(mapChart_, 1);
    layout->addLayout(charts, 1);
    connect(read_, &QPushButton::clicked, this, [this] { Read(); });
    ShowMap();
}

void TModel2AdaptationTab::ShowModel(const TModelPointList &model, const TModelPointList &adapted)
{
    modelChart_->SetPoints(model_, ChartPoints(model));
    modelChart_->SetPoints(adapted_, ChartPoints(adapted));
}

void TModel2AdaptationTab::ShowMap()
{
    const bool turbo = IsTurbo(image_);
    const std::size_t entries = G3EntriesInUse(turbo);
    mapChart_->SetAxes({0, MapPressureLimit(turbo)}, {0, kMapTbAxisMs});
    const TMapG3 empty{};
    const TMapG3 &map = g3Read_ ? image_.MapG3 : empty;
    const TMapG3 &templ = g3Read_ ? image_.MapG3B : empty;
    mapChart_->SetPoints(mapPetrol_, G3Column(map, 0, entries));
    mapChart_->SetPoints(mapSecond_, G3Column(map, 1, entries));
    mapChart_->SetPoints(mapThird_, G3Column(map, 2, entries));
    mapChart_->SetPoints(mapTemplate_, G3Column(templ, 0, entries));
    entries_->setText(g3Read_ ? QString("%1 / %2").arg(coverage_.ValidEntries).arg(entries) : QString());
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        QPalette p = lamps_[i]->palette();
        p.setColor(QPalette::Window, g3Read_ && coverage_.LoadCovered[i] ? kLampOn : kLampOff);
        lamps_[i]->setPalette(p);
    }
}

void TModel2AdaptationTab::Read()
{
    if (busy_)
        return;
    busy_ = true;
    const TAsker ask = Ask;
    PostDeviceJob<TReadOutcome>(
        worker_, this,
        [ask](TDataManager &m) {
            TReadOutcome out;
            TImagePoints points;
            TModifiedFlag modified;
            TMapSession session(m, points, modified, ask);
            out.Result = session.Read();
            return out;
        },
        [this](const TReadOutcome &out, const TNorviData &image) {
            busy_ = false;
            image_ = image;
            if (!out.Result.Ok) {
                if (OnProblem)
                    OnProblem(UiText(msg::strComError, QStringLiteral("Brak komunikacji ze sterownikiem")));
                return;
            }
            g3Read_ = out.Result.G3Read;
            coverage_ = out.Result.Coverage;
            ++readsDone_;
            ShowMap();
        });
}

} // namespace lumex
