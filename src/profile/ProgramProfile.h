// What sets one program apart from the other when both are built from the
// same parts: the controller generations it serves, the commands it may send,
// its port time-outs and open-failure text, and where its language and
// settings files lie. Plain data, read by the protocol object, the serial
// port, the settings and the language manager.
#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

// How a port that would not open is reported.
enum class TOpenFailureText
{
    DeviceCodeAndReason, // "Error while opening port <device> [code N]:\r\n<system text>"
    CodeOnly             // "Error while opening port [code N]"
};

struct TPortProfile
{
    // A request and its answer hold the port lock between them.
    bool TransactionLock = true;
    unsigned IntervalTimeout = 100;
    unsigned ReadMultiplier = 100;
    unsigned ReadConstant = 200;
    unsigned WriteMultiplier = 100;
    unsigned WriteConstant = 200;
    TOpenFailureText OpenFailure = TOpenFailureText::DeviceCodeAndReason;
};

struct TLanguageScheme
{
    std::string Folder;    // beside the program; empty: the resource folder
    std::string Extension; // with the dot
    std::vector<std::string> Codes;
    std::vector<std::string> Sections;
    std::string DefaultCode;

    bool IsKnownCode(std::string_view code) const;
    // "<folder>/_<code><extension>" below `programFolder` (which ends with
    // "/"); nothing for a code the program does not know, so a code read
    // from a file can never name another path.
    std::optional<std::string> FilePath(const std::string &programFolder, std::string_view code) const;
};

struct TSettingsRule
{
    std::string Extension = "INI"; // replaces the program file's extension
    std::string Section = "Settings";
    std::string PortKey = "ComMultiPort";
    int PortDefault = 1;
    std::string LanguageKey = "Language";
};

class TProgramProfile
{
public:
    std::string Name;
    std::vector<uint8_t> Generations;
    TPortProfile Port;
    TLanguageScheme Languages;
    TSettingsRule Settings;

    bool AcceptsGeneration(uint8_t versionCode) const;
    // Whether a command may reach the wire. Without a command list every
    // command of the table may.
    bool AllowsCommand(uint8_t code) const;
    bool HasCommandList() const { return commands_.has_value(); }
    void SetCommandList(std::initializer_list<uint8_t> codes);

private:
    std::optional<std::bitset<256>> commands_;
};

// The main configurator: generations 1.4, 1.5 and 3.0, every command.
const TProgramProfile &Lumex2Profile();
// The legacy configurator: generations 1.4 and 1.5 and its short command list.
const TProgramProfile &NorviProfile();

} // namespace lumex
