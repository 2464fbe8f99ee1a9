#include "calibration/ui/Model2Page.h"

#include "calibration/AutoCalModel.h"
#include "calibration/AutoCalModelIO.h"
#include "calibration/DefaultModel.h"
#include "calibration/ModelFit.h"
#include "calibration/ModelSequences.h"
#include "calibration/ui/DeviceJob.h"
#include "calibration/ui/Model2AdaptationTab.h"
#include "calibration/ui/SequenceJob.h"
#include "configuration/ConfigFileOps.h"
#include "controller/Conversions.h"
#include "controller/Version.h"
#include "documents/MessageKeys.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"
#include "widgets/XYChart.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <fstream>
#include <sstream>

namespace lumex {

namespace {

// The zoom slider: the largest petrol time shown, ms.
constexpr int kZoomMin = 10, kZoomMax = 25;
constexpr double kGasAxisHeadroom = 1.25;
constexpr int kCylinderBoxes = 8;
constexpr int kCorrMultMin = -40, kCorrMultMax = 70;
// The pressure sensor code whose controllers neither collect the G3 map
// nor adapt the model.
constexpr uint8_t kSensorWithoutAdaptation = 1;

QString Ms(double v, int decimals = 2)
{
    return QString::number(v, 'f', decimals).replace('.', ',');
}

QPushButton *Button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QSpinBox *Spin(QWidget *parent, const char *name, int min, int max)
{
    auto *s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(min, max);
    return s;
}

std::vector<QPointF> ChartPoints(const TModelPointList &points)
{
    std::vector<QPointF> out;
    for (const auto &p : points)
        out.emplace_back(p.Tb, p.Tg);
    return out;
}

struct TReadOutcome
{
    TWriteResult Result;
    TModelPoints Idle;
};

struct TNewModelOutcome
{
    bool Ok = false;
    TModelPoints Idle;
};

struct TWriteOutcome
{
    TModel2WriteReport Report;
    TModel2Editor Editor;
};

} // namespace

TModel2Page::TModel2Page(TDeviceWorker &worker, QWidget *parent) : QWidget(parent), worker_(worker)
{
    setObjectName("TbSCalModel2");
    Build();
    Refresh();
}

void TModel2Page::Build()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("PgCModel2");
    tabs_->addTab(BuildModelTab(), QStringLiteral("Model"));
    adaptationTab_ = new TModel2AdaptationTab(worker_, tabs_);
    adaptationTab_->OnProblem = [this](const QString &text) {
        if (OnProblem)
            OnProblem(text);
    };
    tabs_->addTab(adaptationTab_, QStringLiteral("Adaptacja"));
    outer->addWidget(tabs_);
    // Entering the adaptation tab reads the map it adapts from.
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        if (tabs_->currentWidget() == adaptationTab_ && Running()) {
            adaptationTab_->Ask = Ask;
            adaptationTab_->Read();
        }
    });
}

QWidget *TModel2Page::BuildModelTab()
{
    auto *tab = new QWidget(this);
    tab->setObjectName("TbSModel2Model");
    auto *layout = new QHBoxLayout(tab);
    auto *left = new QVBoxLayout;
    auto *buttons = new QHBoxLayout;
    read_ = Button(this, "BtBModel2Read", QStringLiteral("Odczytaj"));
    write_ = Button(this, "BtBModel2Write", QStringLiteral("Zapisz"));
    default_ = Button(this, "BtBModel2Default", QStringLiteral("Ustawienia standardowe"));
    setNew_ = Button(this, "BtBModel2SetNewModel", QStringLiteral("Ustal nowy model"));
    readFrom_ = Button(this, "SpBModel2ReadFrom", QStringLiteral("Wczytaj model z pliku..."));
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addWidget(default_);
    buttons->addWidget(setNew_);
    buttons->addWidget(readFrom_);
    buttons->addStretch();
    left->addLayout(buttons);

    chart_ = new TXYChart(this);
    chart_->setObjectName("ChtModel2");
    chart_->SetTitles(QStringLiteral("Tb [ms]"), QStringLiteral("Tg [ms]"));
    seriesLine_ =
        chart_->AddSeries({QStringLiteral("line"), QColor(150, 150, 150), TSeriesStyle::Line, {}, true, false});
    seriesAdapted_ =
        chart_->AddSeries({QStringLiteral("adapted"), QColor(240, 150, 40), TSeriesStyle::Points, {}, true, false});
    seriesCalculated_ =
        chart_->AddSeries({QStringLiteral("calculated"), QColor(200, 40, 40), TSeriesStyle::Points, {}, true, false});
    seriesIdle_ =
        chart_->AddSeries({QStringLiteral("idle"), QColor(40, 160, 60), TSeriesStyle::Points, {}, true, false});
    seriesPoints_ =
        chart_->AddSeries({QStringLiteral("model"), QColor(30, 80, 200), TSeriesStyle::LineAndPoints, {}, true, false});
    chart_->OnKey = [this](QKeyEvent *e) { return Key(e); };
    chart_->OnMousePress = [this](QMouseEvent *e, QPointF v) { MousePress(e, v); };
    chart_->OnMouseMove = [this](QMouseEvent *e, QPointF v) { MouseMove(e, v); };
    chart_->OnMouseRelease = [this](QMouseEvent *, QPointF) { dragging_.reset(); };
    left->addWidget(chart_, 1);

    auto *zoomRow = new QHBoxLayout;
    auto *zoomLabel = new QLabel(QStringLiteral("Max Tb"), this);
    zoomLabel->setObjectName("LblMod2MaxTb");
    zoom_ = new QSlider(Qt::Horizontal, this);
    zoom_->setObjectName("TrBMod2MaxTb");
    zoom_->setRange(kZoomMin, kZoomMax);
    zoom_->setValue(kZoomMax);
    showValues_ = new QCheckBox(QStringLiteral("Widoczne wartosci"), this);
    showValues_->setObjectName("ChBModel2ShowValues");
    zoomRow->addWidget(zoomLabel);
    zoomRow->addWidget(zoom_, 1);
    zoomRow->addWidget(showValues_);
    left->addLayout(zoomRow);
    layout->addLayout(left, 3);

    auto *right = new QVBoxLayout;
    table_ = new QTableWidget(0, 2, this);
    table_->setObjectName("SGModel2Points");
    table_->setHorizontalHeaderLabels({QStringLiteral("Tb [ms]"), QStringLiteral("Tg [ms]")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setMinimumWidth(180);
    connect(table_, &QTableWidget::cellClicked, this, [this](int row, int) {
        editor_.Select(static_cast<std::size_t>(row));
        Refresh();
        chart_->setFocus();
    });
    right->addWidget(table_, 1);

    auto *spinners = new QGridLayout;
    auto *multLabel = new QLabel(QStringLiteral("Mnożnik [%]"), this);
    multLabel->setObjectName("LblModel2Mult");
    mult_ = Spin(this, "UpDModel2Mult", TModel2Editor::kMultMin, TModel2Editor::kMultMax);
    multText_ = new QLabel(this);
    multText_->setObjectName("YEdModel2MULT");
    auto *offsetLabel = new QLabel(QStringLiteral("Offset [ms]"), this);
    offsetLabel->setObjectName("LblModel2Offset");
    offset_ = Spin(this, "UpDModel2Offset", TModel2Editor::kOffsetMin, TModel2Editor::kOffsetMax);
    offsetText_ = new QLabel(this);
    offsetText_->setObjectName("YEdModel2Offset");
    defaultOffset_ = new QLabel(this);
    defaultOffset_->setObjectName("LblModel2DefaultOffset");
    spinners->addWidget(multLabel, 0, 0);
    spinners->addWidget(mult_, 0, 1);
    spinners->addWidget(multText_, 0, 2);
    spinners->addWidget(offsetLabel, 1, 0);
    spinners->addWidget(offset_, 1, 1);
    spinners->addWidget(offsetText_, 1, 2);
    spinners->addWidget(defaultOffset_, 2, 0, 1, 3);
    right->addLayout(spinners);
    connect(mult_, &QSpinBox::valueChanged, this, [this](int v) {
        Spinner(mult_, v - editor_.MultPosition(), [this](int d) { return editor_.MultiplierClick(d); });
    });
    connect(offset_, &QSpinBox::valueChanged, this, [this](int v) {
        Spinner(offset_, v - editor_.OffsetPosition(), [this](int d) { return editor_.OffsetClick(d); });
    });

    useOnIdle_ = new QCheckBox(QStringLiteral("Model na biegu jałowym"), this);
    useOnIdle_->setObjectName("ChBUseOnIdleModel");
    withIdle_ = new QCheckBox(QStringLiteral("Z punktami biegu jałowego"), this);
    withIdle_->setObjectName("ChBModel2WithIdlePoints");
    adaptation_ = new QCheckBox(QStringLiteral("Adaptacja"), this);
    adaptation_->setObjectName("ChBModel2Adaptation");
    right->addWidget(useOnIdle_);
    right->addWidget(withIdle_);
    right->addWidget(adaptation_);
    connect(useOnIdle_, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_)
            return;
        editor_.SetUseOnIdleModel(on);
        Edited(TEditResult::Done);
    });
    connect(withIdle_, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_)
            return;
        editor_.SetWithIdlePoints(on);
        Edited(TEditResult::Done);
    });
    connect(adaptation_, &QCheckBox::toggled, this, [this](bool on) {
        if (filling_)
            return;
        editor_.SetAdaptation(on);
        Edited(TEditResult::Done);
    });

    idlePanel_ = new QGroupBox(QStringLiteral("Punkty biegu jałowego [0,1 ms]"), this);
    idlePanel_->setObjectName("PnlModel2Idle");
    auto *idleGrid = new QGridLayout(idlePanel_);
    const char *idleNames[] = {"UpDCalSerIdle1X", "UpDCalSerIdle1Y", "UpDCalSerIdle2X", "UpDCalSerIdle2Y"};
    const TIdleSpinner idleKinds[] = {TIdleSpinner::P1X, TIdleSpinner::P1Y, TIdleSpinner::P2X, TIdleSpinner::P2Y};
    for (std::size_t i = 0; i < idle_.size(); ++i) {
        const bool isX = i % 2 == 0;
        idle_[i] = Spin(idlePanel_, idleNames[i], 0, isX ? TModel2Editor::kIdleXMax : TModel2Editor::kIdleYMax);
        idleGrid->addWidget(new QLabel(QString("P%1%2").arg(i / 2 + 1).arg(isX ? "X" : "Y"), idlePanel_),
                            static_cast<int>(i / 2), static_cast<int>(i % 2) * 2);
        idleGrid->addWidget(idle_[i], static_cast<int>(i / 2), static_cast<int>(i % 2) * 2 + 1);
        const TIdleSpinner kind = idleKinds[i];
        connect(idle_[i], &QSpinBox::valueChanged, this, [this, kind](int v) {
            if (!filling_)
                Edited(editor_.SetIdlePosition(kind, v));
        });
    }
    right->addWidget(idlePanel_);

    auto *bank2 = new QGroupBox(QStringLiteral("BANK2"), this);
    bank2->setObjectName("GrBModel2Bank2");
    auto *bankGrid = new QGridLayout(bank2);
    corrMult_ = Spin(bank2, "UpDModel2CorrMult", kCorrMultMin, kCorrMultMax);
    corrOffset_ = new QLineEdit(bank2);
    corrOffset_->setObjectName("EdtModel2CorrOffset");
    corrOffset_->setMaxLength(6);
    auto *corrMultLabel = new QLabel(QStringLiteral("Mnożnik [%]"), bank2);
    corrMultLabel->setObjectName("LblModel2CorrMult");
    auto *corrOffsetLabel = new QLabel(QStringLiteral("Offset [ms]"), bank2);
    corrOffsetLabel->setObjectName("LblModel2CorrOffset");
    bankGrid->addWidget(corrMultLabel, 0, 0, 1, 2);
    bankGrid->addWidget(corrMult_, 0, 2, 1, 2);
    bankGrid->addWidget(corrOffsetLabel, 1, 0, 1, 2);
    bankGrid->addWidget(corrOffset_, 1, 2, 1, 2);
    for (int k = 0; k < kCylinderBoxes; ++k) {
        mask_[static_cast<std::size_t>(k)] = new QCheckBox(QString::number(k + 1), bank2);
        mask_[static_cast<std::size_t>(k)]->setObjectName(QString("ChBModel2CorrMask%1").arg(k + 1));
        bankGrid->addWidget(mask_[static_cast<std::size_t>(k)], 2 + k / 4, k % 4);
        connect(mask_[static_cast<std::size_t>(k)], &QCheckBox::toggled, this, [this] { TakeCorrectionLine(); });
    }
    connect(corrMult_, &QSpinBox::valueChanged, this, [this] { TakeCorrectionLine(); });
    connect(corrOffset_, &QLineEdit::textEdited, this, [this] {
        // The page redraws on the change; the text being typed stays.
        typingOffset_ = true;
        TakeCorrectionLine();
        typingOffset_ = false;
    });
    // Told when the entry is committed, not only at the write.
    connect(corrOffset_, &QLineEdit::editingFinished, this, [this] {
        if (corrOffset_->isModified())
            RefuseBadOffset();
        corrOffset_->setModified(false);
    });
    right->addWidget(bank2);
    layout->addLayout(right, 1);

    connect(read_, &QPushButton::clicked, this, [this] { Read(); });
    connect(write_, &QPushButton::clicked, this, [this] { Write(); });
    connect(default_, &QPushButton::clicked, this, [this] { LoadDefault(); });
    connect(setNew_, &QPushButton::clicked, this, [this] { SetNewModel(); });
    connect(readFrom_, &QPushButton::clicked, this, [this] {
        const QString path = ChooseModelFile ? ChooseModelFile() : QString();
        if (!path.isEmpty())
            LoadModelFromFile(path);
    });
    connect(zoom_, &QSlider::valueChanged, this, [this](int v) { ApplyZoom(v); });
    connect(showValues_, &QCheckBox::toggled, this, [this](bool on) { chart_->SetShowValues(seriesPoints_, on); });
    ApplyZoom(kZoomMax);
    return tab;
}

bool TModel2Page::Running() const
{
    return linkUp_ && image_.VersionCode == kVersion30;
}

void TModel2Page::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    const bool wasRunning = Running();
    linkUp_ = snapshot.LinkUp;
    autocalRunning_ = snapshot.CalibrationRunning;
    if (!busy_)
        image_ = snapshot.Data;
    ApplyAdaptationTab();
    // The page fills itself once a 3.0 controller answers.
    if (!wasRunning && Running() && readsDone_ == 0)
        Read();
    // The adaptation tab on screen when the controller comes up reads its map.
    if (!wasRunning && Running() && tabs_->currentWidget() == adaptationTab_) {
        adaptationTab_->Ask = Ask;
        adaptationTab_->Read();
    }
}

void TModel2Page::ApplyAdaptationTab()
{
    const bool shown = image_.PressureSensorType != kSensorWithoutAdaptation;
    tabs_->setTabVisible(tabs_->indexOf(adaptationTab_), shown);
}

void TModel2Page::ApplyZoom(int maxTb)
{
    chart_->SetAxes({0, static_cast<double>(maxTb)}, {0, maxTb * kGasAxisHeadroom});
}

void TModel2Page::Spinner(QSpinBox *box, int steps, const std::function<TEditResult(int)> &click)
{
    if (filling_ || steps == 0)
        return;
    TEditResult result = TEditResult::Done;
    for (int i = 0; i < std::abs(steps) && result == TEditResult::Done; ++i)
        result = click(steps > 0 ? 1 : -1);
    (void)box;
    Edited(result);
}

bool TModel2Page::RefuseBadOffset()
{
    if (CorrectionOffsetFromText(corrOffset_->text().toStdString()))
        return false;
    if (OnRefused)
        OnRefused(UiText(msg::strConfInputRefused, QStringLiteral("Nieprawidłowa wartość – nic nie zostało wysłane.")) +
                  QStringLiteral("\n\n%1: \"%2\" is not an offset from -175 to 175 ms")
                      .arg(corrOffset_->objectName(), corrOffset_->text()));
    return true;
}

void TModel2Page::TakeCorrectionLine()
{
    if (filling_)
        return;
    TCorrectionLine line = editor_.Correction();
    line.Mult = MultiplierFromPercent(corrMult_->value());
    // A text the controller cannot take keeps the last good offset; the
    // write refuses while it is shown.
    if (const auto offset = CorrectionOffsetFromText(corrOffset_->text().toStdString()))
        line.Offset = *offset;
    std::array<bool, 8> boxes{};
    for (std::size_t k = 0; k < boxes.size(); ++k)
        boxes[k] = mask_[k]->isChecked();
    line.Mask = MaskFromBoxes(boxes);
    editor_.SetCorrection(line);
    Edited(TEditResult::Done);
}

void TModel2Page::Edited(TEditResult result)
{
    if (result == TEditResult::Refused) {
        if (Beep)
            Beep();
        else
            QApplication::beep();
    }
    Refresh();
}

void TModel2Page::SetFittedModel(const TModelPointList &points, double mult)
{
    editor_.SetNewModel(points, MultiplierSpinnerPosition(mult), editor_.OffsetPosition(), false);
    Edited(TEditResult::Done);
}

void TModel2Page::Refresh()
{
    filling_ = true;
    chart_->SetPoints(seriesPoints_, ChartPoints(editor_.Points()));
    chart_->SetPoints(seriesAdapted_, ChartPoints(editor_.AdaptedPoints()));
    const TModelLine &line = editor_.Line();
    chart_->SetPoints(seriesLine_, {{line.From.Tb, line.From.Tg}, {line.To.Tb, line.To.Tg}});
    const TModelPoints &idle = editor_.Idle();
    chart_->SetPoints(seriesIdle_, {{idle.P1X, idle.P1Y}, {idle.P2X, idle.P2Y}});
    chart_->SetVisible(seriesIdle_, editor_.UseOnIdleModel());
    const auto selection = editor_.Selection();
    if (selection && *selection < editor_.Points().size())
        chart_->SetMarker(QPointF(editor_.Points()[*selection].Tb, editor_.Points()[*selection].Tg));
    else
        chart_->SetMarker(std::nullopt);

    const auto &points = editor_.Points();
    table_->setRowCount(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const int row = static_cast<int>(i);
        table_->setItem(row, 0, new QTableWidgetItem(Ms(points[i].Tb)));
        table_->setItem(row, 1, new QTableWidgetItem(Ms(points[i].Tg)));
    }
    if (selection)
        table_->selectRow(static_cast<int>(*selection));
    else
        table_->clearSelection();

    mult_->setValue(editor_.MultPosition());
    multText_->setText(QString::asprintf("%d", editor_.MultPosition()));
    offset_->setValue(editor_.OffsetPosition());
    offsetText_->setText(Ms(editor_.Offset(), 1));
    defaultOffset_->setText(UiText(msg::strModelDefaultOffset, QStringLiteral("Offset domyślny wtryskiwaczy [ms]:")) +
                            " " + Ms(DefaultModelOffset(image_.InjType), 1));
    useOnIdle_->setChecked(editor_.UseOnIdleModel());
    withIdle_->setChecked(editor_.WithIdlePoints());
    withIdle_->setEnabled(editor_.UseOnIdleModel());
    adaptation_->setChecked(editor_.Adaptation());
    idlePanel_->setVisible(editor_.UseOnIdleModel());
    const double idleValues[] = {idle.P1X, idle.P1Y, idle.P2X, idle.P2Y};
    for (std::size_t i = 0; i < idle_.size(); ++i)
        idle_[i]->setValue(static_cast<int>(std::lround(idleValues[i] * 10)));
    const TCorrectionLine &corr = editor_.Correction();
    corrMult_->setValue(MultiplierPosition(corr.Mult));
    if (!corrOffset_->hasFocus() && !typingOffset_)
        corrOffset_->setText(Ms(corr.Offset));
    const auto boxes = BoxesFromMask(corr.Mask);
    for (std::size_t k = 0; k < boxes.size(); ++k)
        mask_[k]->setChecked(boxes[k]);
    // A modified page shows its write button red, as the configuration pages do.
    write_->setStyleSheet(editor_.Modified() ? QStringLiteral("background-color: #e04040; color: white;") : QString());
    adaptationTab_->ShowModel(editor_.Points(), editor_.AdaptedPoints());
    filling_ = false;
    if (OnModifiedChanged)
        OnModifiedChanged(editor_.Modified());
}

bool TModel2Page::Key(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        TQuestion q;
        q.Text = UiText(msg::strQuestWriteChangedData,
                        QStringLiteral("Ustawienia na tej stronie zostały zmienione. Zapisać je w sterowniku?"))
                     .toStdString();
        q.Caption = UiText(msg::strConfirmDataSave, QStringLiteral("Zapis zmian")).toStdString();
        q.WithCancel = true;
        if (Ask && Ask(q) == TAnswer::Yes)
            Write();
        return true;
    }
    case Qt::Key_Escape:
        Read();
        return true;
    case Qt::Key_PageUp:
        Edited(editor_.SelectNext());
        return true;
    case Qt::Key_PageDown:
        Edited(editor_.SelectPrevious());
        return true;
    case Qt::Key_Left:
        Edited(ctrl ? editor_.SelectPrevious() : editor_.MoveTb(-1));
        return true;
    case Qt::Key_Right:
        Edited(ctrl ? editor_.SelectNext() : editor_.MoveTb(+1));
        return true;
    case Qt::Key_Up:
        Edited(editor_.MoveTg(+1));
        return true;
    case Qt::Key_Down:
        Edited(editor_.MoveTg(-1));
        return true;
    case Qt::Key_Insert:
        Edited(editor_.InsertAfterSelection());
        return true;
    case Qt::Key_Delete:
        Edited(editor_.DeleteSelection());
        return true;
    default:
        return false;
    }
}

void TModel2Page::MousePress(QMouseEvent *event, QPointF value)
{
    const auto near = chart_->PointNear(seriesPoints_, event->position());
    if (event->button() == Qt::RightButton) {
        Edited(editor_.AddAt(value.x(), std::max(0.0, value.y())));
        return;
    }
    if (event->button() != Qt::LeftButton || !near)
        return;
    if (event->modifiers() & Qt::ControlModifier) {
        Edited(editor_.DeleteAt(*near));
        return;
    }
    editor_.Select(*near);
    dragging_ = near;
    Refresh();
}

void TModel2Page::MouseMove(QMouseEvent *event, QPointF value)
{
    if (!dragging_ || !(event->buttons() & Qt::LeftButton))
        return;
    Edited(editor_.DragTo(*dragging_, value.x(), std::max(0.0, value.y())));
}

void TModel2Page::SetCalculatedPoints(const std::vector<std::pair<double, double>> &points)
{
    std::vector<QPointF> shown;
    for (const auto &[tb, tg] : points)
        shown.emplace_back(tb, tg);
    chart_->SetPoints(seriesCalculated_, std::move(shown));
}

void TModel2Page::Read()
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    const std::optional<double> keepTb = editor_.Selection() && *editor_.Selection() < editor_.Points().size()
                                             ? std::optional<double>(editor_.Points()[*editor_.Selection()].Tb)
                                             : std::nullopt;
    PostDeviceSequence<TReadOutcome>(
        worker_, this,
        [](TDataManager &m) {
            TReadOutcome out;
            out.Result = ReadModel2(m, out.Idle);
            return out;
        },
        [this, keepTb](const TReadOutcome &out, const TNorviData &image) {
            busy_ = false;
            image_ = image;
            if (!out.Result.Ok) {
                // A read the installer stopped needs no word.
                if (OnProblem && !out.Result.Cancelled)
                    OnProblem(QString::fromStdString(out.Result.Message()));
                return;
            }
            editor_.Load(image, out.Idle);
            // Esc keeps the selection on the point at the same Tb.
            if (keepTb) {
                for (std::size_t i = 0; i < editor_.Points().size(); ++i) {
                    if (std::fabs(editor_.Points()[i].Tb - *keepTb) < 1e-6)
                        editor_.Select(i);
                }
            }
            ++readsDone_;
            Refresh();
        });
}

void TModel2Page::Write()
{
    if (!Running() || busy_)
        return;
    if (autocalRunning_) {
        // The controller is calibrating itself: the model is not written now.
        Edited(TEditResult::Refused);
        return;
    }
    if (RefuseBadOffset())
        return;
    busy_ = true;
    TModel2WriteOptions options;
    options.WorkPress = image_.WorkPress;
    options.IdleHotTbMs = image_.IdleHotTb / kTicksPerMs;
    options.RpmCorrectionActive = (image_.CMActive & 0x04) != 0;
    options.Ask = Ask;
    const TModel2Editor edited = editor_;
    const TModelPoints idle = editor_.Idle();
    PostDeviceSequence<TWriteOutcome>(
        worker_, this,
        [edited, idle, options](TDataManager &m) {
            TWriteOutcome out{{}, edited};
            TModelPoints idlePoints = idle;
            out.Report = WriteModel2(m, out.Editor, idlePoints, options);
            return out;
        },
        [this](const TWriteOutcome &out, const TNorviData &image) {
            busy_ = false;
            image_ = image;
            if (out.Report.Busy) {
                Edited(TEditResult::Refused);
                return;
            }
            if (!out.Report.Write.Ok) {
                if (OnProblem)
                    OnProblem(WriteFailureText(out.Report.Write));
                return;
            }
            editor_ = out.Editor;
            ++writesDone_;
            Refresh();
            if (out.Report.GasMapCleared && OnGasMapCleared)
                OnGasMapCleared();
        });
}

void TModel2Page::LoadDefault()
{
    if (!Running())
        return;
    editor_.LoadDefault(image_.InjType);
    Refresh();
}

void TModel2Page::SetNewModel()
{
    if (!Running() || busy_)
        return;
    busy_ = true;
    PostDeviceJob<TNewModelOutcome>(
        worker_, this,
        [](TDataManager &m) {
            TNewModelOutcome out;
            out.Ok = ReadModelForResult(m, out.Idle);
            return out;
        },
        [this](const TNewModelOutcome &out, const TNorviData &image) {
            busy_ = false;
            image_ = image;
            if (!out.Ok) {
                if (OnProblem)
                    OnProblem(UiText(msg::strComError, QStringLiteral("Brak komunikacji ze sterownikiem")));
                return;
            }
            // As after a run with the load step: the midpoint of the idle
            // points with the model used at idle, the model's third point
            // without; the offset is the one the page shows.
            const TTimePoint reference = NozzleReferencePoint(image.UseOnIdleModel != 0, 2, out.Idle, image.Model2SetA);
            const auto model = ModelFromResult(FuelOf(image), editor_.Offset(), reference);
            if (!model) {
                if (OnProblem)
                    OnProblem(UiText(msg::strCalInfo_ERR, QStringLiteral("Błąd autokalibracji")));
                return;
            }
            TModelPointList points;
            for (const TTimePoint &p : model->Points)
                points.push_back({p.X, p.Y});
            editor_.SetNewModel(points, model->MultSpinner, model->OffsetSpinner, true);
            ++newModelsSet_;
            Edited(TEditResult::Done);
        });
}

void TModel2Page::LoadModelFromFile(const QString &path)
{
    if (!Running() || busy_)
        return;
    std::ifstream in(path.toStdString(), std::ios::binary);
    if (!in) {
        if (Tell)
            Tell(QString(), UiText(msg::strGcfNoFile, QStringLiteral("Nie ma pliku")) + " " + path);
        return;
    }
    std::ostringstream text;
    text << in.rdbuf();
    busy_ = true;
    TLoadQuestions questions;
    const TAsker ask = Ask;
    questions.Confirm = [ask](const std::vector<TGcfDifference> &) {
        return ask &&
               ask({MessageTextInForce(msg::strSaveCnf), MessageTextInForce(msg::strSaveCnfT), false}) == TAnswer::Yes;
    };
    const std::string backupFolder = BackupFolder ? BackupFolder() : std::string();
    PostDeviceJob<TFileOpResult>(
        worker_, this,
        [fileText = text.str(), questions, backupFolder](TDataManager &m) {
            return LoadConfigurationFile(m, fileText, true, questions, backupFolder, GcfInfoNow());
        },
        [this](const TFileOpResult &r, const TNorviData &image) {
            busy_ = false;
            image_ = image;
            ++fileLoadsDone_;
            if (r.Cancelled)
                return;
            if (Tell) {
                QString text = QString::fromStdString(r.Ok ? MessageTextInForce(msg::strGcfLoadDone) : r.Text());
                if (!r.BackupPath.empty())
                    text +=
                        "\n" + UiText(msg::strGcfBackupSaved, QString()) + " " + QString::fromStdString(r.BackupPath);
                Tell(UiText(msg::strSaveCnfT, QString()), text);
            }
            // The page shows what the controller now holds.
            Read();
        });
}

} // namespace lumex
