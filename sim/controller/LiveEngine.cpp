#include "sim/controller/LiveEngine.h"

#include "sim/controller/SensorCodes.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sim {

namespace {

constexpr std::array<const char *, static_cast<int>(Channel::Count)> kChannelNames{
    "rpm", "tred", "tgas", "psys", "pcol", "supply", "level", "lambda", "load", "petrol", "tpcb"};

// In enum order: the index is the enum value.
constexpr std::array<const char *, 4> kPhaseNames{"off", "crank", "idle", "drive"};
constexpr std::array<const char *, 3> kFuelNames{"auto", "petrol", "gas"};

template <typename Enum, std::size_t N>
std::optional<Enum> ByName(const std::array<const char *, N> &names, const std::string &name)
{
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (name == names[i])
            return static_cast<Enum>(i);
    }
    return std::nullopt;
}

constexpr int kOffSteps = 3;
constexpr int kCrankSteps = 2;
constexpr int kFirstIdleLimit = 120; // give up waiting for gas and drive anyway
constexpr int kGasBeforeDrive = 6;
constexpr int kIdleBetweenDrives = 10;
constexpr int kDriveSteps = 60;
constexpr int kWaitSteps = 3;
constexpr double kHotReducerC = 88.0;

uint16_t ClampTicks(double ms)
{
    return Ticks(std::max(ms, 0.0));
}

} // namespace

const char *ChannelName(Channel channel)
{
    const auto index = static_cast<std::size_t>(channel);
    return index < kChannelNames.size() ? kChannelNames[index] : "?";
}

std::optional<Channel> ChannelByName(const std::string &name)
{
    return ByName<Channel>(kChannelNames, name);
}

const char *EnginePhaseName(EnginePhase phase)
{
    const auto index = static_cast<std::size_t>(phase);
    return index < kPhaseNames.size() ? kPhaseNames[index] : "off";
}

std::optional<EnginePhase> EnginePhaseByName(const std::string &name)
{
    return ByName<EnginePhase>(kPhaseNames, name);
}

const char *FuelModeName(FuelMode mode)
{
    const auto index = static_cast<std::size_t>(mode);
    return index < kFuelNames.size() ? kFuelNames[index] : "auto";
}

std::optional<FuelMode> FuelModeByName(const std::string &name)
{
    return ByName<FuelMode>(kFuelNames, name);
}

LiveEngine::LiveEngine(uint32_t seed)
{
    Reset(seed);
}

void LiveEngine::Reset(uint32_t seed)
{
    seed_ = seed;
    rng_.seed(seed);
    readings_ = {};
    readings_.tred = readings_.tgas = readings_.tpcb = TempRaw(car_.ambientC);
    readings_.supply = SupplyRaw(12.5);
    phase_ = EnginePhase::Off;
    scripted_ = true;
    fuel_ = FuelMode::Automatic;
    phaseSteps_ = gasSteps_ = waitSteps_ = 0;
    revved_ = false;
    tredC_ = tgasC_ = boardC_ = car_.ambientC;
    psysBar_ = 0;
    lambdaRich_ = false;
    steps_ = runningSteps_ = 0;
    driven_ = false;
}

void LiveEngine::HoldPhase(EnginePhase phase)
{
    scripted_ = false;
    if (phase != phase_)
        phaseSteps_ = 0;
    phase_ = phase;
}

void LiveEngine::RunScript()
{
    scripted_ = true;
}

void LiveEngine::WarmReducer(double celsius)
{
    tredC_ = std::min(kHotReducerC, tredC_ + celsius);
    if (!Overridden(Channel::Tred))
        readings_.tred = TempRaw(tredC_);
}

void LiveEngine::Override(Channel channel, int value)
{
    int limit = 255; // sensor channels carry raw 8-bit codes
    if (channel == Channel::Rpm)
        limit = 20000;
    else if (channel == Channel::Load)
        limit = 100;
    else if (channel == Channel::Petrol)
        limit = 0xFFFF;
    const int pinned = std::clamp(value, 0, limit);
    overrides_[static_cast<std::size_t>(channel)] = pinned;
    // A pinned sensor reads so from now on, not only after the next live
    // step: a procedure may read it before any live data was asked for.
    if (uint8_t *raw = RawReading(channel))
        *raw = static_cast<uint8_t>(pinned);
}

uint8_t *LiveEngine::RawReading(Channel channel)
{
    switch (channel) {
    case Channel::Tred:
        return &readings_.tred;
    case Channel::Tgas:
        return &readings_.tgas;
    case Channel::Tpcb:
        return &readings_.tpcb;
    case Channel::Psys:
        return &readings_.psys;
    case Channel::Pcol:
        return &readings_.pcol;
    case Channel::Supply:
        return &readings_.supply;
    case Channel::Level:
        return &readings_.level;
    case Channel::Lambda:
        return &readings_.lambda;
    default:
        return nullptr;
    }
}

void LiveEngine::Release(Channel channel)
{
    overrides_[static_cast<std::size_t>(channel)].reset();
    if (channel == Channel::Petrol)
        cylinderPetrol_.fill(std::nullopt);
}

void LiveEngine::ReleaseAll()
{
    overrides_.fill(std::nullopt);
    cylinderPetrol_.fill(std::nullopt);
}

void LiveEngine::OverrideCylinderPetrol(std::size_t cylinder, int ticks)
{
    if (cylinder < cylinderPetrol_.size())
        cylinderPetrol_[cylinder] = std::clamp(ticks, 0, 0xFFFF);
}

std::optional<int> LiveEngine::CylinderPetrol(std::size_t cylinder) const
{
    return cylinder < cylinderPetrol_.size() ? cylinderPetrol_[cylinder] : std::nullopt;
}

std::optional<int> LiveEngine::Overridden(Channel channel) const
{
    return overrides_[static_cast<std::size_t>(channel)];
}

double LiveEngine::Jitter(double amplitude)
{
    return (static_cast<double>(rng_() % 2001) / 1000.0 - 1.0) * amplitude;
}

void LiveEngine::AdvanceScript()
{
    ++phaseSteps_;
    auto enter = [this](EnginePhase next) {
        phase_ = next;
        phaseSteps_ = 1;
    };
    switch (phase_) {
    case EnginePhase::Off:
        if (phaseSteps_ > kOffSteps)
            enter(EnginePhase::Cranking);
        break;
    case EnginePhase::Cranking:
        if (phaseSteps_ > kCrankSteps)
            enter(EnginePhase::Idle);
        break;
    case EnginePhase::Idle:
        if (driven_ ? phaseSteps_ > kIdleBetweenDrives
                    : (gasSteps_ >= kGasBeforeDrive || phaseSteps_ > kFirstIdleLimit))
            enter(EnginePhase::Drive);
        break;
    case EnginePhase::Drive:
        driven_ = true;
        if (phaseSteps_ > kDriveSteps)
            enter(EnginePhase::Idle);
        break;
    }
}

void LiveEngine::StepTemperatures()
{
    const double ambient = car_.ambientC;
    if (Running())
        tredC_ += (kHotReducerC - tredC_) * 0.02;
    else if (phase_ == EnginePhase::Off)
        tredC_ += (ambient - tredC_) * 0.01;
    const double gasShare = OnGas() ? 0.45 : 0.15;
    tgasC_ += (ambient + (tredC_ - ambient) * gasShare - tgasC_) * 0.05;
    boardC_ += (ambient + (Running() ? 22.0 : 6.0) - boardC_) * 0.02;
}

void LiveEngine::StepFuel(const EngineSettings &settings, double rpm)
{
    auto &state = readings_.systemState;
    if (!Running()) {
        state = phase_ == EnginePhase::Cranking ? kStateCranking : kStateOff;
        gasSteps_ = waitSteps_ = 0;
        if (phase_ == EnginePhase::Off)
            revved_ = false;
        return;
    }
    if (rpm >= settings.switchRpm)
        revved_ = true;
    switch (fuel_) {
    case FuelMode::Petrol:
        state = kStatePetrol;
        break;
    case FuelMode::GasImmediate:
        state = kStateGas;
        break;
    case FuelMode::Automatic:
        if (state == kStateWaiting) {
            if (--waitSteps_ <= 0)
                state = kStateGas;
        } else if (state != kStateGas) {
            state = kStatePetrol;
            // Low codes are hot: the reducer is warm enough at or below the setting.
            if (readings_.tred <= settings.switchTempRaw && revved_) {
                state = kStateWaiting;
                waitSteps_ = kWaitSteps;
            }
        }
        break;
    }
    gasSteps_ = state == kStateGas ? gasSteps_ + 1 : 0;
}

void LiveEngine::Step(const EngineSettings &settings)
{
    ++steps_;
    if (scripted_)
        AdvanceScript();
    else
        ++phaseSteps_;
    if (Running())
        ++runningSteps_;
    StepTemperatures();

    const double warm = std::clamp((tredC_ - car_.ambientC) / (60.0 - car_.ambientC), 0.0, 1.0);
    double rpm = 0, load = 0, petrolMs = 0;
    switch (phase_) {
    case EnginePhase::Off:
        break;
    case EnginePhase::Cranking:
        rpm = 380 + Jitter(20);
        petrolMs = 8.0;
        break;
    case EnginePhase::Idle:
        // A cold engine idles higher and richer.
        rpm = car_.idleRpm + 300 * (1 - warm) + Jitter(15);
        load = 16 + Jitter(1.5);
        petrolMs = 2.6 + 0.8 * (1 - warm);
        break;
    case EnginePhase::Drive: {
        const int t = (phaseSteps_ - 1) % kDriveSteps;
        const double sweep = t <= kDriveSteps / 2 ? t / (kDriveSteps / 2.0) : (kDriveSteps - t) / (kDriveSteps / 2.0);
        rpm = car_.idleRpm + (3600 - car_.idleRpm) * sweep + Jitter(20);
        load = 18 + 62 * sweep + Jitter(2);
        petrolMs = 2.6 + load / 100 * 9.0 + rpm / 1000 * 0.2;
        break;
    }
    }
    if (auto v = Overridden(Channel::Rpm))
        rpm = std::max(*v, 0);
    if (auto v = Overridden(Channel::Load))
        load = std::clamp(*v, 0, 100);
    if (auto v = Overridden(Channel::Petrol))
        petrolMs = std::max(*v, 0) / 187.0;
    if (rpm <= 0)
        petrolMs = 0;

    readings_.rpm = rpm;
    readings_.rpmPeriod = PeriodForRpm(rpm);
    readings_.load = static_cast<uint8_t>(std::lround(std::clamp(load, 0.0, 100.0)));
    const int injectors = std::clamp(settings.injectors, 0, 8);
    const bool pinned = Overridden(Channel::Petrol).has_value();
    const bool idling = phase_ == EnginePhase::Idle && !pinned;
    for (int i = 0; i < 8; ++i) {
        double ms = 0;
        if (i < injectors && petrolMs > 0) {
            ms = pinned ? petrolMs : petrolMs + Jitter(0.04);
            if (idling)
                ms = std::clamp(ms, 2.5, 3.5);
        }
        readings_.petrol[i] = ClampTicks(ms);
        if (const auto pinnedCylinder = cylinderPetrol_[static_cast<std::size_t>(i)];
            pinnedCylinder && i < injectors && rpm > 0)
            readings_.petrol[i] = static_cast<uint16_t>(*pinnedCylinder);
        readings_.gas[i] = 0;
    }

    readings_.tred = TempRaw(tredC_);
    readings_.tgas = TempRaw(tgasC_);
    readings_.tpcb = TempRaw(boardC_);
    if (auto v = Overridden(Channel::Tred))
        readings_.tred = static_cast<uint8_t>(*v);
    if (auto v = Overridden(Channel::Tgas))
        readings_.tgas = static_cast<uint8_t>(*v);
    if (auto v = Overridden(Channel::Tpcb))
        readings_.tpcb = static_cast<uint8_t>(*v);

    StepFuel(settings, rpm);

    double pcolBar = 1.0;
    if (phase_ == EnginePhase::Cranking)
        pcolBar = 0.9;
    else if (Running())
        pcolBar = 0.33 + load / 100 * (settings.turbo ? 1.7 : 0.62) + Jitter(0.005);
    readings_.pcol = PcolRaw(pcolBar, settings.pressureSensorType);

    const bool gasFlowing = readings_.systemState == kStateWaiting || readings_.systemState == kStateGas;
    const double psysTarget = gasFlowing ? car_.regulatorBar - 0.04 * load / 100 : 0.0;
    psysBar_ += (psysTarget - psysBar_) * (gasFlowing ? 0.6 : 0.15);
    readings_.psys = PsysRaw(std::max(psysBar_ + Jitter(0.004), 0.0));

    double volts = 12.5;
    if (phase_ == EnginePhase::Cranking)
        volts = 10.4;
    else if (Running())
        volts = 14.1 + Jitter(0.05);
    readings_.supply = SupplyRaw(volts);
    readings_.level = 140;

    if (!Running()) {
        readings_.lambda = 0;
    } else if (warm > 0.5) {
        lambdaRich_ = !lambdaRich_; // a closed loop swings around stoichiometry
        readings_.lambda = static_cast<uint8_t>((lambdaRich_ ? 40 : 8) + Jitter(2));
    } else {
        readings_.lambda = 22;
    }
    readings_.cyl2Flag = !Running();
    const uint8_t all = injectors >= 8 ? 0xFF : static_cast<uint8_t>((1u << injectors) - 1);
    readings_.petrolOverload = readings_.load >= 95 ? all : 0;
    readings_.gasOverload = 0;

    if (auto v = Overridden(Channel::Psys))
        readings_.psys = static_cast<uint8_t>(*v);
    if (auto v = Overridden(Channel::Pcol))
        readings_.pcol = static_cast<uint8_t>(*v);
    if (auto v = Overridden(Channel::Supply))
        readings_.supply = static_cast<uint8_t>(*v);
    if (auto v = Overridden(Channel::Level))
        readings_.level = static_cast<uint8_t>(*v);
    if (auto v = Overridden(Channel::Lambda))
        readings_.lambda = static_cast<uint8_t>(*v);
}

} // namespace sim
