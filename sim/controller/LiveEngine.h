// The car behind the controller: engine speed, injection times, pressures
// and temperatures. One Step per live-data read moves it on, so a run is a
// pure function of the seed and the requests, and repeats exactly.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace sim {

enum class EnginePhase : uint8_t
{
    Off,
    Cranking,
    Idle,
    Drive
};
// What the controller was told about the fuel.
enum class FuelMode : uint8_t
{
    Automatic,   // switch to gas once the reducer is warm and the engine has revved
    Petrol,      // stay on petrol
    GasImmediate // go to gas at once, whatever the conditions
};
// SystemState codes in the live block.
enum SystemStateCode : uint8_t
{
    kStateOff = 0,
    kStateCranking = 1,
    kStatePetrol = 3,
    kStateWaiting = 4,
    kStateGas = 5
};

// Readings a test or the control line can pin to a value.
enum class Channel : uint8_t
{
    Rpm,
    Tred,
    Tgas,
    Psys,
    Pcol,
    Supply,
    Level,
    Lambda,
    Load,
    Petrol,
    Tpcb,
    Count
};
const char *ChannelName(Channel channel);
std::optional<Channel> ChannelByName(const std::string &name);

// The names the control line and the state files use: "off", "crank",
// "idle", "drive" and "auto", "petrol", "gas".
const char *EnginePhaseName(EnginePhase phase);
std::optional<EnginePhase> EnginePhaseByName(const std::string &name);
const char *FuelModeName(FuelMode mode);
std::optional<FuelMode> FuelModeByName(const std::string &name);

// The physical car: what no setting in the controller can change.
struct CarModel
{
    double ambientC = 20.0;
    double regulatorBar = 1.0; // what the reducer delivers above manifold
    double gasFactor = 1.0;    // gas time per petrol time the engine needs; 1.0 = right nozzles
    double idleRpm = 800.0;
    std::array<uint8_t, 8> injectorFlow{100, 100, 100, 100, 100, 100, 100, 100}; // percent
    // Petrol injection: 1 sequential, 2 semi-sequential, 3 full group.
    uint8_t petrolInjection = 1;
    bool operator==(const CarModel &) const = default;
};

// Settings of the controller the engine run depends on.
struct EngineSettings
{
    int injectors = 4;
    uint8_t switchTempRaw = 100;
    double switchRpm = 400;
    uint8_t pressureSensorType = 3;
    bool turbo = false;
};

struct LiveReadings
{
    uint8_t psys = 0, pcol = 0, tred = 0, tgas = 0, supply = 0, level = 0, lambda = 0;
    uint16_t rpmPeriod = 0;
    uint8_t systemState = kStateOff;
    bool cyl2Flag = true;
    std::array<uint16_t, 8> petrol{}; // ticks
    std::array<uint16_t, 8> gas{};    // ticks, filled by the controller's model
    uint8_t petrolOverload = 0, gasOverload = 0;
    uint8_t tpcb = 0;
    uint8_t load = 0; // percent
    double rpm = 0;
};

class LiveEngine
{
public:
    explicit LiveEngine(uint32_t seed = 1);

    // Starts over from a cold engine that is switched off.
    void Reset(uint32_t seed);
    void Step(const EngineSettings &settings);
    const LiveReadings &Readings() const { return readings_; }
    LiveReadings &MutableReadings() { return readings_; }

    // A held phase stays until another is set; Automatic runs the script
    // off -> cranking -> idle (warming, then gas) -> drive sweeps -> idle ...
    void HoldPhase(EnginePhase phase);
    void RunScript();
    bool Scripted() const { return scripted_; }
    EnginePhase Phase() const { return phase_; }
    void SetFuelMode(FuelMode mode) { fuel_ = mode; }
    FuelMode Fuel() const { return fuel_; }
    bool Running() const { return phase_ == EnginePhase::Idle || phase_ == EnginePhase::Drive; }
    bool OnGas() const { return readings_.systemState == kStateGas; }
    // The reducer warms while the controller waits in a calibration.
    void WarmReducer(double celsius);

    void Override(Channel channel, int value);
    void Release(Channel channel);
    void ReleaseAll();
    std::optional<int> Overridden(Channel channel) const;
    // Pins the petrol time of one cylinder (0..7) in ticks, over the petrol
    // channel; released with it.
    void OverrideCylinderPetrol(std::size_t cylinder, int ticks);
    std::optional<int> CylinderPetrol(std::size_t cylinder) const;

    CarModel &Car() { return car_; }
    const CarModel &Car() const { return car_; }
    uint32_t Seed() const { return seed_; }
    uint64_t Steps() const { return steps_; }
    uint64_t RunningSteps() const { return runningSteps_; }

private:
    // The reading a sensor channel pins directly; null for derived ones.
    uint8_t *RawReading(Channel channel);
    void AdvanceScript();
    void StepTemperatures();
    void StepFuel(const EngineSettings &settings, double rpm);
    double Jitter(double amplitude);

    uint32_t seed_ = 1;
    std::mt19937 rng_;
    CarModel car_;
    LiveReadings readings_;
    std::array<std::optional<int>, static_cast<int>(Channel::Count)> overrides_{};
    std::array<std::optional<int>, 8> cylinderPetrol_{};
    EnginePhase phase_ = EnginePhase::Off;
    bool scripted_ = true;
    FuelMode fuel_ = FuelMode::Automatic;
    int phaseSteps_ = 0;  // steps spent in the current phase
    int gasSteps_ = 0;    // consecutive steps on gas
    int waitSteps_ = 0;   // steps left in the waiting state
    bool revved_ = false; // the switch speed was reached since the start
    double tredC_ = 20, tgasC_ = 20, boardC_ = 20;
    double psysBar_ = 0;
    bool lambdaRich_ = false;
    bool driven_ = false; // the first drive sweep has happened
    uint64_t steps_ = 0, runningSteps_ = 0;
};

} // namespace sim
