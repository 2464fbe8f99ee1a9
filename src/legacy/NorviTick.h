// The legacy program's polling tick: one poll cycle of live readings per
// tick, the calibration state while an autocalibration runs, the lock state,
// and the end of the program for a controller built for another PC. It runs
// on the device thread; what the window must show comes back in the report.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace lumex {

class TDataManager;

struct TNorviTickReport
{
    bool Ran = false;           // not skipped for a long operation
    bool CycleOk = false;       // the readings cycle had no failed answer
    bool JustConnected = false; // the post-connection reads ran: relayout
    bool VersionIncompatible = false;
    bool CommunicationError = false;
    bool CalibrationLabel = false; // "KALIBRACJA W TOKU"
    bool Locked = false;
    std::optional<uint8_t> FatalPcCompatCode; // "strWPCV": the program ends
};

class TNorviTick
{
public:
    static constexpr int kIntervalConnected = 200;
    static constexpr int kIntervalDisconnected = 1500;

    explicit TNorviTick(TDataManager &manager);

    // Set while an operation sends a sequence of commands of its own.
    bool Busy = false;
    bool OscilloscopeShown = false;
    // The reads a new connection needs beyond the reconnection's own.
    std::function<void()> PostConnectionReads;
    // Takes one oscilloscope sample from the image.
    std::function<void()> OscilloscopeSample;

    TNorviTickReport Run();
    int Interval() const { return interval_; }
    // After a fatal compatibility code the tick runs no more.
    bool Stopped() const { return stopped_; }

private:
    TDataManager &manager_;
    int interval_ = kIntervalDisconnected;
    bool stopped_ = false;
};

// Compatibility codes of controllers made for this program.
bool IsCompatiblePcCode(uint8_t code);

} // namespace lumex
