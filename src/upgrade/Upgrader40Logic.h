// Everything about a firmware upgrade that is not screen handling: the
// device profile, the application's version and jump commands, the
// firmware file checked once and kept in memory, the header probe and the
// block-by-block programming loop with progress and remaining time.
#pragma once

#include "upgrade/Bootloader40DataManager.h"
#include "upgrade/DeviceProfile.h"
#include "upgrade/FirmwareFile.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumex {

class TComMultiPort;

// The line runs at a speed the remaining-time estimate does not know.
class EUnhandledSpeed : public std::runtime_error
{
public:
    EUnhandledSpeed() : std::runtime_error("Unhandled COM port speed") {}
};

// Position and maximum of the progress bar.
using TUpgradeProgress = std::function<void(int position, int maximum)>;
// Seconds the rest of the image will take on the line.
using TRemainingTime = std::function<void(unsigned seconds)>;
// A warning the user is shown; the operation has failed.
using TUpgradeWarning = std::function<void(const std::string &text)>;

inline constexpr const char *kMsgIncorrectType = "Connected to device of incorrect type:";
inline constexpr const char *kMsgUseDedicated = "Please use dedicated software to upgrade the device.";

class TUpgraderLogic
{
public:
    void SetPort(TComMultiPort *port);
    TComMultiPort *Port() const { return port_; }
    TBootloader40Manager &Boot() { return boot_; }
    const TBootloader40Manager &Boot() const { return boot_; }
    void SetWarning(TUpgradeWarning warning) { warning_ = std::move(warning); }

    void SetAdapterMode(bool adapter);
    bool AdapterMode() const { return adapterMode_; }
    const TDeviceProfile &Profile() const { return *profile_; }

    bool ReadAppVersion(uint8_t &version);
    bool ReadAppIdent(uint8_t index, uint8_t &value);
    bool ReadAppCompileInfo(std::string &time, std::string &date);
    void ReadDeviceInfo();
    bool JumpToBootloader();
    bool CheckDeviceType();

    // Reads the file once, checks it with the profile and keeps it for the
    // probe and the programming; a refused file is not kept. No file name
    // passes with nothing kept, so nothing can be programmed.
    bool CheckFirmwareFile(const std::string &path);
    // The same on bytes already in memory.
    bool CheckFirmwareBytes(std::vector<uint8_t> bytes);
    bool HasFirmware() const { return !file_.empty(); }
    const std::vector<uint8_t> &FirmwareBytes() const { return file_; }
    std::size_t ImageSize() const { return imageSize_; }
    // Blocks the programming loop sends, and the progress bar's maximum.
    std::size_t BlockCount() const;
    int ProgressMaximum() const;

    // Throws EUnhandledSpeed unless the port runs at 9600 bit/s: the
    // estimate knows no other speed, and an upgrade checks it before it
    // erases anything.
    void CheckLineSpeed() const;

    bool ProbeFirmwareHeader(const TUpgradeProgress &progress);
    bool ProgramFirmware(const TUpgradeProgress &progress, const TRemainingTime &remaining);

    void ResetTexts();

    bool InBootloader = false;
    bool TypeOk = false;
    std::string FirmwareVersionText = "-";
    std::string DeviceDescription;
    std::string FamilyNameText;
    std::string FileDescription;
    // The two read-only fields the upgrade window shows.
    std::string DeviceField() const;
    std::string FileField() const;

private:
    bool AppExchange(uint8_t command, uint8_t param, std::span<uint8_t> answer);
    void Warn(const std::string &text) const;
    TBootBlock BlockAt(std::size_t position) const;

    TComMultiPort *port_ = nullptr;
    TBootloader40Manager boot_;
    TUpgradeWarning warning_;
    bool adapterMode_ = false;
    const TDeviceProfile *profile_ = &ControllerProfile();
    std::vector<uint8_t> file_;
    std::size_t imageSize_ = 0;
};

// Seconds for `bytesLeft` image bytes at 9600 bit/s: 44 bytes of line
// traffic per 36-byte block, 7680 payload bits per second.
unsigned RemainingSeconds(std::size_t bytesLeft);

} // namespace lumex
