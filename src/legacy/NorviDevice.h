// The legacy program's device thread: it owns the link while it runs, ticks
// on the interval the tick asks for and runs the window's operations as jobs
// between two ticks. After every tick or job the window gets a copy of what
// it shows; the callbacks run on this thread and must only post.
#pragma once

#include "controller/JobPoster.h"
#include "controller/NorviData.h"
#include "legacy/NorviTick.h"
#include "mainwindow/OscCapture.h"
#include "mainwindow/ReadingInputs.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lumex {

struct TControllerLink;

struct TNorviSnapshot
{
    uint64_t Serial = 0;
    TNorviData Data;
    TReadingExtras Extras;
    TNorviTickReport Report; // of the tick it follows; empty after a job
    bool LinkUp = false;
    bool ReadingsFresh = false;
    int Interval = 0;
    std::string PortDevice;
};

class TNorviDevice : public TJobPoster
{
public:
    using TJob = std::function<void(TDataManager &)>;

    // Puts the legacy profile on the link: its generations, its command
    // list, its port time-outs and the parameter steps of a reconnection.
    explicit TNorviDevice(TControllerLink &link);
    ~TNorviDevice() override;
    TNorviDevice(const TNorviDevice &) = delete;
    TNorviDevice &operator=(const TNorviDevice &) = delete;

    std::function<void(const TNorviSnapshot &)> OnSnapshot;
    // A job or tick ended in an exception (a refused command included).
    std::function<void(const std::string &what)> OnError;

    TNorviTick &Tick() { return tick_; }
    void Start();
    // Waits for the running job or tick and closes the port.
    void Stop();
    // Runs `job` on the device thread before the next tick.
    void Post(TJob job);
    void PostJob(TManagerJob job) override { Post(std::move(job)); }
    TDataManager &JobManager() override;
    bool Stopping() const override { return stopping_.load(); }
    void AddStopListener(std::function<void()> listener) override;
    // Whether the oscilloscope page is on screen (sampled each tick).
    void SetOscilloscopeShown(bool shown);
    // Set by the window (any thread): the recorder runs, and the injector
    // whose times it takes (0 the average).
    std::atomic<bool> OscRecording{false};
    std::atomic<int> OscInjectorItem{kInjectorAverage};
    // One recorder sample after a good cycle; runs on this thread. Set
    // before Start.
    std::function<void(const TOscSample &, std::chrono::steady_clock::time_point)> OnOscSample;

private:
    void Loop();
    void RunTick();
    void Publish(const TNorviTickReport &report, bool fresh);

    TControllerLink &link_;
    TNorviTick tick_;
    TReadingExtras extras_;
    // This program has no OBD channels: the recorder keeps them empty.
    TAbsentObdSource noObd_;
    uint64_t serial_ = 0;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TJob> jobs_;
    bool stop_ = false;
    std::atomic<bool> stopping_{false};
    std::vector<std::function<void()>> stopListeners_; // under mutex_
    bool oscShown_ = false;
    std::thread thread_;
};

} // namespace lumex
