// The 3.0 configuration wizard without its window: the seven pages, how far
// the installer has got (the progress), the wizard markers the controller
// keeps in word parameter 14, and what Next and Back do.
#pragma once

#include "configuration/WizardPage.h"

#include <cstdint>
#include <functional>
#include <string>

namespace lumex {

class TDataManager;

// What a configuration write ended in.
enum class TWriteOutcome : uint8_t
{
    Written,   // acknowledged
    Cancelled, // the installer declined a question; nothing was sent
    Failed     // sent, or refused by the controller's state, and not acknowledged
};

// Wizard markers (Markers, word parameter 14), by bit number.
inline constexpr unsigned kMarkerPassedAdvanced = 0; // progress went past the advanced page
inline constexpr unsigned kMarkerPassedVerify = 1;   // progress went past the verification page
inline constexpr unsigned kMarkerAutocalibrated = 2; // autocalibration completed
inline constexpr unsigned kMarkerNoIdleModel = 3;    // model used without idle points
inline constexpr uint8_t kMarkersWordParam = 14;

// The markers after the progress has reached `progress`: bits 0 and 1 set
// as the progress passes pages 4 and 5, every other bit kept.
uint16_t MarkersForProgress(uint16_t markers, TWizardPage progress);
// The progress the markers of a controller prove: at least the page after
// the one each set bit stands for. Used when a configured controller is
// connected, so its installer does not walk the wizard again.
TWizardPage ProgressFromMarkers(uint16_t markers);

// The finish page: whether to warn that autocalibration has not completed.
bool ShowNotAutocalibratedWarning(uint16_t markers);
// The finish page: km to the next inspection from info word 39 (the engine
// time left, in 5-minute units) and the km-per-engine-hour ratio, rounded.
int InspectionDistanceKm(uint16_t infoWord39, uint8_t ratio);

// Whether the controller takes writes: identified, link up and unlocked.
bool ControllerReadyForWrites(const TDataManager &manager);

// What one press of Next does.
struct TNextPlan
{
    TWizardPage To = TWizardPage::Engine;
    bool RaisesProgress = false; // Next on the page equal to the progress
    uint16_t Markers = 0;        // the markers after the move
    bool WriteMarkers = false;   // markers changed and the controller takes writes
    bool WriteConfiguration = false;
};

class TProgramLogic
{
public:
    TWizardPage Progress() const { return progress_; }
    void SetProgress(TWizardPage page) { progress_ = page; }
    // Pages after the progress are hidden tabs.
    bool PageVisible(TWizardPage page) const;

    // Set while autocalibration work runs: Next moves without writing and
    // the wizard's Write button refuses (beeps).
    bool AutocalibrationBusy = false;

    // The plan for Next on `current`; `controllerReady` is whether the
    // controller takes writes (ControllerReadyForWrites). On the finish page
    // there is nowhere to go: the plan stays there and writes nothing.
    TNextPlan PlanNext(TWizardPage current, uint16_t markers, bool controllerReady) const;

    // Next as a whole: raises the progress and stores the markers in the
    // image, writes them (word parameter 14) and then the configuration
    // through `writeConfiguration` when the plan says so. The page returned
    // is the one after `current`, or `current` when the write was cancelled
    // or failed: the installer's edits must not be dropped by the next
    // page's re-read.
    TWizardPage Next(TWizardPage current, TDataManager &manager,
                     const std::function<TWriteOutcome()> &writeConfiguration);

    // Back moves one page back and writes nothing.
    static TWizardPage Back(TWizardPage current);

private:
    TWizardPage progress_ = TWizardPage::Engine;
};

} // namespace lumex
