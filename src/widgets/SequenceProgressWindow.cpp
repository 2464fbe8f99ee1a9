#include "widgets/SequenceProgressWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace lumex {

TSequenceProgressWindow::TSequenceProgressWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName("FrmSequenceProgress");
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(340);
    auto *layout = new QVBoxLayout(this);
    steps_ = new QLabel(this);
    steps_->setObjectName("LblSeqSteps");
    steps_->setAlignment(Qt::AlignCenter);
    bar_ = new QProgressBar(this);
    bar_->setObjectName("PrBSeqProgress");
    bar_->setRange(0, 0);
    cancel_ = new QPushButton(QStringLiteral("Anuluj"), this);
    cancel_->setObjectName("BtnSeqCancel");
    layout->addWidget(steps_);
    layout->addWidget(bar_);
    layout->addWidget(cancel_, 0, Qt::AlignCenter);
    delay_ = new QTimer(this);
    delay_->setSingleShot(true);
    connect(delay_, &QTimer::timeout, this, [this] {
        if (!finished_)
            open();
    });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
}

void TSequenceProgressWindow::SetTexts(const QString &caption, const QString &stepsLabel, const QString &cancel)
{
    setWindowTitle(caption);
    stepsLabel_ = stepsLabel;
    cancel_->setText(cancel);
    SetProgress(0, 0);
}

void TSequenceProgressWindow::SetProgress(unsigned done, unsigned total)
{
    steps_->setText(stepsLabel_ + QStringLiteral(" %1").arg(done));
    if (total == 0) {
        bar_->setRange(0, 0);
        return;
    }
    const int max = static_cast<int>(std::min<unsigned>(total, INT_MAX));
    bar_->setRange(0, max);
    bar_->setValue(static_cast<int>(std::min<unsigned>(done, total)));
}

void TSequenceProgressWindow::Begin(int delayMs)
{
    cancelled_ = false;
    finished_ = false;
    delay_->start(std::max(0, delayMs));
}

void TSequenceProgressWindow::Finish()
{
    finished_ = true;
    delay_->stop();
    if (isVisible())
        done(QDialog::Accepted);
}

void TSequenceProgressWindow::reject()
{
    // Escape and the close box cancel, like the button; a second press
    // changes nothing.
    if (cancelled_ || finished_)
        return;
    cancelled_ = true;
    cancel_->setEnabled(false);
    if (OnCancel)
        OnCancel();
}

} // namespace lumex
