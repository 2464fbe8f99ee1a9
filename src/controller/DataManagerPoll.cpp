// The poll cycle and the reconnection of TDataManager.
#include "controller/DataManager.h"

#include "controller/Version.h"
#include "serial/ComMultiPort.h"

#include <algorithm>

namespace lumex {

bool TDataManager::PollCycle(int mode)
{
    CycleError = false;
    try {
        bool identified = true;
        if (!LinkUp) {
            Reconnect();
            // A reconnection that did not bring the link up is a failed
            // cycle, also when no answer failed (an unsupported controller,
            // a port that would not open).
            if (!LinkUp) {
                AbandonOnFailure(false);
                identified = false;
            }
        }
        // The failed identification cleared the version code, so the reads
        // would reach the wire: one good answer would then bring the link
        // up with no controller identified, and nothing would identify it
        // again.
        if (!PreviousCycleFailed && identified)
            ReadForMode(mode);
    } catch (const EComPortError &) {
        // Only the port's own failures mean a lost link; anything else is a
        // fault of ours and goes on to the caller.
        FailFromException();
    }
    PreviousCycleFailed = CycleError;
    if (!CycleError)
        FailedCycles = 0;
    return !PreviousCycleFailed;
}

void TDataManager::ReadForMode(int mode)
{
    switch (mode) {
    case pmReadings:
        if (HasLiveBlock(data_)) {
            ReadLiveDataFull();
            if (const auto v = ReadWordVarForStore(41))
                data_.WordVar41Low = static_cast<uint8_t>(*v & 0xFF);
            ReadLoadIndex();
        } else {
            ReadLiveData();
            ReadPcol();
            if (data_.VersionCode == kVersion30)
                ReadIdentByte(5);
        }
        break;
    case pmCalibration14:
    case pmCalibration30:
        if (extensions_.ReadCalibrationState)
            extensions_.ReadCalibrationState(mode == pmCalibration30);
        break;
    case pmAdaptationBank1:
    case pmAdaptationBank2:
        if (HasLiveBlock(data_) && extensions_.ReadAdaptationBank && extensions_.AdaptationSupported &&
            extensions_.AdaptationSupported())
            extensions_.ReadAdaptationBank(mode == pmAdaptationBank1 ? 1 : 2);
        break;
    default:
        break;
    }
    if (const auto counters = ReadWordVarForStore(40)) {
        data_.CorrMapCountA = static_cast<uint8_t>(*counters & 0xFF);
        data_.CorrMapCountB = static_cast<uint8_t>(*counters >> 8);
    }
}

void TDataManager::Reconnect()
{
    SoftwareCompatible = true;
    try {
        port_.Close();
        port_.Open();
        ReadVersionCode();
        CheckVersion(false);
        if (!LinkUp)
            return;
        JustConnected = true;
        ReadLockState();
        ReadIdentification();
        if (data_.VersionCode == kVersion30) {
            ReadIdentByte(0);
            if (!data_.SoftwareLetter.empty()) {
                SoftwareCompatible = LinkUp && IsCompatibleLetter(data_.SoftwareLetter);
                CompatNoticePending = !SoftwareCompatible;
            }
        }
        if (extensions_.ReadAfterIdentification)
            extensions_.ReadAfterIdentification();
        const auto &flags = data_.TroubleFlags;
        TroubleCodesPresent = std::any_of(flags.begin() + 8, flags.end(), [](uint8_t b) { return b != 0; });
    } catch (const EComPortError &) {
        // A port that cannot be opened is a missing device.
        data_.VersionCode = 0;
        LinkUp = false;
    }
}

} // namespace lumex
