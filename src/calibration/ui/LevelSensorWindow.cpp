#include "calibration/ui/LevelSensorWindow.h"

#include "calibration/ui/DeviceJob.h"
#include "configuration/ConfigModified.h"
#include "controller/Conversions.h"
#include "controller/DataManager.h"
#include "documents/LanguageSections.h"
#include "documents/MessageKeys.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include <cstdio>

namespace lumex {

namespace {

// The word variable that holds the indicator reading the controller works with.
constexpr uint8_t kLevelHintWordVar = 21;

} // namespace

namespace {

constexpr uint8_t kPanelLedParam = 22;
constexpr int kThresholdMin = 1, kThresholdMax = 255;
const QColor kLedColours[] = {QColor(30, 80, 220), QColor(220, 30, 30)};

QString Volts(double v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.2f V", v);
    return QString::fromLatin1(text);
}

} // namespace

// The write confirmation and its modified flag live on the device thread;
// the window copies its own mark into the flag before each write.
struct TLevelSensorWindow::TShared
{
    TShared(TDataManager &manager, TAsker ask) : Confirmation(manager, Flag, std::move(ask)) {}
    TModifiedFlag Flag;
    TWriteConfirmation Confirmation;
};

TLevelSensorWindow::TLevelSensorWindow(TDeviceWorker &worker, TAsker ask, QWidget *parent)
    : QDialog(parent), worker_(worker), shared_(std::make_shared<TShared>(worker.JobManager(), std::move(ask)))
{
    setObjectName("FrmConfigLevelSensor");
    setWindowTitle(QStringLiteral("Konfiguracja wskaźnika pełnego wskazania"));
    setModal(true);
    Build();
    language_ = AttachLanguage(TLanguageWindowId::LevelSensor, this);
}

TLevelSensorWindow::~TLevelSensorWindow() = default;

void TLevelSensorWindow::Build()
{
    auto *layout = new QVBoxLayout(this);
    auto *ledRow = new QHBoxLayout;
    auto *ledLabel = new QLabel(QStringLiteral("Kolor diody LED"), this);
    ledLabel->setObjectName("LblKnfLSColorLedState");
    led_ = new QComboBox(this);
    led_->setObjectName("CmBKnfLSColorLedState");
    // The index is the controller's colour code: blue 0, red 1.
    led_->addItems({UiText(msg::strLedColourBlue, QStringLiteral("NIEBIESKI")),
                    UiText(msg::strLedColourRed, QStringLiteral("CZERWONY"))});
    ledSample_ = new QFrame(this);
    ledSample_->setObjectName("PnlKnfLSColorLed");
    ledSample_->setFixedSize(24, 24);
    ledSample_->setAutoFillBackground(true);
    ledRow->addWidget(ledLabel);
    ledRow->addWidget(led_);
    ledRow->addWidget(ledSample_);
    ledRow->addStretch();
    layout->addLayout(ledRow);

    thresholdPanel_ = new QWidget(this);
    thresholdPanel_->setObjectName("PnlKnfLSThresholds");
    auto *grid = new QGridLayout(thresholdPanel_);
    for (std::size_t i = 0; i < sliders_.size(); ++i) {
        const int row = static_cast<int>(i);
        auto *caption = new QLabel(QStringLiteral("Próg %1").arg(i + 1), thresholdPanel_);
        caption->setObjectName(QString("LblKnfLSThreshold%1").arg(i));
        sliders_[i] = new QSlider(Qt::Horizontal, thresholdPanel_);
        sliders_[i]->setObjectName(QString("TrBKnfLSThreshold%1_2").arg(i));
        sliders_[i]->setRange(kThresholdMin, kThresholdMax);
        volts_[i] = new QLabel(thresholdPanel_);
        volts_[i]->setObjectName(QString("LblKnfLSThresholdVolts%1").arg(i));
        volts_[i]->setMinimumWidth(60);
        grid->addWidget(caption, row, 0);
        grid->addWidget(sliders_[i], row, 1);
        grid->addWidget(volts_[i], row, 2);
        connect(sliders_[i], &QSlider::valueChanged, this, [this] {
            ShowLabels();
            if (!filling_)
                SetModified(true);
        });
    }
    layout->addWidget(thresholdPanel_);

    auto *actualRow = new QHBoxLayout;
    auto *actualLabel = new QLabel(QStringLiteral("Aktualne wskazanie [V]"), this);
    actualLabel->setObjectName("LblActualLevel");
    actual_ = new QLineEdit(this);
    actual_->setObjectName("EdtActualLevel");
    actual_->setReadOnly(true);
    actual_->setMaximumWidth(80);
    actualRow->addWidget(actualLabel);
    actualRow->addWidget(actual_);
    actualRow->addStretch();
    layout->addLayout(actualRow);

    auto *buttons = new QHBoxLayout;
    factory_ = new QPushButton(QStringLiteral("Wpisz ustawienia fabryczne"), this);
    factory_->setObjectName("BtnKnfLSDefault");
    save_ = new QPushButton(QStringLiteral("Zapisz"), this);
    save_->setObjectName("BtnKnfLSSave");
    cancel_ = new QPushButton(QStringLiteral("Anuluj"), this);
    cancel_->setObjectName("BtnKnfLSCancel");
    buttons->addWidget(factory_);
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);

    connect(led_, &QComboBox::currentIndexChanged, this, [this](int index) {
        QPalette p = ledSample_->palette();
        p.setColor(QPalette::Window, kLedColours[index == 1 ? 1 : 0]);
        ledSample_->setPalette(p);
        if (!filling_)
            SetModified(true);
    });
    connect(save_, &QPushButton::clicked, this, [this] { Save(false); });
    connect(factory_, &QPushButton::clicked, this, [this] { Save(true); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::close);
    filling_ = true;
    led_->setCurrentIndex(-1);
    led_->setCurrentIndex(0);
    filling_ = false;
    ShowLabels();
    resize(460, 260);
}

TLevelThresholds TLevelSensorWindow::Thresholds() const
{
    TLevelThresholds t{};
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = static_cast<uint8_t>(sliders_[i]->value());
    return t;
}

void TLevelSensorWindow::ShowLabels()
{
    for (std::size_t i = 0; i < sliders_.size(); ++i)
        volts_[i]->setText(Volts(LevelThresholdVolts(static_cast<uint8_t>(sliders_[i]->value()))));
}

void TLevelSensorWindow::SetModified(bool modified)
{
    modified_ = modified;
    // The unsaved window colours its Save button as the configuration pages do.
    save_->setStyleSheet(modified ? QStringLiteral("background-color: #e04040; color: white;") : QString());
}

void TLevelSensorWindow::SetBusy(bool busy)
{
    // The buttons follow at once: a snapshot taken while busy greyed them,
    // and a click before the next one would otherwise be lost.
    busy_ = busy;
    ShowButtons();
}

void TLevelSensorWindow::ShowButtons()
{
    save_->setEnabled(linkUp_ && !busy_);
    factory_->setEnabled(linkUp_ && !busy_);
}

void TLevelSensorWindow::Problem(const std::string &text)
{
    if (OnProblem)
        OnProblem(QString::fromStdString(text));
}

void TLevelSensorWindow::ShowSnapshot(const TDeviceSnapshot &snapshot)
{
    // Opened before the link came up: the settings are read once it is.
    const bool cameUp = !linkUp_ && snapshot.LinkUp;
    linkUp_ = snapshot.LinkUp;
    if (cameUp && isVisible() && readsDone_ == 0 && !modified_)
        Read();
    ShowButtons();
    if (linkUp_) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", LevelVolts(snapshot.Data.LevelSensorRaw));
        actual_->setText(QString::fromLatin1(text));
        ReadHint();
    }
}

void TLevelSensorWindow::ReadHint()
{
    // The controller's own view of the indicator, as the reading's hint;
    // one read at a time, and only while the window is up.
    if (hintBusy_ || !isVisible())
        return;
    hintBusy_ = true;
    PostDeviceJob<std::optional<uint16_t>>(
        worker_, this,
        [](TDataManager &m) -> std::optional<uint16_t> {
            const uint16_t value = m.ReadWordVar(kLevelHintWordVar);
            if (!m.LinkUp)
                return std::nullopt;
            return value;
        },
        [this](const std::optional<uint16_t> &value, const TNorviData &) {
            hintBusy_ = false;
            if (!value)
                return;
            char text[16];
            const auto raw = static_cast<uint8_t>(std::min<uint16_t>(*value, UINT8_MAX));
            std::snprintf(text, sizeof text, "%.2f V", LevelVolts(raw));
            actual_->setToolTip(QString::fromLatin1(text));
        });
}

void TLevelSensorWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    mayClose_ = false;
    Read();
}

void TLevelSensorWindow::Fill(const TNorviData &image)
{
    filling_ = true;
    reserveType_ = image.ReserveType;
    led_->setCurrentIndex(image.PanelLED == static_cast<uint8_t>(TPanelLed::Red) ? 1 : 0);
    thresholdPanel_->setVisible(reserveType_ != kReserveSwitchOnly);
    const TLevelThresholds t = LevelThresholdsOf(reserveType_, image);
    for (std::size_t i = 0; i < t.size(); ++i)
        sliders_[i]->setValue(t[i]);
    filling_ = false;
    ShowLabels();
    SetModified(false);
}

void TLevelSensorWindow::Read()
{
    if (busy_)
        return;
    SetBusy(true);
    struct TRead
    {
        bool Ok = false;
        bool LinkUp = false;
    };
    PostDeviceJob<TRead>(
        worker_, this,
        [](TDataManager &m) {
            TRead r;
            r.LinkUp = m.IsLinkUp();
            if (r.LinkUp)
                r.Ok = m.ReadByteParam(kPanelLedParam) && m.ReadLevelSensorA() && m.ReadLevelSensorB();
            return r;
        },
        [this](const TRead &r, const TNorviData &image) {
            linkUp_ = r.LinkUp;
            SetBusy(false);
            // Without the link the window keeps what it shows; a failed
            // read still shows the image's values, as the controller last gave them.
            if (!r.LinkUp)
                return;
            if (!r.Ok && OnProblem)
                OnProblem(UiText(msg::strComError, QStringLiteral("Błąd komunikacji")));
            Fill(image);
            ++readsDone_;
        });
}

void TLevelSensorWindow::Save(bool factory)
{
    if (busy_ || !linkUp_)
        return;
    SetBusy(true);
    const auto led = static_cast<TPanelLed>(led_->currentIndex() == 1 ? 1 : 0);
    const TLevelThresholds thresholds = Thresholds();
    const bool modified = modified_;
    std::shared_ptr<TShared> shared = shared_;
    struct TSaved
    {
        TWriteOutcome Outcome = TWriteOutcome::Cancelled;
        std::string Failure;
    };
    PostDeviceJob<TSaved>(
        worker_, this,
        [shared, factory, led, thresholds, modified](TDataManager &m) {
            TSaved s;
            shared->Flag.SetModified(modified);
            const auto write = [&] {
                const TWriteResult r =
                    factory ? WriteLevelSensorFactoryDefaults(m) : WriteLevelSensorSettings(m, led, thresholds);
                if (!r.Ok)
                    s.Failure = r.Message();
                return r.Ok;
            };
            s.Outcome = shared->Confirmation.Write(write);
            return s;
        },
        [this](const TSaved &s, const TNorviData &image) {
            SetBusy(false);
            if (s.Outcome == TWriteOutcome::Cancelled)
                return;
            if (s.Outcome == TWriteOutcome::Failed) {
                Problem(s.Failure);
                return;
            }
            ++writesDone_;
            Fill(image);
        });
}

void TLevelSensorWindow::closeEvent(QCloseEvent *event)
{
    if (mayClose_ || !modified_) {
        event->accept();
        return;
    }
    // The leave question is asked by the device thread's step; the window
    // closes once it says so.
    event->ignore();
    if (busy_)
        return;
    SetBusy(true);
    const auto led = static_cast<TPanelLed>(led_->currentIndex() == 1 ? 1 : 0);
    const TLevelThresholds thresholds = Thresholds();
    std::shared_ptr<TShared> shared = shared_;
    PostDeviceJob<TLeaveDecision>(
        worker_, this,
        [shared, led, thresholds](TDataManager &m) {
            shared->Flag.SetModified(true);
            return shared->Confirmation.Leave([&] { return WriteLevelSensorSettings(m, led, thresholds).Ok; });
        },
        [this](const TLeaveDecision &d, const TNorviData &) {
            SetBusy(false);
            if (d == TLeaveDecision::Stay)
                return;
            SetModified(false);
            mayClose_ = true;
            close();
        });
}

void TLevelSensorWindow::reject()
{
    close();
}

} // namespace lumex
