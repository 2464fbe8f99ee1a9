#include "configuration/InjectionSystem.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace lumex;

namespace {

// Phase numbers in injector order packed as the controller sends them: four
// a word, injector 1 in the lowest nibble.
std::vector<uint16_t> Words(const std::vector<int> &phases)
{
    std::vector<uint16_t> words((phases.size() + 3) / 4, 0);
    for (std::size_t i = 0; i < phases.size(); ++i)
        words[i / 4] = static_cast<uint16_t>(words[i / 4] | (phases[i] << (4 * (i % 4))));
    return words;
}

TInjectionSystem Detect(const std::vector<int> &phases)
{
    const auto words = Words(phases);
    return DetectInjectionSystem(words, static_cast<int>(phases.size()));
}

} // namespace

TEST(InjectionSystem, ClassifiesThePhaseGroups)
{
    EXPECT_EQ(Detect({1, 2, 3, 4}), TInjectionSystem::Sequential);
    EXPECT_EQ(Detect({1, 3, 2}), TInjectionSystem::Sequential);
    EXPECT_EQ(Detect({1, 2, 1, 2}), TInjectionSystem::SemiSequential);
    EXPECT_EQ(Detect({1, 2, 3, 1, 2, 3}), TInjectionSystem::SemiSequential);
    EXPECT_EQ(Detect({1, 1, 1, 1}), TInjectionSystem::FullGroup);
    // Eight injectors take the second word.
    EXPECT_EQ(Detect({1, 5, 3, 7, 2, 6, 4, 8}), TInjectionSystem::Sequential);
    EXPECT_EQ(Detect({1, 2, 3, 4, 1, 2, 3, 4}), TInjectionSystem::SemiSequential);
    // No phase 1, a gap in the phases, or half of an odd count: other.
    EXPECT_EQ(Detect({2, 3, 4, 2}), TInjectionSystem::Other);
    EXPECT_EQ(Detect({1, 2, 1, 2, 1}), TInjectionSystem::Other);
    EXPECT_EQ(Detect({1, 1, 1, 5}), TInjectionSystem::Other);
}

TEST(InjectionSystem, OddCountsInOnePhaseAreAFullGroup)
{
    // Half of 3 rounds down to the highest phase, 1: the half-count rule
    // alone would call these semi-sequential.
    EXPECT_EQ(Detect({1, 1, 1}), TInjectionSystem::FullGroup);
    EXPECT_EQ(Detect({1, 1, 1, 1, 1}), TInjectionSystem::FullGroup);
    EXPECT_EQ(Detect({1, 1, 2}), TInjectionSystem::Other);
}

TEST(InjectionSystem, OnlyTheConfiguredInjectorsCountAndMissingWordsTellNothing)
{
    // Injector 4's nibble is outside a three-injector configuration.
    const std::vector<uint16_t> word{0x9321};
    EXPECT_EQ(DetectInjectionSystem(word, 3), TInjectionSystem::Sequential);
    // Six injectors need the second word.
    EXPECT_EQ(DetectInjectionSystem(word, 6), TInjectionSystem::Other);
    EXPECT_EQ(DetectInjectionSystem(word, 0), TInjectionSystem::Other);
    EXPECT_EQ(DetectInjectionSystem({}, 4), TInjectionSystem::Other);
    EXPECT_EQ(PhasesOf(0x4321), (std::vector<int>{1, 2, 3, 4}));
}

TEST(InjectorCounts, HardwareChannelsLimitTheChoiceAndNoMaskIsZero)
{
    EXPECT_EQ(OfferedInjectorCounts(4), (std::vector<int>{3, 4}));
    EXPECT_EQ(OfferedInjectorCounts(6), (std::vector<int>{3, 4, 5, 6}));
    EXPECT_EQ(OfferedInjectorCounts(8), (std::vector<int>{3, 4, 5, 6, 8}));
    // Hardware that does not report its channels limits nothing.
    EXPECT_EQ(OfferedInjectorCounts(0), (std::vector<int>{3, 4, 5, 6, 8}));

    EXPECT_EQ(InjectorMask(3), 7);
    EXPECT_EQ(InjectorMask(4), 15);
    EXPECT_EQ(InjectorMask(5), 31);
    EXPECT_EQ(InjectorMask(6), 63);
    EXPECT_EQ(InjectorMask(8), 255);
    EXPECT_FALSE(InjectorMask(0));
    EXPECT_FALSE(InjectorMask(-1));
    EXPECT_FALSE(InjectorMask(9));
}

TEST(NozzleSize, FollowsPowerInjectorsSystemAndFuel)
{
    // 110 kW is 150 HP: 150 x 0.031 / 4 + 1.31 = 2.4725 mm.
    EXPECT_NEAR(HorsePower(110), 150.0, 1e-9);
    EXPECT_NEAR(SuggestedNozzleSizeMm(110, 4, TInjectionSystem::Sequential, false), 2.4725, 1e-9);
    EXPECT_NEAR(SuggestedNozzleSizeMm(110, 4, TInjectionSystem::Other, false), 2.4725, 1e-9);
    EXPECT_NEAR(SuggestedNozzleSizeMm(110, 4, TInjectionSystem::SemiSequential, false), 2.3725, 1e-9);
    EXPECT_NEAR(SuggestedNozzleSizeMm(110, 4, TInjectionSystem::FullGroup, false), 2.2725, 1e-9);
    EXPECT_NEAR(SuggestedNozzleSizeMm(110, 4, TInjectionSystem::FullGroup, true), 2.3725, 1e-9);
    EXPECT_NEAR(SuggestedNozzleSizeMm(110, 6, TInjectionSystem::Sequential, true), 150 * 0.031 / 6 + 1.41, 1e-9);
    // No injector count chosen: no suggestion.
    EXPECT_EQ(SuggestedNozzleSizeMm(110, 0, TInjectionSystem::Sequential, false), 0.0);
}
