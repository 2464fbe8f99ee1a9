// lumex2-cli map: `map calc` on our reference files (tests/calibration/data)
// reproduces the hand-computed calculations; too few points exit 1 with the
// warning text; `map read` saves the simulated controller's points as a
// file that loads back with the same points.
#include "ProgramRun.h"
#include "SimHarness.h"

#include "calibration/MapFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <unistd.h>

using nlohmann::json;
using testsupport::RunProgram;

namespace {

const std::string kData = std::string(LUMEX_SOURCE_DIR) + "/tests/calibration/data/";

std::filesystem::path Scratch()
{
    auto p = std::filesystem::temp_directory_path() / ("calmap-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
}

json Calc(std::vector<std::string> args)
{
    std::vector<std::string> argv{LUMEX_CLI_PATH, "--json", "map", "calc"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back("--lang");
    argv.push_back("EN");
    const auto run = RunProgram(argv, Scratch());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.exitCode == 0 ? json::parse(run.out) : json{};
}

void ExpectPairs(const json &got, const std::vector<std::pair<double, double>> &want, double tol)
{
    ASSERT_EQ(got.size(), want.size()) << got.dump();
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_NEAR(got[i][0].get<double>(), want[i].first, tol) << i;
        EXPECT_NEAR(got[i][1].get<double>(), want[i].second, tol) << i;
    }
}

} // namespace

TEST(MapCalcCli, BandsFileChoosesBAndUsesTheLineOfAllForASparseBand)
{
    // Band 1 (Tb up to 5 ms) has its own line 5p + 2; the 9 ms and 20 ms LPG
    // points take the line of all five petrol points (slope 13.3 / 1.46).
    // The default model gives Tg = Tb + 1.1 (to the tick).
    const double slope = 13.3 / 1.46, intercept = 5.8 - slope * 0.56;
    for (const char *letter : {"D", "G"}) {
        const json j = Calc({kData + "bands.gmf", "--gen", "30", "--letter", letter});
        EXPECT_EQ(j["calculation"], "B");
        ExpectPairs(j["calculated"],
                    {{4.5, 5.6}, {slope * 0.8 + intercept, 10.1}, {3.5, 4.6}, {slope * 0.95 + intercept, 21.1}}, 0.01);
        EXPECT_EQ(j["offset"], "1.1");
        EXPECT_GE(j["model"].size(), 6u);
    }
}

TEST(MapCalcCli, LegacyLineFileGivesCalculationAAndTheSegmentFit)
{
    const json j = Calc({kData + "legacy-line.gmf", "--gen", "14"});
    EXPECT_EQ(j["calculation"], "A");
    // Petrol Tb = 10p + 2; the model (Tb + 1 ms, no enrichment) at the LPG times.
    ExpectPairs(j["calculated"], {{5, 6.5}, {7, 8.7}, {9, 10.9}, {11, 13.1}}, 1e-6);
    // Segments of slope 1.1 from (0, 1); the last has no points and stays.
    ExpectPairs(j["model"], {{0, 1}, {5, 6.5}, {10, 12}, {15, 17.5}, {20, 21}}, 1e-6);
    EXPECT_EQ(j["enrichment"], json::array({8, 9, 9, 0}));
    EXPECT_EQ(j["multiplier"], "1.00");
    EXPECT_EQ(j["offset"], "1.0");
}

TEST(MapCalcCli, G3FileGivesCalculationC)
{
    const json j = Calc({kData + "g3-bins.gmf", "--gen", "30", "--letter", "G", "--g3", kData + "g3-bins.gcf"});
    EXPECT_EQ(j["calculation"], "C");
    // Bins 2, 4 (filled), 6 and 8 of the G3 map; the outlier and the point
    // of an invalid bin are left out.
    ExpectPairs(j["calculated"], {{4, 4.6}, {6, 5.1}, {8, 5.7}, {10, 6.1}}, 0.01);
    // Without the G3 map the same file goes to calculation B.
    EXPECT_EQ(Calc({kData + "g3-bins.gmf", "--gen", "30", "--letter", "G"})["calculation"], "B");
}

TEST(MapCalcCli, TooFewPointsExitOneWithTheWarning)
{
    const auto run = RunProgram({LUMEX_CLI_PATH, "map", "calc", kData + "few-petrol.gmf", "--lang", "EN"}, Scratch());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Not enough PETROL map points"), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
    const auto bad = RunProgram({LUMEX_CLI_PATH, "map", "calc", kData + "g3-bins.gcf"}, Scratch());
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("not a map point file"), std::string::npos) << bad.err;
}

TEST(MapReadCli, SavesTheControllersPoints)
{
    testsupport::SimHarness sim;
    sim.Control("map fill 6 10");
    const std::string file = (Scratch() / "read.gmf").string();
    const auto run = RunProgram({LUMEX_CLI_PATH, "--port", sim.Path(), "map", "read", "--gmf", file}, Scratch());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("PETROL 6 LPG 6"), std::string::npos) << run.out;
    const lumex::TMapFileParse parsed = lumex::LoadMapFile(file);
    ASSERT_TRUE(parsed.File) << parsed.Error;
    ASSERT_EQ(parsed.File->Petrol.Points.size(), 6u);
    ASSERT_EQ(parsed.File->Lpg.Points.size(), 6u);
    // The load model: Tb = 1.5 + 8 p on petrol, 10 % shorter on gas, to the 32-tick step.
    for (std::size_t i = 0; i < 6; ++i) {
        const auto &p = parsed.File->Petrol.Points[i].Point;
        const auto &g = parsed.File->Lpg.Points[i].Point;
        EXPECT_NEAR(p.TimeMs, 1.5 + 8 * p.Pressure, 0.25) << i;
        EXPECT_NEAR(g.TimeMs * 1.1, p.TimeMs, 0.25) << i;
    }
}
