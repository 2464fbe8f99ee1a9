// lumex2-cli model show, run as its own process against the simulated
// controller: the model it prints is the one the controller holds.
#include "CliRun.h"

#include "SimHarness.h"
#include "sim/controller/ControllerModel.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using blockstest::CliResult;
using blockstest::RunCli;
using nlohmann::json;

namespace {

std::shared_ptr<sim::ControllerModel> Model(testsupport::SimHarness &s)
{
    return std::dynamic_pointer_cast<sim::ControllerModel>(s.Sim().Device());
}

} // namespace

TEST(ModelCli, Model2PointsInMsAsTheControllerHoldsThem)
{
    testsupport::SimHarness s(testsupport::SimSetup::Controller(0x30, 'G'));
    Model(s)->EditStore([](sim::ParameterStore &st) {
        st.model2A[3] = {5611, 6000}; // beyond 30 ms: not part of the model
        st.SetModelParam(1, 1100);    // 1.07
        st.SetModelParam(2, 0xFF13);  // −1.267 ms
        st.SetModelParam(13, 0x81);
    });
    const sim::ParameterStore store = Model(s)->Store();
    const CliResult r = RunCli({"--port", s.Path(), "--json", "model", "show"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j.at("Model"), "Model2");
    std::vector<std::pair<double, double>> expected;
    for (const auto &p : store.model2A) {
        if (p.x <= 5610 && !(p.x == 0xFFFF && p.y == 0xFFFF))
            expected.emplace_back(p.x / 187.0, p.y / 187.0);
    }
    ASSERT_GE(expected.size(), 3u);
    ASSERT_EQ(j.at("Points").size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(j.at("Points")[i].at("Tb").get<double>(), expected[i].first, 1e-9);
        EXPECT_NEAR(j.at("Points")[i].at("Tg").get<double>(), expected[i].second, 1e-9);
    }
    EXPECT_NEAR(j.at("Mult").get<double>(), 1100 / 1024.0, 1e-9);
    EXPECT_NEAR(j.at("Offset").get<double>(), -237 / 187.0, 1e-9);
    EXPECT_EQ(j.at("Correction").at("Mask"), 0x81);
    EXPECT_TRUE(j.contains("AdaptedPoints"));
    EXPECT_NEAR(j.at("IdlePoints").at("P1X").get<double>(), store.modelPoints[0] / 187.0, 1e-9);

    const CliResult text = RunCli({"--port", s.Path(), "model", "show"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("Model2\nmultiplier 1.07, offset -1.27 ms\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("correction: multiplier"), std::string::npos);
    EXPECT_NE(text.out.find("mask 0x81"), std::string::npos);
}

TEST(ModelCli, Model1OnALegacyController)
{
    testsupport::SimHarness s(testsupport::SimSetup::Controller(0x15));
    Model(s)->EditStore([](sim::ParameterStore &st) {
        st.SetModelParam(3, 935);  // P1 5 ms
        st.SetModelParam(7, 4506); // E1 10 %
    });
    const CliResult r = RunCli({"--port", s.Path(), "--json", "model", "show"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j.at("Model"), "Model1");
    EXPECT_EQ(j.at("P")[0], 5);
    EXPECT_EQ(j.at("E")[0], 10);
    const CliResult text = RunCli({"--port", s.Path(), "model", "show"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("P1 5 ms, E1 10 %\n"), std::string::npos) << text.out;
}

TEST(ModelCli, UsageErrors)
{
    EXPECT_EQ(RunCli({"model"}).exitCode, 2);
    EXPECT_EQ(RunCli({"model", "write"}).exitCode, 2);
    const CliResult help = RunCli({"model", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("model show"), std::string::npos);
}
