#include "mainwindow/AdvancedDiagnostics.h"

#include "controller/Conversions.h"
#include "controller/DataManager.h"

namespace lumex {

namespace {

constexpr uint16_t kEmergencyStartsAddress = 1;
constexpr uint16_t kHighestBoardTempAddress = 180;
constexpr uint8_t kValveWordVar = 11;
constexpr uint8_t kBoardTempWordVar = 27;
constexpr uint8_t kValveOnAction = 1;
constexpr uint8_t kValveOffAction = 2;

} // namespace

TAdvancedPage ReadAdvancedPage(TDataManager &manager)
{
    TAdvancedPage page;
    bool ok = manager.ReadEmulatorSwitches();
    page.EmulatorMask = manager.Data().EmulatorSwitchState;
    const auto valve = manager.ReadWordVarForStore(kValveWordVar);
    ok = ok && valve && manager.LinkUp;
    page.ValveOn = valve.value_or(0) != 0;
    const auto starts = manager.TryReadMemByte(kEmergencyStartsAddress);
    const auto highest = manager.TryReadMemByte(kHighestBoardTempAddress);
    const auto board = manager.ReadWordVarForStore(kBoardTempWordVar);
    ok = ok && starts && highest && board && manager.LinkUp;
    page.EmergencyStarts = starts.value_or(0);
    page.HighestBoardTempRaw = highest.value_or(0);
    // The temperature-table code sits in the word's low byte.
    page.BoardTempRaw = static_cast<uint8_t>(board.value_or(0) & 0xFF);
    page.Read = ok;
    return page;
}

TAdvancedResult RunAdvancedAction(TDataManager &manager, TAdvancedAction action, uint8_t mask)
{
    TAdvancedResult result;
    switch (action) {
    case TAdvancedAction::EmulatorMask:
        result.Written = manager.WriteEmulatorSwitches(mask);
        break;
    case TAdvancedAction::ValveOn:
        result.Written = manager.ValveAction(kValveOnAction);
        break;
    case TAdvancedAction::ValveOff:
        result.Written = manager.ValveAction(kValveOffAction);
        break;
    case TAdvancedAction::ResetEmergencyStarts:
        result.Written = manager.WriteMemByte(kEmergencyStartsAddress, 0);
        break;
    }
    result.Refusal = manager.LastRefusal();
    // A refused write sent nothing and reads nothing either; a failed one
    // reads the page back so the switches show the controller's state.
    if (result.Refusal != TWriteRefusal::None)
        return result;
    if (!result.Written || action == TAdvancedAction::ResetEmergencyStarts) {
        result.Page = ReadAdvancedPage(manager);
        result.PageRead = true;
    }
    return result;
}

TAdvancedPage PageShownAfter(const TAdvancedResult &result, const TAdvancedPage &lastRead, const TAdvancedPage &asSet)
{
    if (result.PageRead && result.Page.Read)
        return result.Page;
    return result.Written ? asSet : lastRead;
}

uint8_t EmulatorMaskOf(const std::array<bool, kCylinders> &on)
{
    uint8_t mask = 0;
    for (std::size_t n = 0; n < kCylinders; ++n)
        if (on[n])
            mask |= static_cast<uint8_t>(1u << n);
    return mask;
}

std::string BoardTemperatureText(uint8_t raw)
{
    return ShowTemperature(raw);
}

} // namespace lumex
