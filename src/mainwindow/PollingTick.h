// The main window's polling tick without the window: detection and
// hand-over, calibration bookkeeping, lock-state refresh, the poll cycle of
// the page on screen, the module step and the status panels. It runs on the
// device thread; what the window must show or do comes back in the report.
#pragma once

#include "mainwindow/BootIdentify.h"
#include "mainwindow/Detector.h"
#include "mainwindow/ReadingInputs.h"
#include "mainwindow/TickHooks.h"
#include "mainwindow/TickRules.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace lumex {

class TDataManager;

struct TStatusPanels
{
    std::string DeviceText = "----"; // VersionDigits and the letter
    bool VersionIncompatible = false;
    bool NotConnected = true;
    bool Locked = false;
    bool CorrMapVisible = false;
    uint8_t CorrMapCountA = 0;
    uint8_t CorrMapCountB = 0;
    bool ObdAdaptationVisible = false;
    bool MapAdaptationVisible = false;
    bool FuelVisible = false;
    TFuelShown Fuel = TFuelShown::Petrol;
    bool CalibrationLabel = false; // LblCalTxt3
};

// What one tick did, for the window.
struct TTickReport
{
    bool Ran = false;           // past the busy and ready checks
    bool CycleOk = false;       // the poll cycle had no failed answer
    bool ReadingsFresh = false; // the live displays are to be refreshed
    bool JustConnected = false; // post-connection steps ran: relayout
    bool ImageCleared = false;  // refill the configuration pages
    bool ShowCompatNotice = false;
    bool OpenTroubleCodes = false;
    bool ModulesChanged = false;
    std::optional<uint8_t> FatalPcCompatCode; // "strWPCV": the program ends
    std::string HandedOverTo;                 // a sibling program was started: close
    std::optional<uint8_t> BootloaderOffer;   // a bootloader (this family) sits on the line
};

class TPollingTick
{
public:
    TPollingTick(TDataManager &manager, TDetector &detector, TTickHooks &hooks);

    // Starts a sibling program; replaced by tests.
    std::function<bool(const std::string &path)> StartProgram;

    bool Offline = false;
    bool TickBusy = false;
    bool TimerReady = false;
    bool RebuildRequested = false;
    bool UpgradeWindowOpen = false;
    TPageView View;
    bool CalibrationRunning = false;

    // One tick; `fromTimer` false for a direct call (the reset action).
    TTickReport Run(bool fromTimer = true);

    int Interval() const { return interval_; }
    const TStatusPanels &Panels() const { return panels_; }
    bool Accessible() const { return accessible_; }
    const TReadingExtras &Extras() const { return extras_; }
    TBootInfo &Boot() { return boot_; }
    const TBootInfo &Boot() const { return boot_; }

    // Called after a user operation set the lock state (lock, unlock).
    void RefreshLockState();

private:
    bool DetectAndHandOver(TTickReport &report);
    void CalibrationBookkeeping();
    void LockRefresh(TTickReport &report);
    bool PollForPage();
    void ModuleStep(bool wasUp, TTickReport &report);
    void StatusPanels(TTickReport &report, bool offline, bool fromTimer);

    TDataManager &manager_;
    TDetector &detector_;
    TTickHooks &hooks_;
    int interval_ = kIntervalDisconnected;
    TStatusPanels panels_;
    bool accessible_ = false;
    int inaccessibleTicks_ = 0;
    bool imageCleared_ = false;
    bool cycleOk_ = false;
    TReadingExtras extras_;
    TBootInfo boot_;
    bool bootOffered_ = false;
    std::chrono::steady_clock::time_point nextSecond_{};
};

} // namespace lumex
