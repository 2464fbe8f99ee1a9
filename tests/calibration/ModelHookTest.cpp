// The post-connection model read through the polling tick and the main
// window's hooks, against the simulated controller: the tick that connects
// reads the generation's model data once, in order, and later ticks do not.
#include "RequestText.h"
#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "mainwindow/Detector.h"
#include "mainwindow/MainTickHooks.h"
#include "mainwindow/PollingTick.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace lumex;
using testsupport::SimHarness;

namespace {

using namespace reqtext;

// Where `part` lies in `all` as one unbroken run; all.size() when it does not.
std::size_t RunAt(const Frames &all, const Frames &part)
{
    const auto it = std::search(all.begin(), all.end(), part.begin(), part.end());
    return static_cast<std::size_t>(it - all.begin());
}

struct TickedLink
{
    explicit TickedLink(uint8_t generation, std::optional<uint8_t> letter)
        : sim(testsupport::SimSetup::Controller(generation, letter))
    {
        link.Port.SetDevicePath(sim.Path());
        link.Port.Open();
        tick.TimerReady = true;
    }
    ~TickedLink() { link.Port.Close(); }

    SimHarness sim;
    TControllerLink link;
    TDetector detector;
    TMainTickHooks hooks{link};
    TPollingTick tick{link.Manager, detector, hooks};
};

} // namespace

TEST(ModelHook, TheConnectingTickReadsTheModelDataOfTheGeneration)
{
    const Frames model1{Frame({0x10, 0x10}), Frame({0x12, 11}), Frame({0x12, 12}), Frame({0x12, 13})};
    // 3.0 "C": Model2 without the adapted model, then the corrections.
    const Frames model2C{Frame({0x07, 30}), Frame({0xD4, 0}),  Frame({0xD4, 1}),  Frame({0x12, 1}),  Frame({0x12, 2}),
                         Frame({0xC0, 0}),  Frame({0x12, 11}), Frame({0x12, 12}), Frame({0x12, 13}), Frame({0xD0, 0}),
                         Frame({0xD2, 0}),  Frame({0xDB, 0}),  Frame({0x12, 13}), Frame({0x12, 11}), Frame({0x12, 12})};
    const std::vector<std::tuple<uint8_t, std::optional<uint8_t>, Frames>> cases{
        {0x14, std::nullopt, model1}, {0x15, std::nullopt, model1}, {0x30, 'C', model2C}};
    for (const auto &[generation, letter, expected] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(generation));
        TickedLink t(generation, letter);
        // The idle points must come from the controller, not stay as they were.
        t.link.Points.ModelPoints = {};
        TTickReport report;
        for (int i = 0; i < 4 && !report.JustConnected; ++i)
            report = t.tick.Run();
        ASSERT_TRUE(report.JustConnected);
        ASSERT_TRUE(t.sim.Sync(t.link.Port));
        const Frames first = t.sim.Requests();
        const std::size_t at = RunAt(first, expected);
        ASSERT_LT(at, first.size()) << ::testing::PrintToString(first);
        // Once per connection: the next tick reads no model data.
        t.sim.ClearTrace();
        t.tick.Run();
        ASSERT_TRUE(t.sim.Sync(t.link.Port));
        EXPECT_EQ(RunAt(t.sim.Requests(), expected), t.sim.Requests().size());
        if (generation == 0x30) {
            EXPECT_GT(t.link.Points.ModelPoints.P2X, 0.0);
        }
    }
}
