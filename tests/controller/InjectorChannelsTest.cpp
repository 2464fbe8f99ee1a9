// The injectors in use against the hardware channels the controller
// reports, read through the configuration as the program does.
#include "SimLink.h"

#include "configuration/ConfigFields.h"
#include "configuration/ConfigText.h"
#include "configuration/ConfigValidator.h"
#include "configuration/InjectionSystem.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using linktest::SimLink;

namespace {

namespace fs = std::filesystem;

// A controller of `generation` reporting `hardware` channels, configured
// for `injectors` (mask 2^n - 1).
void Load(SimLink &s, const nlohmann::json &state)
{
    const fs::path file = fs::temp_directory_path() / ("inj-channels-" + std::to_string(::getpid()) + ".json");
    std::ofstream(file) << state.dump();
    s.Control("load " + file.string());
    fs::remove(file);
}

void Configure(SimLink &s, int hardware, int injectors)
{
    // A new identity starts the controller from its factory state, so the
    // mask goes in with a second load.
    auto state = nlohmann::json::parse(s.Control("dump"));
    state["identity"]["InjHW"] = hardware;
    Load(s, state);
    Load(s, {{"InjMask", (1 << injectors) - 1}});
}

} // namespace

TEST(InjectorChannels, InUseAreLimitedByKnownHardwareOnly)
{
    struct Case
    {
        uint8_t generation;
        std::optional<uint8_t> letter;
        int hardware, configured, expected;
    };
    const Case cases[] = {
        {0x15, std::nullopt, 4, 6, 4},                                // more than the hardware has: clipped
        {0x15, std::nullopt, 8, 6, 6}, {0x15, std::nullopt, 0, 6, 6}, // not reported: the configuration stands
        {0x30, 'G', 6, 8, 6},          {0x30, 'G', 0, 5, 5},          {0x30, 'G', 0, 3, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.generation) << std::dec << " hardware " << c.hardware
                                        << " configured " << c.configured);
        SimLink s(testsupport::SimSetup::Controller(c.generation, c.letter));
        Configure(s, c.hardware, c.configured);
        ASSERT_TRUE(s.Connect());
        EXPECT_EQ(s.Data().InjHW, c.hardware);
        EXPECT_EQ(s.Data().InjSW, c.expected);
        EXPECT_TRUE(s.Violations().empty());
    }
}

TEST(InjectorChannels, EveryHardwareAgainstEveryMaskShowsTheCountInUse)
{
    const lumex::TConfigField &count = *lumex::FindConfigField("InjSW");
    for (const uint8_t generation : {uint8_t{0x15}, uint8_t{0x30}}) {
        for (const int hardware : {0, 4, 6, 8}) {
            for (const int configured : {3, 5, 8}) {
                SCOPED_TRACE(testing::Message() << std::hex << int{generation} << std::dec << " hardware " << hardware
                                                << " mask " << ((1 << configured) - 1));
                SimLink s(testsupport::SimSetup::Controller(generation, generation == 0x30 ? std::optional<uint8_t>('G')
                                                                                           : std::nullopt));
                Configure(s, hardware, configured);
                ASSERT_TRUE(s.Connect());
                const int inUse = hardware == 0 ? configured : std::min(configured, hardware);
                EXPECT_EQ(s.Data().InjSW, inUse);
                EXPECT_EQ(s.Data().InjMask, (1 << configured) - 1); // the controller's mask is kept as read
                EXPECT_EQ(lumex::DisplayText(count, s.Data()), std::to_string(inUse));
                // Only counts the hardware has can be chosen, and none gives mask 0.
                for (const int n : lumex::kInjectorCounts) {
                    const auto in = lumex::ParseShownValue(count, s.Data(), std::to_string(n));
                    EXPECT_EQ(bool(in), hardware == 0 || n <= hardware) << n;
                    if (in) {
                        EXPECT_EQ(*in.Raw, unsigned((1 << n) - 1));
                    }
                }
                EXPECT_TRUE(s.Violations().empty());
            }
        }
    }
}
