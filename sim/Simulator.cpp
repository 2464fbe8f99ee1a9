#include "sim/Simulator.h"

#include "sim/ProbeResponders.h"

#include <charconv>
#include <sstream>

namespace sim {

namespace {

std::vector<std::string> Words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

bool ParseMs(const std::string &text, double &out)
{
    unsigned value = 0;
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value > 600000)
        return false;
    out = value;
    return true;
}

constexpr const char *kHostHelp = "fault SPEC | faults | clear-faults | pace on|off | turnaround MS | violations | "
                                  "clear-violations | unplug [MS] | path | help";

} // namespace

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)), line_(LineOptions{options_.pace, options_.turnaroundMs, 20.0}), pty_(line_, mutex_)
{
}

Simulator::~Simulator()
{
    Stop();
}

bool Simulator::BuildPersonality(std::string &error)
{
    switch (options_.personality) {
    case Personality::Controller:
        controller_ = MakeController(options_.controller, options_.seed);
        device_ = controller_.responder;
        if (!options_.stateFile.empty() && !controller_.loadState(options_.stateFile, error))
            return false;
        break;
    case Personality::Controller13:
        device_ = MakeController13();
        break;
    case Personality::Device40:
        device_ = MakeDevice40(options_.device40Code);
        break;
    case Personality::Bootloader30:
        device_ = MakeBootloader30();
        break;
    }
    if (!device_) {
        error = "no device";
        return false;
    }
    line_.Register(device_);
    return true;
}

bool Simulator::Start(std::string &error)
{
    if (Running())
        return true;
    if (!BuildPersonality(error))
        return false;
    for (const auto &f : options_.faults)
        line_.Faults().Add(f);
    if (!options_.tracePath.empty()) {
        if (!trace_.Open(options_.tracePath, error))
            return false;
        line_.SetEventSink([this](const TraceEvent &e) { trace_.Write(e); });
    }
    if (!pty_.Open(options_.linkPath, error)) {
        trace_.Close();
        return false;
    }
    worker_ = std::thread([this] { pty_.Run(); });
    return true;
}

std::string Simulator::Path() const
{
    return pty_.Path();
}

void Simulator::Stop()
{
    if (worker_.joinable()) {
        pty_.Stop();
        worker_.join();
    }
    pty_.Close();
    std::lock_guard g(mutex_);
    trace_.Close();
}

std::vector<std::string> Simulator::Violations() const
{
    std::lock_guard g(mutex_);
    return line_.Violations();
}

void Simulator::AddFault(const FaultSpec &fault)
{
    std::lock_guard g(mutex_);
    line_.Faults().Add(fault);
}

void Simulator::Unplug(double ms)
{
    {
        std::lock_guard g(mutex_);
        line_.Unplug(pty_.Now(), ms);
    }
    pty_.Wake();
}

bool Simulator::Control(const std::string &line, std::string &reply)
{
    reply.clear();
    const auto w = Words(line);
    if (w.empty()) {
        reply = "empty command";
        return false;
    }
    const std::string &cmd = w[0];
    if (cmd == "help") {
        reply = kHostHelp;
        return true;
    }
    if (cmd == "fault" && w.size() == 2) {
        auto f = ParseFault(w[1], reply);
        if (!f)
            return false;
        AddFault(*f);
        reply = FormatFault(*f);
        return true;
    }
    if (cmd == "faults" && w.size() == 1) {
        std::lock_guard g(mutex_);
        for (const auto &f : line_.Faults().List()) {
            if (f.count == 0)
                continue;
            if (!reply.empty())
                reply += ' ';
            reply += FormatFault(f);
        }
        return true;
    }
    if (cmd == "clear-faults" && w.size() == 1) {
        std::lock_guard g(mutex_);
        line_.Faults().Clear();
        return true;
    }
    if (cmd == "pace" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        std::lock_guard g(mutex_);
        line_.Options().pace = w[1] == "on";
        return true;
    }
    if (cmd == "turnaround" && w.size() == 2) {
        double ms = 0;
        if (!ParseMs(w[1], ms)) {
            reply = "turnaround takes milliseconds 0..600000";
            return false;
        }
        std::lock_guard g(mutex_);
        line_.Options().turnaroundMs = ms;
        return true;
    }
    if (cmd == "violations" && w.size() == 1) {
        const auto v = Violations();
        reply = std::to_string(v.size());
        for (const auto &s : v)
            reply += "\n" + s;
        return true;
    }
    if (cmd == "clear-violations" && w.size() == 1) {
        std::lock_guard g(mutex_);
        line_.ClearViolations();
        return true;
    }
    if (cmd == "unplug" && w.size() <= 2) {
        double ms = kDefaultUnplugMs;
        if (w.size() == 2 && !ParseMs(w[1], ms)) {
            reply = "unplug takes milliseconds 0..600000";
            return false;
        }
        Unplug(ms);
        return true;
    }
    if (cmd == "path" && w.size() == 1) {
        reply = Path();
        return true;
    }
    if (controller_.control) {
        std::lock_guard g(mutex_);
        return controller_.control(line, reply);
    }
    reply = "unknown command \"" + cmd + "\" (" + kHostHelp + ")";
    return false;
}

} // namespace sim
