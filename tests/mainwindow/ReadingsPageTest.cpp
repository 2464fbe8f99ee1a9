#include "SimHarness.h"

#include "controller/ControllerLink.h"
#include "mainwindow/DeviceWorker.h"
#include "mainwindow/ReadingStrip.h"
#include "mainwindow/ReadingsPage.h"
#include "mainwindow/UiText.h"
#include "widgets/DigitalDisplay.h"

#include <QApplication>
#include <QLabel>
#include <gtest/gtest.h>

using namespace lumex;
using testsupport::SimHarness;
using testsupport::WaitFor;

namespace {

class ReadingsPageTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "mainwindow_device_test";
        static char *argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }

    void SetUp() override
    {
        link_.Port.SetDevicePath(sim_.Path());
        worker_ = std::make_unique<TDeviceWorker>(link_, nullptr, hooks_);
        worker_->OnSnapshot = [this](const TDeviceSnapshot &s) {
            std::lock_guard g(mutex_);
            if (s.Report.ReadingsFresh)
                last_ = s;
        };
        TWorkerStartup startup;
        startup.NoAutoSearch = true;
        startup.FixedDevice = true;
        worker_->Start(startup);
        ASSERT_TRUE(WaitFor([&] { return Fresh().has_value(); }));
    }
    void TearDown() override { worker_->Stop(); }

    std::optional<TDeviceSnapshot> Fresh()
    {
        std::lock_guard g(mutex_);
        return last_;
    }
    // Waits for a fresh reading that satisfies `condition` and shows it.
    TDeviceSnapshot ShowWhen(const std::function<bool(const TDeviceSnapshot &)> &condition)
    {
        std::optional<TDeviceSnapshot> s;
        EXPECT_TRUE(WaitFor([&] {
            s = Fresh();
            return s && condition(*s);
        }));
        page_.ShowReadings(*s);
        return *s;
    }
    TDigitalDisplay *Display(const char *name) { return page_.findChild<TDigitalDisplay *>(name); }
    QLabel *Label(const char *name) { return page_.findChild<QLabel *>(name); }

    SimHarness sim_{testsupport::SimSetup::Controller()};
    TControllerLink link_;
    TTickHooks hooks_;
    std::unique_ptr<TDeviceWorker> worker_;
    TReadingsPage page_;
    std::mutex mutex_;
    std::optional<TDeviceSnapshot> last_;
};

} // namespace

TEST_F(ReadingsPageTest, PinnedEngineSpeedAndSupply)
{
    sim_.Control("engine idle");
    sim_.Control("set rpm 1500");
    sim_.Control("set supply 131");
    ShowWhen([](const TDeviceSnapshot &s) { return s.Data.RpmPeriod == 14960 && s.Data.SupplyRaw == 131; });
    EXPECT_EQ(Display("DgDOdcRPM")->Text(), "1500");
    EXPECT_EQ(Display("DgDOdcRPM")->FaceColour(), QColor(255, 255, 0));
    EXPECT_EQ(Label("LblOdcVbat")->text(), "11.9");
    EXPECT_EQ(Label("LblOdcVbat")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(Label("LblOdcVbatUnit")->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    sim_.Control("set supply 160");
    ShowWhen([](const TDeviceSnapshot &s) { return s.Data.SupplyRaw == 160; });
    EXPECT_EQ(Label("LblOdcVbat")->palette().color(QPalette::WindowText), QColor(0, 0, 0));
}

TEST_F(ReadingsPageTest, StandingEngineShowsZeroInRedAndNoLoads)
{
    sim_.Control("engine off");
    sim_.Control("set rpm 0");
    ShowWhen([](const TDeviceSnapshot &s) { return s.Data.RpmPeriod == 0; });
    EXPECT_EQ(Display("DgDOdcRPM")->Text(), "0");
    EXPECT_EQ(Display("DgDOdcRPM")->FaceColour(), QColor(255, 0, 0));
    EXPECT_EQ(Label("LblOdcWskTb1")->text(), "--");
    EXPECT_EQ(Display("DgDOdcLPG")->Text(), "0.00");
}

TEST_F(ReadingsPageTest, TemperaturesAndPressuresFollowTheController)
{
    sim_.Control("engine idle");
    sim_.Control("set tgas 200");
    sim_.Control("set pcol 100");
    const auto s = ShowWhen([](const TDeviceSnapshot &s) { return s.Data.TgasRaw == 200 && s.Data.PcolRaw == 100; });
    EXPECT_EQ(Display("DgDOdcTgaz")->Text(), "-1.7");
    EXPECT_EQ(Display("DgDOdcTgaz")->FaceColour(), QColor(255, 0, 0));
    // Manifold pressure of raw 100 on the controller's sensor type.
    const double b = 100 / 256.0;
    const double bar = s.Data.PressureSensorType == 1 ? (b - 0.04) / 0.369 : (b + 0.00842) / 0.242;
    EXPECT_EQ(Display("DgDOdcPcol")->Text(), QString::number(bar, 'f', 2));
}

TEST_F(ReadingsPageTest, CylindersBeyondTheInjectorCountAreHidden)
{
    const auto s = ShowWhen([](const TDeviceSnapshot &) { return true; });
    // The same readings with fewer injectors, all eight, then fewer again:
    // the layout follows the count each time.
    for (uint8_t injectors : {uint8_t{3}, uint8_t{8}, uint8_t{5}}) {
        TDeviceSnapshot shown = s;
        shown.Data.InjSW = injectors;
        page_.ShowReadings(shown);
        for (int k = 1; k <= 8; ++k) {
            const std::string name = "LblOdcWskTb" + std::to_string(k);
            ASSERT_NE(Label(name.c_str()), nullptr) << name;
            EXPECT_EQ(Label(name.c_str())->isVisibleTo(&page_), k <= injectors)
                << name << " with " << int{injectors} << " injectors";
        }
    }
}

TEST_F(ReadingsPageTest, ModelStripUsesItsOwnEvaluators)
{
    sim_.Control("engine idle");
    sim_.Control("set rpm 2000");
    sim_.Control("set tred 100");
    const auto s =
        ShowWhen([](const TDeviceSnapshot &s) { return s.Data.TredRaw == 100 && s.Data.RpmPeriod == 11220; });
    TReadingStrip strip(ModelStripLayout());
    strip.ShowReadings(s);
    EXPECT_EQ(strip.findChild<TDigitalDisplay *>("DgDModRPM")->Text(), "2000");
    // Raw 100 is above the warm limit of the model strip (89): alarm,
    // whatever the nominal temperature says on the readings page.
    EXPECT_EQ(strip.Display(TStripValue::Tred)->FaceColour(), QColor(255, 0, 0));
    EXPECT_EQ(strip.Display(TStripValue::Tred)->Text(), Display("DgDOdcTred")->Text());
    EXPECT_EQ(strip.Display(TStripValue::Lpg)->FaceColour(), PaletteColour(kUnregistered));
}
