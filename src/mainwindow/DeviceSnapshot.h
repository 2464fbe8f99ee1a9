// A copy of everything the windows show about the device, taken on the
// device thread after each tick or user operation and handed to the window
// as a value: the window never reads the live image.
#pragma once

#include "adapter/AdapterPage.h"
#include "adapter/ObdWindowSnapshot.h"
#include "controller/NorviData.h"
#include "mainwindow/BootIdentify.h"
#include "mainwindow/PollingTick.h"
#include "mainwindow/ReadingInputs.h"

#include <cstdint>
#include <string>

namespace lumex {

struct TDeviceSnapshot
{
    uint64_t Serial = 0; // increases with every snapshot
    TNorviData Data;
    TReadingExtras Extras;
    TStatusPanels Panels;
    TTickReport Report; // the one-shot events of the tick it follows
    TBootInfo Boot;
    bool LinkUp = false;
    bool Offline = false;
    bool Accessible = false;
    bool SoftwareCompatible = true;
    bool CalibrationRunning = false;
    bool ConnectBusy = false;
    int RequestedWorkType = 0;
    int Interval = 0;
    int DetectionResult = 0;
    int PortNumber = 0;
    std::string PortDevice;
    bool PortByPath = false; // a device path, not a port number
    uint64_t Ticks = 0;      // ticks that ran
    // The version digits of a known controller this program does not serve,
    // set once after a connection the user asked for (start-up, search,
    // port choice) found one; the window words the message.
    std::string UnsupportedVersion;
    // The adapter on the same line.
    TAdapterSnapshot Adapter;
    // The OBD window's share.
    TObdWindowSnapshot Obd;
};

} // namespace lumex
