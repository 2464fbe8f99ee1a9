// What the calibration tests against the simulated controller share: an
// installed car's state with a chosen firmware letter and request frames
// written out by hand.
#pragma once

#include "RequestText.h"
#include "SilentOnWrite.h"
#include "SimLink.h"

#include "sim/Responder.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace calibtest {

using reqtext::Frame;
using reqtext::Frames;
using testsupport::SilentOnWrite;

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

} // namespace calibtest
