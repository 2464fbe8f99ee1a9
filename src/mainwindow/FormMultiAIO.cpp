#include "mainwindow/FormMultiAIO.h"

#include "widgets/CellGrid.h"

#include "adapter/AIOModule.h"
#include "documents/LangManager.h"
#include "mainwindow/ModuleMirror.h"
#include "modules/ui/LogicBinding.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace lumex {

namespace {

const char *const kPageNames[kAioInputs] = {"TbSLambda1Emulator", "TbSLambda2Emulator"};
constexpr int kSteps[] = {5, -5, 10, -10, 100, -100};
const char *const kStepNames[] = {"BtnPlus5", "BtnMinus5", "BtnPlus10", "BtnMinus10", "BtnPlus100", "BtnMinus100"};
constexpr int kCellWidth = 44;
// The model chart's axes: the emulated signal's whole range.
constexpr double kChartMax = 1000;

template <class T> T *Named(T *w, const QString &name)
{
    w->setObjectName(name);
    return w;
}

QTableWidget *Grid(const QString &name, int rows, int columns, bool editable)
{
    return MakeCellGrid(name, rows, columns, kCellWidth,
                        editable ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                       QAbstractItemView::AnyKeyPressed
                                 : QAbstractItemView::NoEditTriggers,
                        QAbstractItemView::ExtendedSelection);
}

void SetCell(QTableWidget *t, int row, int column, int64_t value)
{
    t->item(row, column)->setText(QString::number(value));
}

std::vector<std::string> Texts(const QTableWidget *t)
{
    std::vector<std::string> texts;
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c)
            texts.push_back(t->item(r, c)->text().trimmed().toStdString());
    return texts;
}

} // namespace

// The input's model curve through its three points.
class TAioModelChart : public QWidget
{
public:
    TAioModelChart(TModuleAIO &aio, int input) : aio_(aio), input_(input) { setMinimumSize(220, 160); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF area = QRectF(rect()).adjusted(30, 8, -8, -20);
        p.fillRect(rect(), palette().base());
        p.setPen(QPen(palette().mid().color(), 1));
        p.drawRect(area);
        p.setPen(palette().text().color());
        p.drawText(QRectF(0, area.bottom() + 2, area.left() + 4, 16), Qt::AlignRight, "0");
        p.drawText(QRectF(area.right() - 40, area.bottom() + 2, 40, 16), Qt::AlignRight, "1000");
        p.drawText(QRectF(0, area.top() - 4, area.left() - 2, 16), Qt::AlignRight, "1000");
        const auto at = [&](double x, double y) {
            return QPointF(area.left() + area.width() * std::clamp(x / kChartMax, 0.0, 1.0),
                           area.bottom() - area.height() * std::clamp(y / kChartMax, 0.0, 1.0));
        };
        QPainterPath curve;
        const int steps = std::max(2, static_cast<int>(area.width()));
        for (int i = 0; i <= steps; ++i) {
            const double x = kChartMax * i / steps;
            const QPointF point = at(x, aio_.InterpolateModel(input_, x));
            if (i == 0)
                curve.moveTo(point);
            else
                curve.lineTo(point);
        }
        p.setPen(QPen(QColor(0, 90, 200), 2));
        p.drawPath(curve);
        const TAioInput &in = aio_.UIState().Inputs[static_cast<std::size_t>(input_ - 1)];
        p.setBrush(QColor(200, 40, 40));
        for (std::size_t i = 0; i < kAioModelPoints; ++i)
            p.drawEllipse(at(static_cast<double>(in.ModelX[i]->GetAsInteger()),
                             static_cast<double>(in.ModelY[i]->GetAsInteger())),
                          3, 3);
    }

private:
    TModuleAIO &aio_;
    int input_;
};

TFormMultiAIO::TFormMultiAIO(TModuleMirror &mirror, QWidget *parent)
    : QWidget(parent), mirror_(mirror), binding_(std::make_unique<TLogicBinding>(mirror.UIState()))
{
    setObjectName("TFormMultiAIO");
    auto *layout = new QVBoxLayout(this);
    pages_ = Named(new QTabWidget, "PgCLambdaEmulator");
    pages_->addTab(BuildInput(1), "Input 1");
    pages_->addTab(BuildInput(2), "Input 2");
    layout->addWidget(pages_, 1);
    auto *buttons = new QHBoxLayout;
    read_ = Named(new QPushButton("Read"), "BtBReadLamEmulCnf");
    write_ = Named(new QPushButton("Write"), "BtBWriteLamEmulCnf");
    buttons->addWidget(read_);
    buttons->addWidget(write_);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(read_, &QPushButton::clicked, this, [this] { Run(TAioOperation::Read); });
    connect(write_, &QPushButton::clicked, this, [this] { Run(TAioOperation::Write); });
    connect(pages_, &QTabWidget::currentChanged, this, [this] { binding_->RefreshPage(PageName()); });
    binding_->ShowMessage = [this](QWidget *, const std::string &text) {
        if (OnRefused)
            OnRefused(text);
    };
    FillGrids();
    for (const char *page : kPageNames)
        binding_->RefreshPage(page);
}

TFormMultiAIO::~TFormMultiAIO() = default;

QWidget *TFormMultiAIO::BuildInput(int input)
{
    TUIStateAIO &s = mirror_.Aio().UIState();
    const TAioInput &in = s.Inputs[static_cast<std::size_t>(input - 1)];
    const QString n = QString::number(input);
    const char *page = kPageNames[input - 1];
    auto *w = Named(new QWidget, page);
    auto *grid = new QGridLayout(w);

    auto *settings = new QFormLayout;
    auto *enabled = Named(new QCheckBox(QString("Enable Lambda%1 emulation").arg(input)),
                          QString("ChBLam%1EmulationEnabled").arg(input));
    binding_->Bind(input == 1 ? s.Lam1EmulationEnabled : s.Lam2EmulationEnabled, enabled, page, bfTwoWay);
    settings->addRow(enabled);
    auto *type = Named(new QComboBox, QString("CmBLambda%1EmulType").arg(input));
    type->addItems({"Rectangular Emulation", "Linear Emulation"});
    binding_->Bind(*in.EmulationType, type, page, bfTwoWay);
    settings->addRow(new QLabel("Emulation type"), type);
    const auto edit = [&](TVariable &v, const QString &name, const char *caption) {
        auto *e = Named(new QLineEdit, name);
        e->setMaximumWidth(80);
        binding_->Bind(v, e, page, bfTwoWay | bfEditInteger);
        settings->addRow(new QLabel(caption), e);
    };
    edit(*in.MinValue, "YEdLam" + n + "EmulatorMinValue", "Min. value");
    edit(*in.MaxValue, "YEdLam" + n + "EmulatorMaxValue", "Max. value");
    // The analogue values beside the settings, as the adapter measures them.
    const auto display = [&](TVariable &v, const QString &name, const char *caption) {
        auto *l = Named(new QLabel, name);
        l->setStyleSheet("font-weight: bold");
        binding_->Bind(v, l, page, bfDisplayOnly);
        settings->addRow(new QLabel(caption), l);
    };
    display(input == 1 ? s.RealAnalogInput1 : s.RealAnalogInput2, "DgDRealAnalogIn" + n, "Analogue input [V]");
    display(input == 1 ? s.RealAnalogOutput1 : s.RealAnalogOutput2, "DgDRealAnalogOut" + n, "Analogue output [V]");
    grid->addLayout(settings, 0, 0);

    TInputPage &p = inputs_[static_cast<std::size_t>(input - 1)];
    p.Chart = new TAioModelChart(mirror_.Aio(), input);
    p.Chart->setObjectName(QString("ChtLambda%1EmulationModel").arg(input));
    grid->addWidget(p.Chart, 0, 1, 1, 2);

    // The axes are shared by both inputs: input 1's grids edit them.
    p.Rpm = Grid("StGLam" + n + "RPMThresholds", 1, static_cast<int>(kAioRpmColumns), input == 1);
    p.Load = Grid("StGLam" + n + "LoadThresholds", static_cast<int>(kAioPressureRows), 1, input == 1);
    p.Cells = Grid("StGLam" + n + "EmulatorThreshold", static_cast<int>(kAioPressureRows),
                   static_cast<int>(kAioRpmColumns), true);
    auto *tables = new QGridLayout;
    tables->setSpacing(2);
    tables->addWidget(new QLabel("MAP \\ RPM"), 0, 0, Qt::AlignCenter);
    tables->addWidget(p.Rpm, 0, 1);
    tables->addWidget(p.Load, 1, 0, Qt::AlignTop);
    tables->addWidget(p.Cells, 1, 1, Qt::AlignTop);
    grid->addLayout(tables, 1, 0, 1, 2);
    for (QTableWidget *t : {p.Rpm, p.Load, p.Cells})
        connect(t, &QTableWidget::itemChanged, this, [this] {
            if (!filling_)
                gridsEdited_ = true;
        });

    auto *steps = new QVBoxLayout;
    for (std::size_t i = 0; i < std::size(kSteps); ++i) {
        const int step = kSteps[i];
        auto *b = Named(new QPushButton(step > 0 ? QString("+%1").arg(step) : QString::number(step)),
                        QString("%1Lam%2").arg(kStepNames[i]).arg(input));
        connect(b, &QPushButton::clicked, this, [this, input, step] { Step(input, step); });
        steps->addWidget(b);
    }
    steps->addStretch();
    grid->addLayout(steps, 1, 2);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
    return w;
}

std::string TFormMultiAIO::PageName() const
{
    const QWidget *w = pages_->currentWidget();
    return w == nullptr ? std::string{} : w->objectName().toStdString();
}

void TFormMultiAIO::FillGrids()
{
    filling_ = true;
    const TUIStateAIO &s = mirror_.Aio().UIState();
    for (std::size_t i = 0; i < kAioInputs; ++i) {
        const TInputPage &p = inputs_[i];
        for (std::size_t r = 0; r < kAioPressureRows; ++r)
            SetCell(p.Load, static_cast<int>(r), 0, s.PcolThresholds[r]->GetAsInteger());
        for (std::size_t c = 0; c < kAioRpmColumns; ++c)
            SetCell(p.Rpm, 0, static_cast<int>(c), s.RpmThresholds[c]->GetAsInteger());
        for (std::size_t r = 0; r < kAioPressureRows; ++r)
            for (std::size_t c = 0; c < kAioRpmColumns; ++c)
                SetCell(p.Cells, static_cast<int>(r), static_cast<int>(c),
                        s.Inputs[i].Thresholds[r][c]->GetAsInteger());
        p.Chart->update();
    }
    filledFrom_ = mirror_.ParamsTaken();
    gridsEdited_ = false;
    filling_ = false;
}

void TFormMultiAIO::Step(int input, int step)
{
    TInputPage &p = inputs_[static_cast<std::size_t>(input - 1)];
    const TAioInput &in = mirror_.Aio().UIState().Inputs[static_cast<std::size_t>(input - 1)];
    filling_ = true;
    for (const QTableWidgetSelectionRange &range : p.Cells->selectedRanges())
        for (int c = range.leftColumn(); c <= range.rightColumn(); ++c)
            for (int r = range.topRow(); r <= range.bottomRow(); ++r) {
                QTableWidgetItem *item = p.Cells->item(r, c);
                const int value = AioStepCell(item->text().trimmed().toStdString(), step);
                if (QString::number(value) == item->text())
                    continue;
                item->setText(QString::number(value));
                in.Thresholds[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]->SetAsInteger(value);
            }
    filling_ = false;
}

bool TFormMultiAIO::StoreGrids(std::string &failureKey)
{
    // Both inputs are checked before either is stored, so a bad cell on
    // the second page leaves the first one's edits unstored as well.
    const std::vector<std::string> load = Texts(inputs_[0].Load);
    const std::vector<std::string> rpm = Texts(inputs_[0].Rpm);
    std::array<std::vector<std::string>, kAioInputs> cells;
    const auto refused = [&failureKey](const TAioGridCheck &check) {
        if (check.Values)
            return false;
        failureKey = check.NotANumber ? "strAioCellNotANumber" : "strAioCellOutOfRange";
        return true;
    };
    for (std::size_t i = 0; i < kAioInputs; ++i) {
        cells[i] = Texts(inputs_[i].Cells);
        if (refused(CheckAioCells(cells[i], kAioCellMin, kAioCellMax))) {
            pages_->setCurrentIndex(static_cast<int>(i));
            return false;
        }
    }
    if (refused(CheckAioCells(load, 0, 255)) || refused(CheckAioCells(rpm, 0, 65535))) {
        pages_->setCurrentIndex(0);
        return false;
    }
    TLogicAIO &logic = mirror_.Aio().Logic();
    for (int input = 1; input <= static_cast<int>(kAioInputs); ++input)
        if (!logic.StoreGrids(input, load, rpm, cells[static_cast<std::size_t>(input - 1)])) {
            failureKey = "strAioCellOutOfRange";
            return false;
        }
    return true;
}

void TFormMultiAIO::Run(TAioOperation operation)
{
    if (busy_ || !OnOperation)
        return;
    if (operation == TAioOperation::Write) {
        std::string key;
        if (!StoreGrids(key)) {
            if (OnProblem)
                OnProblem(key);
            return;
        }
    }
    busy_ = true;
    Refresh();
    OnOperation(operation, operation == TAioOperation::Write ? mirror_.Edits("AIO") : TModuleEdits{});
}

void TFormMultiAIO::OperationDone(bool)
{
    busy_ = false;
    FillGrids();
    Refresh();
}

void TFormMultiAIO::Refresh()
{
    read_->setEnabled(!busy_);
    write_->setEnabled(!busy_);
    write_->setStyleSheet(mirror_.UIState().Modified() || gridsEdited_ ? "color: red" : "");
    if (filledFrom_ != mirror_.ParamsTaken()) {
        // Taken values equal to the ones before notify nothing: the whole
        // page is shown again.
        FillGrids();
        binding_->RefreshPage(PageName());
    }
    binding_->RefreshPending(PageName());
    for (const TInputPage &p : inputs_)
        p.Chart->update();
}

} // namespace lumex
