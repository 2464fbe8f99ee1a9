// A long calibration sequence on the device thread with its progress
// window: the window appears when the sequence takes a while, follows its
// steps and asks it to stop between two steps when the installer cancels.
#pragma once

#include "calibration/ui/DeviceJob.h"
#include "controller/SequenceControl.h"
#include "controller/WriteResult.h"
#include "documents/MessageKeys.h"
#include "mainwindow/UiText.h"
#include "widgets/SequenceProgressWindow.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

namespace lumex {

// Quick sequences end before the window would show.
inline constexpr int kSequenceProgressDelayMs = 400;

template <class TResult>
void PostDeviceSequence(TJobPoster &worker, QWidget *owner, std::function<TResult(TDataManager &)> job,
                        std::function<void(const TResult &, const TNorviData &)> deliver)
{
    auto control = std::make_shared<TSequenceControl>();
    QPointer<TSequenceProgressWindow> window = new TSequenceProgressWindow(owner);
    window->SetTexts(UiText(msg::strSeqRunning, QStringLiteral("Komunikacja ze sterownikiem...")),
                     UiText(msg::strSeqStepsDone, QStringLiteral("Wykonane kroki:")),
                     UiText(msg::strCancel, QStringLiteral("Anuluj")));
    window->OnCancel = [control] { control->Cancel(); };
    // Progress comes from the device thread; the window is touched on its own.
    control->OnProgress = [window](unsigned done, unsigned total) {
        if (window)
            QMetaObject::invokeMethod(
                window.data(),
                [window, done, total] {
                    if (window)
                        window->SetProgress(done, total);
                },
                Qt::QueuedConnection);
    };
    window->Begin(kSequenceProgressDelayMs);
    PostDeviceJob<TResult>(
        worker, owner,
        [control, job = std::move(job)](TDataManager &m) {
            TSequenceScope scope(m, control.get());
            return job(m);
        },
        [window, deliver = std::move(deliver)](const TResult &result, const TNorviData &image) {
            if (window) {
                window->Finish();
                window->deleteLater();
            }
            if (deliver)
                deliver(result, image);
        });
}

// What a failed write tells the installer: a cancel leaves part of the
// write on the controller, which the page's modified mark says too.
inline QString WriteFailureText(const TWriteResult &r)
{
    if (r.Cancelled)
        return UiText(msg::strSeqWriteCancelled,
                      QStringLiteral("Zapis przerwany. Sterownik przyjął tylko część zmian; zapisz ponownie, aby "
                                     "przesłać całość."));
    return QString::fromStdString(r.Message());
}

} // namespace lumex
