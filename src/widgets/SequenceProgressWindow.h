// The progress of a long device sequence with its cancel button. It shows
// itself only when the sequence outlasts a short delay, so quick ones do
// not flash a window; the cancel is honoured by the sequence between two
// steps.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace lumex {

class TSequenceProgressWindow : public QDialog
{
public:
    explicit TSequenceProgressWindow(QWidget *parent = nullptr);

    void SetTexts(const QString &caption, const QString &stepsLabel, const QString &cancel);
    // `total` 0: the number of steps is not known yet (a busy bar).
    void SetProgress(unsigned done, unsigned total);
    // Shows the window after `delayMs` unless Finish came first.
    void Begin(int delayMs);
    void Finish();

    std::function<void()> OnCancel;
    bool WasCancelled() const { return cancelled_; }

protected:
    void reject() override;

private:
    QLabel *steps_;
    QProgressBar *bar_;
    QPushButton *cancel_;
    QTimer *delay_;
    QString stepsLabel_;
    bool cancelled_ = false;
    bool finished_ = false;
};

} // namespace lumex
