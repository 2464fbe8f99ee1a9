// The serial devices the kernel knows, read from sysfs: USB-serial cables
// (ttyUSB, ttyACM), on-board UARTs (ttyAMA, ttyS when a UART is really
// there) and Bluetooth serial links (rfcomm).
#pragma once

#include <string>
#include <vector>

namespace lumex {

struct TSysfsRoots
{
    std::string Sys = "/sys";
    std::string Dev = "/dev";
};

struct TSerialDevice
{
    std::string KernelName; // "ttyUSB0"
    std::string DeviceNode; // "/dev/ttyUSB0"
    // A /dev/serial/by-id link that points at the node, else the node: the
    // name that stays the same when the cable comes back on another port.
    std::string StablePath;
    std::string Product; // USB product text; empty when there is none
    int UartIndex = -1;  // k of a built-in UART ttyS<k>
};

// In natural order of the kernel names (ttyS2 before ttyS10).
std::vector<TSerialDevice> FindSerialDevices(const TSysfsRoots &roots = {});

// Natural order of names such as "ttyUSB10" or "COM10": text, then number.
bool NaturalLess(const std::string &a, const std::string &b);

} // namespace lumex
