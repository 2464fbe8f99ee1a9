#include "sim/ControllerFactory.h"

#include "sim/ProbeResponders.h"

namespace sim {

// Until the full controller model is linked in, the controller answers its
// identification only; every other command meets silence.
ControllerBinding MakeController(const ControllerChoice &choice, uint64_t /*seed*/)
{
    ControllerBinding b;
    const uint8_t code = choice.generation;
    b.responder = std::make_shared<ProbeResponder>(std::vector<uint8_t>{0xC0, 0x01, 0x01, 0xC2},
                                                   std::vector<uint8_t>{0xD0, 0x01, code}, true);
    b.loadState = [](const std::string &, std::string &error) {
        error = "this build has no controller state";
        return false;
    };
    b.control = [](const std::string &, std::string &reply) {
        reply = "unknown command";
        return false;
    };
    return b;
}

} // namespace sim
