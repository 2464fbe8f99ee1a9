#include "controller/ComputerCode.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sys/statvfs.h>

namespace lumex {

uint32_t ComputerCodeFor(uint32_t serial)
{
    const uint32_t rotated = (serial >> 3) | (serial << 29);
    return rotated ^ kComputerCodeMask;
}

std::string FormatComputerCode(uint32_t code)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.4X-%.4X", static_cast<unsigned>(code >> 16),
                  static_cast<unsigned>(code & 0xFFFF));
    return text;
}

std::optional<uint32_t> MachineIdFromFile(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    char digits[8];
    if (!in.read(digits, sizeof digits))
        return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        const int nibble = std::isdigit(static_cast<unsigned char>(c))
                               ? c - '0'
                               : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        value = value << 4 | static_cast<uint32_t>(nibble);
    }
    return value;
}

std::optional<uint32_t> FileSystemId(const std::string &path)
{
    struct statvfs info
    {
    };
    if (::statvfs(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<uint32_t>(info.f_fsid & 0xFFFFFFFFu);
}

std::optional<uint32_t> MachineIdentity(const std::string &machineIdPath, const std::string &rootPath)
{
    if (const auto id = MachineIdFromFile(machineIdPath))
        return id;
    return FileSystemId(rootPath);
}

std::optional<uint32_t> MachineIdentity()
{
    return MachineIdentity("/etc/machine-id", "/");
}

uint32_t ThisComputerCode()
{
    const auto serial = MachineIdentity();
    return serial ? ComputerCodeFor(*serial) : 0;
}

uint32_t DateCode(const TDateParts &d)
{
    return (static_cast<uint32_t>(d.Year) << 20) + (static_cast<uint32_t>(d.Month) << 16) +
           (static_cast<uint32_t>(d.Day) << 11) + (static_cast<uint32_t>(d.Hour) << 6) +
           static_cast<uint32_t>(d.Minute);
}

TDateParts DecodeDateCode(uint32_t code)
{
    TDateParts d;
    d.Year = static_cast<int>(code >> 20);
    d.Month = static_cast<int>((code >> 16) & 0x0F);
    d.Day = static_cast<int>((code >> 11) & 0x1F);
    d.Hour = static_cast<int>((code >> 6) & 0x1F);
    d.Minute = static_cast<int>(code & 0x3F);
    return d;
}

TDateParts LocalDateParts(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
}

TDateParts LocalDateNow()
{
    return LocalDateParts(std::time(nullptr));
}

} // namespace lumex
