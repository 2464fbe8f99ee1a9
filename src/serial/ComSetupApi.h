// Port discovery: the serial ports of this machine as "COM n" names with
// friendly names, numbered through the persistent port map.
#pragma once

#include "serial/PortMap.h"
#include "serial/SysfsSerial.h"

#include <string>
#include <vector>

namespace lumex {

struct TSerialPortInfo
{
    int Number = 0;
    std::string Name;         // "COM3"
    std::string FriendlyName; // "USB-Serial Controller (COM3)"
    std::string DevicePath;   // what the port component opens for this number
};

class TPortEnumerator
{
public:
    // The machine's sysfs and /dev with the user's port map.
    TPortEnumerator();
    TPortEnumerator(std::string mapPath, TSysfsRoots roots = {});

    // Every port: the kernel's serial devices in their order, then the map's
    // other entries that name an existing character device, by number. New
    // devices get numbers and the map is written back.
    std::vector<TSerialPortInfo> Enumerate();

    // Parallel lists: "COM"+number and, when asked for, the friendly names.
    // With friendly names the enumeration order is kept; without them the
    // names are sorted by port number.
    void ListPorts(std::vector<std::string> &names, std::vector<std::string> *friendlyNames = nullptr);

    // Why the map could not be read or written back, if it could not.
    const std::string &LastMapError() const { return mapError_; }

private:
    std::string mapPath_;
    TSysfsRoots roots_;
    std::string mapError_;
};

// ListPorts of the default enumerator.
void ListPorts(std::vector<std::string> &names, std::vector<std::string> *friendlyNames = nullptr);

// The decimal number after the first three characters of a port name;
// 0 when there is none.
int PortNumberOfName(const std::string &name);

// Sorts "COM" names by their port number (COM9 before COM10).
void SortPortNames(std::vector<std::string> &names);

} // namespace lumex
