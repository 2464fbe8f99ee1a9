// What the calibration tests against the simulated controller share: an
// installed car's state with a chosen firmware letter, request frames
// written out by hand, and a responder that stays silent on the k-th write.
#pragma once

#include "SimLink.h"

#include "sim/Responder.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace calibtest {

using Frames = std::vector<std::string>;

// "C0 <bytes> <sum>" with the additive checksum.
inline std::string Frame(std::initializer_list<unsigned> bytes)
{
    unsigned sum = 0xC0;
    std::string text = "C0";
    char hex[4];
    for (unsigned b : bytes) {
        sum += b;
        std::snprintf(hex, sizeof hex, " %02X", b & 0xFF);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, " %02X", sum & 0xFF);
    return text + hex;
}

// A frame of a code followed by a table of bytes.
template <typename Table> std::string TableFrame(unsigned code, const Table &table, std::vector<unsigned> head = {})
{
    unsigned sum = 0xC0 + code;
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", code);
    std::string text = std::string("C0 ") + hex;
    std::vector<unsigned> bytes = head;
    for (auto v : table)
        bytes.push_back(static_cast<unsigned>(static_cast<uint8_t>(v)));
    for (unsigned b : bytes) {
        sum += b;
        std::snprintf(hex, sizeof hex, " %02X", b & 0xFF);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, " %02X", sum & 0xFF);
    return text + hex;
}

// The installed car of a generation with the letter of the case.
inline sim::SimulatorOptions Installed(const char *fixture, char letter)
{
    std::ifstream in(std::string(LUMEX_SOURCE_DIR) + "/sim/states/installed-" + fixture + ".json");
    nlohmann::json state = nlohmann::json::parse(in);
    state["identity"]["SoftwareLetter"] = std::string(1, letter);
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("calib-" + std::to_string(::getpid()) + "-" + fixture + letter + ".json");
    std::ofstream(file) << state.dump();
    sim::SimulatorOptions o = testsupport::SimSetup::Controller(0x30, static_cast<uint8_t>(letter));
    o.stateFile = file.string();
    return o;
}

// Passes everything to the controller but stays silent on the k-th request
// of the given codes after being armed (one failure per arming).
class SilentOnWrite : public sim::Responder
{
public:
    SilentOnWrite(std::shared_ptr<sim::Responder> inner, std::set<uint8_t> codes)
        : inner_(std::move(inner)), codes_(std::move(codes))
    {
    }
    void Arm(std::size_t k)
    {
        std::lock_guard lock(mutex_);
        remaining_ = k;
    }
    uint8_t StartByte() const override { return inner_->StartByte(); }
    sim::Scan ScanFrame(std::span<const uint8_t> buffer) const override { return inner_->ScanFrame(buffer); }
    sim::Reply Answer(std::span<const uint8_t> frame) override
    {
        {
            std::lock_guard lock(mutex_);
            const bool write = frame.size() > 1 && codes_.count(frame[1]) != 0;
            if (write && remaining_ > 0 && --remaining_ == 0)
                return {}; // silence, the controller never saw it
        }
        return inner_->Answer(frame);
    }

    // Puts itself in front of the simulated controller.
    static std::shared_ptr<SilentOnWrite> Install(testsupport::SimHarness &h, std::set<uint8_t> codes)
    {
        auto silencer = std::make_shared<SilentOnWrite>(h.Sim().Device(), std::move(codes));
        auto hold = h.Sim().Pause();
        h.Sim().Line().Register(silencer);
        return silencer;
    }

private:
    std::shared_ptr<sim::Responder> inner_;
    std::set<uint8_t> codes_;
    std::mutex mutex_;
    std::size_t remaining_ = 0;
};

} // namespace calibtest
