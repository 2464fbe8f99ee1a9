// The programming-PC record: this machine's code and the date codes stored
// with it in the controller's change list.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace lumex {

inline constexpr uint32_t kComputerCodeMask = 0x3C71E2D4;

// The code of a machine whose identity (volume serial) is `serial`: rotated
// right by 3 bits, then XORed with the fixed mask.
uint32_t ComputerCodeFor(uint32_t serial);
// "%.4X-%.4X": high word, low word.
std::string FormatComputerCode(uint32_t code);

// The stable 32-bit identity of this machine, standing in for the volume
// serial of the system drive: the first 32 bits of the machine id file, or
// else the id of the root file system; nothing when neither is available.
std::optional<uint32_t> MachineIdentity();
// The same, from the given machine id file and root path (tests).
std::optional<uint32_t> MachineIdentity(const std::string &machineIdPath, const std::string &rootPath);
// The first 8 hexadecimal digits of the file as a number; nothing when the
// file is missing or does not start with 8 hexadecimal digits.
std::optional<uint32_t> MachineIdFromFile(const std::string &path);
// statvfs f_fsid of the path, low 32 bits.
std::optional<uint32_t> FileSystemId(const std::string &path);
// This PC's code; 0 when the machine identity cannot be determined.
uint32_t ThisComputerCode();

struct TDateParts
{
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0;
    bool operator==(const TDateParts &) const = default;
};

// year × 2^20 + month × 2^16 + day × 2^11 + hour × 2^6 + minute.
uint32_t DateCode(const TDateParts &date);
TDateParts DecodeDateCode(uint32_t code);
// `when` in local time, to the minute.
TDateParts LocalDateParts(std::time_t when);
// The local time now: the clock the programming-PC record is stamped with
// unless the caller gives its own.
TDateParts LocalDateNow();

} // namespace lumex
