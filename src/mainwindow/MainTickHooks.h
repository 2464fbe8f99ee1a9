// The main window's fillings of the tick's later steps. They run on the
// device thread and only call the headless logic of their subsystem.
#pragma once

#include "calibration/ModelSequences.h"
#include "controller/ControllerLink.h"
#include "mainwindow/TickHooks.h"

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

private:
    TControllerLink &link_;
};

} // namespace lumex
