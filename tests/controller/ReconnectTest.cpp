// The exact request frames of a reconnection, per generation and letter,
// as the simulated controller received them.
#include "SimLink.h"

#include "controller/CommandTable.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace lumex;
using linktest::SimLink;
using testsupport::SimSetup;

namespace {

using Frames = std::vector<std::string>;

// The identification part every supported generation shares: version code,
// the version check's letter, the lock state, identification bytes 0..4.
Frames CommonStart()
{
    return {"C0 01 01 C2", "C0 53 00 13", "C0 3F 00 FF", "C0 53 00 13",
            "C0 53 01 14", "C0 53 02 15", "C0 53 03 16", "C0 53 04 17"};
}

const char *kMarketVariable = "C0 40 1A 1A"; // word variable 26, asked when IdentByte3 is not 0

// The frames of one reconnecting poll cycle up to the reads installed after
// identification (configuration, model block, trouble flags), which belong
// to the parameter-block layer. `extensionRan` tells whether those ran.
Frames Reconnect(SimLink &s, bool *extensionRan = nullptr)
{
    auto &hook = s.Manager().Extensions().ReadAfterIdentification;
    const auto installed = hook;
    std::optional<std::size_t> identified;
    hook = [&] {
        identified = s.Requests().size();
        if (installed)
            installed();
    };
    s.ClearTrace();
    s.Manager().PollCycle(pmReadings);
    hook = installed;
    s.Sync();
    Frames frames = s.Requests();
    if (identified)
        frames.resize(*identified);
    if (extensionRan)
        *extensionRan = identified.has_value();
    return frames;
}

// The value byte of the controller's answer to `request`, from the trace.
std::optional<uint8_t> AnsweredValue(const SimLink &s, const std::string &request)
{
    const auto trace = s.Trace();
    for (std::size_t i = 0; i + 1 < trace.size(); ++i) {
        if (trace[i].IsRequest() && trace[i].hex == request && trace[i + 1].dir == "tx" &&
            trace[i + 1].bytes.size() == 4)
            return trace[i + 1].bytes[2];
    }
    return std::nullopt;
}

} // namespace

class ReconnectLegacy : public ::testing::TestWithParam<uint8_t>
{
};

TEST_P(ReconnectLegacy, IdentifiesWithoutTheExtraBytes)
{
    SimLink s(SimSetup::Controller(GetParam(), std::nullopt));
    Frames expected = CommonStart();
    expected.push_back(kMarketVariable);
    bool extensionRan = false;
    EXPECT_EQ(Reconnect(s, &extensionRan), expected);
    EXPECT_TRUE(extensionRan);
    EXPECT_TRUE(s.Manager().LinkUp);
    EXPECT_TRUE(s.Manager().JustConnected);
    EXPECT_TRUE(s.Manager().SoftwareCompatible);
    EXPECT_FALSE(s.Manager().CompatNoticePending);
    EXPECT_EQ(s.Data().VersionCode, GetParam());
    EXPECT_EQ(s.Data().ExtraVersion, 255);
    EXPECT_EQ(s.Data().LockState, 0xF0);
}

INSTANTIATE_TEST_SUITE_P(Generations, ReconnectLegacy, ::testing::Values(uint8_t{0x14}, uint8_t{0x15}));

class Reconnect30 : public ::testing::TestWithParam<char>
{
};

TEST_P(Reconnect30, ReadsWorkStateExtraVersionAndTheLetterAgain)
{
    const char letter = GetParam();
    SimLink s(SimSetup::Controller(0x30, static_cast<uint8_t>(letter)));
    Frames expected = CommonStart();
    expected.insert(expected.end(), {"C0 53 05 18", "C0 53 06 19", kMarketVariable, "C0 53 00 13"});
    bool extensionRan = false;
    EXPECT_EQ(Reconnect(s, &extensionRan), expected);
    EXPECT_TRUE(extensionRan);
    EXPECT_TRUE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().SoftwareLetter, std::string(1, letter));
    EXPECT_TRUE(s.Manager().SoftwareCompatible);
    EXPECT_FALSE(s.Manager().CompatNoticePending);
    // Identification bytes 5 and 6 are what the controller answered; from
    // letter D on byte 6 is a real extra version, before it 255.
    const auto workState = AnsweredValue(s, "C0 53 05 18");
    const auto extra = AnsweredValue(s, "C0 53 06 19");
    ASSERT_TRUE(workState && extra);
    EXPECT_EQ(s.Data().WorkState, *workState);
    EXPECT_EQ(s.Data().ExtraVersion, *extra);
    EXPECT_EQ(*extra == 255, letter < 'D') << int{*extra};
}

INSTANTIATE_TEST_SUITE_P(Letters, Reconnect30, ::testing::Values('C', 'D', 'F', 'G', 'H'));

TEST(Reconnect, LettersBeyondHAreNotCompatible)
{
    for (char letter : {'I', 'h'}) {
        SimLink s(SimSetup::Controller(0x30, static_cast<uint8_t>(letter)));
        ASSERT_TRUE(s.Connect()) << letter;
        EXPECT_FALSE(s.Manager().SoftwareCompatible) << letter;
        EXPECT_TRUE(s.Manager().CompatNoticePending) << letter;
    }
}

TEST(Reconnect, EmptyLetterKeepsCompatibility)
{
    SimLink s(SimSetup::Controller(0x30, uint8_t{0}));
    ASSERT_TRUE(s.Connect());
    EXPECT_EQ(s.Data().SoftwareLetter, "");
    EXPECT_TRUE(s.Manager().SoftwareCompatible);
    EXPECT_FALSE(s.Manager().CompatNoticePending);
}

TEST(Reconnect, UnsupportedGenerationStopsAfterIdentification)
{
    sim::SimulatorOptions options;
    options.personality = sim::Personality::Controller13;
    SimLink s(options);
    std::string digits;
    s.Manager().OnUnsupportedVersion = [&digits](const std::string &d) { digits = d; };
    // The version check asks for the letter; the 1.3 controller stays silent.
    bool extensionRan = true;
    EXPECT_EQ(Reconnect(s, &extensionRan), (Frames{"C0 01 01 C2", "C0 53 00 13"}));
    EXPECT_FALSE(extensionRan);
    EXPECT_FALSE(s.Manager().LinkUp);
    EXPECT_FALSE(s.Manager().JustConnected);
    EXPECT_EQ(s.Data().VersionCode, 0x13);
    EXPECT_TRUE(s.Manager().PreviousCycleFailed);
    EXPECT_TRUE(digits.empty()); // the poll cycle checks without a message

    s.Manager().SetLinkUp(true);
    EXPECT_FALSE(s.Manager().CheckVersion(true));
    EXPECT_EQ(digits, "13");
}

TEST(Reconnect, UnknownGenerationStopsAfterIdentification)
{
    sim::SimulatorOptions options = SimSetup::Controller(0x22, 'A');
    options.personality = sim::Personality::UnknownGeneration;
    SimLink s(options);
    bool extensionRan = true;
    EXPECT_EQ(Reconnect(s, &extensionRan), (Frames{"C0 01 01 C2", "C0 53 00 13"}));
    EXPECT_FALSE(extensionRan);
    EXPECT_FALSE(s.Manager().LinkUp);
    EXPECT_EQ(s.Data().VersionCode, 0x22);
    EXPECT_EQ(s.Data().SoftwareLetter, "A");
    EXPECT_TRUE(s.Manager().PreviousCycleFailed);
}

TEST(Reconnect, ControllerSerialFromMemoryWords)
{
    SimLink s(SimSetup::Controller(0x30, 'G'));
    ASSERT_TRUE(s.Connect());
    s.ClearTrace();
    const std::string serial = s.Manager().ControllerSerial();
    s.Sync();
    EXPECT_EQ(s.Requests(), (Frames{"C0 31 00 54 45", "C0 31 00 58 49", "C0 31 00 5A 4B"}));
    EXPECT_EQ(serial.size(), 11u);
}
