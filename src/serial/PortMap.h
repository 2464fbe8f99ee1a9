// The persistent map from user-visible port numbers ("COM n") to stable
// device paths, kept in "ports.ini" beside the settings file:
//
//   [Ports]
//   COM3=/dev/serial/by-id/usb-...-if00-port0
//
// A USB-serial cable keeps its number across re-plugging and reboots
// because its by-id path does not change.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

inline constexpr int kMinPortNumber = 1;
inline constexpr int kMaxPortNumber = 255;
// Devices that are not built-in UARTs are numbered from here up.
inline constexpr int kFirstFreePortNumber = 3;

// "$XDG_CONFIG_HOME/Lumex2", else "$HOME/.config/Lumex2".
std::string DefaultSettingsFolder();
// DefaultSettingsFolder() + "/ports.ini".
std::string DefaultPortMapPath();

struct TPortMapParseResult
{
    std::map<int, std::string> Entries;
    std::vector<std::string> Problems; // one text per ignored line
};

// Reads the text of a map file. Never fails: lines it cannot use are
// skipped and described in Problems.
TPortMapParseResult ParsePortMap(std::string_view text);
std::string FormatPortMap(const std::map<int, std::string> &entries);

class TPortMap
{
public:
    explicit TPortMap(std::string filePath = DefaultPortMapPath());

    const std::string &FilePath() const { return filePath_; }
    // Replaces the entries with the file's. A missing file is an empty map.
    // false (with a message) when the file exists but cannot be read.
    // Temporaries a killed save of the file left are removed first.
    bool Load(std::string *error = nullptr);
    // Writes the file atomically, creating the folder if needed.
    bool Save(std::string *error = nullptr) const;

    const std::map<int, std::string> &Entries() const { return entries_; }
    const std::vector<std::string> &Problems() const { return problems_; }
    std::optional<std::string> PathOf(int number) const;
    std::optional<int> NumberOf(const std::string &path) const;
    void Set(int number, const std::string &path);
    void Remove(int number);

    // The number of a device: its entry if it has one, otherwise a new one
    // (uartIndex + 1 for the built-in UART ttyS<uartIndex> when free, else
    // the lowest free number from 3 up). 0 when every number is taken.
    int Assign(const std::string &stablePath, int uartIndex = -1);
    bool Changed() const { return changed_; }

private:
    std::string filePath_;
    std::map<int, std::string> entries_;
    std::vector<std::string> problems_;
    bool changed_ = false;
};

// The device node for port number n: the map's path when the default map
// has one, otherwise /dev/ttyS<n-1>.
std::string DefaultPortResolver(int portNumber);

} // namespace lumex
