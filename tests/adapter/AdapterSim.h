// A simulated controller with an adapter on its line, the controller link
// and the module framework on the same port, as the program has them.
#pragma once

#include "../controller/SimLink.h"
#include "modules/AppLogic.h"

#include <memory>
#include <optional>

namespace adaptertest {

inline sim::SimulatorOptions WithAdapter(std::optional<sim::AdapterIdentity> adapter = sim::AdapterIdentity{})
{
    sim::SimulatorOptions o = testsupport::SimSetup::Controller();
    o.adapter = std::move(adapter);
    return o;
}

class AdapterSim : public linktest::SimLink
{
public:
    explicit AdapterSim(sim::SimulatorOptions options = WithAdapter(),
                        std::vector<lumex::TModuleFactory> subModules = {})
        : SimLink(std::move(options))
    {
        manager_.ControllerLink = [this] { return Manager().LinkUp; };
        logic_ = std::make_unique<lumex::TLogic>(manager_, std::move(subModules));
    }
    ~AdapterSim() { logic_.reset(); }

    lumex::TManager &Modules() { return manager_; }
    lumex::TLogic &Logic() { return *logic_; }
    lumex::TModuleAdapter &Adapter() { return logic_->Adapter(); }

    // Adapter requests in the trace ("C2 01 01 6B 87").
    std::vector<std::string> AdapterRequests() const
    {
        std::vector<std::string> out;
        for (const std::string &r : Requests())
            if (r.rfind("C2 ", 0) == 0)
                out.push_back(r);
        return out;
    }

private:
    lumex::TManager manager_{Link().Port};
    std::unique_ptr<lumex::TLogic> logic_;
};

} // namespace adaptertest
