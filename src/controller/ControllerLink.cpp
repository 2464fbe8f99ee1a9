#include "controller/ControllerLink.h"

namespace lumex {

TControllerLink::TControllerLink() : Manager(Port, Data), DevData(Data, Manager)
{
    Port.ApplyControllerSettings();
    Manager.Extensions().ReadAfterIdentification = [this] { DevData.ReadConfiguration(); };
}

TControllerLink &Link()
{
    static TControllerLink link;
    return link;
}

} // namespace lumex
