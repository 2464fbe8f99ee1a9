#include "mainwindow/FormUpgrader.h"

#include "documents/LangManager.h"
#include "documents/MessageKeys.h"
#include "documents/ui/QtLanguageWindow.h"
#include "mainwindow/DeviceQuestion.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/UiText.h"
#include "upgrade/UpgradeSession.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <stdexcept>

namespace lumex {

namespace {

constexpr int kTimeTickMs = 1000;

QString Q(const std::string &s)
{
    return QString::fromStdString(s);
}

QLabel *Caption(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QLineEdit *Field(const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    return edit;
}

QPushButton *Button(const char *name, const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

QString ChooseFirmwareFileDialog(QWidget *owner, const QString &folder, int filterIndex)
{
    const QString upg = UiText(msg::strUpdFilter, "Upgrade files") + " (*.upg)";
    const QString upx = UiText(msg::strUpdFilter, "Upgrade files") + " (*.upx)";
    QFileDialog dialog(owner, QString(), folder, upg + ";;" + upx);
    dialog.setObjectName("OpenDialogBootloader");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.selectNameFilter(filterIndex == kFilterUpx ? upx : upg);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

TFormUpgrader::TFormUpgrader(TUpgradeSession &session, TDeviceWorker &worker, QWidget *parent)
    : QDialog(parent), session_(session), worker_(worker)
{
    setObjectName("FormUpgrader");
    setWindowTitle(QStringLiteral("FirmwareUpgrader"));
    auto *layout = new QVBoxLayout(this);

    auto *port = new QHBoxLayout;
    lblComm_ = Caption("LblComm", QStringLiteral("Port:"), this);
    cmBCommNo_ = new QComboBox(this);
    cmBCommNo_->setObjectName("CmBCommNo");
    btnOpen_ = Button("BtnOpen", QStringLiteral("Open"), this);
    port->addWidget(lblComm_);
    port->addWidget(cmBCommNo_, 1);
    port->addWidget(btnOpen_);
    layout->addLayout(port);

    auto *grid = new QGridLayout;
    int row = 0;
    grid->addWidget(Caption("LblBootloader", QStringLiteral("Bootloader:"), this), row, 0);
    lblBootloaderVer_ = Caption("LblBootloaderVer", QStringLiteral("-"), this);
    grid->addWidget(lblBootloaderVer_, row++, 1);
    grid->addWidget(Caption("LblFirmware", QStringLiteral("Firmware:"), this), row, 0);
    lblFirmwareVer_ = Caption("LblFirmwareVer", QStringLiteral("-"), this);
    grid->addWidget(lblFirmwareVer_, row++, 1);
    grid->addWidget(Caption("LblDescDevice", QStringLiteral("Device:"), this), row, 0);
    edtDescDevice_ = Field("EdtDescDevice", this);
    grid->addWidget(edtDescDevice_, row++, 1);
    grid->addWidget(Caption("LblFileName", QStringLiteral("File:"), this), row, 0);
    edtFileName_ = Field("EdtFileNameName", this);
    grid->addWidget(edtFileName_, row++, 1);
    grid->addWidget(Caption("LblDescFile", QStringLiteral("File contents:"), this), row, 0);
    edtDescFile_ = Field("EdtDescFile", this);
    grid->addWidget(edtDescFile_, row++, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    prBProgram_ = new QProgressBar(this);
    prBProgram_->setObjectName("PrBProgram");
    prBProgram_->setRange(0, 1);
    prBProgram_->setValue(0);
    layout->addWidget(prBProgram_);

    pnlTime_ = new QWidget(this);
    pnlTime_->setObjectName("PnlTime");
    auto *time = new QHBoxLayout(pnlTime_);
    time->setContentsMargins(0, 0, 0, 0);
    time->addWidget(Caption("LblTimeCaption", QStringLiteral("Elapsed / remaining:"), pnlTime_));
    lblTime_ = Caption("LblTime", QString(), pnlTime_);
    time->addWidget(lblTime_, 1);
    pnlTime_->setVisible(false);
    layout->addWidget(pnlTime_);

    auto *buttons = new QHBoxLayout;
    btnLoadData_ = Button("BtnLoadData", QStringLiteral("Open &file ..."), this);
    pnlUpdate_ = new QWidget(this);
    pnlUpdate_->setObjectName("PnlUpdate");
    auto *update = new QHBoxLayout(pnlUpdate_);
    update->setContentsMargins(0, 0, 0, 0);
    btnUpdate_ = Button("BtnUpdate", QStringLiteral("Update firmware"), pnlUpdate_);
    update->addWidget(btnUpdate_);
    btBConnect_ = Button("BtBConnect", QStringLiteral("Connect"), this);
    btnClose_ = Button("BtnClose", QStringLiteral("Close"), this);
    buttons->addWidget(btnLoadData_);
    buttons->addWidget(pnlUpdate_);
    buttons->addStretch();
    buttons->addWidget(btBConnect_);
    buttons->addWidget(btnClose_);
    layout->addLayout(buttons);
    btnLoadData_->setEnabled(false);
    btnUpdate_->setEnabled(false);

    timerUpdateTime_ = new QTimer(this);
    timerUpdateTime_->setObjectName("TimerUpdateTime");
    timerUpdateTime_->setInterval(kTimeTickMs);
    connect(timerUpdateTime_, &QTimer::timeout, this, [this] { TickTime(); });
    connect(btnLoadData_, &QPushButton::clicked, this, [this] { BtnLoadDataClick(); });
    connect(btnUpdate_, &QPushButton::clicked, this, [this] { BtnUpdateClick(); });
    connect(btBConnect_, &QPushButton::clicked, this, [this] { BtBConnectClick(); });
    connect(btnClose_, &QPushButton::clicked, this, [this] { close(); });

    question_ = std::make_unique<TDeviceQuestion>(this, AskQuestionBox, &worker_);
    BindSession();
    language_ = AttachLanguage(TLanguageWindowId::Upgrader, this);
    resize(560, sizeHint().height());
}

TFormUpgrader::~TFormUpgrader()
{
    // A question the device thread still waits for gets its cautious answer.
    question_->Release();
}

void TFormUpgrader::SetQuestionPresenter(TQuestionPresenter present)
{
    question_->SetPresenter(std::move(present));
}

void TFormUpgrader::BindSession()
{
    // These run on the device thread: they only post to the window.
    QPointer<TFormUpgrader> self(this);
    const auto post = [self](std::function<void(TFormUpgrader &)> f) {
        QMetaObject::invokeMethod(
            qApp,
            [self, f = std::move(f)] {
                if (self)
                    f(*self);
            },
            Qt::QueuedConnection);
    };
    TUpgradeSessionUi &ui = session_.Ui;
    ui.Progress = [post](int position, int maximum) {
        post([position, maximum](TFormUpgrader &w) {
            w.prBProgram_->setRange(0, std::max(maximum, 1));
            w.prBProgram_->setValue(position);
        });
    };
    ui.Remaining = [post](unsigned seconds) {
        post([seconds](TFormUpgrader &w) { w.SetRemaining(static_cast<long>(seconds)); });
    };
    ui.Warning = [post](const std::string &text) {
        post([text](TFormUpgrader &w) { w.Tell(TMessageKind::Warning, Q(text)); });
    };
    ui.Information = [post](const std::string &text) {
        post([text](TFormUpgrader &w) { w.Tell(TMessageKind::Information, Q(text)); });
    };
    TDeviceQuestion *question = question_.get();
    ui.Question = [post, question](const std::string &text) {
        TQuestion q;
        q.Text = text;
        q.Caption = QApplication::applicationName().toStdString();
        const bool yes = question->Ask(q) == TAnswer::Yes;
        // The programming is about to start: so does the time display.
        if (yes)
            post([](TFormUpgrader &w) { w.StartTime(); });
        return yes;
    };
    TUpgradeSession *session = &session_;
    ui.ShowVersions = [post, session] {
        const TUpgraderView view = UpgraderViewOf(*session);
        post([view](TFormUpgrader &w) { w.SetView(view); });
    };
}

bool TFormUpgrader::Run(std::function<bool()> job, std::function<void(bool)> then)
{
    if (busy_)
        return false;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ShowBusy(true);
    QPointer<TFormUpgrader> self(this);
    TUpgradeSession *session = &session_;
    worker_.Post([self, session, job = std::move(job), then = std::move(then)] {
        bool ok = false;
        // Whatever ends the job, the window hears of it and stops being busy.
        try {
            ok = job();
        } catch (const std::exception &e) {
            const std::string what = e.what();
            QMetaObject::invokeMethod(
                qApp,
                [self, what] {
                    if (self)
                        self->Tell(TMessageKind::Warning, Q(TUpgradeSession::Translated(what)));
                },
                Qt::QueuedConnection);
        }
        const TUpgraderView view = UpgraderViewOf(*session);
        QMetaObject::invokeMethod(
            qApp,
            [self, view, ok, then] {
                QApplication::restoreOverrideCursor();
                if (!self)
                    return;
                self->busy_ = false;
                self->ShowBusy(false);
                self->SetView(view);
                if (then)
                    then(ok);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void TFormUpgrader::SetView(const TUpgraderView &view)
{
    view_ = view;
    lblBootloaderVer_->setText(Q(view.BootloaderVer));
    lblFirmwareVer_->setText(Q(view.FirmwareVer));
    edtDescDevice_->setText(Q(view.DescDevice));
    edtDescFile_->setText(Q(view.DescFile));
    edtFileName_->setText(Q(view.FileName));
    // Progress views come while busy; a file is chosen only between jobs.
    btnLoadData_->setEnabled(view.LoadData && !busy_);
    btnUpdate_->setEnabled(view.Update);
}

void TFormUpgrader::ShowBusy(bool busy)
{
    pnlUpdate_->setEnabled(!busy);
    for (QWidget *w : {static_cast<QWidget *>(cmBCommNo_), static_cast<QWidget *>(btnOpen_),
                       static_cast<QWidget *>(btBConnect_), static_cast<QWidget *>(btnClose_)})
        w->setEnabled(!busy);
    btnLoadData_->setEnabled(!busy && view_.LoadData);
}

void TFormUpgrader::Tell(TMessageKind kind, const QString &text)
{
    if (ShowMessage)
        ShowMessage(this, {kind, QApplication::applicationName(), text});
}

void TFormUpgrader::HidePortSelector()
{
    lblComm_->hide();
    cmBCommNo_->hide();
    btnOpen_->hide();
}

void TFormUpgrader::EnterBootloader(std::function<void(bool)> then)
{
    TUpgradeSession *session = &session_;
    QPointer<TFormUpgrader> self(this);
    Run([session] { return session->EnterBootloader(); },
        [self, then = std::move(then)](bool ok) {
            if (self)
                self->connectOk_ = ok;
            if (then)
                then(ok);
        });
}

void TFormUpgrader::BtBConnectClick()
{
    if (busy_)
        return;
    if (!OnConnect)
        throw std::logic_error(
            "FormUpgrader.OnConnect should point to the procedure that would reset current COM port");
    TUpgradeSession *session = &session_;
    const std::function<void()> reset = OnConnect;
    Run(
        [session, reset] {
            reset();
            return session->EnterBootloader();
        },
        [this](bool ok) {
            if (!ok)
                btBConnect_->setFocus();
        });
}

void TFormUpgrader::BtnLoadDataClick()
{
    if (busy_)
        return;
    TUpgradeSession *session = &session_;
    QPointer<TFormUpgrader> self(this);
    Run([session] { return session->EnterBootloader(); },
        [self, session](bool ok) {
            if (!self || !ok)
                return;
            const QString path = self->ChooseFile(self, self->DataFolder, UpgradeFilterIndex(self->view_.BootMajor));
            if (path.isEmpty())
                return;
            self->prBProgram_->setValue(0);
            self->edtFileName_->setText(path);
            const std::string file = path.toStdString();
            // The check runs under the device profile in force; a file that
            // fails it leaves the update disabled until another passes.
            self->Run([session, file] { return session->ChooseFile(file); }, nullptr);
        });
}

void TFormUpgrader::BtnUpdateClick()
{
    if (busy_)
        return;
    TUpgradeSession *session = &session_;
    QPointer<TFormUpgrader> self(this);
    Run([session] { return session->Update(); },
        [self](bool ok) {
            if (!self)
                return;
            if (ok)
                self->prBProgram_->setValue(self->prBProgram_->maximum());
            self->StopTime();
        });
}

void TFormUpgrader::StartTime()
{
    started_.start();
    remaining_ = -1;
    lblTime_->setText(Q(UpgradeTimeText(0, -1)));
    pnlTime_->setVisible(true);
    timerUpdateTime_->start();
}

void TFormUpgrader::TickTime()
{
    lblTime_->setText(Q(UpgradeTimeText(started_.elapsed(), remaining_)));
}

void TFormUpgrader::StopTime()
{
    timerUpdateTime_->stop();
    lblTime_->clear();
    pnlTime_->setVisible(false);
}

void TFormUpgrader::SetRemaining(long seconds)
{
    // The display takes it on its next tick.
    remaining_ = seconds;
}

void TFormUpgrader::closeEvent(QCloseEvent *event)
{
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TFormUpgrader::reject()
{
    // Escape closes like the close button: never while busy.
    if (busy_)
        return;
    QDialog::reject();
}

void TFormUpgrader::done(int result)
{
    if (busy_)
        return;
    if (!closed_) {
        closed_ = true;
        // The device goes back to its application, unless the flash was
        // erased and not programmed completely.
        TUpgradeSession *session = &session_;
        worker_.Post([session] { session->Close(); });
    }
    QDialog::done(result);
}

void TFormUpgrader::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (btnLoadData_->isEnabled())
        btnLoadData_->setFocus();
    else
        btnClose_->setFocus();
}

} // namespace lumex
