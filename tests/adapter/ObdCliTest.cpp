// lumex2-cli obd against a simulated car: the trouble codes listed with
// their descriptions, clearing, live values, connect refusals, and a
// recording whose OBD columns follow the car.
#include "AdapterSim.h"
#include "CliRun.h"
#include "SimHarness.h"

#include "adapter/OBDData.h"
#include "sim/adapter/ObdCar.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>

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

namespace {

// The values of one CSV column, by its header; empty fields stay empty.
std::vector<std::string> CsvColumn(const std::string &path, const std::string &header)
{
    std::ifstream in(path);
    std::string line;
    std::vector<std::string> out;
    std::optional<std::size_t> index;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream ss(line);
        for (std::string f; std::getline(ss, f, ',');)
            fields.push_back(f);
        if (!line.empty() && line.back() == ',')
            fields.emplace_back();
        if (!index) {
            const auto it = std::find(fields.begin(), fields.end(), header);
            if (it == fields.end())
                return {};
            index = static_cast<std::size_t>(it - fields.begin());
        } else if (*index < fields.size()) {
            out.push_back(fields[*index]);
        }
    }
    return out;
}

} // namespace

TEST(ObdCli, RecordFillsTheObdColumnsWithTheCarsMovingValues)
{
    SimHarness s(CarWith({}));
    const std::string csv = ::testing::TempDir() + "obd-record.csv";
    const auto r = RunCli({"--port", s.Path(), "record", "--seconds", "2", "--csv", csv});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    // Every engine speed the car can report.
    std::set<std::string> possible;
    for (unsigned n = 0; n < 20; ++n) {
        const auto f = sim::ObdLiveFrame(n);
        possible.insert(std::to_string(lumex::ObdRpm(f[4], f[5])) + ".000");
    }
    const auto rpm = CsvColumn(csv, "OBDRPM");
    ASSERT_GE(rpm.size(), 2u);
    for (const auto &v : rpm)
        EXPECT_TRUE(possible.count(v)) << v;
    EXPECT_GT(std::set<std::string>(rpm.begin(), rpm.end()).size(), 1u) << "the values move";
    // The car has no second-bank sensors: that column stays empty.
    for (const auto &v : CsvColumn(csv, "OBDLambda1B2"))
        EXPECT_EQ(v, "");
    std::filesystem::remove(csv);
}

TEST(ObdCli, RecordWithoutAnAdapterLeavesTheObdColumnsEmpty)
{
    SimHarness s(adaptertest::WithAdapter(std::nullopt));
    const std::string csv = ::testing::TempDir() + "plain-record.csv";
    const auto r = RunCli({"--port", s.Path(), "record", "--seconds", "1", "--csv", csv});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("OBD columns stay empty"), std::string::npos) << r.err;
    const auto rpm = CsvColumn(csv, "OBDRPM");
    ASSERT_FALSE(rpm.empty());
    for (const auto &v : rpm)
        EXPECT_EQ(v, "");
    std::filesystem::remove(csv);
}
