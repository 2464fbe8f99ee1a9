// Which commands a controller of a given generation and firmware letter
// understands. A command outside the set is met with silence, as the real
// firmware does, and the client is blamed for sending it.
#pragma once

#include "sim/controller/ControllerIdentity.h"

#include <cstdint>
#include <string>

namespace sim {

// The application's jump into its bootloader: C0 E2 01 sum. It is not part
// of the configuration command table but every generation answers it.
inline constexpr uint8_t kJumpToBootloader = 0xE2;
inline constexpr uint8_t kJumpRequestLength = 4;

bool Understands(const ControllerIdentity &id, uint8_t code);
// Why the command is outside the set, for the violation text; empty when it
// is understood.
std::string WhyNotUnderstood(const ControllerIdentity &id, uint8_t code);
// True for commands that change stored settings or drive outputs; a locked
// controller acknowledges them and does nothing.
bool IsGuardedWrite(uint8_t code);

} // namespace sim
