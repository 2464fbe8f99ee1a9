// The bootloader protocol on the shared port: identification, the family
// and status queries, erasing, the 36-byte blocks and the start of the
// application. Every exchange goes through one guarded path (Transact):
// the request's write takes the port lock and the answer's receive gives
// it back. No operation throws for a device failure; each returns false.
#pragma once

#include "upgrade/BootFrames.h"
#include "upgrade/BootInfo.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace lumex {

class TComMultiPort;

// Waits `ms` milliseconds while letting the caller's events run. The flash
// erase uses it for its fixed wait; tests pass one that does not sleep.
using TBootPause = std::function<void(unsigned ms)>;

// Reads up to `count` bytes into `buffer`, telling in `got` how many came;
// false for a line failure. The port's Read, or bytes held in memory.
using TBootByteReader = std::function<bool(uint8_t *buffer, unsigned count, unsigned &got)>;

// Reads an answer of answer.size() bytes: one stray byte before 0xBD is
// skipped, a second is not; a short read fails (keeping what arrived); a
// wrong sum fails and zeroes the buffer.
bool ReceiveBootAnswer(const TBootByteReader &read, std::span<uint8_t> answer);
bool ReceiveBootAnswer(TComMultiPort &port, std::span<uint8_t> answer);

class TBootloader40Manager
{
public:
    TBootloader40Manager();

    // Not owned; may be null.
    void SetPort(TComMultiPort *port) { port_ = port; }
    TComMultiPort *Port() const { return port_; }
    void SetPause(TBootPause pause) { pause_ = std::move(pause); }
    // Waits with the caller's events running, in steps of kPauseStepMs.
    void Pause(unsigned ms) const;

    const TBootInfo &Info() const { return info_; }
    TBootInfo &Info() { return info_; }

    bool ReadBootVersion();
    bool QueryBootInfo(uint8_t sub);
    bool InitBootloader();
    // Block 0 is answered only after the erase: the answer is read after a
    // fixed wait. Block 1 is read at once.
    bool FlashMassErase(uint8_t block);
    // Byte 2 of the answer (the bootloader's flag), 0 when it failed.
    uint8_t SetWriteEeprom(uint8_t flag);
    bool EepromEraseInit();
    bool EepromMassErase();
    // One block with a short settling wait before the answer. With `header`
    // the bootloader must answer BD FF 00: the compatibility probe.
    bool WriteBlock(const TBootBlock &data, bool header);
    // One block of the programming loop: no wait; the whole answer is
    // handed back (zeros when none arrived).
    bool SendBlock(const TBootBlock &data, std::array<uint8_t, 4> &answer);
    // Sent only while the status is 0; no answer is read.
    bool StartApplication();

    bool BootVersionAtLeast(uint8_t major, uint8_t minor) const { return info_.VersionAtLeast(major, minor); }
    bool IdentifyBootloader();
    // The family and status queries the identified version allows; true
    // when each one sent was answered.
    bool QueryFamilyAndStatus();
    bool ReadBootStatus();
    bool ResetBootStatus();
    bool RefreshBootStatus();
    void ClearBootInfo() { info_.Clear(); }
    std::string FamilyName() const;

    static constexpr unsigned kEraseWaitMs = 3000;
    static constexpr unsigned kPauseStepMs = 100;
    static constexpr unsigned kBlockSettleMs = 10;

private:
    bool Transact(std::span<const uint8_t> request, std::span<uint8_t> answer, unsigned waitMs = 0);
    bool Simple(uint8_t command, uint8_t param, std::span<uint8_t> answer, unsigned waitMs = 0);
    bool PortOpen() const;

    TComMultiPort *port_ = nullptr;
    TBootPause pause_;
    TBootInfo info_;
};

} // namespace lumex
