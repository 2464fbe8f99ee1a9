// The OBD side of the simulated adapter and the car behind it: the link
// state machine (advanced once per status request, so a client sees every
// state in turn), protocol detection with cancel, PID support, live values,
// trouble codes with the read and clear cycle, freeze frames and the
// adaptation tables. Everything is deterministic.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

struct ObdCode
{
    uint8_t unit = 0x10;
    uint16_t code = 0;
};

// What the car is like; settable from the command line and control lines.
struct ObdCarSetup
{
    bool present = true;            // the adapter has the OBD function
    bool carOn = true;              // a car answers behind the socket
    uint8_t carProtocol = 4;        // what detection finds and connecting needs
    uint8_t configuredProtocol = 4; // what the adapter keeps from its last connect
    std::vector<ObdCode> recorded;
    std::vector<ObdCode> pending;
    bool freezeFrame = true;    // a freeze frame for the first recorded code
    bool engineRunning = false; // clearing is refused while it runs
    uint32_t delayCounterItem = 250;
    // The link is up from the start, as after an automatic connection at
    // engine start (the demo's car).
    bool connectedAtStart = false;
};

// The live answer's data bytes (from byte 2 of the 0x7C answer) of the
// n-th answer since the car was set up: the first is the engine at rest
// on its steady values, the following ones drive it up and back.
inline constexpr std::size_t kObdLiveBytes = 17;
std::array<uint8_t, kObdLiveBytes> ObdLiveFrame(unsigned n);

// "P0123" into its two bytes; none when malformed.
std::optional<uint16_t> ParseObdCode(const std::string &text);
std::string ObdCodeName(uint16_t code);

class ObdCar
{
public:
    static constexpr std::size_t kBlockSize = 11;

    explicit ObdCar(ObdCarSetup setup);

    // Request length for an OBD command code; 0 when it is none of them.
    static std::size_t RequestLength(uint8_t code);
    // The answer bytes (header, code, payload; the checksum byte is left
    // 0 for the caller) or none for a wrong fixed parameter.
    std::optional<std::vector<uint8_t>> Answer(uint8_t code, std::span<const uint8_t> params);
    // "obd ..." control lines; false with an error text when not understood.
    bool Control(const std::vector<std::string> &words, std::string &reply);

    ObdCarSetup &Setup() { return setup_; }
    int LinkState() const { return state_; }
    int DetectState() const { return detect_; }
    const std::array<uint8_t, kBlockSize> &Config() const { return config_; }
    int8_t Correction(int bank, int row, int column) const;
    // How many times each command code was answered.
    unsigned Count(uint8_t code) const { return counts_[code]; }

private:
    void Step();
    void StepTroubleCycle();
    std::array<uint8_t, 4> Flags() const;

    ObdCarSetup setup_;
    std::array<uint8_t, kBlockSize> config_{};
    int state_ = 1;
    int detect_ = 1;
    uint8_t actualProtocol_ = 0;
    uint8_t detected_ = 0;
    int clear_ = 0;
    int read_ = 0;
    int readPending_ = 0;
    int readFreeze_ = 0;
    uint8_t lambdaGroup_ = 1;
    uint8_t wideGroup_ = 1;
    std::array<std::array<std::array<int8_t, 10>, 10>, 2> corrections_{};
    std::array<unsigned, 256> counts_{};
    unsigned liveFrames_ = 0;
};

} // namespace sim
