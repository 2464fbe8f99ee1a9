// A modal wait window: a caption, a status line, an optional cancel button,
// a periodic callback (interval) and an optional time-out. It is shown
// without a nested event loop; the owner hears about cancel, time-out and
// each interval through callbacks.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace lumex {

class TWaitWindow : public QDialog
{
public:
    explicit TWaitWindow(QWidget *parent = nullptr);

    void SetCaption(const QString &caption);
    void SetStatusText(const QString &text);
    QString StatusText() const;
    void SetCancelText(const QString &text);
    void SetCancelVisible(bool visible);
    // Calls OnInterval every `ms` while shown; 0 switches it off.
    void SetInterval(int ms);
    // Ends the wait with OnTimeout after `ms`; 0 waits for ever.
    void SetTimeout(int ms);

    // Shows the window modal to its parent and returns at once.
    void Begin();
    // Closes it without calling any callback.
    void Finish();

    std::function<void()> OnCancel;
    std::function<void()> OnInterval;
    std::function<void()> OnTimeout;

    bool WasCancelled() const { return cancelled_; }

protected:
    void reject() override;

private:
    QLabel *status_;
    QPushButton *cancel_;
    QTimer *interval_;
    QTimer *timeout_;
    bool cancelled_ = false;
};

} // namespace lumex
