// The simulated adapter: it shares the line with the controller and claims
// frames that start with 0xC2. Requests end with a CRC-16/XMODEM; answers
// start with 0xD2, have a fixed length per command and an additive
// checksum, and a wrong parameter gets the short error answer.
#pragma once

#include "sim/Responder.h"
#include "sim/adapter/ObdCar.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace sim {

struct AdapterIdentity
{
    uint8_t mainVersion = 0x21; // shown as 2.1
    uint8_t release = 'a';
    uint8_t revision = 5;
    uint8_t product = 1; // 0 and 1 are adapters the configurator serves
    uint8_t kit = 3;     // 255: none
    uint8_t dateLow = 9; // production date, two two-digit numbers
    uint8_t dateHigh = 24;
    uint32_t serial = 1234567;
    uint8_t deviceType = 1;
    uint8_t softwareOptions = 1;
    uint8_t hardwareOptions = 2;
    uint8_t hardwareVersion = 3;
    std::string buildTime = "12:34:56";    // 8 characters
    std::string buildDate = "Mar 14 2024"; // 11 characters
    uint16_t testMode = 0;
    // The OBD function and the car behind it.
    ObdCarSetup obd;
};

class AdapterResponder : public Responder
{
public:
    static constexpr uint8_t kStart = 0xC2;
    static constexpr uint8_t kAnswerStart = 0xD2;
    static constexpr uint8_t kErrorMarker = 0xEE;

    explicit AdapterResponder(AdapterIdentity identity) : identity_(std::move(identity)), obd_(identity_.obd) {}

    uint8_t StartByte() const override { return kStart; }
    Scan ScanFrame(std::span<const uint8_t> buffer) const override;
    Reply Answer(std::span<const uint8_t> frame) override;

    AdapterIdentity &Identity() { return identity_; }
    ObdCar &Obd() { return obd_; }

private:
    AdapterIdentity identity_;
    ObdCar obd_;
};

// "M.N" version text to the byte (2.1 -> 0x21); false when malformed.
bool ParseAdapterVersion(const std::string &text, uint8_t &out);

} // namespace sim
