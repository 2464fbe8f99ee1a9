#include "configuration/WizardPage.h"

#include <algorithm>
#include <array>

namespace lumex {

namespace {

struct TPageRow
{
    const char *TabName;
    bool LiveReadings;
};

// In page order: row i is page i + 1.
constexpr std::array<TPageRow, kWizardPageCount> kPages{{
    {"TbSConfEngine", false},
    {"TbSConfGasElements", true},
    {"TbSConfSwitching", false},
    {"TbSConfAdvanced", false},
    {"TbSConfVerify", true},
    {"TbSConfAutoCal", true},
    {"TbSConfFinish", false},
}};

const TPageRow &RowOf(TWizardPage page)
{
    return kPages[static_cast<std::size_t>(PageNumber(WizardPageOf(PageNumber(page))) - 1)];
}

} // namespace

TWizardPage WizardPageOf(int number)
{
    return static_cast<TWizardPage>(std::clamp(number, 1, kWizardPageCount));
}

const char *WizardPageTabName(TWizardPage page)
{
    return RowOf(page).TabName;
}

std::string PageCounterText(TWizardPage page)
{
    return "(" + std::to_string(PageNumber(page)) + "/" + std::to_string(kWizardPageCount) + ")";
}

bool PageShowsLiveReadings(TWizardPage page)
{
    return RowOf(page).LiveReadings;
}

} // namespace lumex
