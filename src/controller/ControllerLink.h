// Everything of the controller link that lives from start-up to exit: the
// shared serial port, the data image with its point lists, the protocol
// object and the typed configuration access. The program has one, reached
// through Link(); tests build their own.
#pragma once

#include "controller/DataManager.h"
#include "controller/DeviceData.h"
#include "controller/NorviData.h"
#include "serial/ComMultiPort.h"

namespace lumex {

struct TControllerLink
{
    // The port gets the controller's line settings; it is not opened here.
    TControllerLink();
    TControllerLink(const TControllerLink &) = delete;
    TControllerLink &operator=(const TControllerLink &) = delete;

    TComMultiPort Port;
    TNorviData Data;
    TImagePoints Points;
    TDataManager Manager;
    TDevData DevData;
};

// The process-wide link, created on first use.
TControllerLink &Link();

} // namespace lumex
