#include "configuration/ConfigDependencies.h"

#include "controller/Version.h"

#include <algorithm>
#include <cctype>

namespace lumex {

namespace {

using C = TConfControl;

constexpr std::size_t At(C c)
{
    return static_cast<std::size_t>(c);
}

// One row per control, in enum order: its name, the 3.0 revision it needs,
// whether the 1.4/1.5 pages have it and the 1.5 revision it needs there
// (a 1.4 controller has none of the gated ones).
struct TControlRow
{
    C Control;
    const char *Name;
    const char *From30 = nullptr;
    bool Legacy = false;
    const char *From15 = nullptr;
};

constexpr std::array<TControlRow, kConfControlCount> kControls{{
    {C::ChBConfLambda, "ChBConfLambda", nullptr, true},
    {C::CmBConfLambdaType, "CmBConfLambdaType", nullptr, true},
    {C::ChBConfFlashLube, "ChBConfFlashLube", "G"},
    {C::ChBConfMicroInjection, "ChBConfMicroInjection", nullptr, true},
    {C::CmBConfMicroInjectionTime, "CmBConfMicroInjectionTime", nullptr, true},
    {C::ChBConfExternalEmulator, "ChBConfExternalEmulator", nullptr, true},
    {C::CmBConfPostValveDelay, "CmBConfPostValveDelay", nullptr, true},
    {C::ChBConfPetrolInjPlus, "ChBConfPetrolInjPlus", nullptr, true},
    {C::ChBConfRpmBelow, "ChBConfRpmBelow"},
    {C::CmBConfRpmBelow, "CmBConfRpmBelow"},
    {C::ChBConfRpmAbove, "ChBConfRpmAbove"},
    {C::CmBConfRpmAbove, "CmBConfRpmAbove"},
    {C::ChBConfLoadAbove, "ChBConfLoadAbove"},
    {C::CmBConfLoadAbove, "CmBConfLoadAbove"},
    {C::ChBConfTgasBelow, "ChBConfTgasBelow"},
    {C::CmBConfTgasBelow, "CmBConfTgasBelow"},
    {C::CmBConfTgasBelowLoad, "CmBConfTgasBelowLoad", "D"},
    {C::ChBConfTredBelow, "ChBConfTredBelow"},
    {C::CmBConfTredBelow, "CmBConfTredBelow"},
    {C::CmBConfTredBelowLoad, "CmBConfTredBelowLoad"},
    {C::ChBConfRPMWireNotConnect, "ChBConfRPMWireNotConnect", "C", true, "E"},
    {C::CmBConfRPMSourceType, "CmBConfRPMSourceType", nullptr, true},
    {C::ChBConfFuelOverlap, "ChBConfFuelOverlap"},
    {C::CmBConfOverlapCycles, "CmBConfOverlapCycles"},
    {C::CmBConfOverlapTime, "CmBConfOverlapTime"},
    {C::ChBConfGasInjHeating, "ChBConfGasInjHeating"},
    {C::CmBConfGasInjHeatingTemp, "CmBConfGasInjHeatingTemp"},
    {C::ChBConfCutOffPressure, "ChBConfCutOffPressure"},
    {C::CmBConfCutOffPressure, "CmBConfCutOffPressure", "D"},
    {C::ChBConfEnrichment, "ChBConfEnrichment", "F"},
    {C::CmBConfEnrichmentTime, "CmBConfEnrichmentTime", "F"},
    {C::CmBConfEnrichmentRpm, "CmBConfEnrichmentRpm", "F"},
    {C::ChBConfMazda, "ChBConfMazda", "F"},
    {C::CmBConfMazdaPercent, "CmBConfMazdaPercent", "F"},
    {C::ChBConfMinGasInj, "ChBConfMinGasInj", "G"},
    {C::CmBConfMinGasInj, "CmBConfMinGasInj", "G"},
    {C::ChBConfMaxGasInj, "ChBConfMaxGasInj", "G"},
    {C::CmBConfMaxGasInj, "CmBConfMaxGasInj", "G"},
    {C::ChBConfCutOffReturn, "ChBConfCutOffReturn", "G"},
    {C::CmBConfAfterCutOffDelay, "CmBConfAfterCutOffDelay", "G"},
    {C::CmBConfOnCutOffDelay, "CmBConfOnCutOffDelay", "G"},
    {C::ChBConfGasTempInFlow, "ChBConfGasTempInFlow"},
    {C::CmBConfLevelSensor, "CmBConfLevelSensor", nullptr, true},
    {C::BtnConfLevelSensor, "BtnConfLevelSensor", nullptr, true},
    {C::TbSModAdaptation, "TbSModAdaptation"},
}};

constexpr bool InEnumOrder()
{
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (At(kControls[i].Control) != i)
            return false;
    }
    return true;
}
static_assert(InEnumOrder(), "kControls is indexed by TConfControl");

// Where a list's value comes from when its box is ticked with nothing chosen.
enum class TPick : uint8_t
{
    None,
    First,
    Last
};

// A box and a list it enables.
struct TLinkRow
{
    C Box;
    C List;
    TPick Pick;
};

constexpr TLinkRow kLinks[] = {
    {C::ChBConfLambda, C::CmBConfLambdaType, TPick::First},
    {C::ChBConfMicroInjection, C::CmBConfMicroInjectionTime, TPick::None},
    {C::ChBConfRpmBelow, C::CmBConfRpmBelow, TPick::First},
    {C::ChBConfRpmAbove, C::CmBConfRpmAbove, TPick::Last},
    {C::ChBConfLoadAbove, C::CmBConfLoadAbove, TPick::Last},
    {C::ChBConfTgasBelow, C::CmBConfTgasBelow, TPick::First},
    {C::ChBConfTgasBelow, C::CmBConfTgasBelowLoad, TPick::First},
    {C::ChBConfTredBelow, C::CmBConfTredBelow, TPick::First},
    {C::ChBConfTredBelow, C::CmBConfTredBelowLoad, TPick::First},
    {C::ChBConfFuelOverlap, C::CmBConfOverlapCycles, TPick::None},
    {C::ChBConfFuelOverlap, C::CmBConfOverlapTime, TPick::None},
    {C::ChBConfGasInjHeating, C::CmBConfGasInjHeatingTemp, TPick::None},
    {C::ChBConfCutOffPressure, C::CmBConfCutOffPressure, TPick::None},
    {C::ChBConfEnrichment, C::CmBConfEnrichmentTime, TPick::None},
    {C::ChBConfEnrichment, C::CmBConfEnrichmentRpm, TPick::None},
    {C::ChBConfMazda, C::CmBConfMazdaPercent, TPick::None},
    {C::ChBConfMinGasInj, C::CmBConfMinGasInj, TPick::None},
    {C::ChBConfMaxGasInj, C::CmBConfMaxGasInj, TPick::None},
    {C::ChBConfCutOffReturn, C::CmBConfAfterCutOffDelay, TPick::None},
    {C::ChBConfCutOffReturn, C::CmBConfOnCutOffDelay, TPick::None},
};

bool Legacy(const TConfContext &context)
{
    return context.VersionCode != kVersion30;
}

bool FromLetter(const TConfContext &context, const char *minimum)
{
    std::string letter = context.Letter;
    std::transform(letter.begin(), letter.end(), letter.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    return LetterAtLeast(letter, minimum);
}

// Whether the controller's pages have the control at all.
bool Available(C control, const TConfContext &context)
{
    const TControlRow &row = kControls[At(control)];
    if (!Legacy(context))
        return row.From30 == nullptr || FromLetter(context, row.From30);
    if (!row.Legacy)
        return false;
    if (row.From15 == nullptr)
        return true;
    return context.VersionCode == kVersion15 && FromLetter(context, row.From15);
}

void Pick(TConfControls &controls, const TLinkRow &link)
{
    int &index = controls.Index[At(link.List)];
    const int count = controls.Count[At(link.List)];
    if (index >= 0 || count <= 0 || link.Pick == TPick::None)
        return;
    index = link.Pick == TPick::First ? 0 : count - 1;
}

// The view with the generation's way of turning a control off.
class TViewBuilder
{
public:
    explicit TViewBuilder(const TConfContext &context) : legacy_(Legacy(context))
    {
        for (const auto &row : kControls) {
            if (!Available(row.Control, context))
                Off(row.Control);
        }
    }
    // Turned off stays off.
    void Set(C control, bool on)
    {
        if (!on)
            Off(control);
    }
    // Shown or hidden on every page, whatever the generation.
    void Show(C control, bool shown) { view_.Controls[At(control)].Visible &= shown; }
    TConfView &View() { return view_; }

private:
    void Off(C control)
    {
        auto &v = view_.Controls[At(control)];
        (legacy_ ? v.Visible : v.Enabled) = false;
    }

    bool legacy_;
    TConfView view_;
};

} // namespace

const char *ConfControlName(TConfControl control)
{
    return At(control) < kControls.size() ? kControls[At(control)].Name : "?";
}

void CheckBox(TConfControls &controls, TConfControl box, bool checked, const TConfContext &context)
{
    controls.Checked[At(box)] = checked;
    if (checked) {
        for (const auto &link : kLinks) {
            if (link.Box == box && Available(link.List, context))
                Pick(controls, link);
        }
    }
    if (box == C::ChBConfPetrolInjPlus && checked)
        controls.Checked[At(C::ChBConfExternalEmulator)] = true;
    if (box == C::ChBConfLambda && !checked)
        controls.Index[At(C::CmBConfLambdaType)] = -1;
}

void ChoosePressureSensor(TConfControls &controls, uint8_t code)
{
    controls.PressureSensorCode = code;
    bool &inFlow = controls.Checked[At(C::ChBConfGasTempInFlow)];
    if (code == 1 || code == 2)
        inFlow = false;
    else if (code == 3 || code == 4)
        inFlow = true;
    if (code == kSensorPsCc1)
        controls.Checked[At(C::ChBConfRPMWireNotConnect)] = false;
}

TConfView ResolveDependencies(TConfControls &controls, const TConfContext &context)
{
    const bool legacy = Legacy(context);
    const bool psCc1 = !legacy && controls.PressureSensorCode == kSensorPsCc1;
    auto checked = [&](C c) { return controls.Checked[At(c)]; };

    // Forced values first, so the view follows them.
    if (psCc1)
        controls.Checked[At(C::ChBConfRPMWireNotConnect)] = false;
    if (!checked(C::ChBConfLambda))
        controls.Index[At(C::CmBConfLambdaType)] = -1;
    const bool wireNotConnected =
        Available(C::ChBConfRPMWireNotConnect, context) && checked(C::ChBConfRPMWireNotConnect);
    if (wireNotConnected)
        controls.Index[At(C::CmBConfRPMSourceType)] = kRpmFromPetrolInjectors;

    TViewBuilder b(context);
    for (const auto &link : kLinks)
        b.Set(link.List, Available(link.Box, context) && checked(link.Box));
    b.Show(C::CmBConfPostValveDelay, !checked(C::ChBConfExternalEmulator));
    b.Set(C::CmBConfRPMSourceType, !wireNotConnected);
    if (!legacy) {
        // The lambda input serves one purpose at a time.
        b.Set(C::ChBConfFlashLube, !checked(C::ChBConfLambda));
        b.Set(C::ChBConfLambda, !(Available(C::ChBConfFlashLube, context) && checked(C::ChBConfFlashLube)));
    }
    b.Set(C::ChBConfRPMWireNotConnect, !psCc1);
    b.Show(C::TbSModAdaptation, !psCc1);
    // 1.4/1.5 list entry 0 is the reserve switch, which needs no settings.
    const int level = controls.IndexOf(C::CmBConfLevelSensor);
    b.Show(C::BtnConfLevelSensor, legacy ? level > 0 : level >= 0);

    TConfView view = b.View();
    view.LambdaReadoutsVisible = checked(C::ChBConfLambda);
    return view;
}

uint8_t LambdaTypeOf(const TConfControls &controls)
{
    if (!controls.IsChecked(C::ChBConfLambda) || controls.IndexOf(C::CmBConfLambdaType) < 0)
        return 0;
    return static_cast<uint8_t>(controls.IndexOf(C::CmBConfLambdaType) + 1);
}

} // namespace lumex
