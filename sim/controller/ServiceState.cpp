#include "sim/controller/ServiceState.h"

#include "sim/controller/CalibrationEnd.h"
#include "sim/controller/SensorCodes.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace sim {

namespace {

// The reducer must be at 50 degrees before an autocalibration measures.
const uint8_t kCalWarmRaw = TempRaw(50.0);

uint16_t ClampTicks(double ticks)
{
    return static_cast<uint16_t>(std::clamp(std::lround(ticks), 0L, 65535L));
}

} // namespace

void Autocalibration::Start(bool legacy, int injectors)
{
    legacy_ = legacy;
    injectors_ = std::clamp(injectors, 1, 8);
    stage_ = Stage::Waiting;
    finished_ = false;
    report_ = {};
    report_.state = 1;
    report_.phase = 1;
}

void Autocalibration::ContinueWithLoad()
{
    if (stage_ != Stage::WaitLoad)
        return;
    stage_ = Stage::Phase2;
    report_.phase = 2;
    report_.progress = 0;
}

void Autocalibration::Stop()
{
    stage_ = Stage::Idle;
    report_.state = 0;
    report_.progress = 0;
    report_.phase = 0;
}

void Autocalibration::Fail()
{
    if (!Active())
        return;
    stage_ = Stage::Failed;
    report_.state = legacy_ ? 8 : 10;
}

bool Autocalibration::TakeFinished()
{
    const bool was = finished_;
    finished_ = false;
    return was;
}

uint16_t Autocalibration::GasFor(const CalibrationInputs &in, uint16_t petrol) const
{
    return ClampTicks(petrol * in.gasFactor + in.offsetTicks);
}

bool Autocalibration::Step(const CalibrationInputs &in)
{
    auto running = [this](uint8_t max) {
        ++report_.progress;
        report_.state = legacy_ ? 2 : static_cast<uint8_t>(4 + (report_.progress - 1) % 5);
        return report_.progress >= max;
    };
    switch (stage_) {
    case Stage::Idle:
    case Stage::WaitLoad:
    case Stage::Done:
    case Stage::Failed:
        return false;
    case Stage::Waiting:
        // The engine must idle with a warm reducer; an idling engine warms it.
        if (in.petrolTicks == 0 || in.tredRaw > kCalWarmRaw) {
            report_.state = legacy_ ? 1 : 3;
            return in.petrolTicks != 0;
        }
        stage_ = Stage::Phase1;
        report_.progress = 0;
        [[fallthrough]];
    case Stage::Phase1:
        if (legacy_) {
            if (running(kLegacySteps)) {
                report_.wordD = in.petrolTicks;
                report_.wordE = GasFor(in, in.petrolTicks);
                report_.byte48 = kLegacySteps;
                report_.state = 7;
                stage_ = Stage::Done;
                finished_ = true;
            }
        } else if (running(Phase1Steps())) {
            report_.timeA = in.petrolTicks;
            report_.wordC = GasFor(in, in.petrolTicks);
            report_.state = StateAfterPhase1(in.gasFactor);
            if (report_.state == kCalStateNozzles) {
                stage_ = Stage::Done;
                finished_ = true;
            } else {
                stage_ = Stage::WaitLoad;
            }
        }
        return false;
    case Stage::Phase2:
        if (running(Phase2Steps())) {
            // The switched-on load lengthens the idle injection by about a fifth.
            report_.timeB = ClampTicks(report_.timeA * 1.22);
            report_.state = kCalStateFinished;
            stage_ = Stage::Done;
            finished_ = true;
        }
        return false;
    }
    return false;
}

void InjectorTest::Start(uint8_t mask, int injectors)
{
    injectors_ = std::clamp(injectors, 0, 8);
    mask_ = static_cast<uint8_t>(mask & (injectors_ >= 8 ? 0xFF : (1u << injectors_) - 1));
    counters.fill(0);
    values.fill(kNoMeasurement);
    bytes = {0, 0, 0};
    step_ = 0;
    totalSteps_ = std::popcount(mask_) * kStepsPerCylinder;
    running_ = totalSteps_ > 0;
}

void InjectorTest::Stop()
{
    running_ = false;
}

uint16_t InjectorTest::Progress() const
{
    if (!running_ || totalSteps_ == 0)
        return 0;
    return static_cast<uint16_t>(std::min(99, step_ * 100 / totalSteps_));
}

void InjectorTest::Step(const CarModel &car, const std::array<int8_t, 8> &injCorr)
{
    if (!running_)
        return;
    // Cylinders are measured in order; step_ counts through the selected ones.
    int ordinal = step_ / kStepsPerCylinder;
    int cylinder = -1;
    for (int i = 0; i < 8; ++i) {
        if (mask_ & (1u << i)) {
            if (ordinal-- == 0) {
                cylinder = i;
                break;
            }
        }
    }
    if (cylinder < 0) {
        running_ = false;
        return;
    }
    bytes[2] = static_cast<uint8_t>(cylinder);
    ++step_;
    if (step_ % kStepsPerCylinder == 0) {
        // A weaker injector needs longer to pass the test dose; the stored
        // correction already compensates part of it.
        const double flow = car.injectorFlow[cylinder] * (1.0 + injCorr[cylinder] / 100.0);
        // An injector that passes nothing gives no measurement at all.
        const long count = flow > 0 ? std::clamp(std::lround(10000.0 / flow), 1L, 349L) : kNoMeasurement;
        values[cylinder] = pinned_[cylinder] != 0 ? pinned_[cylinder] : static_cast<uint16_t>(count);
        counters[cylinder] = 20000u + 10u * values[cylinder];
        ++bytes[1];
    }
    if (step_ >= totalSteps_) {
        running_ = false;
        bytes[0] = 1;
    }
}

void InjectorTest::Pin(int cylinder, uint16_t count)
{
    if (cylinder >= 0 && cylinder < 8)
        pinned_[static_cast<std::size_t>(cylinder)] = count;
}

uint16_t PressureTest::ReadBusy(uint8_t measuredRaw)
{
    if (busyReads_ <= 0)
        return 0;
    if (held_)
        return static_cast<uint16_t>(busyReads_);
    if (--busyReads_ == 0)
        measured_ = measuredRaw;
    return static_cast<uint16_t>(busyReads_ + 0);
}

uint8_t ServiceState::WorkState() const
{
    if (injectorTest.Running())
        return kWorkInjectorTest;
    if (pressureTest.Running())
        return kWorkPressureTest;
    if (calibration.Active())
        return kWorkAutocal;
    return kWorkNormal;
}

} // namespace sim
