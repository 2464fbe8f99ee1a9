// The lock state byte the controller reports (LockState): the answer of the
// lock-state request and of the lock and unlock commands.
#pragma once

#include <cstdint>

namespace lumex {

inline constexpr uint8_t kLockUnlocked = 0xF0; // writable
inline constexpr uint8_t kLockLocked = 0x0F;
inline constexpr uint8_t kLockNoAnswer = 0; // also what a request sent while the link is down leaves

// "unlocked", "locked" or "no answer". Any other byte counts as unlocked: a
// connected controller that answers at all is taken as writable unless it
// says locked.
constexpr const char *LockStateName(uint8_t state)
{
    return state == kLockLocked ? "locked" : state == kLockNoAnswer ? "no answer" : "unlocked";
}

} // namespace lumex
