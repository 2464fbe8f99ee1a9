#include "sim/SimArgs.h"

#include "sim/bootloader/FlashDevice.h"

#include <algorithm>
#include <charconv>

namespace sim {

const char *const kSimUsage =
    "usage: lumex2-sim --link PATH [--gen 14|15|30|13|35|40|NN] [--boot30] [--bootloader] [--letter L]\n"
    "                  [--variant N] [--seed N] [--pace] [--turnaround MS] [--trace FILE] [--fault RULE]...\n"
    "                  [--state FILE] [--boot-version M.N] [--boot-family N] [--boot-status N]\n"
    "                  [--adapter [--adapter-version M.N] [--adapter-product N] [--adapter-kit N] [--adapter-serial "
    "N]\n"
    "                  [--obd-codes CODES] [--obd-pending CODES] [--obd-protocol N] [--obd-absent]]\n"
    "  --gen 13       a 1.3 controller (answers its identification probe only)\n"
    "  --gen 35|40    a 4.0 device answering its probe with 0x35 or 0x40\n"
    "  --gen NN       any other two digits: a controller of a generation nobody serves,\n"
    "                 answering version code 0xNN and its letter (default A) only\n"
    "  --boot30       a 3.0 bootloader answering its probe\n"
    "  --bootloader   a device in its bootloader, answering the 0xBC version and info requests;\n"
    "                 --boot-version (default 4.6), --boot-family (default 3), --boot-status (default 0)\n"
    "  --in-bootloader  the controller starts in its bootloader (an upgrade that was cut off)\n"
    "  --boot-fault F   a bootloader fault: reject-header, reject-block=K, status=N, ignore-jump,\n"
    "                 power-loss-erase, power-loss-block=K; may be repeated\n"
    "  --letter L     firmware letter: one letter (A..H, I, h, ...) or 0/none for a zero byte\n"
    "  --fault RULE   KIND[=MS]@CODE[:COUNT]; KIND is silence, bad-checksum, bad-start, short,\n"
    "                 stray, stray2, gap, late, garbage or unplug; CODE a hex command code or *,\n"
    "                 or SS/CODE for the frames of one device only (C0 controller, C2 adapter)\n"
    "  --adapter      an adapter on the same line; --adapter-version M.N (default 2.1),\n"
    "                 --adapter-product N (0 and 1 are served, others are foreign; default 1),\n"
    "                 --adapter-kit N (255 none; default 3), --adapter-serial N (default 1234567),\n"
    "                 --adapter-in-bootloader (it starts in its bootloader, family 40, version 6.3)\n"
    "  --obd-codes C  the car's recorded trouble codes, comma-separated (P0123,U0100);\n"
    "                 --obd-pending C its pending ones; --obd-protocol N the protocol 1..7 the car\n"
    "                 speaks (default 4); --obd-absent an adapter without the OBD function\n";

namespace {

bool ParseNumber(const std::string &text, unsigned long max, unsigned long &out)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return !text.empty() && ec == std::errc() && ptr == end && out <= max;
}

// "M.N" with both parts 1..255.
bool ParseBootVersion(const std::string &text, BootloaderIdentity &boot)
{
    const auto dot = text.find('.');
    unsigned long major = 0, minor = 0;
    if (dot == std::string::npos || !ParseNumber(text.substr(0, dot), 255, major) ||
        !ParseNumber(text.substr(dot + 1), 255, minor) || major == 0)
        return false;
    boot.major = static_cast<uint8_t>(major);
    boot.minor = static_cast<uint8_t>(minor);
    return true;
}

bool IsServedOrProbed(unsigned long gen)
{
    return gen == 13 || gen == 14 || gen == 15 || gen == 30 || gen == 35 || gen == 40;
}

} // namespace

bool ParseSimArgs(const std::vector<std::string> &args, SimulatorOptions &options, std::string &error)
{
    unsigned long gen = 30;
    bool boot30 = false;
    bool bootloader = false;
    bool bootDetails = false;
    std::optional<uint8_t> letter;
    unsigned long variant = 0;
    bool haveLink = false;
    bool adapter = false;
    bool adapterDetails = false;
    AdapterIdentity adapterId;
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
            if (v.size() != 2 || !ParseNumber(v, 99, gen) || gen < 10) {
                error = "--gen must be two digits: 13, 14, 15, 30, 35, 40 or another generation";
                return false;
            }
        } else if (a == "--boot30") {
            boot30 = true;
        } else if (a == "--bootloader") {
            bootloader = true;
        } else if (a == "--boot-version") {
            if (!value(v))
                return false;
            if (!ParseBootVersion(v, options.boot)) {
                error = "--boot-version must be M.N, 1..255 and 0..255";
                return false;
            }
            bootDetails = true;
        } else if (a == "--boot-family" || a == "--boot-status") {
            unsigned long n = 0;
            if (!value(v))
                return false;
            if (!ParseNumber(v, 255, n)) {
                error = a + " must be 0..255";
                return false;
            }
            (a == "--boot-family" ? options.boot.family : options.boot.status) = static_cast<uint8_t>(n);
            bootDetails = true;
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
        } else if (a == "--in-bootloader") {
            options.inBootloader = true;
        } else if (a == "--boot-fault") {
            if (!value(v) || !ParseBootFault(v, options.bootFaults, error))
                return false;
        } else if (a == "--adapter") {
            adapter = true;
        } else if (a == "--adapter-in-bootloader") {
            options.adapterInBootloader = true;
            adapterDetails = true;
        } else if (a == "--adapter-version") {
            if (!value(v))
                return false;
            if (!ParseAdapterVersion(v, adapterId.mainVersion)) {
                error = "--adapter-version must be M.N with both 0..15";
                return false;
            }
            adapterDetails = true;
        } else if (a == "--adapter-product" || a == "--adapter-kit") {
            unsigned long n = 0;
            if (!value(v))
                return false;
            if (!ParseNumber(v, 255, n)) {
                error = a + " must be 0..255";
                return false;
            }
            (a == "--adapter-product" ? adapterId.product : adapterId.kit) = static_cast<uint8_t>(n);
            adapterDetails = true;
        } else if (a == "--obd-codes" || a == "--obd-pending") {
            if (!value(v))
                return false;
            std::vector<ObdCode> &list = a == "--obd-codes" ? adapterId.obd.recorded : adapterId.obd.pending;
            list.clear();
            std::size_t from = 0;
            while (from <= v.size()) {
                const std::size_t comma = std::min(v.find(',', from), v.size());
                const auto code = ParseObdCode(v.substr(from, comma - from));
                if (!code) {
                    error = a + " takes trouble codes like P0123,U0100";
                    return false;
                }
                list.push_back({0x10, *code});
                from = comma + 1;
            }
            adapterDetails = true;
        } else if (a == "--obd-protocol") {
            unsigned long n = 0;
            if (!value(v) || !ParseNumber(v, 7, n) || n == 0) {
                error = "--obd-protocol must be 1..7";
                return false;
            }
            adapterId.obd.carProtocol = static_cast<uint8_t>(n);
            adapterDetails = true;
        } else if (a == "--obd-absent") {
            adapterId.obd.present = false;
            adapterDetails = true;
        } else if (a == "--adapter-serial") {
            unsigned long n = 0;
            if (!value(v))
                return false;
            if (!ParseNumber(v, 0x7FFFFFFF, n)) {
                error = "--adapter-serial must be 0..2147483647";
                return false;
            }
            adapterId.serial = static_cast<uint32_t>(n);
            adapterDetails = true;
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

    if (adapterDetails && !adapter) {
        error = "--adapter-version, --adapter-product, --adapter-kit, --adapter-serial, --adapter-in-bootloader "
                "and the --obd options need --adapter";
        return false;
    }
    if (adapter)
        options.adapter = adapterId;
    if (boot30 && bootloader) {
        error = "--boot30 and --bootloader are two different devices";
        return false;
    }
    // A controller's own bootloader takes the same details.
    if (bootDetails && !bootloader && !options.inBootloader) {
        error = "--boot-version, --boot-family and --boot-status need --bootloader or --in-bootloader";
        return false;
    }
    if (boot30) {
        options.personality = Personality::Bootloader30;
    } else if (bootloader) {
        options.personality = Personality::Bootloader;
    } else if (!IsServedOrProbed(gen)) {
        options.personality = Personality::UnknownGeneration;
        // The digits read as hex, as with every other generation.
        options.controller.generation = static_cast<uint8_t>((gen / 10) * 16 + gen % 10);
        options.controller.letter = letter;
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
