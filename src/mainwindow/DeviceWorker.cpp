#include "mainwindow/DeviceWorker.h"

#include "controller/ControllerLink.h"
#include "controller/Version.h"
#include "documents/AppConfig.h"
#include "documents/MessageKeys.h"
#include "serial/ComSetupApi.h"

#include <utility>

namespace lumex {

TDeviceWorker::TDeviceWorker(TControllerLink &link, TAppConfig *config, TTickHooks &hooks)
    : link_(link), hooks_(hooks), tick_(link.Manager, detector_, hooks),
      connection_(link.Manager, config, hooks, tick_.Boot())
{
    // The main window probes for controllers and for 4.0 bootloaders only.
    detector_.DetectedDevices = {TDetectedDevice::ddNorvi30, TDetectedDevice::ddBootloader40};
    detector_.UseDevelopmentExeNames = false;
    const auto self = OwnExecutablePath();
    detector_.ProgramFolder = self.parent_path();
    detector_.ProgramFileName = self.filename().string();
    PortLister = [] {
        std::vector<std::string> names;
        ListPorts(names);
        return names;
    };
    link_.Manager.OnUnsupportedVersion = [this](const std::string &digits) { unsupportedVersion_ = digits; };
}

TDeviceWorker::~TDeviceWorker()
{
    Stop();
    link_.Manager.OnUnsupportedVersion = nullptr;
}

void TDeviceWorker::Start(const TWorkerStartup &startup)
{
    if (Running())
        return;
    fixedDevice_ = startup.FixedDevice;
    tick_.Offline = startup.Offline;
    stop_ = false;
    // The start-up connection is the first job; the tick starts after it.
    jobs_.push_back([this, startup] {
        if (!startup.Offline) {
            connection_.SelectPort(startup.SavedPort);
            Publish({});
            if (!startup.NoAutoSearch)
                RunSearch();
            CheckUnsupportedVersion();
        }
        tick_.TimerReady = true;
        std::lock_guard g(mutex_);
        ticking_ = true;
        nextTick_ = std::chrono::steady_clock::now();
    });
    thread_ = std::thread([this] { Loop(); });
}

void TDeviceWorker::Stop()
{
    if (!thread_.joinable())
        return;
    cancelSearch_ = true;
    {
        std::lock_guard g(mutex_);
        stop_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
    link_.Port.Close();
}

void TDeviceWorker::Post(TJob job)
{
    {
        std::lock_guard g(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void TDeviceWorker::Call(const TJob &job)
{
    if (!Running()) {
        job();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneCv;
    bool done = false;
    Post([&] {
        job();
        std::lock_guard g(doneMutex);
        done = true;
        doneCv.notify_all();
    });
    std::unique_lock lock(doneMutex);
    doneCv.wait(lock, [&] { return done; });
}

void TDeviceWorker::Loop()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (!jobs_.empty()) {
            TJob job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            Publish({});
            lock.lock();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (ticking_ && (tickNow_ || now >= nextTick_)) {
            const bool fromTimer = !tickNow_;
            tickNow_ = false;
            lock.unlock();
            RunTick(fromTimer);
            lock.lock();
            // Like a window timer: the next tick is one interval after this
            // one ended, whatever the tick cost.
            nextTick_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(tick_.Interval());
            continue;
        }
        if (ticking_)
            wake_.wait_until(lock, nextTick_);
        else
            wake_.wait(lock);
    }
}

void TDeviceWorker::RunTick(bool fromTimer)
{
    const TTickReport report = tick_.Run(fromTimer);
    if (report.Ran)
        ++ticks_;
    if (!tick_.TimerReady) {
        // The tick stopped the timer (hand-over, incompatible PC code).
        std::lock_guard g(mutex_);
        ticking_ = false;
    }
    Publish(report);
}

void TDeviceWorker::Publish(const TTickReport &report)
{
    if (!OnSnapshot)
        return;
    TDeviceSnapshot s;
    s.Serial = ++serial_;
    const TDataManager &m = link_.Manager;
    s.Data = m.Data();
    s.Extras = tick_.Extras();
    s.Panels = tick_.Panels();
    s.Report = report;
    s.Boot = tick_.Boot();
    s.LinkUp = m.LinkUp;
    s.Offline = tick_.Offline;
    s.Accessible = tick_.Accessible();
    s.SoftwareCompatible = m.SoftwareCompatible;
    s.CalibrationRunning = tick_.CalibrationRunning;
    s.ConnectBusy = connection_.ConnectBusy();
    s.RequestedWorkType = WorkTypeNumber(m.RequestedWorkType);
    s.Interval = tick_.Interval();
    s.DetectionResult = detector_.DetectionResult();
    s.PortNumber = connection_.PortNumber();
    s.PortDevice = link_.Port.DeviceName();
    s.PortByPath = !link_.Port.DevicePath().empty();
    s.Ticks = ticks_.load();
    s.UnsupportedVersion = std::exchange(unsupportedVersion_, {});
    OnSnapshot(s);
}

void TDeviceWorker::RunSearch()
{
    cancelSearch_ = false;
    if (OnSearchStarted)
        OnSearchStarted();
    std::vector<std::string> names;
    if (fixedDevice_)
        names.push_back("COM" + std::to_string(connection_.PortNumber()));
    else if (PortLister)
        names = PortLister();
    TSearchCallbacks callbacks;
    callbacks.Status = [this](const std::string &text) {
        if (OnSearchStatus)
            OnSearchStatus(text);
    };
    callbacks.Cancelled = [this] { return cancelSearch_.load(); };
    callbacks.Pause = [this](int ms) {
        // A pause that a stop request cuts short.
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; });
    };
    const TSearchResult result = connection_.SearchPorts(names, callbacks);
    if (OnSearchFinished)
        OnSearchFinished(result);
}

void TDeviceWorker::SetView(const TPageView &view)
{
    Post([this, view] { tick_.View = view; });
}

void TDeviceWorker::SetOffline(bool offline)
{
    Post([this, offline] { tick_.Offline = offline; });
}

void TDeviceWorker::SelectPort(int n)
{
    Post([this, n] {
        if (n < kMinPortNumber || n > kMaxPortNumber)
            return;
        // A port the user picks by number replaces a device path given on
        // the command line.
        if (!link_.Port.DevicePath().empty()) {
            link_.Port.SetDevicePath("");
            fixedDevice_ = false;
        }
        connection_.SelectPort(n);
        CheckUnsupportedVersion();
    });
}

void TDeviceWorker::SearchPorts()
{
    // A search asked for while one runs is refused by the workflow itself;
    // one queued behind the running one would only repeat it.
    Post([this] {
        if (connection_.ConnectBusy())
            return;
        RunSearch();
        CheckUnsupportedVersion();
    });
}

void TDeviceWorker::CheckUnsupportedVersion()
{
    // Only a controller that answered with a code this program does not
    // serve is worth the message; a supported one whose link dropped is not.
    // The link is already down for such a code, so the check sends nothing.
    const uint8_t code = link_.Manager.Data().VersionCode;
    if (code != 0 && !IsSupportedVersion(code))
        link_.Manager.CheckVersion(true);
}

void TDeviceWorker::SetWorkType(TWorkType workType)
{
    Post([this, workType] {
        if (!link_.Manager.SetWorkType(workType))
            ReportFailure(msg::strWriteFailed);
    });
}

void TDeviceWorker::LockDevice(uint32_t password)
{
    Post([this, password] {
        if (!link_.Manager.LockDevice(password))
            ReportFailure(msg::strWriteFailed);
        tick_.RefreshLockState();
    });
}

void TDeviceWorker::UnlockDevice(uint32_t password)
{
    Post([this, password] {
        if (!link_.Manager.UnlockDevice(password))
            ReportFailure(msg::strWriteFailed);
        tick_.RefreshLockState();
    });
}

void TDeviceWorker::ReportFailure(const char *messageKey)
{
    if (OnOperationFailed)
        OnOperationFailed(messageKey);
}

void TDeviceWorker::TickNow()
{
    {
        std::lock_guard g(mutex_);
        tickNow_ = true;
    }
    wake_.notify_all();
}

} // namespace lumex
