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
    // Started once: a pseudo-terminal and a thread for every input would
    // cost more than the lines themselves. Each input begins with a new
    // identity (factory state) and no faults, so runs stay comparable.
    static sim::Simulator simulator([] {
        sim::SimulatorOptions options;
        options.controller.letter = 'G';
        options.adapter = sim::AdapterIdentity{};
        return options;
    }());
    static const bool started = [] {
        std::string error;
        return simulator.Start(error);
    }();
    if (!started)
        std::abort();
    std::string reply;
    for (const char *line : {"clear-faults", "boot-clear-faults", "adapter-boot-clear-faults", "pace off",
                             "turnaround 2", "violations clear", "obd codes none"})
        (void)simulator.Control(line, reply);
    (void)simulator.Control((data[0] & 1) != 0 ? "identity 15" : "identity 30G", reply);

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
        reply.clear();
        (void)simulator.Control(line, reply);
        if (reply.empty())
            std::abort();
    }
    return 0;
}
