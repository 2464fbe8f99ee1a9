#include "mainwindow/ConfigurationOps.h"

#include "controller/ControllerLink.h"
#include "mainwindow/DeviceWorker.h"

#include <QMetaObject>
#include <utility>

namespace lumex {

template <class TResult>
void TConfigurationOps::Run(std::function<TResult(TDataManager &)> job,
                            std::function<void(const TResult &, const TNorviData &)> deliver)
{
    TDeviceWorker &worker = worker_;
    QPointer<QObject> context = context_;
    worker.Post([&worker, context, job = std::move(job), deliver = std::move(deliver)] {
        TDataManager &manager = worker.Link().Manager;
        TResult result = job(manager);
        TNorviData image = manager.Data();
        if (context.isNull() || !deliver)
            return;
        QMetaObject::invokeMethod(
            context.data(), [deliver, result = std::move(result), image = std::move(image)] { deliver(result, image); },
            Qt::QueuedConnection);
    });
}

void TConfigurationOps::ReadConfiguration(TReadDone done)
{
    Run<bool>([](TDataManager &m) { return ReadConfigurationNow(m); },
              [done = std::move(done)](const bool &ok, const TNorviData &image) {
                  if (done)
                      done(ok, image);
              });
}

void TConfigurationOps::WriteConfiguration(const TNorviData &edited, TWriteDone done)
{
    Run<TConfigWriteResult>([edited](TDataManager &m) { return WriteConfigurationNow(m, edited); }, std::move(done));
}

void TConfigurationOps::WriteMarkers(uint16_t markers, TStepDone done)
{
    Run<TWriteResult>([markers](TDataManager &m) { return WriteMarkersNow(m, markers); }, std::move(done));
}

void TConfigurationOps::WriteInspection(uint16_t nextInspectionKm, uint8_t ratio, TStepDone done)
{
    Run<TWriteResult>(
        [nextInspectionKm, ratio](TDataManager &m) { return WriteInspectionNow(m, nextInspectionKm, ratio); },
        std::move(done));
}

void TConfigurationOps::SetValve(bool on, TValveDone done)
{
    Run<bool>([on](TDataManager &m) { return ValveCommandNow(m, on); },
              [done = std::move(done)](const bool &ok, const TNorviData &) {
                  if (done)
                      done(ok);
              });
}

void TConfigurationOps::WriteInjectorCorrections(const std::array<uint8_t, kCylinders> &corrections, TStepDone done)
{
    Run<TWriteResult>([corrections](TDataManager &m) { return WriteInjectorCorrectionsNow(m, corrections); },
                      std::move(done));
}

void TConfigurationOps::DetectInjectionSystem(TDetectDone done)
{
    Run<TInjSystemDetection>([](TDataManager &m) { return DetectInjectionSystemNow(m); },
                             [done = std::move(done)](const TInjSystemDetection &found, const TNorviData &) {
                                 if (done)
                                     done(found);
                             });
}

} // namespace lumex
