#include "sim/Simulator.h"

#include "sim/ProbeResponders.h"
#include "sim/controller/ControllerModel.h"

#include "controller/CommandTable.h"
#include "upgrade/BootFrames.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <sstream>

namespace sim {

namespace {

// C2 E2 01 and the CRC-16 of those three bytes.
constexpr std::size_t kAdapterJumpLength = 5;

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

constexpr const char *kHostHelp = "fault RULE | faults | clear-faults | pace on|off | turnaround MS | "
                                  "violations [clear] | unplug [MS] | path | help | quit";

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
        BuildFlash();
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
    case Personality::Bootloader:
        device_ = std::make_shared<BootloaderResponder>(options_.boot);
        break;
    case Personality::UnknownGeneration:
        device_ = std::make_shared<UnknownGenerationResponder>(options_.controller.generation,
                                                               options_.controller.letter.value_or('A'));
        break;
    }
    if (!device_) {
        error = "no device";
        return false;
    }
    auto bootLine = std::make_shared<BootloaderLine>();
    if (flash_) {
        line_.Register(flash_->ApplicationSide());
        bootLine->Add(flash_);
    } else {
        line_.Register(device_);
    }
    if (options_.adapter) {
        adapter_ = std::make_shared<AdapterResponder>(*options_.adapter);
        BuildAdapterFlash();
        line_.Register(adapterFlash_->ApplicationSide());
        bootLine->Add(adapterFlash_);
    }
    // A personality that is itself a bootloader keeps the start byte.
    if (device_->StartByte() != lumex::kBootRequestStart)
        line_.Register(bootLine);
    return true;
}

void Simulator::BuildAdapterFlash()
{
    const AdapterIdentity identity = *options_.adapter;
    // The adapter keeps its settings in its own memory: a new image changes
    // only the version it reports.
    auto factory = [this](uint8_t version, uint8_t letter, bool) -> std::shared_ptr<Responder> {
        AdapterIdentity next = adapter_->Identity();
        next.mainVersion = version;
        next.release = letter;
        adapter_ = std::make_shared<AdapterResponder>(next);
        return adapter_;
    };
    BootloaderIdentity boot = options_.adapterBoot;
    boot.family = lumex::kBootFamilyAdapter;
    adapterFlash_ = std::make_shared<FlashDevice>(boot, AdapterResponder::kStart, kAdapterJumpLength, factory, adapter_,
                                                  identity.mainVersion, identity.release, options_.adapterInBootloader);
}

void Simulator::BuildFlash()
{
    const ControllerChoice choice = options_.controller;
    const uint8_t letter = choice.letter.value_or(choice.generation == 0x30 ? 'G' : 0);
    // Runs on the line's thread with the line held, when the bootloader
    // starts a new image: the application is built afresh for its version.
    auto factory = [this](uint8_t version, uint8_t newLetter, bool eepromErased) -> std::shared_ptr<Responder> {
        // Settings live in the EEPROM: unless it was erased, the new
        // firmware finds what the old one left there.
        std::string kept;
        if (const auto old = std::dynamic_pointer_cast<ControllerModel>(device_); old && !eepromErased)
            kept = old->DumpState();
        ControllerChoice next = options_.controller;
        next.generation = version;
        next.letter = newLetter;
        controller_ = MakeController(next, options_.seed);
        device_ = controller_.responder;
        if (const auto model = std::dynamic_pointer_cast<ControllerModel>(device_); model && !kept.empty()) {
            auto doc = nlohmann::json::parse(kept);
            doc.erase("identity"); // the new firmware says who it is
            // A state it cannot take leaves it at its factory values.
            std::string error;
            model->LoadStateText(doc.dump(), error);
        }
        return device_;
    };
    flash_ = std::make_shared<FlashDevice>(options_.boot, lumex::kRequestStart, lumex::kBootRequestLength, factory,
                                           device_, choice.generation, letter, options_.inBootloader);
    flash_->Faults() = options_.bootFaults;
}

bool Simulator::Start(std::string &error)
{
    if (Running())
        return true;
    if (!BuildPersonality(error))
        return false;
    for (const auto &f : options_.faults)
        line_.Faults().Add(f);
    if (!options_.tracePath.empty() && !trace_.Open(options_.tracePath, error))
        return false;
    // Called with mutex_ held, like everything else the line does.
    line_.SetEventSink([this](const TraceEvent &e) {
        if (trace_.IsOpen())
            trace_.Write(e);
        if (observer_)
            observer_(e);
    });
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

void Simulator::AddFault(const FaultRule &fault)
{
    std::lock_guard g(mutex_);
    line_.Faults().Add(fault);
}

void Simulator::Observe(LineHost::EventSink observer)
{
    std::lock_guard g(mutex_);
    observer_ = std::move(observer);
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
    auto ok = [&reply](const std::string &text) {
        reply = text.empty() ? "ok" : "ok " + text;
        return true;
    };
    auto fail = [&reply](const std::string &text) {
        reply = "error: " + text;
        return false;
    };
    if (w.empty())
        return fail("empty control line");
    const std::string &cmd = w[0];
    if (cmd == "help" && w.size() == 1)
        return ok(std::string(kHostHelp) + (controller_.control ? "; and the controller's own commands" : ""));
    if (cmd == "fault" && w.size() == 2) {
        std::string error;
        auto f = ParseFault(w[1], error);
        if (!f)
            return fail(error);
        AddFault(*f);
        return ok("fault " + FormatFault(*f));
    }
    if (cmd == "faults" && w.size() == 1) {
        std::string list;
        std::lock_guard g(mutex_);
        for (const auto &f : line_.Faults().List()) {
            if (f.count != 0)
                list += (list.empty() ? "" : " ") + FormatFault(f);
        }
        return ok(list);
    }
    if (cmd == "clear-faults" && w.size() == 1) {
        std::lock_guard g(mutex_);
        line_.Faults().Clear();
        return ok("faults cleared");
    }
    if (cmd == "pace" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
        std::lock_guard g(mutex_);
        line_.Options().pace = w[1] == "on";
        return ok("pace " + w[1]);
    }
    if (cmd == "turnaround" && w.size() == 2) {
        double ms = 0;
        if (!ParseMs(w[1], ms))
            return fail("turnaround takes milliseconds 0..600000");
        std::lock_guard g(mutex_);
        line_.Options().turnaroundMs = ms;
        return ok("turnaround " + w[1]);
    }
    if (cmd == "violations" && w.size() == 1) {
        const auto v = Violations();
        std::string text = std::to_string(v.size());
        for (const auto &s : v)
            text += "\n" + s;
        return ok(text);
    }
    if (cmd == "violations" && w.size() == 2 && w[1] == "clear") {
        std::lock_guard g(mutex_);
        line_.ClearViolations();
        if (controller_.control) {
            std::string ignored;
            controller_.control(line, ignored);
        }
        return ok("violations cleared");
    }
    if (cmd == "unplug" && w.size() <= 2) {
        double ms = kDefaultUnplugMs;
        if (w.size() == 2 && !ParseMs(w[1], ms))
            return fail("unplug takes milliseconds 0..600000");
        Unplug(ms);
        return ok("unplug " + std::to_string(static_cast<unsigned>(ms)));
    }
    if (cmd == "path" && w.size() == 1)
        return ok(Path());
    if (cmd == "obd") {
        if (!adapter_)
            return fail("no adapter on the line (--adapter)");
        std::lock_guard g(mutex_);
        return adapter_->Obd().Control(w, reply);
    }
    if (adapterFlash_ && cmd.rfind("adapter-boot-", 0) == 0) {
        std::lock_guard g(mutex_);
        if (adapterFlash_->Control(line.substr(std::string("adapter-").size()), reply))
            return true;
        if (reply.empty())
            reply = "error: not understood: " + line;
        return false;
    }
    if (flash_ && cmd.rfind("boot-", 0) == 0) {
        std::lock_guard g(mutex_);
        if (flash_->Control(line, reply))
            return true;
        if (reply.empty())
            reply = "error: not understood: " + line;
        return false;
    }
    if (controller_.control) {
        bool done = false;
        {
            std::lock_guard g(mutex_);
            done = controller_.control(line, reply);
        }
        if (!done && reply.rfind("error", 0) != 0)
            reply = "error: " + (reply.empty() ? "not understood: " + line : reply);
        return done;
    }
    return fail("not understood: " + line + " (" + kHostHelp + ")");
}

} // namespace sim
