// The pages of the 3.0 configuration wizard, in the order the installer
// walks them.
#pragma once

#include <cstdint>
#include <string>

namespace lumex {

enum class TWizardPage : uint8_t
{
    Engine = 1,  // TbSConfEngine
    GasElements, // TbSConfGasElements: the installation
    Switching,   // TbSConfSwitching
    Advanced,    // TbSConfAdvanced
    Verify,      // TbSConfVerify
    AutoCal,     // TbSConfAutoCal
    Finish       // TbSConfFinish
};

inline constexpr int kWizardPageCount = 7;

constexpr int PageNumber(TWizardPage page)
{
    return static_cast<int>(page);
}

// The page of a number 1..7; the nearest page for numbers outside.
TWizardPage WizardPageOf(int number);

// The tab sheet's name.
const char *WizardPageTabName(TWizardPage page);

// "(3/7)": the page's number and the page count.
std::string PageCounterText(TWizardPage page);

// The installation, verification and autocalibration pages show live readings.
bool PageShowsLiveReadings(TWizardPage page);

} // namespace lumex
