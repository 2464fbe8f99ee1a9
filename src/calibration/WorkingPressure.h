// The working-pressure determination: the controller measures the gas
// system's pressure (on gas, or with its own pressure test from revision
// D), and the list entry just below it becomes the nominal working pressure.
// Waits and the busy-flag poll take their clock from the caller, with a
// time-out and a cancel; whatever the outcome the controller is left on
// petrol (work type 5), and a failed determination writes nothing.
#pragma once

#include "configuration/Question.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace lumex {

class TDataManager;

enum class TWorkPressOutcome : uint8_t
{
    Written,    // the chosen entry is in WorkPress and was written
    NotAllowed, // locked, autocalibration running or not a 3.0 controller: nothing sent
    Declined,   // the installer said No to switching to gas
    TooLow,     // below 0,70 bar: the first entry was written, the result is false
    NoMatch,    // before revision D, outside the list: nothing written
    TimedOut,   // the controller's test did not finish in time: nothing written
    Cancelled,  // the installer cancelled the wait: nothing written
    LinkFailed  // an answer was lost: nothing written
};

struct TWorkPressResult
{
    bool Ok = false;
    TWorkPressOutcome Outcome = TWorkPressOutcome::NotAllowed;
    std::optional<double> MeasuredBar;      // rounded to 0.1 bar
    std::optional<std::size_t> ChosenIndex; // in WorkingPressureList()
};

struct TWorkPressIo
{
    using TClock = std::chrono::steady_clock;
    TAsker Ask;
    std::function<void(const std::string &text)> ShowWarning;
    // Waits the given time (the window keeps its events going); tests only
    // advance their clock.
    std::function<void(std::chrono::milliseconds)> Wait;
    std::function<TClock::time_point()> Now = [] { return TClock::now(); };
    // Polled between waits; true stops the determination.
    std::function<bool()> Cancelled;
    std::function<void()> BeginBusy, EndBusy;
    std::chrono::milliseconds Timeout{30000};
    TMessageTextFn Text = MessageTextInForce;
};

inline constexpr std::chrono::milliseconds kGasSettleTime{1500};
inline constexpr std::chrono::milliseconds kPetrolSettleTime{100};
inline constexpr std::chrono::milliseconds kPressureTestPoll{200};
// Above this engine power the working pressure is taken one step lower still.
inline constexpr unsigned kHighPowerKw = 150;

// The list entry for a measured pressure (rounded to 0.1 bar): one step
// below the measured entry, one more above 150 kW; out of range at the top
// the last entry, at the bottom the first (flagged too low when below the
// list). Letter before "D": one step below, and nothing outside the list.
struct TWorkPressChoice
{
    std::optional<std::size_t> Index;
    bool TooLow = false;
};
TWorkPressChoice ChooseWorkingPressure(double measuredBar, unsigned powerKw, bool pressureTest);

// Whether the controller may run it: unlocked, 3.0, no autocalibration work.
bool WorkingPressureAllowed(const TDataManager &manager);

TWorkPressResult DetermineWorkingPressure(TDataManager &manager, const TWorkPressIo &io);

} // namespace lumex
