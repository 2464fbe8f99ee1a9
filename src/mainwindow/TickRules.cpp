#include "mainwindow/TickRules.h"

#include "controller/DataManager.h"
#include "controller/Version.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace lumex {

namespace {

struct TPageName
{
    TPage Page;
    const char *Name;
};

constexpr std::array<TPageName, 7> kPageNames{{
    {TPage::Measure, "TbSMeasure"},
    {TPage::Config, "TbSConfig"},
    {TPage::Configurator, "TbSConfigurator"},
    {TPage::Calibration, "TbSCalibration"},
    {TPage::Schema, "TbSSchema"},
    {TPage::Diagnostic, "TbSDiagnostic"},
    {TPage::Adapter, "TbSAdapter"},
}};

} // namespace

const char *PageObjectName(TPage page)
{
    for (const auto &p : kPageNames) {
        if (p.Page == page)
            return p.Name;
    }
    return "";
}

bool PageFromName(const std::string &name, TPage &page)
{
    for (const auto &p : kPageNames) {
        if (name == p.Name) {
            page = p.Page;
            return true;
        }
    }
    return false;
}

std::chrono::steady_clock::time_point NextTickStart(std::chrono::steady_clock::time_point previousStart,
                                                    std::chrono::milliseconds interval,
                                                    std::chrono::steady_clock::time_point now)
{
    return std::max(previousStart + interval, now);
}

int TickInterval(bool linkUp, TPage page)
{
    if (!linkUp)
        return kIntervalDisconnected;
    return page == TPage::Config ? kIntervalConfigPage : kIntervalConnected;
}

TPollPlan PollPlanFor(const TPageView &view)
{
    TPollPlan plan;
    switch (view.Page) {
    case TPage::Config:
        plan.Modes = {pmReadings};
        plan.ResultUsed = false;
        break;
    case TPage::Configurator:
        if (view.Sub == TSubPage::ConfAutoCal || view.Sub == TSubPage::ConfVerify)
            plan.Modes = {pmReadings};
        else
            plan.Modes = {pmNone, pmReadings};
        break;
    default:
        plan.Modes = {pmReadings};
        break;
    }
    return plan;
}

bool IsAccessible(uint8_t lockState, bool notConnectedPanelVisible)
{
    return lockState == kLockUnlocked ||
           (!notConnectedPanelVisible && lockState != kLockLocked && lockState != kLockNoAnswer);
}

bool LockPanelVisible(uint8_t lockState)
{
    return lockState != kLockUnlocked && lockState != kLockNoAnswer;
}

void ClearImageExceptIdentity(TNorviData &data)
{
    const uint8_t version = data.VersionCode;
    const uint8_t injectors = data.InjSW;
    data = TNorviData{};
    data.VersionCode = version;
    data.InjSW = injectors;
}

TFuelShown FuelShown(uint8_t systemState)
{
    switch (systemState) {
    case 4:
        return TFuelShown::Waiting;
    case 5:
        return TFuelShown::Gas;
    default:
        return TFuelShown::Petrol;
    }
}

TWorkType FuelClickWorkType(uint8_t systemState, bool rightButton)
{
    if (systemState == 3)
        return rightButton ? TWorkType::GasImmediately : TWorkType::Gas;
    return rightButton ? TWorkType::PetrolImmediately : TWorkType::Petrol;
}

TFuelPress FuelPress(bool linkUp, bool calibrationRunning, bool ctrlHeld)
{
    if (linkUp && calibrationRunning)
        return TFuelPress::Ignore;
    return ctrlHeld ? TFuelPress::OpenMenu : TFuelPress::SendWorkType;
}

std::vector<TFuelMenuEntry> FuelMenuEntries()
{
    return {
        {"Benzyna standard", "MnIFuelPetrolStandard", TWorkType::Petrol},
        {"Gaz standard", "MnIFuelGasStandard", TWorkType::Gas},
        {"Benzyna sekwencyjnie", "MnIFuelPetrolSequential", TWorkType::PetrolSequential},
        {"Gaz bezposrednio", "MnIFuelGasImmediate", TWorkType::GasImmediately},
    };
}

TGenerationLayout GenerationLayout(uint8_t versionCode, uint8_t identByte3)
{
    TGenerationLayout l;
    const bool legacy = versionCode == kVersion14 || versionCode == kVersion15;
    l.ConfigPages = legacy;
    l.F3OnConfig = legacy;
    l.ConfiguratorPages = !legacy;
    l.F3OnConfigurator = !legacy;
    l.G15Controls = versionCode != kVersion14;
    l.AdvancedDiagnostic = identByte3 != 0;
    return l;
}

TPage F3Page(const TGenerationLayout &layout)
{
    return layout.F3OnConfig ? TPage::Config : TPage::Configurator;
}

} // namespace lumex
