// The legacy program's window without a display against a simulated 1.5
// controller: it connects on its own device thread and shows the readings.
#include "QtWait.h"
#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "legacy/NorviWindow.h"
#include "widgets/DigitalDisplay.h"

#include <QStatusBar>
#include <gtest/gtest.h>

using namespace lumex;
using testsupport::PumpUntil;
using testsupport::SimHarness;
using testsupport::SimSetup;

namespace {

class NorviWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim_.Control("engine idle");
        sim_.Control("set rpm 1500");
        link_.Port.SetDevicePath(sim_.Path());
        window_ = std::make_unique<TNorviWindow>(link_);
        window_->show();
        window_->StartDevice();
    }
    void TearDown() override
    {
        window_.reset();
        link_.Port.Close();
    }

    TDigitalDisplay *Display(const char *name) { return window_->findChild<TDigitalDisplay *>(name); }

    SimHarness sim_{SimSetup::Controller(0x15, 'E')};
    TControllerLink link_;
    std::unique_ptr<TNorviWindow> window_;
};

TEST_F(NorviWindowTest, ComesUpAndShowsTheControllersReadings)
{
    ASSERT_NE(Display("DgDOdcRPM"), nullptr);
    EXPECT_TRUE(PumpUntil([this] { return Display("DgDOdcRPM")->Text() == "1500"; }))
        << Display("DgDOdcRPM")->Text().toStdString();
    EXPECT_TRUE(window_->Last().LinkUp);
    EXPECT_EQ(window_->Last().Data.VersionCode, 0x15);

    // The map page follows the same engine speed.
    ASSERT_TRUE(window_->ShowPage("TbSMap"));
    sim_.Control("set rpm 2500");
    EXPECT_TRUE(PumpUntil([this] { return Display("DDMapRPM")->Text() == "2500"; }));
    EXPECT_EQ(Display("DDCalRPM")->Text(), "2500");

    // No job or tick failed on the way.
    EXPECT_TRUE(window_->statusBar()->currentMessage().isEmpty())
        << window_->statusBar()->currentMessage().toStdString();
}

} // namespace
