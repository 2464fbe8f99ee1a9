// A device with a bootloader behind its application on the same line. The
// application side passes every frame to the running application except
// the jump command (start byte, E2 01), which hands the line to the
// bootloader; the bootloader side answers 0xBC frames only while the device
// sits there, and its start command runs what the flash holds. Both share
// one FlashDevice, which keeps version, family, status, flash and EEPROM.
#pragma once

#include "sim/IdentifyResponders.h"
#include "sim/Responder.h"
#include "sim/bootloader/BootImage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Failures a real bootloader shows now and then; each fires once unless
// said otherwise.
struct BootFaults
{
    bool rejectHeader = false;                   // the header probe answers BD FF 01
    std::optional<std::size_t> rejectBlock;      // block k (0-based) answers BD E6 01
    std::optional<uint8_t> stickyStatus;         // a status no reset clears (every time)
    bool ignoreJump = false;                     // the application stays on the jump (every time)
    bool powerLossAtErase = false;               // no answer to the flash erase, flash gone
    std::optional<std::size_t> powerLossAtBlock; // no answer to block k, flash kept up to it
};

// "reject-header", "reject-block=K", "status=N", "ignore-jump",
// "power-loss-erase", "power-loss-block=K"; false with `error` otherwise.
bool ParseBootFault(const std::string &text, BootFaults &faults, std::string &error);

class FlashDevice
{
public:
    // Builds the application for a version code and letter; `factory`
    // true when its EEPROM was erased.
    using AppFactory = std::function<std::shared_ptr<Responder>(uint8_t version, uint8_t letter, bool factory)>;

    FlashDevice(BootloaderIdentity identity, uint8_t appStart, std::size_t jumpLength, AppFactory factory,
                std::shared_ptr<Responder> app, uint8_t version, uint8_t letter, bool inBootloader);

    bool InBootloader() const { return inBootloader_; }
    const std::vector<uint8_t> &Flash() const { return flash_; }
    const BootloaderIdentity &Identity() const { return identity_; }
    BootloaderIdentity &Identity() { return identity_; }
    BootFaults &Faults() { return faults_; }
    std::shared_ptr<Responder> App() const { return app_; }
    uint8_t AppVersion() const { return version_; }
    uint8_t AppLetter() const { return letter_; }
    bool EepromErased() const { return eepromErased_; }
    std::size_t BlocksWritten() const { return blocks_; }

    // The two responders to register on the line.
    std::shared_ptr<Responder> ApplicationSide();
    std::shared_ptr<Responder> BootloaderSide();

    // Control lines: "boot-fault RULE", "boot-state", "boot-clear-faults".
    bool Control(const std::string &line, std::string &reply);

    // A bootloader request; silence unless the device sits in its bootloader.
    Reply Boot(std::span<const uint8_t> frame);

private:
    friend class ApplicationGate;
    friend class FlashBootloader;

    Reply WriteBlock(std::span<const uint8_t> data);
    Reply Start();

    BootloaderIdentity identity_;
    uint8_t appStart_;
    std::size_t jumpLength_;
    AppFactory factory_;
    std::shared_ptr<Responder> app_;
    uint8_t version_;
    uint8_t letter_;
    bool inBootloader_;
    BootFaults faults_;

    std::vector<uint8_t> flash_;
    bool erased_ = false; // since the last start: blocks go to flash
    bool eepromErased_ = false;
    std::size_t blocks_ = 0; // blocks written since the last init
    std::shared_ptr<Responder> appSide_;
    std::shared_ptr<Responder> bootSide_;
};

// The 0xBC start byte of a line with several devices (the controller and
// the adapter): a request goes to the device that sits in its bootloader.
// Only one of them is upgraded at a time.
class BootloaderLine : public Responder
{
public:
    void Add(std::shared_ptr<FlashDevice> device) { devices_.push_back(std::move(device)); }
    uint8_t StartByte() const override;
    Scan ScanFrame(std::span<const uint8_t> buffer) const override;
    Reply Answer(std::span<const uint8_t> frame) override;

private:
    std::vector<std::shared_ptr<FlashDevice>> devices_;
};

} // namespace sim
