// The gas injector test as its window drives it, without the window: the
// refresh of the controller's test counts, start and stop, the manifold
// pressure watch while it runs, the per-cylinder correction table and
// closing. The number of cylinders shown is the session's own: it follows
// InjSW while the link is up and is four without a link, and the data
// image's InjSW is never changed for it.
#pragma once

#include "calibration/InjectorTestEval.h"
#include "configuration/ConfigModified.h"
#include "configuration/Question.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace lumex {

class TDataManager;

// The controller's working state while the test runs.
inline constexpr uint8_t kWorkStateInjectorTest = 2;
// A manifold pressure drift (raw units) that spoils the measurement.
inline constexpr int kInjTestMaxPcolDrift = 10;
// Cylinders shown while there is no link.
inline constexpr std::size_t kInjTestCylindersWithoutLink = 4;

struct TInjTestSnapshot
{
    std::size_t Cylinders = 0;
    bool Running = false;
    int GaugePercent = 0;                 // progress + 1 while running, else 0 (hidden)
    std::optional<std::size_t> UnderTest; // 0-based, while running
    std::array<TInjTestBar, kCylinders> Bars{};
    TInjTestEvaluation Evaluation;
};

enum class TInjTestStartStop : uint8_t
{
    Started,
    Stopped,
    TooCold,        // not started: reducer below 60 degrees C ("strTredLow60", "strTryAgain")
    NotAcknowledged // the controller did not take the start or the stop
};

class TInjectorTest
{
public:
    TInjectorTest(TDataManager &manager, TAsker ask, TMessageTextFn text = MessageTextInForce);

    std::size_t Cylinders() const;
    bool Running() const { return running_; }

    // One refresh (on opening, then every second): with the link up the
    // counts, the working state and the progress are read; the snapshot is
    // what the window shows.
    TInjTestSnapshot Refresh();

    // The START/STOP button. A running test can always be stopped; only a
    // start needs a warm reducer. The cylinder mask covers the first
    // Cylinders() cylinders.
    TInjTestStartStop StartStop(const std::array<bool, kCylinders> &ticked);

    // The manifold pressure watch (every 100 ms while running). True when the
    // pressure drifted and the test was stopped ("strInjTStabPcol").
    bool WatchPcol();

    // The per-cylinder correction table, as the window edits it.
    const std::array<int8_t, kCylinders> &Corrections() const { return corrections_; }
    void SetCorrection(std::size_t cylinder, int percent); // limited to -20..20; marks modified
    bool CorrectionsModified() const { return modified_.IsModified(); }
    bool ReadCorrections();  // 0x93; clears the mark when it succeeds
    bool WriteCorrections(); // 0x94 with the first n positions, the rest 0; clears the mark when acknowledged
    void ClearCorrections(); // all to 0, marked modified
    // Adds the deviations of the last evaluation; marked modified.
    void CopyComputedCorrections();

    // Closing: asks about a running test and about an unsaved table; true
    // when the window may close (the test was told to stop).
    bool Close();

private:
    TDataManager &manager_;
    TAsker ask_;
    TMessageTextFn text_;
    TModifiedFlag modified_;
    TWriteConfirmation confirmation_;
    bool running_ = false;
    std::optional<uint8_t> pcolBaseline_;
    TInjTestEvaluation evaluation_;
    std::array<int8_t, kCylinders> corrections_{};
};

} // namespace lumex
