// The upgrade window's pure rules: the time text and the file filter a
// bootloader starts the dialog with.
#include "upgrade/UpgraderView.h"

#include <gtest/gtest.h>

namespace {

using namespace lumex;

TEST(UpgraderView, TimeTextWaitsForTheEstimateThenShowsBoth)
{
    EXPECT_EQ(UpgradeTimeText(0, -1), "00:00  /  --:--");
    EXPECT_EQ(UpgradeTimeText(61'999, -1), "01:01  /  --:--");
    EXPECT_EQ(UpgradeTimeText(5'000, 125), "00:05  /  02:05");
    EXPECT_EQ(UpgradeTimeText(3'600'000, 0), "60:00  /  00:00");
}

TEST(UpgraderView, NewerBootloadersStartWithTheUpxFilter)
{
    EXPECT_EQ(UpgradeFilterIndex(5), kFilterUpg);
    EXPECT_EQ(UpgradeFilterIndex(6), kFilterUpx);
    EXPECT_EQ(UpgradeFilterIndex(0), kFilterUpg);
}

} // namespace
