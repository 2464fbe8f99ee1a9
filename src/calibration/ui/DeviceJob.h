// Runs a calibration sequence on the device thread and hands its result,
// with a copy of the data image, back to a window on the GUI thread. The
// window never touches the live image and never waits for the line; a
// result whose window is gone is dropped.
#pragma once

#include "controller/DataManager.h"
#include "controller/JobPoster.h"
#include "controller/NorviData.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace lumex {

template <class TResult>
void PostDeviceJob(TJobPoster &worker, QObject *context, std::function<TResult(TDataManager &)> job,
                   std::function<void(const TResult &, const TNorviData &)> deliver)
{
    QPointer<QObject> guard(context);
    worker.PostJob([guard, job = std::move(job), deliver = std::move(deliver)](TDataManager &manager) {
        auto result = std::make_shared<TResult>(job(manager));
        auto image = std::make_shared<TNorviData>(manager.Data());
        if (guard.isNull() || !deliver)
            return;
        QMetaObject::invokeMethod(
            guard.data(), [deliver, result, image] { deliver(*result, *image); }, Qt::QueuedConnection);
    });
}

} // namespace lumex
