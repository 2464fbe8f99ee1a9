// lumex2-cli adapter against simulated lines: the information of a served
// adapter, the refusals for a foreign adapter and for none, and a settings
// file saved from one line and loaded into another.
#include "AdapterSim.h"
#include "CliRun.h"
#include "SimHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>

using blockstest::RunCli;
using testsupport::SimHarness;

namespace {

namespace fs = std::filesystem;

// Adapter frames the simulator saw with the command byte `code`.
std::size_t AdapterFramesWithCode(const SimHarness &s, const std::string &code)
{
    const auto requests = s.Requests();
    return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(),
                                                  [&](const std::string &r) { return r.rfind("C2 " + code, 0) == 0; }));
}

} // namespace

TEST(AdapterCli, InfoPrintsTheVersionBuildDateAndSerial)
{
    SimHarness s(adaptertest::WithAdapter());
    const auto r = RunCli({"--port", s.Path(), "--json", "adapter", "info"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["Version"], "2.1a r5");
    EXPECT_EQ(j["VersionFull"], "0231121a Adapter_ver1 [1-3] ");
    EXPECT_EQ(j["Built"], "Mar 14 2024 12:34:56");
    EXPECT_EQ(j["Serial"], "34567-01-0924");

    const auto text = RunCli({"--port", s.Path(), "adapter", "info"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("2.1a r5"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("34567-01-0924"), std::string::npos) << text.out;
}

TEST(AdapterCli, AForeignAdapterOrNoneIsRefusedAndGetsNoIdentificationRead)
{
    sim::AdapterIdentity foreign;
    foreign.product = 7;
    SimHarness other(adaptertest::WithAdapter(foreign));
    const auto r = RunCli({"--port", other.Path(), "adapter", "info"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("another product (7)"), std::string::npos) << r.err;
    // It answered the identity queries, and nothing after them.
    EXPECT_EQ(AdapterFramesWithCode(other, "0A"), 0u);
    EXPECT_EQ(AdapterFramesWithCode(other, "0B"), 0u);

    SimHarness none(adaptertest::WithAdapter(std::nullopt));
    const auto n = RunCli({"--port", none.Path(), "adapter", "info"});
    EXPECT_EQ(n.exitCode, 1);
    EXPECT_NE(n.err.find("no adapter answered"), std::string::npos) << n.err;
    const fs::path file = fs::temp_directory_path() / ("adapter-cli-none-" + std::to_string(::getpid()) + ".gaf");
    EXPECT_EQ(RunCli({"--port", none.Path(), "adapter", "save", file.string()}).exitCode, 1);
    EXPECT_FALSE(fs::exists(file));
}

TEST(AdapterCli, SaveOnOneLineLoadsIntoAnother)
{
    const fs::path file = fs::temp_directory_path() / ("adapter-cli-" + std::to_string(::getpid()) + ".gaf");
    SimHarness first(adaptertest::WithAdapter());
    const auto saved = RunCli({"--port", first.Path(), "adapter", "save", file.string()});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    const std::string text = testsupport::ReadTextFile(file);
    EXPECT_NE(text.find("Device=2.1a r5"), std::string::npos) << text;
    EXPECT_NE(text.find("Product=Lumex2 (Adapter)"), std::string::npos) << text;

    EXPECT_NE(text.find("[OBD]"), std::string::npos) << text;
    EXPECT_NE(text.find("OBDProtocol_EE=4"), std::string::npos) << text;
    EXPECT_NE(text.find("[AIO]"), std::string::npos) << "the AIO settings are kept in the file too";
    EXPECT_NE(text.find("Lam1EmulatorMaxValue="), std::string::npos) << text;

    SimHarness second(adaptertest::WithAdapter());
    // Without --yes every question is answered No: nothing is loaded.
    const auto declined = RunCli({"--port", second.Path(), "adapter", "load", file.string()});
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_NE(declined.err.find("-> no"), std::string::npos) << declined.err;
    const auto loaded = RunCli({"--port", second.Path(), "adapter", "load", file.string(), "--yes"});
    EXPECT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(AdapterFramesWithCode(second, "72"), 1u) << "the OBD configuration was written";
    fs::remove(file);
}
