#include "calibration/AutoCalRun.h"

#include "controller/DataManager.h"

namespace lumex {

namespace {

bool CancelRequested(const TAutoCalRunIo &io)
{
    return io.CancelRequested && io.CancelRequested();
}

void Notify(const TAutoCalRunIo &io, const TAutoCalibration &cal)
{
    if (io.OnStep)
        io.OnStep(cal);
}

// One read of the state; a link that went down is brought up again first,
// as the next poll cycle would.
bool ReadState(TAutoCalibration &cal, TDataManager &manager)
{
    if (!manager.LinkUp)
        manager.PollCycle(pmNone);
    return manager.LinkUp && manager.ReadCalibrationState(!cal.Legacy());
}

} // namespace

TAutoCalOutcome RunAutoCalibration(TAutoCalibration &cal, TDataManager &manager, const TAutoCalRunIo &io)
{
    const bool started = cal.Start();
    Notify(io, cal);
    if (!started)
        return cal.Outcome();
    int failedReads = 0;
    bool loadAsked = false;
    while (cal.Active()) {
        if (CancelRequested(io))
            break;
        if (io.Wait)
            io.Wait(io.Interval);
        if (CancelRequested(io))
            break;
        if (!ReadState(cal, manager)) {
            if (++failedReads >= kAutoCalFailedReads) {
                cal.Abandon();
                Notify(io, cal);
            }
            continue;
        }
        failedReads = 0;
        cal.OnState();
        Notify(io, cal);
        if (cal.Active() && cal.View().Page == TAutoCalPage::WaitLoad && !loadAsked) {
            loadAsked = true;
            if (io.ConfirmLoad && io.ConfirmLoad() == TAnswer::Yes)
                cal.Continue();
            else
                cal.Cancel();
        }
    }
    if (cal.Active()) {
        cal.Cancel();
        Notify(io, cal);
    }
    return cal.Outcome();
}

} // namespace lumex
