// The bridge between the configuration pages and the device thread. Each
// operation is posted to the device thread and its result comes back on
// the GUI thread, to the callback, with a copy of the data image: the page
// never touches the live image and never waits for the serial line.
#pragma once

#include "controller/NorviData.h"
#include "mainwindow/ConfigTransfer.h"

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>

namespace lumex {

class TDeviceWorker;

class TConfigurationOps
{
public:
    // Results are delivered through `context`'s thread and dropped once it
    // is gone.
    TConfigurationOps(TDeviceWorker &worker, QObject *context) : worker_(worker), context_(context) {}

    using TReadDone = std::function<void(bool ok, const TNorviData &image)>;
    using TWriteDone = std::function<void(const TConfigWriteResult &result, const TNorviData &image)>;
    using TStepDone = std::function<void(const TWriteResult &result, const TNorviData &image)>;
    using TValveDone = std::function<void(bool ok)>;
    using TDetectDone = std::function<void(const TInjSystemDetection &found)>;

    // Reads the configuration of the generation; `ok` is false when it was
    // refused (not connected, not unlocked) or a read failed.
    void ReadConfiguration(TReadDone done);
    // Writes the configuration fields of `edited`, then reads back and
    // compares. Refused without I/O while not connected or not unlocked.
    void WriteConfiguration(const TNorviData &edited, TWriteDone done);
    void WriteMarkers(uint16_t markers, TStepDone done);
    void WriteInspection(uint16_t nextInspectionKm, uint8_t ratio, TStepDone done);
    void SetValve(bool on, TValveDone done = {});
    void WriteInjectorCorrections(const std::array<uint8_t, kCylinders> &corrections, TStepDone done);
    void DetectInjectionSystem(TDetectDone done);

private:
    // Runs `job` on the device thread and `deliver` with its result on the
    // context's thread.
    template <class TResult>
    void Run(std::function<TResult(TDataManager &)> job,
             std::function<void(const TResult &, const TNorviData &)> deliver);

    TDeviceWorker &worker_;
    QPointer<QObject> context_;
};

} // namespace lumex
