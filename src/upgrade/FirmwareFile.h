// A firmware file: the image the bootloader takes unchanged, followed by a
// trailer that starts with "#####" and carries version, letter, compile
// time and date, a checksum and the file size modulo 256. The file is read
// once into memory; the checks, the probe and the programming all use
// that one buffer.
#pragma once

#include "upgrade/DeviceProfile.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lumex {

// No device holds more; a larger file is not firmware.
inline constexpr std::size_t kMaxFirmwareFileSize = std::size_t{4} * 1024U * 1024U;
// The longest trailer a check can read.
inline constexpr std::size_t kMaxTrailerLength = 69;
inline constexpr std::size_t kTrailerMarkerLength = 5;
inline constexpr uint8_t kTrailerMarker = '#';

inline constexpr const char *kMsgWrongFile = "Wrong file or file corrupted";
inline constexpr const char *kMsgIncompatibleFormat = "Incompatible file format";
inline constexpr const char *kMsgTrailerTooLong = "File error 3 [BufferSize>MaxBufferSize]";

// Reads the whole file. False with a message when it cannot be read or is
// larger than kMaxFirmwareFileSize.
bool LoadFirmwareFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &message);

struct TFirmwareCheck
{
    bool ok = false;
    std::string message;     // why the file was refused; lines split by "\r\n"
    std::string description; // FileDescription when ok
    uint8_t versionCode = 0;
    uint8_t letter = 0;
    std::size_t imageSize = 0; // the bytes before the trailer
};

// Every check in order, then the description. An image of no bytes, or a
// file no longer than its trailer, is refused as a wrong file.
TFirmwareCheck CheckFirmwareImage(std::span<const uint8_t> file, const TDeviceProfile &profile);

// "30G (12:34:56 Jan 12 2010)", or the hex form when the time text does not
// start with a digit. `trailer` is exactly the profile's trailer.
std::string FirmwareDescription(std::span<const uint8_t> trailer, const TDeviceProfile &profile);

// Sum of trailer bytes 5 .. n-3, as the trailer's checksum byte holds it.
uint8_t TrailerSum(std::span<const uint8_t> trailer);

} // namespace lumex
