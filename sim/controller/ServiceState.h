// The controller's service side: lock, outputs, and the procedures it runs
// on request (autocalibration, injector test, working-pressure test). Each
// procedure advances one step per read of its state, so runs repeat.
#pragma once

#include "controller/LockState.h"

#include "sim/controller/LiveEngine.h"

#include <array>
#include <cstdint>

namespace sim {

// Identification byte 5 / live byte 49.
enum WorkStateCode : uint8_t
{
    kWorkNormal = 0,
    kWorkAutocal = 1,
    kWorkInjectorTest = 2,
    kWorkPressureTest = 3
};

struct CalibrationReport
{
    uint8_t state = 0;
    uint8_t phase = 0;
    uint8_t progress = 0;
    uint16_t timeA = 0, wordC = 0, timeB = 0; // 3.0: idle petrol times and the gas time found
    uint16_t wordD = 0, wordE = 0;            // 1.4/1.5: petrol and gas time found
    uint8_t byte48 = 0;
};

struct CalibrationInputs
{
    uint8_t tredRaw = 0;
    uint16_t petrolTicks = 0; // mean petrol time now
    double gasFactor = 1.0;   // the gas per petrol the engine needs
    int offsetTicks = 0;      // model offset
};

class Autocalibration
{
public:
    void Start(bool legacy, int injectors);
    void ContinueWithLoad();
    void Stop();
    void Fail();
    bool Active() const { return stage_ != Stage::Idle; }
    // Returns true while the controller waits for a warm reducer.
    bool Step(const CalibrationInputs &in);
    const CalibrationReport &Report() const { return report_; }
    // True once after a run completes; the controller then stores its idle points.
    bool TakeFinished();
    uint8_t Phase1Steps() const { return static_cast<uint8_t>(4 * injectors_ + 4); }
    uint8_t Phase2Steps() const { return static_cast<uint8_t>(4 * injectors_ + 1); }

    static constexpr uint8_t kLegacySteps = 19;

private:
    enum class Stage
    {
        Idle,
        Waiting,
        Phase1,
        WaitLoad,
        Phase2,
        Done,
        Failed
    };
    uint16_t GasFor(const CalibrationInputs &in, uint16_t petrol) const;
    Stage stage_ = Stage::Idle;
    bool legacy_ = false;
    int injectors_ = 4;
    bool finished_ = false;
    CalibrationReport report_;
};

class InjectorTest
{
public:
    void Start(uint8_t mask, int injectors);
    void Stop();
    bool Running() const { return running_; }
    void Step(const CarModel &car, const std::array<int8_t, 8> &injCorr);
    uint16_t Progress() const;
    // Pins the flow count a cylinder (0..7) reports at its next measurement;
    // 0 lets the car's injector decide again.
    void Pin(int cylinder, uint16_t count);

    std::array<uint32_t, 8> counters{};
    std::array<uint16_t, 8> values{};
    std::array<uint8_t, 3> bytes{}; // result available, cylinders tested, cylinder under test

    static constexpr int kStepsPerCylinder = 3;
    static constexpr uint16_t kNoMeasurement = 350;

private:
    bool running_ = false;
    uint8_t mask_ = 0;
    int injectors_ = 0;
    int step_ = 0;
    int totalSteps_ = 0;
    std::array<uint16_t, 8> pinned_{};
};

// The working-pressure determination: busy for a few reads of its flag.
class PressureTest
{
public:
    void Start() { busyReads_ = kReads; }
    void Stop() { busyReads_ = 0; }
    bool Running() const { return busyReads_ > 0; }
    // A held test stays busy however often its flag is read.
    void Hold(bool on) { held_ = on; }
    // Word variable 35; each read brings the end nearer.
    uint16_t ReadBusy(uint8_t measuredRaw);
    uint16_t Measured() const { return measured_; }

    static constexpr int kReads = 4;

private:
    int busyReads_ = 0;
    uint16_t measured_ = 0;
    bool held_ = false;
};

struct ServiceState
{
    uint8_t lockState = lumex::kLockUnlocked;
    uint32_t password = 0;
    uint8_t emulatorMask = 0; // bit n: cylinder n+1 runs on gas
    bool valveOpen = false;
    bool injSystemLearned = true;
    bool bootloaderRequested = false;
    uint8_t lastWorkType = 0;
    bool collectMap = false;
    Autocalibration calibration;
    InjectorTest injectorTest;
    PressureTest pressureTest;

    uint8_t WorkState() const;
};

} // namespace sim
