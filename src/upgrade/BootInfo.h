// The five bytes a bootloader identification leaves for the rest of the
// program: version, family and status.
#pragma once

#include <cstdint>
#include <string>

namespace lumex {

struct TBootInfo
{
    uint8_t BootMajor = 0; // 0 = no bootloader identified
    uint8_t BootMinor = 0;
    uint8_t BootExtra = 0;
    uint8_t BootFamily = 0;
    uint8_t BootStatus = 0;

    bool Found() const { return BootMajor != 0; }
    // Major and minor compared separately: 5.0 is not "at least 4.5".
    // Bootloaders in the field are told apart by exactly this rule.
    bool VersionAtLeast(uint8_t major, uint8_t minor) const { return BootMajor >= major && BootMinor >= minor; }
    void Clear() { *this = TBootInfo{}; }
};

// "major.minor", or "-" when no bootloader was identified; a x.0
// bootloader shows as "x.0".
std::string BootVersionText(const TBootInfo &info);

} // namespace lumex
