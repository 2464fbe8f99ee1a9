// Identification of a device that sits in its bootloader: the version
// request and the family and status queries, enough for the connection
// workflow to tell a controller's bootloader from another device's.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "upgrade/BootFrames.h"
#include "upgrade/BootInfo.h"

namespace lumex {

class TComMultiPort;

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
