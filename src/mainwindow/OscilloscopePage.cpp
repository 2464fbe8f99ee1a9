#include "mainwindow/OscilloscopePage.h"

#include "common/AtomicFile.h"
#include "widgets/DigitalDisplay.h"
#include "widgets/OscPaneWidget.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

namespace lumex {

namespace {

const QColor kCursorRecording(0xC0, 0xC0, 0xC0);
const QColor kCursorStopped(0x80, 0x80, 0x80);
// The item the user last picked in a selector.
constexpr const char *kChosenProperty = "chosenItem";

QColor Rgb(uint32_t rgb)
{
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

TOscTrace FixedTrace(TOscChannel channel)
{
    const TOscChannelInfo &info = OscChannelInfo(channel);
    return {Rgb(info.Rgb), [channel](const TOscSample &s) { return OscValue(s, channel); },
            [&info] {
                return std::pair<double, double>{info.Low, info.High};
            }};
}

QString Formatted(const char *format, double value)
{
    return QString::asprintf(format, value);
}

constexpr int kLabelRowHeight = 16;
constexpr int kLabelWidth = 40;

// Time labels are centred on columns 100, 200 .. 900 of the panes, which
// start at the row's left edge; the unit sits left of the first.
QWidget *LabelRow(std::array<QLabel *, kTimeLabels> &labels, const char *suffix, QWidget *parent)
{
    auto *row = new QWidget(parent);
    row->setFixedHeight(kLabelRowHeight);
    for (int k = 1; k <= kTimeLabels; ++k) {
        auto *label = new QLabel(row);
        label->setObjectName(QString("DgnLbl%1%2").arg(k).arg(suffix));
        label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
        label->setGeometry(kTimeLabelSpacing * k - kLabelWidth / 2, 0, kLabelWidth, kLabelRowHeight);
        labels[static_cast<std::size_t>(k - 1)] = label;
    }
    auto *unit = new QLabel(QStringLiteral("[sek]"), row);
    unit->setGeometry(0, 0, kLabelWidth, kLabelRowHeight);
    return row;
}

} // namespace

TOscilloscopePage::TOscilloscopePage(QWidget *parent) : QWidget(parent)
{
    setObjectName("TbSDgnOscyloskop");
    auto *outer = new QHBoxLayout(this);
    auto *left = new QVBoxLayout;
    outer->addLayout(left, 1);
    left->addWidget(LabelRow(labelsTop_, "t", this));
    handleTop_ = new TOscHandleBar(recorder_, true, this);
    handleTop_->setObjectName("PnlDgnHandle1");
    left->addWidget(handleTop_);
    const char *names[kOscPanes] = {"PntBDgnCzasy", "PntBDgnPressure", "PntBDgnTemp", "PntBDgnRPM"};
    for (int p = 0; p < kOscPanes; ++p) {
        auto *pane = new TOscPaneWidget(recorder_, this);
        pane->setObjectName(names[p]);
        panes_[static_cast<std::size_t>(p)] = pane;
        left->addWidget(pane, 1);
    }
    handleBottom_ = new TOscHandleBar(recorder_, false, this);
    handleBottom_->setObjectName("PnlDgnHandle2");
    left->addWidget(handleBottom_);
    left->addWidget(LabelRow(labelsBottom_, "b", this));
    std::vector<TOscDragSurface *> dragged{handleTop_, handleBottom_};
    dragged.insert(dragged.end(), panes_.begin(), panes_.end());
    for (TOscDragSurface *surface : dragged) {
        surface->OnPress = [this](int x) { BeginDrag(x); };
        surface->OnMove = [this](int x) { DragTo(x); };
        surface->OnRelease = [this] { EndDrag(); };
    }
    panes_[0]->SetTraces({FixedTrace(TOscChannel::Tb), FixedTrace(TOscChannel::Tg)});
    panes_[1]->SetTraces({FixedTrace(TOscChannel::Psys), FixedTrace(TOscChannel::Pcol)});
    panes_[2]->SetTraces({FixedTrace(TOscChannel::TempG), FixedTrace(TOscChannel::TempR)});

    auto *right = new QGridLayout;
    outer->addLayout(right);
    const char *displayNames[] = {"DgDDgnTb",    "DgDDgnTg",    "DgDDgnPsys", "DgDDgnPcol",
                                  "DgDDgnTempG", "DgDDgnTempR", "DgDDgnRPM"};
    int row = 0;
    for (std::size_t c = 0; c < displays_.size(); ++c) {
        const TOscChannelInfo &info = OscChannelInfo(static_cast<TOscChannel>(c));
        auto *caption = new QLabel(QString::fromUtf8(info.Name.data(), static_cast<int>(info.Name.size())), this);
        displays_[c] = new TDigitalDisplay(this, 5);
        displays_[c]->setObjectName(displayNames[c]);
        displays_[c]->SetFaceColour(Rgb(info.Rgb).lighter(170));
        right->addWidget(caption, row, 0);
        right->addWidget(displays_[c], row++, 1);
    }
    const auto selector = [this](const char *name, int item) {
        auto *box = new QComboBox(this);
        box->setObjectName(name);
        box->addItems({"Lambda", "Voltage"});
        for (std::size_t c = 0; c < kObdChannels; ++c) {
            const auto text = ObdChannelInfo(c).Item;
            box->addItem(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
        }
        box->setCurrentIndex(item);
        connect(box, &QComboBox::currentIndexChanged, this, [this] { ApplySelectors(); });
        // A language file refills the items; the user's choice survives it.
        box->setProperty(kChosenProperty, item);
        connect(box, &QComboBox::activated, box, [box](int index) { box->setProperty(kChosenProperty, index); });
        connect(box->model(), &QAbstractItemModel::rowsInserted, box, [box] {
            if (box->count() == kSelectorItems)
                box->setCurrentIndex(box->property(kChosenProperty).toInt());
        });
        return box;
    };
    selector1_ = selector("CmBDgnWybor1", kSelectorLambda);
    selector2_ = selector("CmBDgnWybor2", kSelectorVoltage);
    wybor1_ = new TDigitalDisplay(this, 5);
    wybor1_->setObjectName("DgDDgnWybor1");
    wybor1_->SetFaceColour(Rgb(kSelector1Rgb).lighter(170));
    wybor2_ = new TDigitalDisplay(this, 5);
    wybor2_->setObjectName("DgDDgnWybor2");
    wybor2_->SetFaceColour(Rgb(kSelector2Rgb).lighter(170));
    right->addWidget(selector1_, row, 0);
    right->addWidget(wybor1_, row++, 1);
    right->addWidget(selector2_, row, 0);
    right->addWidget(wybor2_, row++, 1);
    time_ = new TDigitalDisplay(this, 5);
    time_->setObjectName("DgDDgnCzas");
    auto *timeCaption = new QLabel(QStringLiteral("Czas [s]"), this);
    timeCaption->setObjectName("LblDgnTime");
    right->addWidget(timeCaption, row, 0);
    right->addWidget(time_, row++, 1);

    start_ = new QPushButton(QStringLiteral("START"), this);
    start_->setObjectName("BtnDgnStart");
    reset_ = new QPushButton(QStringLiteral("Reset"), this);
    reset_->setObjectName("BtnDgnReset");
    export_ = new QPushButton(QStringLiteral("Eksport CSV..."), this);
    export_->setObjectName("BtnDgnExportCsv");
    continuous_ = new QPushButton(QStringLiteral("Zapis ciągły CSV..."), this);
    continuous_->setObjectName("BtnDgnRecordCsv");
    continuous_->setCheckable(true);
    right->addWidget(start_, row++, 0, 1, 2);
    right->addWidget(reset_, row++, 0, 1, 2);
    right->addWidget(export_, row++, 0, 1, 2);
    right->addWidget(continuous_, row++, 0, 1, 2);
    right->setRowStretch(row, 1);
    connect(start_, &QPushButton::clicked, this, [this] { StartStop(); });
    connect(reset_, &QPushButton::clicked, this, [this] { Reset(); });
    connect(export_, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, export_->text(), QString(), "CSV (*.csv)");
        std::string error;
        if (!path.isEmpty() && !ExportCsv(path.toStdString(), error) && OnProblem)
            OnProblem(QString::fromStdString(error));
    });
    connect(continuous_, &QPushButton::toggled, this, [this](bool on) {
        std::string error;
        if (!on) {
            if (!stream_.Close(error) && OnProblem)
                OnProblem(QString::fromStdString(error));
            return;
        }
        const QString path = QFileDialog::getSaveFileName(this, continuous_->text(), QString(), "CSV (*.csv)");
        if (path.isEmpty() || !RecordToCsv(path.toStdString(), error)) {
            continuous_->setChecked(false);
            if (!error.empty() && OnProblem)
                OnProblem(QString::fromStdString(error));
        }
    });
    recorder_.OnSample = [this](const TOscSample &s) {
        if (stream_.IsOpen() && !stream_.Append(s) && OnProblem) {
            std::string error;
            stream_.Close(error);
            continuous_->setChecked(false);
            OnProblem(QStringLiteral("CSV: ") + QString::fromStdString(stream_.Path()));
        }
    };
    ApplySelectors();
    UpdateControls();
}

TOscilloscopePage::~TOscilloscopePage() = default;

void TOscilloscopePage::HideObdChannels()
{
    for (QComboBox *box : {selector1_, selector2_}) {
        if (box->currentIndex() >= kSelectorFirstObd)
            box->setCurrentIndex(box == selector1_ ? kSelectorLambda : kSelectorVoltage);
        while (box->count() > kSelectorFirstObd)
            box->removeItem(box->count() - 1);
    }
}

TOscTrace TOscilloscopePage::SelectorTrace(int item, uint32_t rgb) const
{
    if (item == kSelectorLambda || item == kSelectorVoltage) {
        TOscTrace t = FixedTrace(item == kSelectorLambda ? TOscChannel::Lambda : TOscChannel::Voltage);
        t.Colour = Rgb(rgb);
        return t;
    }
    const auto channel = static_cast<std::size_t>(std::clamp(item - kSelectorFirstObd, 0, int(kObdChannels) - 1));
    return {Rgb(rgb), [channel](const TOscSample &s) { return s.Obd[channel]; },
            [this, channel] { return recorder_.ObdRange(channel); }};
}

void TOscilloscopePage::ApplySelectors()
{
    panes_[3]->SetTraces({FixedTrace(TOscChannel::RPM), SelectorTrace(selector1_->currentIndex(), kSelector1Rgb),
                          SelectorTrace(selector2_->currentIndex(), kSelector2Rgb)});
    UpdateControls();
}

void TOscilloscopePage::AddSample(const TOscSample &sample, std::chrono::steady_clock::time_point takenAt)
{
    FitWidth();
    recorder_.Append(sample, takenAt);
    UpdateControls();
    Repaint();
}

void TOscilloscopePage::StartStop()
{
    if (recorder_.Recording()) {
        recorder_.Stop();
        start_->setText(QStringLiteral("Start"));
        std::string error;
        if (stream_.IsOpen()) {
            if (!stream_.Close(error) && OnProblem)
                OnProblem(QString::fromStdString(error));
            continuous_->setChecked(false);
        }
    } else {
        FitWidth();
        if (!recorder_.Start(lockState_))
            return;
        for (auto *labels : {&labelsTop_, &labelsBottom_})
            for (QLabel *l : *labels)
                l->clear();
        start_->setText(QStringLiteral("Stop"));
    }
    if (OnRecordingChanged)
        OnRecordingChanged(recorder_.Recording());
    UpdateControls();
    Repaint();
}

void TOscilloscopePage::Reset()
{
    FitWidth();
    recorder_.Reset();
    for (auto *labels : {&labelsTop_, &labelsBottom_})
        for (QLabel *l : *labels)
            l->clear();
    UpdateControls();
    Repaint();
}

bool TOscilloscopePage::ExportCsv(const std::string &path, std::string &error)
{
    try {
        ExportOscCsv(path, recorder_.History());
    } catch (const EFileWriteError &e) {
        error = e.what();
        return false;
    }
    return true;
}

bool TOscilloscopePage::RecordToCsv(const std::string &path, std::string &error)
{
    return stream_.Open(path, error);
}

void TOscilloscopePage::FitWidth()
{
    const QWidget *top = window();
    if (!isVisible() || (top && top->isMinimized()))
        return;
    if (recorder_.Resize(panes_[0]->width()))
        Repaint();
}

void TOscilloscopePage::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FitWidth();
    UpdateControls();
}

void TOscilloscopePage::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    FitWidth();
}

void TOscilloscopePage::UpdateControls()
{
    const TOscSample &s = recorder_.Slot(static_cast<std::size_t>(recorder_.Position()));
    for (std::size_t c = 0; c < displays_.size(); ++c) {
        const auto channel = static_cast<TOscChannel>(c);
        displays_[c]->SetText(Formatted(OscChannelInfo(channel).Format, OscValue(s, channel)));
    }
    const auto selected = [&s](int item) {
        if (item == kSelectorLambda || item == kSelectorVoltage)
            return OscValue(s, item == kSelectorLambda ? TOscChannel::Lambda : TOscChannel::Voltage);
        return s.Obd[static_cast<std::size_t>(std::clamp(item - kSelectorFirstObd, 0, int(kObdChannels) - 1))];
    };
    wybor1_->SetText(Formatted("%2.2f", selected(selector1_->currentIndex())));
    wybor2_->SetText(Formatted("%2.2f", selected(selector2_->currentIndex())));
    time_->SetText(Formatted("%2.2f", s.Time));
    for (int k = 1; k <= kTimeLabels; ++k) {
        if (const auto t = recorder_.LabelTime(k)) {
            labelsTop_[static_cast<std::size_t>(k - 1)]->setText(Formatted("%2.0f", *t));
            labelsBottom_[static_cast<std::size_t>(k - 1)]->setText(Formatted("%2.0f", *t));
        }
    }
    const bool recording = recorder_.Recording();
    for (TOscPaneWidget *pane : panes_)
        pane->SetCursorColour(recording ? kCursorRecording : kCursorStopped);
    handleTop_->setEnabled(!recording);
    handleBottom_->setEnabled(!recording);
}

void TOscilloscopePage::Repaint()
{
    for (TOscPaneWidget *pane : panes_)
        pane->update();
    handleTop_->update();
    handleBottom_->update();
}

void TOscilloscopePage::BeginDrag(int x)
{
    recorder_.BeginDrag(x);
}

void TOscilloscopePage::DragTo(int x)
{
    if (!recorder_.Dragging())
        return;
    recorder_.DragTo(x);
    UpdateControls();
    Repaint();
}

void TOscilloscopePage::EndDrag()
{
    recorder_.EndDrag();
}

} // namespace lumex
