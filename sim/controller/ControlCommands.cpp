// The textual control lines, and loading and dumping the state.
#include "sim/controller/ControllerModel.h"

#include "sim/controller/ProcedureControls.h"
#include "sim/controller/StateJson.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

constexpr std::size_t kMaxStateFile = 4u << 20;

bool ReadFile(const std::string &path, std::string &text, std::string &error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "state: cannot open " + path;
        return false;
    }
    // Read no further than one byte past the limit: a path to an endless
    // device must not take the whole memory before it is refused.
    text.assign(kMaxStateFile + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxStateFile) {
        error = "state: " + path + " is larger than 4 MiB";
        return false;
    }
    return true;
}

bool ParseLong(const std::string &text, long &value, int base = 10)
{
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end && !text.empty();
}

bool ParseDouble(const std::string &text, double &value)
{
    try {
        std::size_t used = 0;
        value = std::stod(text, &used);
        return used == text.size();
    } catch (const std::exception &) {
        return false;
    }
}

std::vector<std::string> Words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

} // namespace

bool ControllerModel::LoadState(const std::string &path, std::string &error)
{
    std::string text;
    if (!ReadFile(path, text, error))
        return false;
    return LoadStateText(text, error);
}

bool ControllerModel::LoadStateText(std::string_view json, std::string &error)
{
    std::lock_guard lock(mutex_);
    return StateJson::Load(*this, json, error);
}

std::string ControllerModel::DumpState() const
{
    std::lock_guard lock(mutex_);
    return StateJson::Dump(*this);
}

bool ControllerModel::Control(const std::string &line, std::string &reply)
{
    const std::vector<std::string> words = Words(line);
    std::lock_guard lock(mutex_);
    reply.clear();
    if (words.empty()) {
        reply = "error: empty control line";
        return false;
    }
    const bool ok = ControlLocked(words, reply);
    if (!ok && reply.empty())
        reply = "error: not understood: " + line;
    return ok;
}

bool ControllerModel::ControlLocked(const std::vector<std::string> &w, std::string &reply)
{
    const std::string &verb = w[0];
    const std::size_t n = w.size();
    long number = 0;
    double real = 0;

    if (ProcedureControl(service_, w, reply))
        return reply.starts_with("ok");
    if (verb == "identity" && n == 2) {
        ControllerIdentity id;
        if (!ControllerIdentity::Parse(w[1], id, reply)) {
            reply = "error: " + reply;
            return false;
        }
        id_ = id;
        ResetLocked();
        reply = "ok identity " + id_.Text();
        return true;
    }
    if (verb == "reset" && n == 1) {
        ResetLocked();
        reply = "ok factory state";
        return true;
    }
    if (verb == "load" && n == 2) {
        std::string text, error;
        if (!ReadFile(w[1], text, error) || !StateJson::Load(*this, text, error)) {
            reply = "error: " + error;
            return false;
        }
        reply = "ok loaded " + w[1];
        return true;
    }
    if (verb == "dump" && n == 1) {
        reply = StateJson::Dump(*this);
        return true;
    }
    if (verb == "engine" && n == 2) {
        const std::string &p = w[1];
        if (p == "auto")
            engine_.RunScript();
        else if (const auto phase = EnginePhaseByName(p))
            engine_.HoldPhase(*phase);
        else
            return false;
        reply = "ok engine " + p;
        return true;
    }
    if (verb == "set" && n == 3) {
        const auto channel = ChannelByName(w[1]);
        if (!channel || !ParseLong(w[2], number) || number < 0 || number > 65535) {
            reply = "error: set needs a reading (rpm, load, petrol, tred, tgas, tpcb, psys, pcol, supply, level, "
                    "lambda) and a value";
            return false;
        }
        engine_.Override(*channel, static_cast<int>(number));
        reply = "ok " + w[1] + " " + std::to_string(*engine_.Overridden(*channel));
        return true;
    }
    if (verb == "set" && n == 4 && w[1] == "petrol") {
        long ticks = 0;
        if (!ParseLong(w[2], number) || number < 1 || number > 8 || !ParseLong(w[3], ticks) || ticks < 0 ||
            ticks > 65535) {
            reply = "error: set petrol CYL takes a cylinder 1..8 and ticks 0..65535";
            return false;
        }
        engine_.OverrideCylinderPetrol(static_cast<std::size_t>(number - 1), static_cast<int>(ticks));
        reply = "ok petrol " + w[2] + " " + w[3];
        return true;
    }
    if (verb == "release" && n == 2) {
        if (w[1] == "all") {
            engine_.ReleaseAll();
        } else if (const auto channel = ChannelByName(w[1])) {
            engine_.Release(*channel);
        } else {
            reply = "error: unknown reading " + w[1];
            return false;
        }
        reply = "ok released " + w[1];
        return true;
    }
    if (verb == "fuel" && n == 2) {
        const auto mode = FuelModeByName(w[1]);
        if (!mode)
            return false;
        engine_.SetFuelMode(*mode);
        reply = "ok fuel " + w[1];
        return true;
    }
    if (verb == "step" && n <= 2) {
        number = 1;
        if (n == 2 && (!ParseLong(w[1], number) || number < 1 || number > 100000)) {
            reply = "error: step takes a count of 1..100000";
            return false;
        }
        for (long i = 0; i < number; ++i)
            StepLive();
        reply = "ok stepped " + std::to_string(number);
        return true;
    }
    if (verb == "seed" && n == 2) {
        if (!ParseLong(w[1], number) || number < 0 || number > 0xFFFFFFFFL) {
            reply = "error: seed takes a number 0..4294967295";
            return false;
        }
        seed_ = static_cast<uint32_t>(number);
        engine_.ReleaseAll();
        engine_.Reset(seed_);
        lastSystemState_ = kStateOff;
        reply = "ok seed " + w[1];
        return true;
    }
    if ((verb == "ambient" || verb == "regulator" || verb == "gasfactor") && n == 2) {
        if (!ParseDouble(w[1], real)) {
            reply = "error: " + verb + " takes a number";
            return false;
        }
        CarModel &car = engine_.Car();
        if (verb == "ambient" && real >= -40 && real <= 50)
            car.ambientC = real;
        else if (verb == "regulator" && real >= 0 && real <= 5)
            car.regulatorBar = real;
        else if (verb == "gasfactor" && real >= 0.1 && real <= 5)
            car.gasFactor = real;
        else {
            reply = "error: " + verb + " value out of range";
            return false;
        }
        reply = "ok " + verb + " " + w[1];
        return true;
    }
    if (verb == "flow" && n == 3) {
        long percent = 0;
        if (!ParseLong(w[1], number) || number < 1 || number > 8 || !ParseLong(w[2], percent) || percent < 0 ||
            percent > 200) {
            reply = "error: flow takes a cylinder 1..8 and a percentage 0..200";
            return false;
        }
        engine_.Car().injectorFlow[static_cast<std::size_t>(number - 1)] = static_cast<uint8_t>(percent);
        reply = "ok flow " + w[1] + " " + w[2];
        return true;
    }
    if (verb == "injection" && n == 2) {
        const std::string &kind = w[1];
        if (kind != "seq" && kind != "semi" && kind != "group")
            return false;
        engine_.Car().petrolInjection = kind == "seq" ? 1 : kind == "semi" ? 2 : 3;
        reply = "ok injection " + kind;
        return true;
    }
    if (verb == "trouble" && n == 2 && (w[1] == "clear-active" || w[1] == "clear")) {
        const std::size_t end = w[1] == "clear" ? store_.troubleFlags.size() : 8;
        std::fill(store_.troubleFlags.begin(), store_.troubleFlags.begin() + static_cast<long>(end), 0);
        reply = "ok " + w[1];
        return true;
    }
    if (verb == "trouble" && n == 3) {
        long digit = 0;
        if (!ParseLong(w[1], number) || number < 1 || number > 4 || !ParseLong(w[2], digit) || digit < 1 || digit > 8) {
            reply = "error: trouble takes a group 1..4 and a digit 1..8";
            return false;
        }
        RaiseTroubleLocked(static_cast<int>(number), static_cast<int>(digit));
        reply = "ok E10" + w[1] + w[2];
        return true;
    }
    if (verb == "lock" && n == 2) {
        if (!ParseLong(w[1], number, 16) || number < 0 || number > 255) {
            reply = "error: lock takes the lock byte in hex (0F locked, F0 unlocked)";
            return false;
        }
        service_.lockState = static_cast<uint8_t>(number);
        reply = "ok lock " + w[1];
        return true;
    }
    if (verb == "password" && n == 2) {
        if (!ParseLong(w[1], number) || number < 0 || number > 0xFFFFFFFFL) {
            reply = "error: password takes a number 0..4294967295";
            return false;
        }
        service_.password = static_cast<uint32_t>(number);
        reply = "ok password";
        return true;
    }
    if (verb == "valve" && n == 2 && (w[1] == "on" || w[1] == "off")) {
        service_.valveOpen = w[1] == "on";
        reply = "ok valve " + w[1];
        return true;
    }
    if (verb == "emulators" && n == 2) {
        if (!ParseLong(w[1], number, 16) || number < 0 || number > 255) {
            reply = "error: emulators takes a channel mask in hex";
            return false;
        }
        service_.emulatorMask = static_cast<uint8_t>(number);
        reply = "ok emulators " + w[1];
        return true;
    }
    if (verb == "calibration" && n == 2 && w[1] == "fail") {
        service_.calibration.Fail();
        reply = "ok calibration state " + std::to_string(service_.calibration.Report().state);
        return true;
    }
    if (verb == "collect" && n == 2 && (w[1] == "on" || w[1] == "off")) {
        service_.collectMap = w[1] == "on";
        reply = "ok collect " + w[1];
        return true;
    }
    if (verb == "map" && n == 4 && w[1] == "fill") {
        if (!ParseLong(w[2], number) || number < 0 || number > 127 || !ParseDouble(w[3], real) || real <= -50 ||
            real > 100) {
            reply = "error: map fill takes a point count 0..127 and a model error in percent (-50..100)";
            return false;
        }
        FillMapFromLoadModel(static_cast<int>(number), real);
        reply = "ok map fill " + w[2] + " " + w[3];
        return true;
    }
    if (verb == "state" && n == 1) {
        const LiveReadings &r = engine_.Readings();
        std::ostringstream out;
        out << "ok " << id_.Text() << " engine " << (engine_.Scripted() ? "auto/" : "")
            << EnginePhaseName(engine_.Phase()) << " SystemState " << int(r.systemState) << " rpm "
            << static_cast<long>(r.rpm) << " lock " << std::hex << int(service_.lockState) << std::dec << " WorkState "
            << int(service_.WorkState()) << " violations " << violationCount_;
        reply = out.str();
        return true;
    }
    if (verb == "violations" && n <= 2) {
        if (n == 2 && w[1] == "clear") {
            violations_.clear();
            violationCount_ = 0;
            reply = "ok";
            return true;
        }
        if (n == 2)
            return false;
        std::ostringstream out;
        out << "ok " << violationCount_;
        for (const auto &v : violations_)
            out << "\n" << v;
        reply = out.str();
        return true;
    }
    return false;
}

} // namespace sim
