// Gas times shown from the model: the readings page's tick reads byte
// parameter 24 after an ok cycle and, when it reads 1, replaces the measured
// gas times by the model's, against the simulated controller.
#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "mainwindow/Detector.h"
#include "mainwindow/PollingTick.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace lumex;
using testsupport::SimHarness;

namespace {

namespace fs = std::filesystem;

// Byte parameter 24 read: C0 07 18, checksum C0 + 07 + 18.
const std::string kReadParam24 = "C0 07 18 DF";
// Word variable 40 (the correction-map counters), the poll cycle's last read.
const std::string kReadWordVar40 = "C0 40 28 28";
// Identification byte 0: the status step's version check.
const std::string kReadIdentByte0 = "C0 53 00 13";

constexpr double kMult = 1.25;
constexpr double kOffsetMs = 1.0;

// A controller of `generation` with the engine idling on petrol, so the
// measured gas times are 0, and with the model and byte parameter 24 set
// through a state file.
struct ModelLine
{
    ModelLine(uint8_t generation, std::optional<uint8_t> letter, int modelGasTimes)
        : sim(testsupport::SimSetup::Controller(generation, letter))
    {
        auto state = nlohmann::json::parse(sim.Control("dump"));
        state["ModelGasTimes"] = modelGasTimes;
        state["Mult"] = kMult;
        state["Offset"] = kOffsetMs;
        const fs::path file = fs::temp_directory_path() / ("model-gas-" + std::to_string(::getpid()) + ".json");
        std::ofstream(file) << state.dump();
        sim.Control("load " + file.string());
        fs::remove(file);
        sim.Control("engine idle");
        sim.Control("fuel petrol");
        sim.Control("set petrol 935"); // 5 ms on every cylinder

        link.Port.SetDevicePath(sim.Path());
        link.Port.Open();
        tick.TimerReady = true;
    }
    ~ModelLine() { link.Port.Close(); }

    // Ticks until one refreshes the readings from a poll cycle that read
    // them; the tick that connects refreshes without reading.
    TTickReport TickToFreshReadings()
    {
        for (int i = 0; i < 6; ++i) {
            const TTickReport report = tick.Run();
            if (report.ReadingsFresh && !report.JustConnected)
                return report;
        }
        ADD_FAILURE() << "no tick refreshed the readings";
        return {};
    }

    // The frames of one more fresh tick, once the simulator logged them all.
    std::vector<std::string> FramesOfOneTick()
    {
        sim.ClearTrace();
        const TTickReport report = tick.Run();
        EXPECT_TRUE(report.ReadingsFresh);
        EXPECT_TRUE(sim.Sync(link.Port));
        return sim.Requests();
    }

    SimHarness sim;
    TControllerLink link;
    TDetector detector;
    TTickHooks hooks;
    TPollingTick tick{link.Manager, detector, hooks};
};

struct Generation
{
    uint8_t code;
    std::optional<uint8_t> letter;
};
const Generation kGenerations[] = {{0x14, std::nullopt}, {0x15, std::nullopt}, {0x30, 'G'}, {0x30, 'C'}};

} // namespace

TEST(ModelGasTimes, ParameterOneReplacesTheMeasuredGasTimesByTheModel)
{
    for (const Generation &g : kGenerations) {
        SCOPED_TRACE(testing::Message() << std::hex << int(g.code) << " " << char(g.letter.value_or(' ')));
        ModelLine line(g.code, g.letter, 1);
        line.TickToFreshReadings();
        const TNorviData &d = line.link.Data;
        ASSERT_DOUBLE_EQ(d.Mult, kMult);
        ASSERT_DOUBLE_EQ(d.Offset, kOffsetMs);
        EXPECT_EQ(d.ModelGasTimes, 1);
        ASSERT_GT(d.InjSW, 0);
        for (int k = 0; k < d.InjSW; ++k) {
            ASSERT_EQ(d.PetrolTime[k], 935) << "cylinder " << k + 1;
            // round(935 x 1.25 + 1.0 x 187) = 1356; the controller measured 0.
            EXPECT_EQ(d.GasTime[k], 1356) << "cylinder " << k + 1;
        }
    }
}

TEST(ModelGasTimes, ParameterZeroKeepsTheMeasuredGasTimes)
{
    for (const Generation &g : kGenerations) {
        SCOPED_TRACE(testing::Message() << std::hex << int(g.code) << " " << char(g.letter.value_or(' ')));
        ModelLine line(g.code, g.letter, 0);
        line.TickToFreshReadings();
        const TNorviData &d = line.link.Data;
        ASSERT_DOUBLE_EQ(d.Mult, kMult);
        for (int k = 0; k < d.InjSW; ++k) {
            ASSERT_EQ(d.PetrolTime[k], 935) << "cylinder " << k + 1;
            EXPECT_EQ(d.GasTime[k], 0) << "cylinder " << k + 1;
        }
    }
}

TEST(ModelGasTimes, ParameterIsReadOncePerRefreshAfterTheStatusCheck)
{
    for (const Generation &g : kGenerations) {
        SCOPED_TRACE(testing::Message() << std::hex << int(g.code) << " " << char(g.letter.value_or(' ')));
        ModelLine line(g.code, g.letter, 1);
        line.TickToFreshReadings();
        const auto frames = line.FramesOfOneTick();
        ASSERT_EQ(std::count(frames.begin(), frames.end(), kReadParam24), 1);
        const auto at = std::find(frames.begin(), frames.end(), kReadParam24);
        // After the cycle's last read and the status step's version check;
        // what follows are the displays' own word-variable reads, if the
        // generation needs any.
        ASSERT_GE(at - frames.begin(), 2);
        EXPECT_EQ(*(at - 2), kReadWordVar40);
        EXPECT_EQ(*(at - 1), kReadIdentByte0);
        for (auto it = at + 1; it != frames.end(); ++it)
            EXPECT_EQ(it->rfind("C0 40 ", 0), 0u) << *it;
    }
}

TEST(ModelGasTimes, OtherPagesNeitherReadTheParameterNorChangeTheGasTimes)
{
    ModelLine line(0x30, 'G', 1);
    line.tick.View.Page = TPage::Diagnostic;
    line.TickToFreshReadings();
    const auto frames = line.FramesOfOneTick();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kReadParam24), 0);
    const TNorviData &d = line.link.Data;
    ASSERT_GT(d.InjSW, 0);
    for (int k = 0; k < d.InjSW; ++k) {
        ASSERT_EQ(d.PetrolTime[k], 935) << "cylinder " << k + 1;
        EXPECT_EQ(d.GasTime[k], 0) << "cylinder " << k + 1;
    }
}
