// The main window's fillings of the tick's later steps. They run on the
// device thread and only call the headless logic of their subsystem.
#pragma once

#include "adapter/AIOModule.h"
#include "adapter/AdapterPage.h"
#include "adapter/OBDModule.h"
#include "calibration/ModelSequences.h"
#include "calibration/OBDAdaptCorrView.h"
#include "controller/ControllerLink.h"
#include "mainwindow/DeviceSnapshot.h"
#include "mainwindow/ObdOscChannels.h"
#include "mainwindow/ObdWindowDevice.h"
#include "mainwindow/OscCapture.h"
#include "mainwindow/TickHooks.h"
#include "modules/AppLogic.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace lumex {

class TMainTickHooks : public TTickHooks
{
public:
    explicit TMainTickHooks(TControllerLink &link) : link_(link), modules_(link.Port)
    {
        modules_.ControllerLink = [this] { return link_.Manager.LinkUp; };
        logic_ = std::make_unique<TLogic>(modules_, std::vector<TModuleFactory>{TModuleOBD::Make, TModuleAIO::Make});
        // The controller takes the adapter's adaptation from revision G of
        // generation 0x30; the image is the device thread's own.
        Obd().ControllerReadsAdaptation = [this] { return ControllerRevisionAtLeast(link_.Data, "G"); };
        AioDefaults();
        obdWindow_ = std::make_unique<TObdWindowDevice>(Obd(), Aio(), link_.Manager, link_.Data);
        // The adapter's own pauses, on the device thread only.
        obdWindow_->Wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
        obd_ = std::make_unique<TObdModuleChannels>(Obd());
    }

    TLogic &Logic() { return *logic_; }
    TModuleOBD &Obd() { return static_cast<TModuleOBD &>(*logic_->SubModules()[0]); }
    TModuleAIO &Aio() { return static_cast<TModuleAIO &>(*logic_->SubModules()[1]); }

    // The adapter modules, on the device thread in the tick's order.
    void DeactivateModules() override { modules_.SetActive(false); }
    void RestartModules(int /*portNumber*/) override
    {
        logic_->ResetModules();
        AioDefaults();
        adapter_ = TakeAdapterSnapshot(*logic_);
        obdWindow_->ParamsDetected();
    }
    // After an operation of the adapter page (device thread).
    void RefreshAdapter()
    {
        adapter_ = TakeAdapterSnapshot(*logic_);
        obdWindow_->ParamsChanged();
    }
    void ModuleWorkStep() override
    {
        modules_.TickStep();
        obdWindow_->Step();
    }
    // The OBD window's device side (device thread, but Page).
    TObdWindowDevice &ObdWindow() { return *obdWindow_; }
    bool ModulesChanged() override
    {
        // A detection pass read the modules' configurations anew.
        const bool detected = modules_.TakeModulesDetected();
        if (detected)
            obdWindow_->ParamsDetected();
        return detected;
    }
    void FillSnapshot(TDeviceSnapshot &snapshot) override
    {
        // The link can drop between two detections: the row follows it.
        if (adapter_.Connected && !logic_->Adapter().IsConnected())
            adapter_ = TakeAdapterSnapshot(*logic_);
        snapshot.Adapter = adapter_;
        obdWindow_->Fill(snapshot.Obd);
    }

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
        const TOscSample sample = TakeOscSample(link_.Manager, OscInjectorItem.load(), *obd_);
        OnOscSample(sample, std::chrono::steady_clock::now());
    }

    // Set by the window (any thread); read on the device thread.
    std::atomic<bool> OscRecording{false};
    std::atomic<int> OscInjectorItem{kInjectorAverage};
    // Runs on the device thread; set before the device thread starts.
    std::function<void(const TOscSample &, std::chrono::steady_clock::time_point)> OnOscSample;

private:
    // The AIO function has no device to read its settings from: they start
    // from their defaults rather than from an empty image.
    void AioDefaults()
    {
        TUIState &ui = logic_->UIState();
        ui.SetDefaults("AIO");
        ui.CopyToDevState("AIO", kCopyParams);
        ui.SetModified(false);
    }

    TControllerLink &link_;
    TManager modules_;
    std::unique_ptr<TLogic> logic_;
    TAdapterSnapshot adapter_;
    std::unique_ptr<TObdWindowDevice> obdWindow_;
    // The recorder's OBD channels: the module's image, on this thread.
    std::unique_ptr<TObdModuleChannels> obd_;
};

} // namespace lumex
