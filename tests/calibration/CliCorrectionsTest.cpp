// lumex2-cli corrections show, run as its own process against the simulated
// controller on a pseudo-terminal.
#include "CalibSim.h"
#include "CliRun.h"

#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>

using blockstest::CliResult;
using blockstest::RunCli;
using nlohmann::json;

namespace {

class Controller : public testsupport::SimHarness
{
public:
    Controller(const char *fixture, char letter) : SimHarness(calibtest::Installed(fixture, letter)) {}
    sim::ParameterStore Store() { return std::dynamic_pointer_cast<sim::ControllerModel>(Sim().Device())->Store(); }
};

template <typename Table> std::vector<int> Ints(const Table &t)
{
    return std::vector<int>(t.begin(), t.end());
}

} // namespace

TEST(CliCorrections, JsonShowsTheFourTablesAsTheControllerHoldsThem)
{
    Controller c("30G", 'G');
    const CliResult r = RunCli({"--port", c.Path(), "--json", "corrections", "show"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json j = json::parse(r.out);
    const sim::ParameterStore store = c.Store();
    EXPECT_EQ(j.at("CPS").at("Values").get<std::vector<int>>(), Ints(store.cps));
    EXPECT_EQ(j.at("CPCOL").at("Values").get<std::vector<int>>(), Ints(store.cpcol));
    EXPECT_EQ(j.at("CTG").at("Values").get<std::vector<int>>(), Ints(store.ctg));
    EXPECT_EQ(j.at("CRPM").at("Values").get<std::vector<int>>(), Ints(store.crpm));
    EXPECT_EQ(j.at("CTG").at("Type"), 4);
    EXPECT_EQ(j.at("CRPM").at("Type"), 5);
    EXPECT_EQ(j.at("CMActive"), 15);
    EXPECT_EQ(j.at("CPS").at("Axis").at(8), "1,0");
    EXPECT_EQ(j.at("CRPM").at("Axis").at(0), "500");
    EXPECT_TRUE(j.at("CPCOL").at("Active").get<bool>());
    EXPECT_TRUE(c.Violations().empty()) << ::testing::PrintToString(c.Violations());
}

TEST(CliCorrections, PlainTextBeforeRevisionGHasNoManifoldTableAndUsageErrors)
{
    Controller c("30D", 'D');
    const CliResult r = RunCli({"--port", c.Path(), "corrections", "show"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.find("CPCOL"), std::string::npos);
    const std::string firstCtg = "CTG (active ";
    EXPECT_NE(r.out.find(firstCtg), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  -10 = " + std::to_string(c.Store().ctg[0]) + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  6000 = "), std::string::npos);

    EXPECT_EQ(RunCli({"--port", c.Path(), "corrections", "edit"}).exitCode, 2);
    EXPECT_EQ(RunCli({"--port", c.Path(), "corrections"}).exitCode, 2);
    EXPECT_TRUE(c.Violations().empty()) << ::testing::PrintToString(c.Violations());
}
