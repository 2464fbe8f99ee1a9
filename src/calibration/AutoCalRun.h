// Autocalibration without a window: START, then the controller's state read
// at the page's polling interval until the procedure ends, with the wait,
// the installer's load step and a cancel request (Ctrl+C) taken from the
// caller so the whole run works headless and tests never sleep.
#pragma once

#include "calibration/AutoCalibration.h"
#include "configuration/Question.h"

#include <chrono>
#include <functional>

namespace lumex {

class TDataManager;

// The configuration page's polling interval.
inline constexpr std::chrono::milliseconds kAutoCalPollInterval{500};
// Reads in a row without an answer before the run is given up.
inline constexpr int kAutoCalFailedReads = 3;

struct TAutoCalRunIo
{
    std::function<void(std::chrono::milliseconds)> Wait;
    std::chrono::milliseconds Interval = kAutoCalPollInterval;
    // Checked before every wait and every read; true stops the controller's
    // procedure without a question.
    std::function<bool()> CancelRequested;
    // The controller waits for the load: Yes when it is on; anything else
    // stops the run. Asked once per run.
    std::function<TAnswer()> ConfirmLoad;
    // After START and after every read of the state.
    std::function<void(const TAutoCalibration &cal)> OnStep;
};

// Runs until the procedure has ended; the outcome tells how.
TAutoCalOutcome RunAutoCalibration(TAutoCalibration &cal, TDataManager &manager, const TAutoCalRunIo &io);

} // namespace lumex
