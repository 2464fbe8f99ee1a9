#include "documents/CustomParams.h"
#include "documents/AppConfig.h"
#include "documents/AppSettings.h"
#include "documents/ProductProfile.h"
#include "serial/ComMultiPort.h"

#include <gtest/gtest.h>

namespace lumex {
namespace {

TEST(CustomParameters, FixedPaletteAndEnglishOnlyAtCreation)
{
    TCustomParameters parameters;
    EXPECT_EQ(parameters.PaletteColour(0), 255u);
    EXPECT_EQ(parameters.PaletteColour(1), 128u);
    EXPECT_EQ(parameters.PaletteColour(2), 65280u);
    EXPECT_EQ(parameters.PaletteColour(3), 32896u);
    EXPECT_EQ(parameters.PaletteColour(4), 0u);
    EXPECT_EQ(parameters.OfferedLanguages(), 2);
    EXPECT_THROW(parameters.PaletteColour(17), std::out_of_range);
    EXPECT_THROW(parameters.SetProfileColour(4, 1), std::out_of_range);
}

TEST(CustomParameters, ThisProgramsProfileOffersEnglishCzechGerman)
{
    TCustomParameters parameters;
    const TProductProfile &profile = SelectedProductProfile();
    parameters.ApplyProfile(profile);
    EXPECT_EQ(parameters.OfferedLanguages(), 50);
    for (unsigned index = 0; index < 16; ++index)
        EXPECT_EQ(parameters.IsLanguageOffered(index), index == 1 || index == 4 || index == 5) << index;
    EXPECT_EQ(parameters.InjectorTypes, (std::vector<int>{5, 0, 19, 28, 2, 24, 12, 11, 23, 13, 21, 22}));
    EXPECT_EQ(parameters.PressureSensorTypes, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(parameters.PaletteColour(5), ColourFromRgb(profile.Palette[0]));
    EXPECT_EQ(parameters.PaletteColour(16), ColourFromRgb(profile.Palette[11]));
    EXPECT_EQ(parameters.PaletteColour(0), 255u) << "fixed entries stay";
}

TEST(CustomParameters, ColourRegistrationsFirstOneCounts)
{
    TCustomParameters parameters;
    int display = 0, label = 0, other = 0;
    int state = 2;
    parameters.RegisterDisplayColour(&display, [&] { return state; });
    parameters.RegisterDisplayColour(&display, [] { return 0; });
    parameters.RegisterLabelColour(&label, [] { return 99; });
    EXPECT_EQ(parameters.DisplayColour(&display), 65280u);
    state = 0;
    EXPECT_EQ(parameters.DisplayColour(&display), 255u);
    EXPECT_EQ(parameters.DisplayColour(&other), TCustomParameters::UnregisteredColour);
    EXPECT_EQ(parameters.LabelColour(&display), TCustomParameters::UnregisteredColour);
    EXPECT_EQ(parameters.LabelColour(&label), TCustomParameters::UnregisteredColour) << "index outside the palette";
}

int Halve(int &value)
{
    return value / 2;
}

TEST(CustomParameters, EvaluatorWithItsManager)
{
    TCustomParameters parameters;
    int manager = 6;
    int display = 0;
    parameters.RegisterDisplayColour(&display, &Halve, manager);
    EXPECT_EQ(parameters.DisplayColour(&display), 32896u);
}

TEST(ApplicationSettings, ProfileSetsTheDefaultLanguageAndTheSharedPortIsReady)
{
    TComMultiPort port;
    TApplicationSettings settings(port);
    settings.SelectProfile(SelectedProductProfile());
    EXPECT_EQ(settings.AppConfig().DefaultLanguage, "CZ");
    EXPECT_EQ(settings.AppConfig().ProductName, "Lumex2");
    EXPECT_EQ(settings.CustomParameters().OfferedLanguages(), 50);
    EXPECT_EQ(&settings.Port(), &port);
    EXPECT_EQ(settings.Port().BaudRate(), TComBaudRate::comBR9600);
    EXPECT_EQ(settings.Port().LockingStrategy(), TComMultiPortLockingStrategy::lsReadDataWithControl);
}

} // namespace
} // namespace lumex
