// The adapter's OBD link for commands that need the car: the module
// framework on the controller's port, and connecting the car the way the
// OBD window does.
#pragma once

#include "CliContext.h"

#include "adapter/OBDModule.h"
#include "controller/ControllerLink.h"
#include "modules/AppLogic.h"

#include <memory>
#include <string>

namespace cli {

struct TObdSession
{
    explicit TObdSession(lumex::TControllerLink &link);
    lumex::TManager manager;
    std::unique_ptr<lumex::TLogic> logic;
    lumex::TModuleOBD *obd = nullptr;
};

// The link state in English.
std::string LinkText(lumex::TModuleOBD &m);
// Detects the adapter; exit 1 with a message when there is no adapter or it
// has no OBD function.
int RequireObd(CliContext &ctx, TObdSession &s);
// Connects the car unless it already is; `protocol` 0 keeps the adapter's.
int ConnectCar(CliContext &ctx, TObdSession &s, int protocol);

} // namespace cli
