#include "serial/ComSetupApi.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <system_error>

namespace lumex {

namespace {

namespace fs = std::filesystem;

std::string GenericName(const std::string &kernelName)
{
    if (kernelName.rfind("ttyUSB", 0) == 0 || kernelName.rfind("ttyACM", 0) == 0)
        return "USB Serial Port";
    if (kernelName.rfind("rfcomm", 0) == 0)
        return "Bluetooth Serial Port";
    return "Serial Port";
}

bool IsCharacterDevice(const std::string &path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

bool SameFile(const std::string &a, const std::string &b)
{
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

TSerialPortInfo MakeInfo(int number, const std::string &description, const std::string &path)
{
    TSerialPortInfo info;
    info.Number = number;
    info.Name = "COM" + std::to_string(number);
    info.FriendlyName = description + " (" + info.Name + ")";
    info.DevicePath = path;
    return info;
}

} // namespace

TPortEnumerator::TPortEnumerator() : mapPath_(DefaultPortMapPath()) {}

TPortEnumerator::TPortEnumerator(std::string mapPath, TSysfsRoots roots)
    : mapPath_(std::move(mapPath)), roots_(std::move(roots))
{
}

std::vector<TSerialPortInfo> TPortEnumerator::Enumerate()
{
    mapError_.clear();
    TPortMap map(mapPath_);
    // An unreadable map must not be overwritten with fresh numbers; they
    // then hold for this run only.
    const bool mapReadable = map.Load(&mapError_);
    const auto devices = FindSerialDevices(roots_);
    std::vector<int> numbers(devices.size(), 0);
    std::set<int> claimed;

    // Known devices first, by their stable path.
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (const auto n = map.NumberOf(devices[i].StablePath); n && claimed.insert(*n).second)
            numbers[i] = *n;
    }
    // Then entries written by hand (a node or another link to the device).
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (numbers[i] != 0)
            continue;
        for (const auto &[n, path] : map.Entries()) {
            if (claimed.count(n) == 0 && SameFile(path, devices[i].DeviceNode)) {
                numbers[i] = n;
                claimed.insert(n);
                break;
            }
        }
    }
    // New devices: built-in UARTs first so that ttyS<k> can get COM<k+1>.
    for (const bool uarts : {true, false}) {
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (numbers[i] != 0 || (devices[i].UartIndex >= 0) != uarts)
                continue;
            numbers[i] = map.Assign(devices[i].StablePath, devices[i].UartIndex);
            if (numbers[i] != 0)
                claimed.insert(numbers[i]);
        }
    }
    if (mapReadable && map.Changed()) {
        // Without a writable map the numbers still hold for this run.
        map.Save(&mapError_);
    }

    std::vector<TSerialPortInfo> ports;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (numbers[i] == 0)
            continue;
        const auto &dev = devices[i];
        const auto path = map.PathOf(numbers[i]).value_or(dev.StablePath);
        ports.push_back(MakeInfo(numbers[i], dev.Product.empty() ? GenericName(dev.KernelName) : dev.Product, path));
    }
    for (const auto &[n, path] : map.Entries()) {
        if (claimed.count(n) == 0 && IsCharacterDevice(path))
            ports.push_back(MakeInfo(n, "Serial Port", path));
    }
    return ports;
}

void TPortEnumerator::ListPorts(std::vector<std::string> &names, std::vector<std::string> *friendlyNames)
{
    names.clear();
    if (friendlyNames)
        friendlyNames->clear();
    const auto ports = Enumerate();
    for (const auto &p : ports) {
        names.push_back(p.Name);
        if (friendlyNames)
            friendlyNames->push_back(p.FriendlyName);
    }
    if (!friendlyNames)
        SortPortNames(names);
}

void ListPorts(std::vector<std::string> &names, std::vector<std::string> *friendlyNames)
{
    TPortEnumerator().ListPorts(names, friendlyNames);
}

int PortNumberOfName(const std::string &name)
{
    if (name.size() <= 3 || name.size() > 12)
        return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

void SortPortNames(std::vector<std::string> &names)
{
    std::stable_sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return PortNumberOfName(a) < PortNumberOfName(b);
    });
}

} // namespace lumex
