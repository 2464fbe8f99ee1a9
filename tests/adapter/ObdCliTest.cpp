// lumex2-cli obd against a simulated car: the trouble codes listed with
// their descriptions, clearing, live values, and connect refusals.
#include "AdapterSim.h"
#include "CliRun.h"
#include "SimHarness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using blockstest::RunCli;
using testsupport::SimHarness;

namespace {

sim::SimulatorOptions CarWith(std::vector<std::string> codes)
{
    sim::AdapterIdentity id;
    for (const auto &c : codes)
        id.obd.recorded.push_back({0x10, *sim::ParseObdCode(c)});
    return adaptertest::WithAdapter(id);
}

} // namespace

TEST(ObdCli, CodesAreListedWithDescriptionsAndClearingEmptiesThem)
{
    SimHarness s(CarWith({"P0123", "U0100"}));
    const auto r = RunCli({"--port", s.Path(), "obd", "codes", "--lang", "EN"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("   Error 1: P0123 (Throttle or pedal position sensor A circuit high input)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("   Error 2: U0100 (Communication with the engine control module A lost)"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Error 3"), std::string::npos);

    const auto cleared = RunCli({"--port", s.Path(), "obd", "codes", "--clear", "--lang", "EN"});
    ASSERT_EQ(cleared.exitCode, 0) << cleared.err;
    EXPECT_EQ(cleared.out.find("P0123"), std::string::npos) << cleared.out;
}

TEST(ObdCli, AFailedCodeReadExitsWithTheErrorAndNoCode)
{
    SimHarness s(CarWith({"P0123"}), {"silence@C2/80:1"});
    const auto r = RunCli({"--port", s.Path(), "obd", "codes", "--lang", "EN"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.find("P0123 ("), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("*** "), std::string::npos) << r.out;
}

TEST(ObdCli, LiveConnectsAndPrintsValues)
{
    SimHarness s(CarWith({}));
    const auto r = RunCli({"--port", s.Path(), "--json", "obd", "live", "--lang", "EN"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["OBDRPM"], "1726");
    EXPECT_EQ(j["OBDStFtB1"], "3.9");
    EXPECT_EQ(j["OBDLambda4B2"], "-----");

    const auto zero = RunCli({"--port", s.Path(), "obd", "connect", "--protocol", "0"});
    EXPECT_EQ(zero.exitCode, 2);
    s.Control("obd protocol 2");
    const auto wrong = RunCli({"--port", s.Path(), "obd", "connect", "--protocol", "5", "--lang", "EN"});
    EXPECT_EQ(wrong.exitCode, 1) << wrong.out;
    EXPECT_NE(wrong.err.find("did not connect"), std::string::npos) << wrong.err;
}
