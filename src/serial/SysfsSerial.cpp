#include "serial/SysfsSerial.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <tuple>
#include <utility>

namespace lumex {

namespace {

namespace fs = std::filesystem;

constexpr std::array<const char *, 5> kPrefixes{"ttyUSB", "ttyACM", "ttyAMA", "rfcomm", "ttyS"};
constexpr std::size_t kMaxAttributeLength = 256;
constexpr std::size_t kMaxProductLength = 100;
constexpr int kMaxParentLevels = 8;

// The prefix of a serial device name followed by its number, if it is one.
std::optional<std::pair<std::string, int>> SplitSerialName(const std::string &name)
{
    for (const char *prefix : kPrefixes) {
        const std::string p(prefix);
        if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0 || name.size() - p.size() > 6)
            continue;
        int n = 0;
        bool digits = true;
        for (std::size_t i = p.size(); i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9') {
                digits = false;
                break;
            }
            n = n * 10 + (name[i] - '0');
        }
        if (digits)
            return std::pair{p, n};
    }
    return std::nullopt;
}

// First line of a sysfs attribute, printable characters only.
std::optional<std::string> ReadAttribute(const fs::path &file, std::size_t maxLength = kMaxAttributeLength)
{
    std::ifstream in(file);
    if (!in)
        return std::nullopt;
    std::string line;
    char c = 0;
    while (line.size() < maxLength && in.get(c) && c != '\n') {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            line += c;
    }
    if (in.bad())
        return std::nullopt;
    const auto first = line.find_first_not_of(' ');
    const auto last = line.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

// A number as sysfs writes it ("4", "0x3F8"); nullopt when it is none.
std::optional<unsigned long long> NumericAttribute(const fs::path &file)
{
    const auto text = ReadAttribute(file);
    if (!text || text->empty())
        return std::nullopt;
    char *end = nullptr;
    const unsigned long long v = std::strtoull(text->c_str(), &end, 0);
    if (end == text->c_str() || *end != '\0')
        return std::nullopt;
    return v;
}

// The 8250 driver registers ttyS0..3 whether or not a UART answers; its
// "type" attribute is 0 (unknown) for the empty ones.
bool IsPresentUart(const fs::path &ttyDir)
{
    if (const auto type = NumericAttribute(ttyDir / "type"))
        return *type != 0;
    const auto port = NumericAttribute(ttyDir / "port");
    const auto iomem = NumericAttribute(ttyDir / "iomem_base");
    if (port || iomem)
        return port.value_or(0) != 0 || iomem.value_or(0) != 0;
    return true; // a driver that says nothing more registered it for real hardware
}

bool IsWithin(const fs::path &path, const fs::path &root)
{
    const auto rel = path.lexically_relative(root);
    return !rel.empty() && *rel.begin() != "..";
}

// The USB product text of the device that owns the tty, found by walking up
// from the tty's device (interface, then USB device).
std::string ProductOf(const fs::path &ttyDir, const fs::path &sysRoot)
{
    std::error_code ec;
    fs::path dir = fs::canonical(ttyDir / "device", ec);
    if (ec)
        return {};
    for (int level = 0; level < kMaxParentLevels && IsWithin(dir, sysRoot); ++level) {
        // The first USB device up the tree is the cable; going further
        // would name the hub or the host controller instead.
        if (fs::exists(dir / "idVendor", ec))
            return ReadAttribute(dir / "product", kMaxProductLength).value_or("");
        dir = dir.parent_path();
    }
    return {};
}

std::vector<std::pair<fs::path, fs::path>> ByIdLinks(const fs::path &devRoot)
{
    std::vector<std::pair<fs::path, fs::path>> links; // link, its target
    std::error_code ec;
    for (fs::directory_iterator it(devRoot / "serial" / "by-id", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        const auto target = fs::canonical(it->path(), ec2);
        if (!ec2)
            links.emplace_back(it->path(), target);
    }
    std::sort(links.begin(), links.end());
    return links;
}

} // namespace

bool NaturalLess(const std::string &a, const std::string &b)
{
    auto split = [](const std::string &s) {
        std::size_t i = s.size();
        while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9')
            --i;
        // Long digit runs compare as text so nothing overflows.
        const std::string digits = s.substr(i);
        const bool numeric = !digits.empty() && digits.size() <= 9;
        return std::tuple{s.substr(0, i), numeric ? std::stol(digits) : -1L, digits};
    };
    return split(a) < split(b);
}

std::vector<TSerialDevice> FindSerialDevices(const TSysfsRoots &roots)
{
    std::vector<TSerialDevice> devices;
    std::error_code ec;
    const fs::path sysRoot = fs::weakly_canonical(roots.Sys, ec);
    const fs::path classDir = fs::path(roots.Sys) / "class" / "tty";
    const auto links = ByIdLinks(roots.Dev);
    for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto split = SplitSerialName(name);
        if (!split)
            continue;
        const fs::path ttyDir = it->path();
        std::error_code ec2;
        const bool hasDevice = fs::exists(ttyDir / "device", ec2);
        // Bluetooth links have no parent device; everything else without
        // one is a virtual terminal of some kind.
        if (!hasDevice && split->first != "rfcomm")
            continue;
        if (split->first == "ttyS" && !IsPresentUart(ttyDir))
            continue;
        const fs::path node = fs::path(roots.Dev) / name;
        if (!fs::exists(node, ec2))
            continue;

        TSerialDevice dev;
        dev.KernelName = name;
        dev.DeviceNode = node.string();
        dev.StablePath = dev.DeviceNode;
        const auto canonicalNode = fs::canonical(node, ec2);
        for (const auto &[link, target] : links) {
            if (!ec2 && target == canonicalNode) {
                dev.StablePath = link.string();
                break;
            }
        }
        dev.Product = ProductOf(ttyDir, sysRoot);
        if (split->first == "ttyS")
            dev.UartIndex = split->second;
        devices.push_back(std::move(dev));
    }
    std::sort(devices.begin(), devices.end(),
              [](const TSerialDevice &a, const TSerialDevice &b) { return NaturalLess(a.KernelName, b.KernelName); });
    return devices;
}

} // namespace lumex
