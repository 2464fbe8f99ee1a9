// The device thread: it owns the port, the protocol object, the detector
// and the data image while it runs. It ticks on the interval the tick asks
// for and runs the window's operations as jobs between two ticks, so a
// sequence of commands is never interleaved with a poll cycle. The window
// gets snapshots and search progress through callbacks that run on this
// thread and must only post to the window. An exception a job or a tick
// lets out is reported and the thread goes on.
#pragma once

#include "controller/JobPoster.h"
#include "mainwindow/ConnectionWorkflow.h"
#include "mainwindow/Detector.h"
#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/PollingTick.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lumex {

class TAppConfig;
struct TControllerLink;

// Where an exception reached the device thread's boundary.
enum class TDeviceFault
{
    Job,
    Tick
};

struct TWorkerStartup
{
    bool Offline = false;
    bool NoAutoSearch = false;
    int SavedPort = 1;
    bool FixedDevice = false; // the port is a device path: nothing to search
};

class TDeviceWorker : public TJobPoster
{
public:
    using TJob = std::function<void()>;

    // `config` may be null (tests): the port number then lives in the port.
    TDeviceWorker(TControllerLink &link, TAppConfig *config, TTickHooks &hooks);
    ~TDeviceWorker() override;
    TDeviceWorker(const TDeviceWorker &) = delete;
    TDeviceWorker &operator=(const TDeviceWorker &) = delete;

    // Callbacks, set before Start; they run on the device thread.
    std::function<void(const TDeviceSnapshot &)> OnSnapshot;
    std::function<void()> OnSearchStarted;
    std::function<void(const TSearchStatus &)> OnSearchStatus;
    std::function<void(const TSearchResult &)> OnSearchFinished;
    // A write the user asked for was not acknowledged (or was refused);
    // the argument is the message key that describes it.
    std::function<void(const char *messageKey)> OnOperationFailed;
    // A job or a tick ended in an exception that was not a port failure
    // (those count as a lost link inside the poll cycle): a fault of the
    // program. The text is the exception's.
    std::function<void(TDeviceFault where, const std::string &what)> OnInternalError;
    // The port names a search goes through; ListPorts by default.
    std::function<std::vector<std::string>()> PortLister;

    // Set up before Start (device thread not running yet).
    TDetector &Detector() { return detector_; }
    TPollingTick &Tick() { return tick_; }
    TConnectionWorkflow &Connection() { return connection_; }
    TControllerLink &Link() { return link_; }

    // Runs the start-up connection (saved port, then the search unless
    // told otherwise) as the first job, then starts ticking.
    void Start(const TWorkerStartup &startup);
    // Stops ticking, waits for the running job to end and closes the port.
    void Stop();
    bool Running() const { return running_.load(); }
    // From the start of Stop until the next Start (any thread).
    bool Stopping() const override { return stopping_.load(); }
    // Runs at the start of Stop, on the stopping thread, before it waits for
    // the running job: a job that waits for the GUI thread (a question) must
    // be let go then, or the two threads would wait for each other.
    // Listeners stay for the worker's life and must be safe to call late.
    void AddStopListener(std::function<void()> listener) override;

    // A job on the device thread, after the running tick or job. Jobs run
    // in the order posted; a snapshot follows each one. Jobs posted while
    // the thread stops are dropped.
    void Post(TJob job);
    void PostJob(TManagerJob job) override;
    TDataManager &JobManager() override;
    // Runs `job` on the device thread and waits for it (tests, shutdown);
    // on the device thread itself or before Start it runs at once. An
    // exception of the job comes back to the caller. False when the thread
    // stopped before the job could run.
    bool Call(const TJob &job);

    // --- The window's operations ---
    void SetView(const TPageView &view);
    void SetOffline(bool offline);
    void SelectPort(int n);
    void SearchPorts();
    // Cancels the search running or asked for so far; one asked for later
    // runs. Read by the running search between two ports.
    void CancelSearch() { ++cancelCount_; }
    void SetWorkType(TWorkType workType);
    void LockDevice(uint32_t password);
    void UnlockDevice(uint32_t password);
    // Requests an immediate tick (the reset action's direct call).
    void TickNow();

    // Ticks that ran so far (any thread).
    uint64_t TicksRun() const { return ticks_.load(); }

private:
    void ReportFailure(const char *messageKey);
    void Loop();
    void RunTick(bool fromTimer);
    void Publish(const TTickReport &report);
    // `cancels` is the cancel count when the search was asked for.
    void RunSearch(uint64_t cancels);
    void RunGuarded(TDeviceFault where, const TJob &step);
    void CheckUnsupportedVersion();

    TControllerLink &link_;
    TTickHooks &hooks_;
    TDetector detector_;
    TPollingTick tick_;
    TConnectionWorkflow connection_;
    bool fixedDevice_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TJob> jobs_;
    bool stop_ = false;
    bool tickNow_ = false;
    bool ticking_ = false;
    std::chrono::steady_clock::time_point nextTick_{};
    std::atomic<uint64_t> cancelCount_{0};
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::vector<std::function<void()>> stopListeners_; // under mutex_
    std::atomic<std::thread::id> threadId_{};
    std::atomic<uint64_t> ticks_{0};
    uint64_t serial_ = 0;
    std::string unsupportedVersion_; // for the next snapshot
    std::thread thread_;
};

} // namespace lumex
