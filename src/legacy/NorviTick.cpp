#include "legacy/NorviTick.h"

#include "controller/DataManager.h"
#include "controller/LockState.h"
#include "profile/ProgramProfile.h"

namespace lumex {

bool IsCompatiblePcCode(uint8_t code)
{
    return code == 0 || code == 4;
}

TNorviTick::TNorviTick(TDataManager &manager) : manager_(manager) {}

TNorviTickReport TNorviTick::Run()
{
    TNorviTickReport report;
    if (Busy || stopped_)
        return report;
    report.Ran = true;
    interval_ = manager_.LinkUp ? kIntervalConnected : kIntervalDisconnected;

    TNorviData &d = manager_.Data();
    if (manager_.LinkUp && manager_.JustConnected) {
        if (PostConnectionReads)
            PostConnectionReads();
        manager_.JustConnected = false;
        report.JustConnected = true;
    }
    // A controller made for another PC program: nothing more is sent to it.
    if (manager_.LinkUp && !IsCompatiblePcCode(d.PcCompatCode)) {
        stopped_ = true;
        report.FatalPcCompatCode = d.PcCompatCode;
        return report;
    }

    manager_.ReadLockState();
    report.CycleOk = manager_.PollCycle(pmReadings);
    if (report.CycleOk && OscilloscopeShown && OscilloscopeSample)
        OscilloscopeSample();
    if (manager_.RequestedWorkType == TWorkType::StartAutocalibration) {
        manager_.PollCycle(pmCalibration14);
        report.CalibrationLabel = true;
    }

    report.VersionIncompatible = d.VersionCode != 0 && !manager_.Profile().AcceptsGeneration(d.VersionCode);
    report.CommunicationError = !manager_.LinkUp;
    report.Locked = d.LockState == kLockLocked;
    return report;
}

} // namespace lumex
