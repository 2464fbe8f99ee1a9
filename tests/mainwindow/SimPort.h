// A simulated device on a pseudo-terminal, with the frames it received,
// for the main window's tests. Several can run at once, one per "port".
#pragma once

#include "sim/Faults.h"
#include "sim/Simulator.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace guitest {

inline sim::SimulatorOptions ControllerOptions(uint8_t generation = 0x30, std::optional<uint8_t> letter = 'G')
{
    sim::SimulatorOptions o;
    o.personality = sim::Personality::Controller;
    o.controller.generation = generation;
    o.controller.letter = letter;
    return o;
}

inline sim::SimulatorOptions PersonalityOptions(sim::Personality personality)
{
    sim::SimulatorOptions o;
    o.personality = personality;
    return o;
}

class SimPort
{
public:
    explicit SimPort(sim::SimulatorOptions options, const std::vector<std::string> &faults = {})
        : sim_(std::move(options))
    {
        std::string error;
        if (!sim_.Start(error))
            throw std::runtime_error("simulator: " + error);
        for (const auto &text : faults) {
            const auto f = sim::ParseFault(text, error);
            if (!f)
                throw std::runtime_error(error);
            sim_.AddFault(*f);
        }
        auto hold = sim_.Pause();
        sim_.Line().SetEventSink([this](const sim::TraceEvent &e) {
            std::lock_guard g(mutex_);
            if (std::string(e.dir) == "rx") {
                bytes_ += e.bytes.size();
                received_.push_back(sim::HexBytes(e.bytes));
                if (e.discarded.empty())
                    frames_.push_back(sim::HexBytes(e.bytes));
            }
        });
    }
    ~SimPort() { sim_.Stop(); }

    sim::Simulator &Sim() { return sim_; }
    std::string Path() const { return sim_.Path(); }
    std::vector<std::string> Frames()
    {
        std::lock_guard g(mutex_);
        return frames_;
    }
    // Every received chunk, whole frames or discarded bytes.
    std::vector<std::string> Received()
    {
        std::lock_guard g(mutex_);
        return received_;
    }
    std::size_t BytesReceived()
    {
        std::lock_guard g(mutex_);
        return bytes_;
    }
    void Clear()
    {
        std::lock_guard g(mutex_);
        frames_.clear();
        received_.clear();
        bytes_ = 0;
    }
    std::string Control(const std::string &line)
    {
        std::string reply;
        if (!sim_.Control(line, reply))
            throw std::runtime_error("control \"" + line + "\": " + reply);
        return reply;
    }

private:
    sim::Simulator sim_;
    std::mutex mutex_;
    std::vector<std::string> frames_;
    std::vector<std::string> received_;
    std::size_t bytes_ = 0;
};

// Polls `condition` until it holds or `ms` passed.
inline bool WaitFor(const std::function<bool()> &condition, int ms = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

} // namespace guitest
