// The whole simulated device in-process: a personality on a line host on a
// pseudo-terminal, served by a worker thread. Tests use it, and so does the
// program's demo mode; lumex2-sim wraps it with a command line.
#pragma once

#include "sim/ControllerFactory.h"
#include "sim/Faults.h"
#include "sim/IdentifyResponders.h"
#include "sim/LineHost.h"
#include "sim/PtyHost.h"
#include "sim/Trace.h"
#include "sim/adapter/AdapterResponder.h"
#include "sim/bootloader/FlashDevice.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim {

enum class Personality
{
    Controller,       // a 1.4, 1.5 or 3.0 controller (the identity says which)
    Controller13,     // a 1.3 controller: answers its identification probe only
    Device40,         // a 4.0 device: answers the 0xC1 probe only
    Bootloader30,     // a 3.0 bootloader: answers the 0xBA probe only
    Bootloader,       // a device in its bootloader: identifies itself on 0xBC
    UnknownGeneration // a controller whose version code nobody serves
};

struct SimulatorOptions
{
    Personality personality = Personality::Controller;
    // Also the version code (generation) and letter (default 'A') of
    // Personality::UnknownGeneration.
    ControllerChoice controller;
    BootloaderIdentity boot;
    uint8_t device40Code = 0x40; // 0x35 or 0x40
    uint64_t seed = 1;
    bool pace = false;
    double turnaroundMs = 2.0;
    std::string tracePath;
    std::vector<FaultRule> faults;
    std::string stateFile;
    std::string linkPath; // empty: clients open Path(), the pty itself
    // An adapter on the same line beside the personality; none by default.
    std::optional<AdapterIdentity> adapter;
    // The controller starts in its bootloader (`boot` gives its identity).
    bool inBootloader = false;
    BootFaults bootFaults;
    // The adapter's bootloader (its family is always 40), and whether the
    // adapter starts in it.
    BootloaderIdentity adapterBoot{6, 3, 0, 40, 0};
    bool adapterInBootloader = false;
};

class Simulator
{
public:
    explicit Simulator(SimulatorOptions options);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    bool Start(std::string &error);
    // The path to open as the serial port.
    std::string Path() const;
    // Idempotent; removes the link and completes the trace file.
    void Stop();
    bool Running() const { return worker_.joinable(); }

    // Holds the line between frames; the responders and Line() may be
    // changed while the lock is held.
    [[nodiscard]] std::unique_lock<std::mutex> Pause() const { return std::unique_lock(mutex_); }
    LineHost &Line() { return line_; }
    // The responder of the chosen personality (the controller for
    // Personality::Controller).
    std::shared_ptr<Responder> Device() const { return device_; }
    // The adapter on the line, when there is one.
    std::shared_ptr<AdapterResponder> Adapter() const { return adapter_; }
    // The controller's flash and bootloader; null for other personalities.
    // Read it with the line paused.
    std::shared_ptr<FlashDevice> Flash() const { return flash_; }
    // The adapter's flash and bootloader, when there is an adapter.
    std::shared_ptr<FlashDevice> AdapterFlash() const { return adapterFlash_; }

    // One line of the control channel. `reply` is the text to show; the
    // result is false for an unknown or failed command.
    bool Control(const std::string &line, std::string &reply);
    std::vector<std::string> Violations() const;
    void AddFault(const FaultRule &fault);
    // Every trace event is also handed to `observer` (on the simulator's
    // thread, with the line held), beside the trace file. May be set before
    // or after Start(); an empty function stops it.
    void Observe(LineHost::EventSink observer);
    // Pulls the cable for `ms`; the path comes back afterwards.
    void Unplug(double ms);

private:
    bool BuildPersonality(std::string &error);
    void BuildFlash();
    void BuildAdapterFlash();

    SimulatorOptions options_;
    mutable std::mutex mutex_;
    LineHost line_;
    PtyHost pty_;
    TraceFile trace_;
    ControllerBinding controller_;
    std::shared_ptr<Responder> device_;
    std::shared_ptr<AdapterResponder> adapter_;
    std::shared_ptr<FlashDevice> flash_;
    std::shared_ptr<FlashDevice> adapterFlash_;
    LineHost::EventSink observer_;
    std::thread worker_;
};

} // namespace sim
