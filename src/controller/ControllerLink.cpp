#include "controller/ControllerLink.h"

#include "controller/ParameterSteps.h"

namespace lumex {

TControllerLink::TControllerLink() : Manager(Port, Data), DevData(Data, Manager)
{
    Port.ApplyControllerSettings();
    // Configuration, model block and trouble flags after identification;
    // calibration state and adaptation tables in the poll cycle.
    InstallParameterSteps(Manager);
}

TControllerLink &Link()
{
    static TControllerLink link;
    return link;
}

} // namespace lumex
