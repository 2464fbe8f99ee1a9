#include "sim/SimArgs.h"

#include <charconv>

namespace sim {

const char *const kSimUsage =
    "usage: lumex2-sim --link PATH [--gen 14|15|30|13|35|40] [--boot30] [--letter L] [--variant N]\n"
    "                  [--seed N] [--pace] [--turnaround MS] [--trace FILE] [--fault RULE]... [--state FILE]\n"
    "  --gen 13       a 1.3 controller (answers its identification probe only)\n"
    "  --gen 35|40    a 4.0 device answering its probe with 0x35 or 0x40\n"
    "  --boot30       a 3.0 bootloader answering its probe\n"
    "  --letter L     firmware letter: one letter (A..H, I, h, ...) or 0/none for a zero byte\n"
    "  --fault RULE   KIND[=MS]@CODE[:COUNT]; KIND is silence, bad-checksum, bad-start, short,\n"
    "                 stray, gap, late, garbage or unplug; CODE a hex command code or *\n";

namespace {

bool ParseNumber(const std::string &text, unsigned long max, unsigned long &out)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return !text.empty() && ec == std::errc() && ptr == end && out <= max;
}

} // namespace

bool ParseSimArgs(const std::vector<std::string> &args, SimulatorOptions &options, std::string &error)
{
    unsigned long gen = 30;
    bool boot30 = false;
    std::optional<uint8_t> letter;
    unsigned long variant = 0;
    bool haveLink = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--link") {
            if (!value(v))
                return false;
            if (v.empty()) {
                error = "--link needs a path";
                return false;
            }
            options.linkPath = v;
            haveLink = true;
        } else if (a == "--gen") {
            if (!value(v))
                return false;
            if (!ParseNumber(v, 99, gen) ||
                (gen != 13 && gen != 14 && gen != 15 && gen != 30 && gen != 35 && gen != 40)) {
                error = "--gen must be 13, 14, 15, 30, 35 or 40";
                return false;
            }
        } else if (a == "--boot30") {
            boot30 = true;
        } else if (a == "--letter") {
            if (!value(v))
                return false;
            if (v == "0" || v == "none") {
                letter = 0;
            } else if (v.size() == 1 && ((v[0] >= 'A' && v[0] <= 'Z') || (v[0] >= 'a' && v[0] <= 'z'))) {
                letter = static_cast<uint8_t>(v[0]);
            } else {
                error = "--letter must be one letter, 0 or none";
                return false;
            }
        } else if (a == "--variant") {
            if (!value(v))
                return false;
            if (!ParseNumber(v, 255, variant)) {
                error = "--variant must be 0..255";
                return false;
            }
        } else if (a == "--seed") {
            unsigned long seed = 0;
            if (!value(v))
                return false;
            if (!ParseNumber(v, ~0ul, seed)) {
                error = "--seed must be a number";
                return false;
            }
            options.seed = seed;
        } else if (a == "--pace") {
            options.pace = true;
        } else if (a == "--turnaround") {
            unsigned long ms = 0;
            if (!value(v))
                return false;
            if (!ParseNumber(v, 600000, ms)) {
                error = "--turnaround must be milliseconds 0..600000";
                return false;
            }
            options.turnaroundMs = static_cast<double>(ms);
        } else if (a == "--trace") {
            if (!value(v))
                return false;
            options.tracePath = v;
        } else if (a == "--fault") {
            if (!value(v))
                return false;
            auto f = ParseFault(v, error);
            if (!f)
                return false;
            options.faults.push_back(*f);
        } else if (a == "--state") {
            if (!value(v))
                return false;
            options.stateFile = v;
        } else {
            error = "unknown option " + a;
            return false;
        }
    }
    if (!haveLink) {
        error = "--link PATH is required";
        return false;
    }

    if (boot30) {
        options.personality = Personality::Bootloader30;
    } else if (gen == 13) {
        options.personality = Personality::Controller13;
    } else if (gen == 35 || gen == 40) {
        options.personality = Personality::Device40;
        options.device40Code = gen == 35 ? 0x35 : 0x40;
    } else {
        options.personality = Personality::Controller;
        options.controller.generation = gen == 30 ? 0x30 : gen == 15 ? 0x15 : 0x14;
        options.controller.letter = gen == 30 ? std::optional<uint8_t>(letter.value_or('G')) : letter;
        options.controller.variant = static_cast<uint8_t>(variant);
    }
    if (!options.stateFile.empty() && options.personality != Personality::Controller) {
        error = "--state applies to a 1.4, 1.5 or 3.0 controller only";
        return false;
    }
    return true;
}

} // namespace sim
