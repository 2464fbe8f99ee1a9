// The advanced diagnostic page without the window: the emulator switches,
// the gas valve, the emergency-start counter and the board temperatures.
// Every write is refused while the controller is not writable, and every
// write that does not go through reads the page back, so the switches never
// keep showing a state the controller did not take.
#pragma once

#include "controller/NorviData.h"
#include "controller/WriteResult.h"

#include <array>
#include <cstdint>

namespace lumex {

class TDataManager;

struct TAdvancedPage
{
    bool Read = false;        // every read of the page succeeded
    uint8_t EmulatorMask = 0; // bit n: cylinder n + 1 on gas
    bool ValveOn = false;
    uint8_t EmergencyStarts = 0;
    uint8_t HighestBoardTempRaw = 0;
    uint8_t BoardTempRaw = 0;
};

TAdvancedPage ReadAdvancedPage(TDataManager &manager);

enum class TAdvancedAction : uint8_t
{
    EmulatorMask, // WriteEmulatorSwitches(mask)
    ValveOn,      // ValveAction(1)
    ValveOff,     // ValveAction(2)
    ResetEmergencyStarts
};

struct TAdvancedResult
{
    bool Written = false;
    TWriteRefusal Refusal = TWriteRefusal::None; // why nothing was sent
    TAdvancedPage Page;                          // read back after a reset or a failure
    bool PageRead = false;
};

// Refused without I/O unless the controller is unlocked.
TAdvancedResult RunAdvancedAction(TDataManager &manager, TAdvancedAction action, uint8_t mask = 0);

// What the page shows after an action: the page read back when it could be
// read, the last page read when a failed write could not be read back, and
// what the user set after a write that went through.
TAdvancedPage PageShownAfter(const TAdvancedResult &result, const TAdvancedPage &lastRead, const TAdvancedPage &asSet);

// The mask of eight switches, bit n for switch n + 1.
uint8_t EmulatorMaskOf(const std::array<bool, kCylinders> &on);
// "%.1f" of the temperature table, "0" for a raw 0.
std::string BoardTemperatureText(uint8_t raw);

} // namespace lumex
