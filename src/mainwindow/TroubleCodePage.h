// The trouble-code page: the active and stored codes, the freeze-frame, and
// the read and clear buttons. It works through whichever device thread the
// program has: the owner gives it a way to run a job on that thread.
#pragma once

#include "mainwindow/TroubleCodeRead.h"

#include <QWidget>
#include <cstdint>
#include <functional>

class QPlainTextEdit;

namespace lumex {

class TDataManager;

class TTroubleCodePage : public QWidget
{
public:
    // Runs a job on the device thread; the job must only post its result.
    using TPostJob = std::function<void(std::function<void(TDataManager &)>)>;

    TTroubleCodePage(TPostJob post, QWidget *parent = nullptr);

    void SetLockState(uint8_t lockState) { lockState_ = lockState; }
    // Reads and shows the codes.
    void Read();
    // Clears them (only while unlocked) and shows what is left.
    void Clear();
    // Rebuilds the lists from the codes already read, in the language in force.
    void Rebuild();

    // The lists as shown.
    QString ActiveText() const;
    QString StoredText() const;
    QString FreezeFrameText() const;

    // Runs after each read was shown.
    std::function<void()> OnShown;
    std::function<void(const QString &text)> OnProblem;

private:
    void Show(const TTroubleCodeRead &read);
    template <class TResult>
    void OnDevice(std::function<TResult(TDataManager &)> job, std::function<void(const TResult &)> done);

    TPostJob post_;
    uint8_t lockState_ = 0;
    QPlainTextEdit *active_ = nullptr, *stored_ = nullptr, *frame_ = nullptr;
    TTroubleCodeRead lastRead_;
};

} // namespace lumex
