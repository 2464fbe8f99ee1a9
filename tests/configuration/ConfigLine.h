// A connected controller link on the simulator for the configuration tests,
// and the helpers they share.
#pragma once

#include "SimLink.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace configtest {

// A simulated controller (3.0 "G" unless told otherwise) the link has connected to.
class ConfigLine : public linktest::SimLink
{
public:
    explicit ConfigLine(sim::SimulatorOptions options = testsupport::SimSetup::Controller()) : SimLink(options)
    {
        if (!Connect())
            throw std::runtime_error("the link did not connect to the simulator");
    }

    // The frames the link sent since the last call (or the connection).
    std::vector<std::string> NewRequests()
    {
        Sync();
        auto requests = Requests();
        ClearTrace();
        return requests;
    }
};

// Message texts that name their key, so a test sees which text went where.
inline std::string KeyText(std::string_view key)
{
    return "<" + std::string(key) + ">";
}

} // namespace configtest
