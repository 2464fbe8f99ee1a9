#include "calibration/ui/MapPage.h"

#include "calibration/MapRanges.h"
#include "calibration/MapSession.h"
#include "calibration/ModelFit.h"
#include "calibration/SegmentFit.h"
#include "calibration/ui/DeviceJob.h"
#include "calibration/ui/SequenceJob.h"
#include "configuration/ConfigModified.h"
#include "controller/Conversions.h"
#include "controller/Version.h"
#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"
#include "widgets/XYChart.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumex {

namespace {

// The chart's Tb axis, ms.
constexpr double kTbAxisMs = 20.0;
// The small model chart's Tb axis and the step of the 1.4/1.5 curve, ms.
constexpr double kModelChartMs = 25.0;
constexpr double kModelCurveStepMs = 0.5;
const QString kMapFilter = QStringLiteral("Norvi map (*.gmf)");
const QString kMapLoadFilter = QStringLiteral("Ustawienia (*.gmf)");
// The automatic reading's timer looks this often whether a reading is due.
constexpr int kAutoReadPollMs = 250;
const QColor kPetrolColour(30, 80, 200), kPetrolOtherColour(160, 185, 235);
const QColor kGasColour(200, 40, 40), kGasOtherColour(240, 170, 170);
const QColor kLampOn(60, 190, 60), kLampOff(200, 200, 200);

QPushButton *Button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QCheckBox *Box(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QCheckBox(text, parent);
    b->setObjectName(name);
    return b;
}

struct TReadOutcome
{
    TMapReadResult Result;
    TImagePoints Points;
};

struct TOpOutcome
{
    TMapOpResult Result;
    TImagePoints Points;
};

struct TCalcOutcome
{
    std::optional<TMapCalcResult> Result;
};

} // namespace

TMapPage::TMapPage(TJobPoster &worker, QWidget *parent)
    : QWidget(parent), worker_(worker),
      autoRead_([this] { StartRead(false); }, [] { return std::chrono::steady_clock::now(); })
{
    setObjectName("TbSCalMap");
    Build();
    Redraw();
}

void TMapPage::Build()
{
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    auto *rangeLabel = new QLabel(QStringLiteral("Zbieraj w zakresie:"), this);
    rangeLabel->setObjectName("LblCalMapRPMRange");
    range_ = new QComboBox(this);
    range_->setObjectName("CmBCalMapRPMRange");
    for (uint8_t i = 0; i < kMapRPMRanges; ++i)
        range_->addItem(QString::fromUtf8(MapRPMRangeText(i).data(), static_cast<int>(MapRPMRangeText(i).size())));
    read_ = Button(this, "BtnCalMapRead", QStringLiteral("&Odczytaj"));
    autoRefresh_ = Box(this, "ChkCalMapAutoRefresh", QStringLiteral("Auto odczyty"));
    g3_ = Box(this, "ChBCalMapG3", QStringLiteral("MapG3"));
    swap_ = Box(this, "ChBCalMapSwapAxes", QStringLiteral("Zamień osie"));
    top->addWidget(rangeLabel);
    top->addWidget(range_);
    top->addWidget(read_);
    top->addWidget(autoRefresh_);
    top->addWidget(g3_);
    top->addWidget(swap_);
    top->addStretch();
    layout->addLayout(top);

    auto *middle = new QHBoxLayout;
    chart_ = new TXYChart(this);
    chart_->setObjectName("ChtCalMap");
    chart_->SetTitles(QStringLiteral("P [bar]"), QStringLiteral("Tb [ms]"));
    petrolOther_ =
        chart_->AddSeries({QStringLiteral("PETROL other"), kPetrolOtherColour, TSeriesStyle::Points, {}, true, false});
    gasOther_ =
        chart_->AddSeries({QStringLiteral("LPG other"), kGasOtherColour, TSeriesStyle::Points, {}, true, false});
    petrolCurrent_ =
        chart_->AddSeries({QStringLiteral("PETROL"), kPetrolColour, TSeriesStyle::Points, {}, true, false});
    gasCurrent_ = chart_->AddSeries({QStringLiteral("LPG"), kGasColour, TSeriesStyle::Points, {}, true, false});
    bandLines_ = chart_->AddSeries({QStringLiteral("bands"), QColor(90, 90, 90), TSeriesStyle::Line, {}, true, false});
    middle->addWidget(chart_, 3);

    swapped_ = new TXYChart(this);
    swapped_->setObjectName("ChtCalMapSwapped");
    swapped_->SetTitles(QStringLiteral("Tb [ms]"), QStringLiteral("P [bar]"));
    swPetrol_ = swapped_->AddSeries({QStringLiteral("PETROL"), kPetrolColour, TSeriesStyle::Points, {}, true, false});
    swGas_ = swapped_->AddSeries({QStringLiteral("LPG"), kGasColour, TSeriesStyle::Points, {}, true, false});
    swapped_->setVisible(false);
    middle->addWidget(swapped_, 3);

    g3Chart_ = new TXYChart(this);
    g3Chart_->setObjectName("ChtCalMapG3");
    g3Chart_->SetTitles(QStringLiteral("P [bar]"), QStringLiteral("Tb [ms]"));
    g3Third_ =
        g3Chart_->AddSeries({QStringLiteral("G3 3"), QColor(240, 170, 170), TSeriesStyle::Points, {}, true, false});
    g3Second_ =
        g3Chart_->AddSeries({QStringLiteral("G3 2"), QColor(200, 40, 40), TSeriesStyle::Points, {}, true, false});
    g3Petrol_ =
        g3Chart_->AddSeries({QStringLiteral("G3"), kPetrolColour, TSeriesStyle::LineAndPoints, {}, true, false});
    g3Chart_->setVisible(false);
    middle->addWidget(g3Chart_, 2);

    auto *side = new QVBoxLayout;
    petrolCount_ = new QLabel(this);
    petrolCount_->setObjectName("LblLenMapPETROL");
    gasCount_ = new QLabel(this);
    gasCount_->setObjectName("LblLenMapLPG");
    side->addWidget(petrolCount_);
    side->addWidget(gasCount_);
    lampPanel_ = new QWidget(this);
    lampPanel_->setObjectName("PnlCalMapLoad");
    auto *lampLayout = new QVBoxLayout(lampPanel_);
    const char *lampNames[] = {"LblCalMapLoadSmall", "LblCalMapLoadMedium", "LblCalMapLoadLarge"};
    const QString lampTexts[] = {QStringLiteral("Małe"), QStringLiteral("Średnie"), QStringLiteral("Duże")};
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        lamps_[i] = new QLabel(lampTexts[i], lampPanel_);
        lamps_[i]->setObjectName(lampNames[i]);
        lamps_[i]->setAlignment(Qt::AlignCenter);
        lamps_[i]->setAutoFillBackground(true);
        lamps_[i]->setMinimumWidth(90);
        lampLayout->addWidget(lamps_[i]);
    }
    side->addWidget(lampPanel_);
    clearPetrol_ = Button(this, "BtnCalMapClearPetrol", QStringLiteral("Kasuj MAPĘ Benzyny"));
    clearGas_ = Button(this, "BtnCalMapClearLPG", QStringLiteral("Kasuj MAPĘ LPG"));
    clearTemplate_ = Button(this, "BtnCalMapClearTemplate", QStringLiteral("Kasuj WZORZEC"));
    calculate_ = Button(this, "BtnCalMapCalculate", QStringLiteral("Oblicz nastawy"));
    clearCalc_ = Button(this, "BtnCalMapClearCalc", QStringLiteral("Wyczyść nastawy"));
    setModel_ = Button(this, "BtnCalMapSetModel", QStringLiteral("Ustaw model"));
    saveFile_ = Button(this, "BtnCalMapSaveAs", QStringLiteral("Zapisz jako ..."));
    loadFile_ = Button(this, "BtnCalMapLoadFile", QStringLiteral("Odczytaj z pliku ..."));
    for (QPushButton *b :
         {clearPetrol_, clearGas_, clearTemplate_, calculate_, setModel_, clearCalc_, saveFile_, loadFile_})
        side->addWidget(b);
    fileName_ = new QLabel(this);
    fileName_->setObjectName("LblCalMapNameFile");
    fileName_->setWordWrap(true);
    side->addWidget(fileName_);
    // The model the calculation works on, with the calculated points.
    modelChart_ = new TXYChart(this);
    modelChart_->setObjectName("ChtCalMapModel");
    modelChart_->SetTitles(QStringLiteral("Tb [ms]"), QStringLiteral("Tg [ms]"));
    modelChart_->SetAxes({0, kModelChartMs}, {0, kModelChartMs * 1.5});
    modelLine_ = modelChart_->AddSeries(
        {QStringLiteral("model"), QColor(30, 80, 200), TSeriesStyle::LineAndPoints, {}, true, false});
    modelCalc_ = modelChart_->AddSeries(
        {QStringLiteral("calculated"), QColor(200, 40, 40), TSeriesStyle::Points, {}, true, false});
    modelChart_->setMinimumSize(220, 160);
    side->addWidget(modelChart_);
    side->addStretch();
    middle->addLayout(side);
    layout->addLayout(middle, 1);

    connect(read_, &QPushButton::clicked, this, [this] { Read(); });
    connect(calculate_, &QPushButton::clicked, this, [this] { Calculate(); });
    connect(setModel_, &QPushButton::clicked, this, [this] { Calculate(true); });
    connect(saveFile_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QString(), FileFolder, kMapFilter);
        if (!path.isEmpty())
            SaveToFile(path);
    });
    connect(loadFile_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QString(), FileFolder, kMapLoadFilter);
        if (!path.isEmpty())
            LoadFromFile(path);
    });
    connect(clearPetrol_, &QPushButton::clicked, this, [this] { ClearPetrol(); });
    connect(clearGas_, &QPushButton::clicked, this, [this] { ClearGas(); });
    connect(clearTemplate_, &QPushButton::clicked, this, [this] { ClearTemplate(); });
    connect(clearCalc_, &QPushButton::clicked, this, [this] {
        chart_->SetPoints(bandLines_, {});
        modelChart_->SetPoints(modelCalc_, {});
        if (OnCalculated)
            OnCalculated({});
    });
    connect(range_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_)
            ChangeRange(index);
    });
    connect(swap_, &QCheckBox::toggled, this, [this](bool on) {
        swapped_->setVisible(on);
        lampPanel_->setVisible(!on);
    });
    connect(g3_, &QCheckBox::toggled, this, [this] { ShowG3(); });
    connect(autoRefresh_, &QCheckBox::toggled, this, [this](bool on) { autoRead_.SetAutoRefresh(on); });
    autoTimer_ = new QTimer(this);
    autoTimer_->setInterval(kAutoReadPollMs);
    connect(autoTimer_, &QTimer::timeout, this, [this] { autoRead_.Tick(); });
    autoTimer_->start();
}

bool TMapPage::Running() const
{
    return linkUp_ &&
           (image_.VersionCode == kVersion30 || image_.VersionCode == kVersion14 || image_.VersionCode == kVersion15);
}

void TMapPage::SetShown(bool shown)
{
    autoRead_.SetPageShown(shown);
}

void TMapPage::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    const bool wasRunning = Running();
    linkUp_ = snapshot.LinkUp;
    if (!busy_) {
        image_ = snapshot.Data;
        // The model chart follows the model the model pages read or write.
        DrawModel();
    }
    if (!wasRunning && Running()) {
        filling_ = true;
        range_->setCurrentIndex(image_.MapRPMRange < range_->count() ? image_.MapRPMRange : unknownRange_);
        filling_ = false;
        if (readsDone_ == 0)
            StartRead(false);
    }
}

void TMapPage::ShowPoints(const TImagePoints &points)
{
    points_ = points;
    Redraw();
}

void TMapPage::Redraw()
{
    const auto selected = static_cast<uint8_t>(std::max(0, range_->currentIndex()));
    std::vector<QPointF> petrolCurrent, petrolOther, gasCurrent, gasOther, swPetrol, swGas;
    const auto sort = [selected](const TMapPointList &list, std::vector<QPointF> &current, std::vector<QPointF> &other,
                                 std::vector<QPointF> &swappedOut) {
        for (std::size_t i = 0; i < list.Count && i < list.Points.size(); ++i) {
            const TMapPoint &p = list.Points[i];
            (IsCurrentRangePoint(selected, p.Kind) ? current : other).emplace_back(p.Pressure, p.TimeMs);
            swappedOut.emplace_back(p.TimeMs, p.Pressure);
        }
    };
    sort(points_.PetrolPoints, petrolCurrent, petrolOther, swPetrol);
    sort(points_.GasPoints, gasCurrent, gasOther, swGas);
    const double limit = MapPressureLimit(IsTurbo(image_));
    chart_->SetAxes({0, limit}, {0, kTbAxisMs});
    swapped_->SetAxes({0, kTbAxisMs}, {0, limit});
    chart_->SetPoints(petrolCurrent_, std::move(petrolCurrent));
    chart_->SetPoints(petrolOther_, std::move(petrolOther));
    chart_->SetPoints(gasCurrent_, std::move(gasCurrent));
    chart_->SetPoints(gasOther_, std::move(gasOther));
    swapped_->SetPoints(swPetrol_, std::move(swPetrol));
    swapped_->SetPoints(swGas_, std::move(swGas));
    ShowCounts();
    ShowG3();
}

void TMapPage::ShowCounts()
{
    const auto show = [](QLabel *label, const QString &name, unsigned count, const QColor &colour) {
        label->setText(name + ": " + QString::number(count));
        // A full list takes no more points: bold in the series colour.
        label->setStyleSheet(IsFullCount(count) ? QString("font-weight: bold; color: %1;").arg(colour.name())
                                                : QString());
    };
    show(petrolCount_, UiText(msg::strBenzyna, QStringLiteral("BENZYNA")), points_.PetrolPoints.Count, kPetrolColour);
    show(gasCount_, UiText(msg::strGaz, QStringLiteral("GAZ")), points_.GasPoints.Count, kGasColour);
}

void TMapPage::ShowG3()
{
    const bool turbo = IsTurbo(image_);
    const bool shown = g3_->isChecked() && g3Read_;
    g3Chart_->setVisible(shown);
    std::vector<QPointF> petrol, second, third;
    for (std::size_t j = 0; j < G3EntriesInUse(turbo) && j < image_.MapG3.size(); ++j) {
        const auto &entry = image_.MapG3[j];
        const double bar = G3BinPressure(j);
        if (IsValidG3Word(entry[0]))
            petrol.emplace_back(bar, G3Ticks(entry[0]) / kTicksPerMs);
        if (IsValidG3Word(entry[1]))
            second.emplace_back(bar, G3Ticks(entry[1]) / kTicksPerMs);
        if (IsValidG3Word(entry[2]))
            third.emplace_back(bar, G3Ticks(entry[2]) / kTicksPerMs);
    }
    g3Chart_->SetAxes({0, MapPressureLimit(turbo)}, {0, kTbAxisMs});
    g3Chart_->SetPoints(g3Petrol_, std::move(petrol));
    g3Chart_->SetPoints(g3Second_, std::move(second));
    g3Chart_->SetPoints(g3Third_, std::move(third));
    for (std::size_t i = 0; i < lamps_.size(); ++i) {
        QPalette p = lamps_[i]->palette();
        p.setColor(QPalette::Window, g3Read_ && coverage_.LoadCovered[i] ? kLampOn : kLampOff);
        lamps_[i]->setPalette(p);
    }
}

void TMapPage::Read()
{
    StartRead(true);
}

void TMapPage::StartRead(bool showProgress)
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    const bool g3 = g3_->isChecked();
    const TAsker ask = Ask;
    std::function<TReadOutcome(TDataManager &)> job = [g3, ask](TDataManager &m) {
        TReadOutcome out;
        TModifiedFlag modified;
        TMapSession session(m, out.Points, modified, ask);
        session.MapG3Ticked = g3;
        out.Result = session.Read();
        return out;
    };
    std::function<void(const TReadOutcome &, const TNorviData &)> deliver = [this](const TReadOutcome &out,
                                                                                   const TNorviData &image) {
        busy_ = false;
        image_ = image;
        if (!out.Result.Ok) {
            if (OnProblem && !out.Result.Cancelled)
                OnProblem(UiText(msg::strComError, QStringLiteral("Brak komunikacji ze sterownikiem")));
            return;
        }
        g3Read_ = out.Result.G3Read;
        coverage_ = out.Result.Coverage;
        ++readsDone_;
        ShowPoints(out.Points);
        DrawModel();
    };
    // The automatic read runs behind the installer's back: no window for it.
    if (showProgress)
        PostDeviceSequence<TReadOutcome>(worker_, this, std::move(job), std::move(deliver));
    else
        PostDeviceJob<TReadOutcome>(worker_, this, std::move(job), std::move(deliver));
}

void TMapPage::RunOp(std::function<TMapOpResult(TMapSession &)> op)
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    const bool g3 = g3_->isChecked();
    const TAsker ask = Ask;
    const TImagePoints points = points_;
    PostDeviceSequence<TOpOutcome>(
        worker_, this,
        [g3, ask, points, op](TDataManager &m) {
            TOpOutcome out{{}, points};
            TModifiedFlag modified;
            TMapSession session(m, out.Points, modified, ask);
            session.MapG3Ticked = g3;
            out.Result = op(session);
            return out;
        },
        [this](const TOpOutcome &out, const TNorviData &image) {
            busy_ = false;
            image_ = image;
            if (!out.Result.Information.empty() && Warn)
                Warn(QString(), UiText(out.Result.Information, QString::fromStdString(out.Result.Information)));
            if (!out.Result.Write.Ok && OnProblem)
                OnProblem(WriteFailureText(out.Result.Write));
            if (out.Result.ReadOk)
                ++readsDone_;
            ShowPoints(out.Points);
        });
}

void TMapPage::ClearPetrol()
{
    RunOp([](TMapSession &s) { return s.ClearPetrolMap(); });
}

void TMapPage::ClearGas()
{
    RunOp([](TMapSession &s) { return s.ClearGasMap(); });
}

void TMapPage::ClearTemplate()
{
    RunOp([](TMapSession &s) { return s.ClearTemplate(); });
}

void TMapPage::SetRpmRanges(const QStringList &texts, int unknownIndex)
{
    filling_ = true;
    range_->clear();
    range_->addItems(texts);
    unknownRange_ = unknownIndex;
    range_->setCurrentIndex(unknownIndex);
    filling_ = false;
}

void TMapPage::ChangeRange(int index)
{
    // The drawing follows the list at once; the controller hears it next.
    Redraw();
    const auto range = static_cast<uint8_t>(index);
    RunOp([range](TMapSession &s) { return s.ChangeRPMRange(range); });
}

void TMapPage::Calculate(bool setModel)
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    const TImagePoints points = points_;
    PostDeviceJob<TCalcOutcome>(
        worker_, this,
        [points](TDataManager &m) {
            TCalcOutcome out;
            TImagePoints copy = points;
            TModifiedFlag modified;
            TMapSession session(m, copy, modified, {});
            out.Result = session.Calculate();
            return out;
        },
        [this, setModel](const TCalcOutcome &out, const TNorviData &image) {
            busy_ = false;
            image_ = image;
            if (!out.Result)
                return;
            if (!out.Result->Computed()) {
                if (Warn)
                    Warn(QString(), UiText(out.Result->Warning, QString::fromStdString(out.Result->Warning)));
                return;
            }
            std::vector<QPointF> bands;
            const double limit = MapPressureLimit(IsTurbo(image_));
            for (const TLine &line : out.Result->BandLines) {
                // Each band line across the chart, with a gap to the next.
                bands.emplace_back(0, line.At(0));
                bands.emplace_back(limit, line.At(limit));
                bands.emplace_back(qQNaN(), qQNaN());
            }
            chart_->SetPoints(bandLines_, std::move(bands));
            std::vector<std::pair<double, double>> calculated;
            for (const TCalcPoint &p : out.Result->Points)
                calculated.emplace_back(p.PetrolMs, p.GasMs);
            DrawModel();
            std::vector<QPointF> calc;
            for (const auto &[petrol, gas] : calculated)
                calc.emplace_back(petrol, gas);
            modelChart_->SetPoints(modelCalc_, std::move(calc));
            if (OnCalculated)
                OnCalculated(calculated);
            if (setModel)
                SetModel(*out.Result);
        });
}

void TMapPage::DrawModel()
{
    std::vector<QPointF> model;
    if (image_.VersionCode == kVersion30) {
        for (const auto &p : PointsInUse(image_.Model2SetA))
            model.emplace_back(p.Tb, p.Tg);
    } else {
        const TLegacyModel legacy = TLegacyModel::From(image_);
        for (double tb = 0; tb <= kModelChartMs; tb += kModelCurveStepMs)
            model.emplace_back(tb, LegacyGasAt(legacy, tb));
    }
    // Redrawn on every snapshot: only a changed model repaints.
    if (model != modelChart_->Series(modelLine_).Points)
        modelChart_->SetPoints(modelLine_, std::move(model));
}

void TMapPage::SetModel(const TMapCalcResult &result)
{
    if (image_.VersionCode == kVersion30) {
        const TModelFitResult fit = FitModel(image_.Model2SetA, image_.Offset, result.Points);
        if (!fit.Modified)
            return;
        const double mult = ModelMultiplier(fit.Model, image_.Offset).value_or(image_.Mult);
        if (OnModelFitted)
            OnModelFitted(PointsInUse(fit.Model), mult);
        return;
    }
    const TSegmentFitResult fit = FitSegments(TLegacyModel::From(image_), result.Points, false);
    if (!fit.Warning.empty()) {
        if (Warn)
            Warn(QString(), UiText(fit.Warning, QString::fromStdString(fit.Warning)));
        return;
    }
    if (OnLegacyModelFitted)
        OnLegacyModelFitted(fit.Model);
}

bool TMapPage::SaveToFile(const QString &path)
{
    try {
        SaveMapFile(path.toStdString(), PointsOf(points_.PetrolPoints), PointsOf(points_.GasPoints), false);
    } catch (const std::exception &e) {
        if (Warn)
            Warn(QString(), QString::fromStdString(e.what()));
        return false;
    }
    fileName_->setText(QFileInfo(path).fileName());
    return true;
}

void TMapPage::LoadFromFile(const QString &path)
{
    const TMapFileParse parsed = LoadMapFile(path.toStdString());
    if (parsed.Missing)
        return;
    if (!parsed.File) {
        if (Warn)
            Warn(QString(), QString::fromStdString(parsed.Error));
        return;
    }
    fileName_->setText(QFileInfo(path).fileName());
    const TMapFile file = *parsed.File;
    RunOp([file](TMapSession &s) { return s.LoadFile(file); });
}

} // namespace lumex
