#include "calibration/ui/WorkingPressureWindow.h"

#include "calibration/WorkingPressureList.h"
#include "calibration/ui/DeviceJob.h"
#include "controller/DataManager.h"
#include "documents/LanguageSections.h"
#include "documents/MessageKeys.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"
#include "widgets/WaitWindow.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <thread>

namespace lumex {

namespace {

constexpr uint8_t kWorkPressParam = 30;
// The device thread's waits are cut into slices so a cancel ends them soon.
constexpr std::chrono::milliseconds kWaitSlice{50};

// Runs `f` on the GUI thread of `context`, unless it is gone.
void OnGui(const QPointer<QObject> &context, std::function<void()> f)
{
    if (context)
        QMetaObject::invokeMethod(context.data(), std::move(f), Qt::QueuedConnection);
}

} // namespace

void RunWorkingPressureDetermination(TDeviceWorker &worker, TAsker ask, QWidget *owner,
                                     std::function<void(const QString &)> warn,
                                     std::function<void(const TWorkPressResult &)> done)
{
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    QPointer<TWaitWindow> wait = new TWaitWindow(owner);
    wait->setObjectName("WaitWorkingPressure");
    wait->SetCaption(UiText(msg::strWorkPressMeasuring, QStringLiteral("Pomiar ciśnienia roboczego")));
    wait->SetStatusText(UiText(msg::strWorkPressMeasuring, QStringLiteral("Pomiar ciśnienia roboczego")));
    wait->SetCancelText(UiText(msg::strCancel, QStringLiteral("Anuluj")));
    wait->SetCancelVisible(true);
    wait->OnCancel = [cancelled] { *cancelled = true; };
    const QPointer<QObject> guard(wait.data());

    TWorkPressIo io;
    io.Ask = std::move(ask);
    io.Cancelled = [cancelled] { return cancelled->load(); };
    io.Wait = [cancelled](std::chrono::milliseconds ms) {
        const auto until = std::chrono::steady_clock::now() + ms;
        while (!cancelled->load() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::min(kWaitSlice, ms));
    };
    // The wait window is touched only on the GUI thread.
    io.BeginBusy = [guard, wait] {
        OnGui(guard, [wait] {
            if (wait)
                wait->Begin();
        });
    };
    io.EndBusy = [guard, wait] {
        OnGui(guard, [wait] {
            if (wait)
                wait->Finish();
        });
    };
    io.ShowWarning = [guard, warn](const std::string &text) {
        OnGui(guard, [warn, text] {
            if (warn)
                warn(QString::fromStdString(text));
        });
    };
    PostDeviceJob<TWorkPressResult>(
        worker, owner, [io](TDataManager &m) { return DetermineWorkingPressure(m, io); },
        [wait, warn, done](const TWorkPressResult &r, const TNorviData &) {
            if (wait)
                wait->deleteLater();
            // The installer's own No or cancel, and the too-low warning
            // already shown, need no further word.
            const bool told = r.Outcome == TWorkPressOutcome::Declined || r.Outcome == TWorkPressOutcome::Cancelled ||
                              r.Outcome == TWorkPressOutcome::TooLow;
            if (!r.Ok && !told && warn)
                warn(UiText(msg::strWorkPressFailed, QStringLiteral("Nie udało się wyznaczyć ciśnienia roboczego.")));
            if (done)
                done(r);
        });
}

TWorkingPressureWindow::TWorkingPressureWindow(TDeviceWorker &worker, TAsker ask, QWidget *parent)
    : QDialog(parent), worker_(worker), ask_(std::move(ask))
{
    setObjectName("FormWorkingPressure");
    setWindowTitle(QStringLiteral("Ciśnienie robocze"));
    setModal(true);
    auto *layout = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    auto *caption = new QLabel(QStringLiteral("Ciśnienie robocze [bar]"), this);
    caption->setObjectName("LblWPWorkPressure");
    list_ = new QComboBox(this);
    list_->setObjectName("CmBWPWorkPressure");
    for (const TWorkingPressureEntry &e : WorkingPressureList())
        list_->addItem(QString::fromLatin1(e.Text), e.Raw);
    determine_ = new QPushButton(QStringLiteral("Wyznacz"), this);
    determine_->setObjectName("BtnWPWorkPressure");
    row->addWidget(caption);
    row->addWidget(list_);
    row->addWidget(determine_);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    accept_ = new QPushButton(QStringLiteral("Zaakceptuj i kontynuuj"), this);
    accept_->setObjectName("BtnWPWriteAndContinue");
    continue_ = new QPushButton(QStringLiteral("Kontynuuj"), this);
    continue_->setObjectName("BtnWPContinue");
    continue_->setVisible(false);
    buttons->addStretch();
    buttons->addWidget(accept_);
    buttons->addWidget(continue_);
    layout->addLayout(buttons);
    connect(determine_, &QPushButton::clicked, this, [this] { Determine(); });
    connect(accept_, &QPushButton::clicked, this, [this] { Accept(); });
    connect(continue_, &QPushButton::clicked, this, &QDialog::reject);
    language_ = AttachLanguage(TLanguageWindowId::WorkingPressure, this);
    resize(380, 110);
}

TWorkingPressureWindow::~TWorkingPressureWindow() = default;

void TWorkingPressureWindow::SelectStored(uint8_t workPress)
{
    list_->setCurrentIndex(list_->findData(workPress));
}

void TWorkingPressureWindow::Determine()
{
    if (busy_)
        return;
    busy_ = true;
    determine_->setEnabled(false);
    accept_->setEnabled(false);
    const auto warn = [this](const QString &text) {
        if (Warn)
            Warn(text);
    };
    RunWorkingPressureDetermination(worker_, ask_, this, warn, [this](const TWorkPressResult &r) {
        busy_ = false;
        determine_->setEnabled(true);
        accept_->setEnabled(true);
        ++determinations_;
        if (r.ChosenIndex && (r.Outcome == TWorkPressOutcome::Written || r.Outcome == TWorkPressOutcome::TooLow))
            list_->setCurrentIndex(static_cast<int>(*r.ChosenIndex));
    });
}

void TWorkingPressureWindow::Accept()
{
    if (busy_ || list_->currentIndex() < 0)
        return;
    busy_ = true;
    const auto raw = static_cast<uint8_t>(list_->currentData().toUInt());
    PostDeviceJob<bool>(
        worker_, this,
        [raw](TDataManager &m) {
            if (!m.WriteByteParam(kWorkPressParam, raw))
                return false;
            m.Data().WorkPress = raw;
            return true;
        },
        [this](const bool &written, const TNorviData &) {
            busy_ = false;
            if (!written) {
                if (OnProblem)
                    OnProblem(UiText(msg::strComError, QStringLiteral("Brak połączenia ze sterownikiem")));
                return;
            }
            accept();
        });
}

} // namespace lumex
