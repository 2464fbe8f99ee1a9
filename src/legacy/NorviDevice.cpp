#include "legacy/NorviDevice.h"

#include "calibration/ModelSequences.h"
#include "controller/ControllerLink.h"
#include "controller/ParameterSteps.h"
#include "profile/ProgramProfile.h"

#include <chrono>
#include <exception>

namespace lumex {

namespace {
// The byte parameter that asks for gas times computed through the model.
constexpr uint8_t kModelGasTimesParam = 24;
} // namespace

TNorviDevice::TNorviDevice(TControllerLink &link) : link_(link), tick_(link.Manager)
{
    link_.Manager.SetProfile(NorviProfile());
    link_.Port.ApplyControllerSettings(NorviProfile().Port);
    InstallParameterSteps(link_.Manager);
    // The model block and its idle points, once per connection.
    tick_.PostConnectionReads = [this] { ReadModelDataAfterConnect(link_.Manager, link_.Points.ModelPoints); };
    tick_.OscilloscopeSample = [this] {
        if (!OscRecording.load() || !OnOscSample)
            return;
        OnOscSample(TakeOscSample(link_.Manager, OscInjectorItem.load(), noObd_), std::chrono::steady_clock::now());
    };
}

TNorviDevice::~TNorviDevice()
{
    Stop();
}

void TNorviDevice::Start()
{
    if (thread_.joinable())
        return;
    stop_ = false;
    stopping_ = false;
    thread_ = std::thread([this] { Loop(); });
}

void TNorviDevice::Stop()
{
    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        stopping_ = true;
        listeners = stopListeners_;
    }
    wake_.notify_all();
    for (const auto &listener : listeners)
        listener();
    if (thread_.joinable())
        thread_.join();
    link_.Port.Close();
}

void TNorviDevice::AddStopListener(std::function<void()> listener)
{
    std::lock_guard lock(mutex_);
    stopListeners_.push_back(std::move(listener));
}

TDataManager &TNorviDevice::JobManager()
{
    return link_.Manager;
}

void TNorviDevice::Post(TJob job)
{
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void TNorviDevice::SetOscilloscopeShown(bool shown)
{
    std::lock_guard lock(mutex_);
    oscShown_ = shown;
}

void TNorviDevice::Loop()
{
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        TJob job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, next, [this] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            if (!jobs_.empty()) {
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            tick_.OscilloscopeShown = oscShown_;
        }
        try {
            if (job) {
                job(link_.Manager);
                Publish({}, false);
                continue;
            }
            RunTick();
        } catch (const std::exception &e) {
            if (OnError)
                OnError(e.what());
        }
        next = std::chrono::steady_clock::now() + std::chrono::milliseconds(tick_.Interval());
        if (tick_.Stopped())
            return;
    }
}

void TNorviDevice::RunTick()
{
    TDataManager &m = link_.Manager;
    const TNorviTickReport report = tick_.Run();
    bool fresh = false;
    if (report.CycleOk) {
        // Read fresh each time: the installer may change it on the device.
        uint8_t modelGasTimes = 0;
        if (m.ReadByteParam(kModelGasTimesParam, &modelGasTimes) && modelGasTimes == 1)
            ApplyModelGasTimes(m.Data());
        extras_ = GatherReadingExtras(m);
        fresh = true;
    }
    Publish(report, fresh);
}

void TNorviDevice::Publish(const TNorviTickReport &report, bool fresh)
{
    if (!OnSnapshot)
        return;
    TNorviSnapshot s;
    s.Serial = ++serial_;
    s.Data = link_.Manager.Data();
    s.Extras = extras_;
    s.Report = report;
    s.LinkUp = link_.Manager.LinkUp;
    s.ReadingsFresh = fresh;
    s.Interval = tick_.Interval();
    OnSnapshot(s);
}

} // namespace lumex
