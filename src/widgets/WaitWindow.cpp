#include "widgets/WaitWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumex {

TWaitWindow::TWaitWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName("FrmWait");
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(320);
    auto *layout = new QVBoxLayout(this);
    status_ = new QLabel(this);
    status_->setObjectName("LblWaitStatus");
    status_->setAlignment(Qt::AlignCenter);
    auto *busy = new QProgressBar(this);
    busy->setRange(0, 0); // an endless "busy" bar
    busy->setTextVisible(false);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName("BtnWaitCancel");
    layout->addWidget(status_);
    layout->addWidget(busy);
    layout->addWidget(cancel_, 0, Qt::AlignCenter);
    interval_ = new QTimer(this);
    timeout_ = new QTimer(this);
    timeout_->setSingleShot(true);
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    connect(interval_, &QTimer::timeout, this, [this] {
        if (OnInterval)
            OnInterval();
    });
    connect(timeout_, &QTimer::timeout, this, [this] {
        Finish();
        if (OnTimeout)
            OnTimeout();
    });
}

void TWaitWindow::SetCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void TWaitWindow::SetStatusText(const QString &text)
{
    status_->setText(text);
}

QString TWaitWindow::StatusText() const
{
    return status_->text();
}

void TWaitWindow::SetCancelText(const QString &text)
{
    cancel_->setText(text);
}

void TWaitWindow::SetCancelVisible(bool visible)
{
    cancel_->setVisible(visible);
}

void TWaitWindow::SetInterval(int ms)
{
    interval_->stop();
    if (ms > 0)
        interval_->setInterval(ms);
    else
        interval_->setInterval(0);
    if (ms > 0 && isVisible())
        interval_->start();
}

void TWaitWindow::SetTimeout(int ms)
{
    timeout_->stop();
    timeout_->setInterval(ms);
    if (ms > 0 && isVisible())
        timeout_->start();
}

void TWaitWindow::Begin()
{
    cancelled_ = false;
    open();
    if (interval_->interval() > 0)
        interval_->start();
    if (timeout_->interval() > 0)
        timeout_->start();
}

void TWaitWindow::Finish()
{
    interval_->stop();
    timeout_->stop();
    if (isVisible())
        done(QDialog::Accepted);
}

void TWaitWindow::reject()
{
    // Escape and the close box cancel, like the button.
    cancelled_ = true;
    interval_->stop();
    timeout_->stop();
    QDialog::reject();
    if (OnCancel)
        OnCancel();
}

} // namespace lumex
