// Identification of a device that sits in its bootloader: the version
// request and the family and status queries, enough for the connection
// workflow to tell a controller's bootloader from another device's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lumex {

class TComMultiPort;

struct TBootInfo
{
    uint8_t BootMajor = 0; // 0 = no bootloader identified
    uint8_t BootMinor = 0;
    uint8_t BootExtra = 0;
    uint8_t BootFamily = 0;
    uint8_t BootStatus = 0;

    bool Found() const { return BootMajor != 0; }
    // Major and minor compared separately: 5.0 is not "at least 4.5".
    bool VersionAtLeast(uint8_t major, uint8_t minor) const { return BootMajor >= major && BootMinor >= minor; }
    void Clear() { *this = TBootInfo{}; }
};

inline constexpr uint8_t kBootRequestStart = 0xBC;
inline constexpr uint8_t kBootAnswerStart = 0xBD;
inline constexpr uint8_t kBootFamilyController = 3; // the gas controller's family ("G3")
inline constexpr uint8_t kBootFamilyAdapter = 40;   // the adapter device ("ADAPTER")

// Bootloader commands, and the selectors of the information command.
inline constexpr uint8_t kBootVersionCommand = 0xE1;
inline constexpr uint8_t kBootInfoCommand = 0xF0;
inline constexpr uint8_t kBootWriteBlockCommand = 0xE6;
inline constexpr uint8_t kBootInfoFamily = 1;
inline constexpr uint8_t kBootInfoStatus = 2;
inline constexpr uint8_t kBootInfoResetStatus = 3;

// "BOOT1", "G3", "G4", "TRUCK", "FSI", "DIESEL", "ADAPTER"; empty otherwise.
std::string BootFamilyName(uint8_t family);

// BC E1 E1 7E: the version request, also the detector's probe of candidate 3.
std::span<const uint8_t> BootVersionRequest();

// Stores the version bytes of a good 6-byte version answer (BD E1 major
// minor extra sum); family and status become 0 whatever the answer was.
bool TakeBootVersionAnswer(std::span<const uint8_t> answer, bool received, TBootInfo &info);

// The version request and its answer.
bool ReadBootVersion(TComMultiPort &port, TBootInfo &info);
// BC F0 sub: 1 the family, 2 the status, 3 resets the status.
bool QueryBootInfo(TComMultiPort &port, uint8_t sub, TBootInfo &info);
// The family (and, from 4.6, the status) of a bootloader whose version is
// already in `info`; true when every query that applies was answered.
bool QueryBootFamily(TComMultiPort &port, TBootInfo &info);
// Version, then family and status as the version allows; a failed first
// step on an open port closes and reopens it to discard the line's bytes.
bool IdentifyBootloader(TComMultiPort &port, TBootInfo &info);

} // namespace lumex
