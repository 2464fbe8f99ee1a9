// The shared simulator harness with a fresh controller link whose port
// points at it.
#pragma once

#include "SimHarness.h"
#include "controller/ControllerLink.h"

#include <stdexcept>
#include <utility>

namespace linktest {

class SimLink : public testsupport::SimHarness
{
public:
    explicit SimLink(sim::SimulatorOptions options) : SimHarness(std::move(options))
    {
        link_.Port.SetDevicePath(Path());
    }
    ~SimLink() { link_.Port.Close(); }

    lumex::TControllerLink &Link() { return link_; }
    lumex::TDataManager &Manager() { return link_.Manager; }
    lumex::TNorviData &Data() { return link_.Data; }

    // Everything the link wrote so far is in the trace.
    void Sync()
    {
        if (!SimHarness::Sync(link_.Port))
            throw std::runtime_error("the simulator did not see the link's bytes");
    }

    // Connects through the poll cycle, as the program does.
    bool Connect() { return link_.Manager.PollCycle(lumex::pmNone) && link_.Manager.LinkUp; }

    // Connects and starts an empty trace, so a test's log holds only what it
    // sent itself.
    bool ConnectClean()
    {
        if (!Connect())
            return false;
        Sync();
        ClearTrace();
        return true;
    }

private:
    lumex::TControllerLink link_;
};

} // namespace linktest
