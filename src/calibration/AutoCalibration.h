// Autocalibration from the PC's side, without windows: starting the
// procedure the controller runs, following the state it reports (0x21) in
// the 3.0 and in the 1.4/1.5 layout, the installer's steps (continue with
// the load on, stop), and, when the controller has finished, the nozzle
// verdict and the gas model built from the measured idle points. The window
// and the command line drive the same object; questions, waits and the
// steps other parts own come in through TAutoCalIo.
#pragma once

#include "calibration/AutoCalModel.h"
#include "calibration/NozzleVerdict.h"
#include "configuration/Question.h"
#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace lumex {

class TDataManager;

// The pages of the 3.0 autocalibration page book, by their names.
enum class TAutoCalPage : uint8_t
{
    Start,
    WaitConditions,
    ProgressWithoutLoad,
    WaitLoad,
    ProgressWithLoad,
    Result
};
const char *AutoCalPageName(TAutoCalPage page);

// How a run stands or ended.
enum class TAutoCalOutcome : uint8_t
{
    Idle,       // not started
    NotStarted, // START stopped before the controller was started (see StartStop)
    Running,
    Completed,  // the controller finished and the result was evaluated
    Error,      // the controller reported an error, or its result holds no idle point
    Cancelled,  // the installer stopped it
    LinkLost,   // the controller stopped answering
    WriteFailed // the result was evaluated, but writing it failed (LastWrite names the step)
};
const char *AutoCalOutcomeName(TAutoCalOutcome outcome);

// Why START stopped before the controller was started.
enum class TAutoCalStartStop : uint8_t
{
    None,
    NotReady,       // no controller, link down or locked: nothing was sent
    WriteFailed,    // a write of the start failed (LastWrite names it)
    IdleTbRefused,  // the idle petrol time was not captured (declined, cold, failed)
    OtherPartFailed // the OBD module or the working-pressure step failed
};

struct TAutoCalIo
{
    TAsker Ask;
    std::function<void(const std::string &text)> ShowError;
    // The idle time capture's settling wait.
    std::function<void(std::chrono::milliseconds)> Wait;
    TMessageTextFn Text = MessageTextInForce;
    char DecimalSeparator = ',';
    // From revision H, when the OBD module is present with its adaptation
    // on: switch it off and write its configuration. Empty: no module.
    std::function<bool()> SwitchOffObdModuleAdaptation;
    // From revision D: determine the working pressure. Empty: skipped.
    std::function<bool()> DetermineWorkingPressure;
    // A window determines the working pressure itself (with its wait window
    // and the working-pressure window, which need the line while they are
    // up): START stops before that step and ResumeStart goes on.
    bool DeferWorkingPressure = false;
    // Whether the result (markers, idle points, configuration and the new
    // model) is written to the controller when the run has finished.
    bool WriteResult = true;
};

// What the page shows.
struct TAutoCalView
{
    TAutoCalPage Page = TAutoCalPage::Start;
    bool StopEnabled = false;
    bool FinishEnabled = false;
    // 3.0 gauges.
    int GaugeWithoutLoadMax = 0, GaugeWithLoadMax = 0;
    int GaugeWithoutLoad = 0, GaugeWithLoad = 0;
    // 1.4/1.5 bar and the cold-reducer label.
    bool BarVisible = false;
    int Bar = 0;
    bool ReducerColdLabel = false;
    // The result lines, as message keys (empty: nothing).
    std::string Info1, Info2;
    TNozzleVerdict Verdict = TNozzleVerdict::None;
    double Ratio = 0;
    std::optional<TResultModel> Model;
    // The idle time START captured, as shown.
    std::string IdleHotTbText;
    // 1.4/1.5: the installer chose to go on to map collection.
    bool OpenMapPage = false;
    // START waits for the caller's working-pressure step (ResumeStart).
    bool WorkingPressurePending = false;
};

// The steps of the 1.4/1.5 bar.
inline constexpr int kLegacyBarSteps = 19;
// Gauge sizes with n injectors.
constexpr int GaugeWithoutLoadSteps(int injectors)
{
    return 4 * injectors + 4;
}
constexpr int GaugeWithLoadSteps(int injectors)
{
    return 4 * injectors + 1;
}

class TAutoCalibration
{
public:
    TAutoCalibration(TDataManager &manager, TAutoCalIo io);

    // 1.4/1.5 layout (otherwise 3.0).
    bool Legacy() const;
    // The active flag is set and the last work type sent started autocalibration.
    bool Running() const;
    bool Active() const { return active_; }

    // START. True when the controller was started. With a deferred
    // working-pressure step it returns false with View().WorkingPressurePending.
    bool Start();
    // After the caller's working-pressure step: on success the controller is
    // started, otherwise START stops. False unless START was waiting.
    bool ResumeStart(bool workingPressureOk);
    // DALEJ: the load is on.
    bool Continue();
    // STOP: on 3.0 asks strQAutocalCancel first; false when not stopped.
    bool Stop();
    // Stops without asking (the installer has already said so elsewhere,
    // e.g. Ctrl+C).
    void Cancel();
    // After each read of the calibration state.
    void OnState();
    // The controller stopped answering: ends showing the error.
    void Abandon();
    // POWTÓRZ: ends and shows Start. ZAKOŃCZ: ends; true when the wizard
    // moves on (only with a result).
    void Repeat();
    bool Finish();

    const TAutoCalView &View() const { return view_; }
    TAutoCalOutcome Outcome() const { return outcome_; }
    TAutoCalStartStop StartStop() const { return startStop_; }
    // The write that failed last, when one did.
    const TWriteResult &LastWrite() const { return lastWrite_; }
    // The idle points as last read, completed or written.
    const TModelPoints &IdlePoints() const { return idle_; }

private:
    bool Start30();
    bool StartLegacy();
    bool StartController30();
    bool StopStart(TAutoCalStartStop why);
    bool Written(const TWriteResult &result);
    void OnState30();
    void OnStateLegacy();
    void ShowProgress();
    // States 9 and 11: the result.
    void Evaluate(bool finished);
    // Ending: the page shows `page`, the controller's work type goes to 0
    // and identification byte 5 is read again.
    void End(TAutoCalPage page);
    void EndWithError(TAutoCalOutcome outcome);
    void StopLegacy();

    TDataManager &manager_;
    TAutoCalIo io_;
    TAutoCalView view_;
    TAutoCalOutcome outcome_ = TAutoCalOutcome::Idle;
    TAutoCalStartStop startStop_ = TAutoCalStartStop::None;
    TWriteResult lastWrite_;
    TModelPoints idle_;
    bool active_ = false;
};

} // namespace lumex
