#include "mainwindow/DeviceWorker.h"

#include "controller/ControllerLink.h"
#include "controller/Version.h"
#include "documents/AppConfig.h"
#include "documents/MessageKeys.h"
#include "mainwindow/TickRules.h"
#include "serial/ComSetupApi.h"

#include <exception>
#include <memory>
#include <utility>

namespace lumex {

namespace {

// What a waiting Call learns of its job: it ran (perhaps with an
// exception), or it was dropped unrun because the thread stopped.
struct TCallState
{
    std::mutex mutex;
    std::condition_variable settled;
    bool finished = false;
    bool ran = false;
    std::exception_ptr error;
};

// Goes into the queue with the job; destroyed there unrun, it tells the
// caller, whose wait would otherwise never end.
class TCallTicket
{
public:
    explicit TCallTicket(std::shared_ptr<TCallState> state) : state_(std::move(state)) {}
    ~TCallTicket() { Settle(false, nullptr); }
    TCallTicket(const TCallTicket &) = delete;
    TCallTicket &operator=(const TCallTicket &) = delete;

    void Settle(bool ran, std::exception_ptr error)
    {
        std::lock_guard g(state_->mutex);
        if (state_->finished)
            return;
        state_->finished = true;
        state_->ran = ran;
        state_->error = std::move(error);
        state_->settled.notify_all();
    }

private:
    std::shared_ptr<TCallState> state_;
};

} // namespace

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
    const uint64_t cancels = cancelCount_.load();
    std::unique_lock lock(mutex_);
    stop_ = false;
    stopping_ = false;
    // The start-up connection is the first job; the tick starts after it,
    // in a job of its own so a connection that fails cannot keep it off.
    jobs_.push_back([this, startup, cancels] {
        if (startup.Offline)
            return;
        connection_.SelectPort(startup.SavedPort);
        Publish({});
        if (!startup.NoAutoSearch)
            RunSearch(cancels);
        CheckUnsupportedVersion();
    });
    jobs_.push_back([this] {
        tick_.TimerReady = true;
        std::lock_guard g(mutex_);
        ticking_ = true;
        nextTick_ = std::chrono::steady_clock::now();
    });
    lock.unlock();
    running_ = true;
    thread_ = std::thread([this] {
        threadId_ = std::this_thread::get_id();
        Loop();
    });
}

void TDeviceWorker::Stop()
{
    if (!thread_.joinable())
        return;
    ++cancelCount_;
    std::deque<TJob> dropped;
    std::vector<std::function<void()>> listeners;
    {
        std::lock_guard g(mutex_);
        stop_ = true;
        stopping_ = true;
        dropped.swap(jobs_);
        listeners = stopListeners_;
    }
    wake_.notify_all();
    for (const auto &listener : listeners)
        listener();
    // Destroyed outside the lock: a dropped Call's job tells its caller so.
    dropped.clear();
    thread_.join();
    threadId_ = std::thread::id();
    running_ = false;
    link_.Port.Close();
}

void TDeviceWorker::AddStopListener(std::function<void()> listener)
{
    std::lock_guard g(mutex_);
    stopListeners_.push_back(std::move(listener));
}

void TDeviceWorker::Post(TJob job)
{
    {
        std::lock_guard g(mutex_);
        if (stop_)
            return;
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void TDeviceWorker::PostJob(TManagerJob job)
{
    Post([this, job = std::move(job)] { job(link_.Manager); });
}

TDataManager &TDeviceWorker::JobManager()
{
    return link_.Manager;
}

bool TDeviceWorker::Call(const TJob &job)
{
    // Waiting for a job queued behind the one this thread is running would
    // never end.
    if (!Running() || std::this_thread::get_id() == threadId_.load()) {
        job();
        return true;
    }
    auto state = std::make_shared<TCallState>();
    Post([ticket = std::make_shared<TCallTicket>(state), &job] {
        std::exception_ptr error;
        try {
            job();
        } catch (...) {
            error = std::current_exception();
        }
        // Settled after the handler is left, so the exception is handed
        // over whole and the caller alone lets it go.
        ticket->Settle(true, std::move(error));
    });
    std::unique_lock lock(state->mutex);
    state->settled.wait(lock, [&] { return state->finished; });
    if (state->error) {
        std::exception_ptr error = std::move(state->error);
        lock.unlock();
        std::rethrow_exception(error);
    }
    return state->ran;
}

void TDeviceWorker::RunGuarded(TDeviceFault where, const TJob &step)
{
    // The device thread's boundary: an exception here would end the program.
    std::string what;
    try {
        step();
        return;
    } catch (const std::exception &e) {
        what = e.what();
    } catch (...) {
        what = "unknown exception";
    }
    if (!OnInternalError)
        return;
    try {
        OnInternalError(where, what);
    } catch (...) {
        // Reporting must not end the thread either.
    }
}

void TDeviceWorker::Loop()
{
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (!jobs_.empty()) {
            TJob job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            RunGuarded(TDeviceFault::Job, job);
            RunGuarded(TDeviceFault::Job, [this] { Publish({}); });
            job = nullptr;
            lock.lock();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        if (ticking_ && (tickNow_ || now >= nextTick_)) {
            const bool fromTimer = !tickNow_;
            tickNow_ = false;
            lock.unlock();
            RunGuarded(TDeviceFault::Tick, [&] { RunTick(fromTimer); });
            const auto next =
                NextTickStart(now, std::chrono::milliseconds(tick_.Interval()), std::chrono::steady_clock::now());
            lock.lock();
            nextTick_ = next;
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
    hooks_.FillSnapshot(s);
    OnSnapshot(s);
}

void TDeviceWorker::RunSearch(uint64_t cancels)
{
    if (OnSearchStarted)
        OnSearchStarted();
    std::vector<std::string> names;
    if (fixedDevice_)
        names.push_back("COM" + std::to_string(connection_.PortNumber()));
    else if (PortLister)
        names = PortLister();
    TSearchCallbacks callbacks;
    callbacks.Status = [this](const TSearchStatus &status) {
        if (OnSearchStatus)
            OnSearchStatus(status);
    };
    // A cancel given after the search was asked for, also one given
    // before it began, ends it.
    callbacks.Cancelled = [this, cancels] { return cancelCount_.load() != cancels; };
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
    const uint64_t cancels = cancelCount_.load();
    Post([this, cancels] {
        if (connection_.ConnectBusy())
            return;
        RunSearch(cancels);
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
