// The main window's fillings of the tick's later steps. They run on the
// device thread and only call the headless logic of their subsystem.
#pragma once

#include "calibration/ModelSequences.h"
#include "controller/ControllerLink.h"
#include "mainwindow/OscCapture.h"
#include "mainwindow/TickHooks.h"

#include <atomic>
#include <chrono>
#include <functional>

namespace lumex {

class TMainTickHooks : public TTickHooks
{
public:
    explicit TMainTickHooks(TControllerLink &link) : link_(link) {}

    // The image's version code is the one the tick passes.
    void ReadModelData(uint8_t /*versionCode*/) override
    {
        ReadModelDataAfterConnect(link_.Manager, link_.Points.ModelPoints);
    }

    // After an ok cycle: one recorder sample while the recorder runs.
    void OscilloscopeSample() override
    {
        if (!OscRecording.load() || !OnOscSample)
            return;
        const TOscSample sample = TakeOscSample(link_.Manager, OscInjectorItem.load(), obd_);
        OnOscSample(sample, std::chrono::steady_clock::now());
    }

    // Set by the window (any thread); read on the device thread.
    std::atomic<bool> OscRecording{false};
    std::atomic<int> OscInjectorItem{kInjectorAverage};
    // Runs on the device thread; set before the device thread starts.
    std::function<void(const TOscSample &, std::chrono::steady_clock::time_point)> OnOscSample;

private:
    TControllerLink &link_;
    // The OBD module is not there yet: every channel is absent.
    TAbsentObdSource obd_;
};

} // namespace lumex
