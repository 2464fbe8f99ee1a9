// What a window needs of a device thread to run its work there: a job that
// gets the controller's data manager after the running tick or job. Both
// programs' device threads offer it, so the shared pages work over either.
#pragma once

#include <functional>

namespace lumex {

class TDataManager;

class TJobPoster
{
public:
    using TManagerJob = std::function<void(TDataManager &)>;

    virtual ~TJobPoster() = default;
    // Runs `job` on the device thread; dropped while the thread stops.
    virtual void PostJob(TManagerJob job) = 0;
    // The manager the jobs get, for objects that keep a reference to it and
    // touch it only inside jobs.
    virtual TDataManager &JobManager() = 0;
    // From the start of a stop until the next start (any thread).
    virtual bool Stopping() const = 0;
    // Runs at the start of a stop, on the stopping thread, before it waits
    // for the running job: a job that waits for the GUI thread (a question)
    // must be let go then. Listeners stay for the poster's life.
    virtual void AddStopListener(std::function<void()> listener) = 0;
};

} // namespace lumex
