// Measuring the petrol injection time at idle with a hot engine and no load
// (IdleHotTb) from the running engine, on the device side: the sequence of
// commands and checks, with the question, the error message, the wait and
// the busy cursor taken from the caller.
#pragma once

#include "configuration/Question.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace lumex {

class TDataManager;

// The reducer must be at least this warm for the idle time to mean anything.
inline constexpr double kMinTredForIdleTbC = 50.0;

// Why a capture ended without a value.
enum class TIdleTbOutcome : uint8_t
{
    Captured,      // the value is stored; the result is the link state
    Locked,        // LockState is not unlocked: nothing was sent
    Declined,      // the installer said No
    NoTredReading, // the reducer reading is 0: the sensor tells nothing
    TredTooLow,    // below kMinTredForIdleTbC
    PollFailed     // the live poll after the wait failed: nothing stored
};

struct TIdleTbCaptureIo
{
    TAsker Ask;
    // An error message for the installer.
    std::function<void(const std::string &text)> ShowError;
    // Waits the given time while the engine settles; tests pass one that
    // only records the request.
    std::function<void(std::chrono::milliseconds)> Wait;
    // Called around the whole capture, the end on every path: the window
    // shows the hourglass cursor in between. Either may be empty.
    std::function<void()> BeginBusy, EndBusy;
    char DecimalSeparator = '.';
    TMessageTextFn Text = MessageTextInForce;
};

struct TIdleTbResult
{
    bool Ok = false; // a value was taken and the link is up
    TIdleTbOutcome Outcome = TIdleTbOutcome::Locked;
};

inline constexpr std::chrono::milliseconds kIdleTbSettleTime{2000};

// Whether a reducer at `celsius` is warm enough.
bool ReducerWarmForIdleTb(double celsius);
// IdleHotTb ticks from the averaged petrol time: truncated to tenths of a
// millisecond first.
uint16_t IdleHotTbTicks(double averagePetrolMs);
// "%.2f" of the ticks in ms with the locale's separator.
std::string IdleHotTbText(uint16_t ticks, char decimalSeparator);

// The capture: refuses unless unlocked; sends WorkType 5 (petrol
// immediately); asks; checks the reducer temperature of the image; waits
// 2000 ms; runs one live poll; averages the petrol times of the InjSW
// cylinders and stores IdleHotTb in the image. `text` comes back as the new
// value's text and is left alone unless a value was stored.
TIdleTbResult CaptureIdleHotTb(TDataManager &manager, std::string &text, const TIdleTbCaptureIo &io);

} // namespace lumex
