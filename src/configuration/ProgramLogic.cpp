#include "configuration/ProgramLogic.h"

#include "controller/DataManager.h"

#include <cmath>

namespace lumex {

namespace {

constexpr uint16_t Bit(unsigned number)
{
    return static_cast<uint16_t>(1u << number);
}

// Engine time is counted in 5-minute steps.
constexpr double kMinutesPerInfoStep = 5.0;

} // namespace

uint16_t MarkersForProgress(uint16_t markers, TWizardPage progress)
{
    if (progress > TWizardPage::Advanced)
        markers |= Bit(kMarkerPassedAdvanced);
    if (progress > TWizardPage::Verify)
        markers |= Bit(kMarkerPassedVerify);
    return markers;
}

TWizardPage ProgressFromMarkers(uint16_t markers)
{
    if (markers & Bit(kMarkerPassedVerify))
        return TWizardPage::AutoCal;
    if (markers & Bit(kMarkerPassedAdvanced))
        return TWizardPage::Verify;
    return TWizardPage::Engine;
}

bool ShowNotAutocalibratedWarning(uint16_t markers)
{
    return (markers & Bit(kMarkerAutocalibrated)) == 0;
}

int InspectionDistanceKm(uint16_t infoWord39, uint8_t ratio)
{
    return static_cast<int>(std::lround(infoWord39 * kMinutesPerInfoStep * ratio / 60.0));
}

bool ControllerReadyForWrites(const TDataManager &manager)
{
    return manager.LinkUp && manager.Data().VersionCode != 0 && manager.WritesAllowed();
}

bool TProgramLogic::PageVisible(TWizardPage page) const
{
    return page <= progress_;
}

TNextPlan TProgramLogic::PlanNext(TWizardPage current, uint16_t markers, bool controllerReady) const
{
    TNextPlan plan;
    plan.Markers = markers;
    if (current == TWizardPage::Finish) {
        plan.To = current;
        return plan;
    }
    plan.To = WizardPageOf(PageNumber(current) + 1);
    plan.RaisesProgress = current == progress_;
    if (plan.RaisesProgress)
        plan.Markers = MarkersForProgress(markers, plan.To);
    plan.WriteConfiguration = controllerReady && !AutocalibrationBusy;
    plan.WriteMarkers = plan.WriteConfiguration && plan.Markers != markers;
    return plan;
}

TWizardPage TProgramLogic::Next(TWizardPage current, TDataManager &manager,
                                const std::function<TWriteOutcome()> &writeConfiguration)
{
    TNorviData &d = manager.Data();
    const TNextPlan plan = PlanNext(current, d.Markers, ControllerReadyForWrites(manager));
    if (plan.RaisesProgress) {
        progress_ = plan.To;
        d.Markers = plan.Markers;
    }
    if (!plan.WriteConfiguration)
        return plan.To;
    if (plan.WriteMarkers && !manager.WriteWordParam(kMarkersWordParam, plan.Markers))
        return current;
    return writeConfiguration() == TWriteOutcome::Written ? plan.To : current;
}

TWizardPage TProgramLogic::Back(TWizardPage current)
{
    return WizardPageOf(PageNumber(current) - 1);
}

} // namespace lumex
