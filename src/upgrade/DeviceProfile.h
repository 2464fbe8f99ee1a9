// The two devices a firmware upgrade serves, the gas controller and the
// adapter: what their applications' commands look like, which bootloader
// family they expect and where their firmware files keep their trailer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumex {

struct TDeviceProfile
{
    uint8_t family;        // expected bootloader family
    uint8_t requestHeader; // application protocol
    uint8_t answerHeader;
    uint8_t versionCommand; // parameter 0x01
    uint8_t identCommand;   // parameter: the index
    uint8_t compileCommand; // parameter 0x02
    uint8_t minimumVersion; // of a firmware file
    std::size_t trailerLength;
    std::size_t versionOffset; // the letter follows
    std::size_t timeOffset;    // 8 bytes
    std::size_t dateOffset;    // 11 bytes
};

inline constexpr std::size_t kTrailerTimeLength = 8;
inline constexpr std::size_t kTrailerDateLength = 11;
inline constexpr uint8_t kJumpCommand = 0xE2;
inline constexpr uint8_t kJumpParam = 0x01;

const TDeviceProfile &ControllerProfile();
const TDeviceProfile &AdapterProfile();
const TDeviceProfile &ProfileFor(bool adapter);

// An application request in the profile's framing: four bytes with an
// additive sum after 0xC0, five with a CRC-16/XMODEM (high byte first)
// after 0xC2.
std::vector<uint8_t> AppRequest(const TDeviceProfile &profile, uint8_t command, uint8_t param);

} // namespace lumex
