// A simulated controller on a real pseudo-terminal and a fresh controller
// link whose port points at it, plus the request frames the simulator saw.
#pragma once

#include "controller/ControllerLink.h"
#include "sim/Faults.h"
#include "sim/Simulator.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace linktest {

inline sim::SimulatorOptions ControllerOptions(uint8_t generation, std::optional<uint8_t> letter = std::nullopt)
{
    sim::SimulatorOptions o;
    o.personality = sim::Personality::Controller;
    o.controller.generation = generation;
    o.controller.letter = letter;
    return o;
}

class SimLink
{
public:
    explicit SimLink(sim::SimulatorOptions options) : sim_(std::move(options))
    {
        std::string error;
        if (!sim_.Start(error))
            throw std::runtime_error("simulator: " + error);
        {
            auto hold = sim_.Pause();
            sim_.Line().SetEventSink([this](const sim::TraceEvent &e) {
                std::lock_guard g(mutex_);
                if (std::string(e.dir) == "rx")
                    received_.push_back(e);
            });
        }
        link_.Port.SetDevicePath(sim_.Path());
    }
    ~SimLink()
    {
        link_.Port.Close();
        sim_.Stop();
    }

    sim::Simulator &Sim() { return sim_; }
    lumex::TControllerLink &Link() { return link_; }
    lumex::TDataManager &Manager() { return link_.Manager; }
    lumex::TNorviData &Data() { return link_.Data; }

    void AddFault(const std::string &text)
    {
        std::string error;
        const auto f = sim::ParseFault(text, error);
        if (!f)
            throw std::runtime_error(error);
        sim_.AddFault(*f);
    }

    // Request frames the simulator took as whole frames, as "C0 01 01 C2".
    std::vector<std::string> Requests()
    {
        std::lock_guard g(mutex_);
        std::vector<std::string> out;
        for (const auto &e : received_) {
            if (e.discarded.empty())
                out.push_back(sim::HexBytes(e.bytes));
        }
        return out;
    }
    // Every byte that reached the simulator, whole frames or not.
    std::size_t BytesReceived()
    {
        std::lock_guard g(mutex_);
        std::size_t n = 0;
        for (const auto &e : received_)
            n += e.bytes.size();
        return n;
    }
    void ClearTrace()
    {
        std::lock_guard g(mutex_);
        received_.clear();
    }
    // Gives bytes already written time to reach the simulator's trace.
    static void Settle(int ms = 60) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    // Connects through the poll cycle, as the program does.
    bool Connect() { return link_.Manager.PollCycle(lumex::pmNone) && link_.Manager.LinkUp; }

private:
    sim::Simulator sim_;
    lumex::TControllerLink link_;
    std::mutex mutex_;
    std::vector<sim::TraceEvent> received_;
};

} // namespace linktest
