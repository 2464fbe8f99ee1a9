// The simulated gas controller: the device on the far side of the serial
// line. It answers the configuration protocol byte for byte, keeps one store
// of settings behind every view of them, runs a car whose readings move
// plausibly with each live-data read, and records every request a real
// controller would not have accepted (a violation) so tests can blame the
// client.
//
// Control lines (Control): words separated by blanks; numbers are decimal
// unless marked hex. The reply is "ok ..." or an error text; a line that is
// not understood returns false.
//   identity 30G | 30h | 30 | 15 | 15E | 14    new identity, factory state
//   reset                                   factory state for the identity
//   load PATH                               LoadState from a JSON file
//   dump                                    the state as JSON (DumpState)
//   engine off|crank|idle|drive             hold the engine in a phase
//   engine auto                             run the scripted drive again
//   set CHANNEL N                           pin a reading: rpm (1/min), load (%),
//                                           petrol (ticks), tred, tgas, tpcb, psys,
//                                           pcol, supply, level, lambda (raw codes)
//   set petrol CYL TICKS                    pin one cylinder's petrol time (1..8; not
//                                           kept in state files)
//   release CHANNEL|all                     let a pinned reading move again
//   fuel auto|petrol|gas                    as work types 1, 5 and 4
//   step [N]                                advance the car N live steps (default 1)
//   seed N                                  restart the car cold with a new seed
//   ambient C                               outside temperature in degrees C
//   regulator BAR                           pressure the reducer delivers
//   gasfactor X                             gas time per petrol time the engine needs
//   flow CYL PERCENT                        gas injector flow of cylinder 1..8
//   injection seq|semi|group                the car's petrol injection
//   trouble G B                             raise code E10GB (group 1..4, digit 1..8)
//   trouble clear-active | trouble clear    drop the active codes / everything
//   lock HEX                                set the lock byte (0F locked, F0 open)
//   password N                              set the lock password
//   valve on|off                            the gas valve output
//   emulators HEX                           the emulator channel mask
//   calibration fail                        the controller aborts an autocalibration
//                                           (a run whose gasfactor lies outside 0.7..1.3
//                                           ends after the phase without load, state 11)
//   collect on|off                          collect map points while driving
//   map fill N ERROR                        N petrol and N LPG map points from the load
//                                           model, the gas model ERROR percent too rich
//   state                                   one line with phase, SystemState, rpm, lock
//   violations [clear]                      list (or forget) the recorded violations
#pragma once

#include "sim/Responder.h"
#include "sim/controller/AnswerFrame.h"
#include "sim/controller/ControllerIdentity.h"
#include "sim/controller/LiveEngine.h"
#include "sim/controller/ParameterStore.h"
#include "sim/controller/ServiceState.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class ControllerModel : public Responder
{
public:
    explicit ControllerModel(ControllerIdentity id, uint32_t seed = 1);

    // Responder
    uint8_t StartByte() const override;
    Scan ScanFrame(std::span<const uint8_t> buffer) const override;
    Reply Answer(std::span<const uint8_t> frame) override;

    // A state file (see DumpState for the schema). On failure the model
    // keeps its previous state and error says why.
    bool LoadState(const std::string &path, std::string &error);
    bool LoadStateText(std::string_view json, std::string &error);
    std::string DumpState() const;
    bool Control(const std::string &line, std::string &reply);

    // In-process access for tests and the simulator host.
    ControllerIdentity Identity() const;
    // Replaces the identity and resets to that identity's factory state.
    void SetIdentity(const ControllerIdentity &id);
    void ResetToFactory();
    ParameterStore Store() const;
    void EditStore(const std::function<void(ParameterStore &)> &edit);
    uint8_t LockState() const;
    void SetLockState(uint8_t state);
    void SetPassword(uint32_t password);
    uint32_t Password() const;
    void RaiseTrouble(int group, int digit);
    void ClearActiveTroubles();
    std::array<uint8_t, 16> TroubleFlags() const;
    void SetEngine(EnginePhase phase);
    void RunEngineScript();
    void SetReading(Channel channel, int value);
    void ReleaseReading(Channel channel);
    void StepEngine(int steps = 1);
    LiveReadings Readings() const;
    CarModel Car() const;
    void SetCar(const CarModel &car);
    CalibrationReport Calibration() const;
    uint8_t WorkState() const;
    uint8_t EmulatorMask() const;
    bool ValveOpen() const;
    bool BootloaderRequested() const;
    void SetMapCollection(bool on);
    // Word variable as command 0x40 answers it (without side effects).
    uint16_t WordVariable(uint8_t index) const;

    std::vector<std::string> Violations() const;
    std::size_t ViolationCount() const;
    void ClearViolations();

private:
    Reply AnswerLocked(std::span<const uint8_t> frame);
    Reply Dispatch(uint8_t code, const Request &req, std::size_t answerLength);
    Reply Ack(uint8_t code, uint8_t b2 = 0) const;
    void Record(const std::string &violation);
    void ResetLocked();

    // Live readings (LiveCommands.cpp)
    EngineSettings Settings() const;
    int SoftwareInjectors() const;
    void StepLive();
    uint8_t NominalTredRaw() const;
    void CollectMapPoint();
    // Replaces both map point lists (and the G3 petrol map from D) by `count`
    // points each across the load range; LPG points as the petrol ECU trims
    // a gas model that gives `errorPercent` too much gas (MapLoadModel.cpp).
    void FillMapFromLoadModel(int count, double errorPercent);
    Reply LiveBlock(uint8_t code, std::size_t length);
    Reply LiveExtension(std::size_t length);
    Reply LoadIndexAnswer(std::size_t length) const;
    uint16_t WordVar(uint8_t index, bool reading);

    // Settings (BlockCommands.cpp)
    Reply BlockCommand(uint8_t code, const Request &req, std::size_t length);
    Reply ParamCommand(uint8_t code, const Request &req, std::size_t length);
    Reply MemoryCommand(uint8_t code, const Request &req, std::size_t length);
    Reply MapCommand(uint8_t code, const Request &req, std::size_t length);
    Reply AdaptationCommand(uint8_t code, const Request &req, std::size_t length);

    // Service (ServiceCommands.cpp)
    Reply IdentCommand(uint8_t code, const Request &req, std::size_t length) const;
    Reply LockCommand(uint8_t code, const Request &req, std::size_t length);
    Reply TroubleCommand(uint8_t code, const Request &req, std::size_t length);
    Reply WorkTypeCommand(uint8_t workType);
    Reply CalibrationAnswer(std::size_t length);
    Reply OutputCommand(uint8_t code, const Request &req, std::size_t length);
    Reply InjectorTestCommand(uint8_t code, const Request &req, std::size_t length);
    Reply ComputerCodeCommand(uint8_t code, const Request &req, std::size_t length);
    uint16_t InjectionPhaseWord(int half) const;
    void RaiseTroubleLocked(int group, int digit);

    // Control lines (ControlCommands.cpp)
    bool ControlLocked(const std::vector<std::string> &words, std::string &reply);

    mutable std::mutex mutex_;
    ControllerIdentity id_;
    uint32_t seed_;
    ParameterStore store_;
    ServiceState service_;
    LiveEngine engine_;
    uint8_t lastSystemState_ = kStateOff;
    uint64_t gasSteps_ = 0;
    std::deque<std::string> violations_;
    std::size_t violationCount_ = 0;

    friend class StateJson;
};

} // namespace sim
