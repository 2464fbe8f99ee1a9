// Arbitrary control lines, as typed on the simulator's standard input, into
// a running simulator with a controller and an adapter on its line: the
// host's own commands, the fault rules, the bootloaders', the OBD car's and
// the controller's. Every line gets a reply; a fault rule that parses prints
// in a form that parses back to the same rule.
#include "sim/Faults.h"
#include "sim/Simulator.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

void CheckFault(const std::string &text)
{
    std::string error;
    const auto rule = sim::ParseFault(text, error);
    if (!rule) {
        if (error.empty())
            std::abort();
        return;
    }
    const std::string printed = sim::FormatFault(*rule);
    const auto again = sim::ParseFault(printed, error);
    if (!again || again->kind != rule->kind || again->code != rule->code || again->start != rule->start ||
        again->count != rule->count || again->ms != rule->ms || sim::FormatFault(*again) != printed)
        std::abort();
}

std::string FirstWord(const std::string &line)
{
    std::istringstream in(line);
    std::string word;
    in >> word;
    return word;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    sim::SimulatorOptions options;
    options.controller.generation = (data[0] & 1) != 0 ? 0x15 : 0x30;
    options.controller.letter = 'G';
    options.adapter = sim::AdapterIdentity{};
    sim::Simulator simulator(options);
    std::string error;
    if (!simulator.Start(error))
        std::abort();

    std::string_view rest(reinterpret_cast<const char *>(data + 1), size - 1);
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const std::string line(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        // "load" reads the file a line names: the state text has a target of
        // its own, and fuzzed paths must not wander the disk.
        const std::string verb = FirstWord(line);
        if (verb == "load" || verb == "quit")
            continue;
        CheckFault(line);
        std::string reply;
        (void)simulator.Control(line, reply);
        if (reply.empty())
            std::abort();
    }
    simulator.Stop();
    return 0;
}
