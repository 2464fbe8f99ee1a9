// The adaptation map tab on its own, over an image the test fills: the
// cell the engine runs in, the cell colours, the edit limits and the
// controller's switch forced on for revision H.
#include "calibration/ui/AdaptCorrTab.h"
#include "mainwindow/DeviceSnapshot.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

using namespace lumex;

namespace {

constexpr uint16_t kFullLoad25Ms = 4675;

TNorviData RevisionImage(const char *letter)
{
    TNorviData d;
    d.VersionCode = 0x30;
    d.SoftwareLetter = letter;
    d.MaxTbForLoad = kFullLoad25Ms;
    for (std::size_t k = 0; k < 10; ++k) {
        d.AdaptInfoBytes[k] = static_cast<uint8_t>(10 * (k + 1));
        d.AdaptInfoWords[k] = static_cast<uint16_t>(1000 + 500 * k);
    }
    return d;
}

QColor Background(QTableWidget *t, int row, int column)
{
    return t->item(row, column)->background().color();
}

struct TTab
{
    explicit TTab(const char *letter) : Image(RevisionImage(letter)), Tab(Image)
    {
        Tab.OnModified = [this] { ++Modified; };
        Tab.OnWriteEnableBit = [this] { ++EnableWrites; };
        Tab.Fill();
    }
    template <class T> T *Find(const char *name) { return Tab.findChild<T *>(name); }
    void Live(uint8_t load, uint16_t rpmPeriod, bool adapterAdaptation = false)
    {
        TDeviceSnapshot s;
        s.Data = Image;
        s.Data.LoadIndex = load;
        s.Data.RpmPeriod = rpmPeriod;
        s.Obd.AdapterAdaptation = adapterAdaptation;
        Tab.LiveRefresh(s);
    }

    TNorviData Image;
    TAdaptCorrTab Tab;
    int Modified = 0;
    int EnableWrites = 0;
};

} // namespace

TEST(AdaptCorrTab, CurrentCellColoursAndEditLimits)
{
    TTab t("G");
    t.Image.AdaptCorrBank1[0][0] = 127;
    t.Image.AdaptCorrBank1[0][1] = -127;
    t.Image.AdaptCorrBank1[4][5] = 126;
    t.Tab.Fill();
    // Load 25 is in row 2; 22,440,000 / 8976 = 2500 RPM is in column 3.
    t.Live(25, 8976);
    EXPECT_EQ(t.Tab.View().Current(), (std::pair<std::size_t, std::size_t>{2, 3}));
    auto *corrs = t.Find<QTableWidget>("StGOBDAdaptCorrsBank1");
    auto *load = t.Find<QTableWidget>("StGOBDAdaptBank1LoadThresholds");
    auto *rpm = t.Find<QTableWidget>("StGOBDAdaptBank1RPMThresholds");
    ASSERT_TRUE(corrs && load && rpm);
    const QColor grey(128, 128, 128);
    EXPECT_EQ(Background(corrs, 2, 3), grey);
    EXPECT_EQ(Background(load, 2, 0), grey);
    EXPECT_EQ(Background(rpm, 0, 3), grey);
    EXPECT_EQ(Background(load, 3, 0), QColor(Qt::white));
    EXPECT_EQ(Background(corrs, 0, 0), QColor(255, 1, 0));
    EXPECT_EQ(Background(corrs, 0, 1), QColor(3, 255, 0));
    EXPECT_EQ(Background(corrs, 9, 9), QColor(255, 255, 0));
    EXPECT_EQ(load->item(9, 0)->text(), "25,0");
    EXPECT_EQ(rpm->item(0, 9)->text(), "5500");

    // +5 on a block holding 126 stops at 127; "=0" on zeros marks nothing.
    corrs->setRangeSelected(QTableWidgetSelectionRange(4, 5, 5, 7), true);
    t.Find<QPushButton>("BtnPlus5Bank1")->click();
    EXPECT_EQ(t.Image.AdaptCorrBank1[4][5], 127);
    EXPECT_EQ(t.Image.AdaptCorrBank1[5][7], 5);
    EXPECT_EQ(corrs->item(4, 5)->text(), "127");
    EXPECT_EQ(t.Modified, 1);
    corrs->clearSelection();
    corrs->setRangeSelected(QTableWidgetSelectionRange(8, 8, 9, 9), true);
    t.Find<QPushButton>("BtnZeroBank1")->click();
    EXPECT_EQ(t.Modified, 1);
    EXPECT_EQ(t.EnableWrites, 0);
}

TEST(AdaptCorrTab, RevisionHWithTheAdapterAdaptingHidesTheEditsAndForcesTheSwitchOnce)
{
    TTab t("H");
    t.Live(5, 8976, true);
    t.Live(200, 8976, true);
    EXPECT_EQ(t.EnableWrites, 1);
    EXPECT_EQ(t.Image.Model_OBDAdaptCorrConfig & kAdaptCorrEnabledBit, kAdaptCorrEnabledBit);
    EXPECT_EQ(t.Tab.View().Current().first, 9u);
    EXPECT_FALSE(t.Find<QLabel>("StTOBDAdaptationActive")->isHidden());
    EXPECT_TRUE(t.Find<QTableWidget>("StGOBDAdaptCorrsBank1")->isHidden());
    EXPECT_TRUE(t.Find<QPushButton>("BtnPlus1Bank2")->isHidden());
    EXPECT_FALSE(t.Find<QCheckBox>("ChBOBDAdaptationEnabled")->isEnabled());

    // The adapter stops adapting: the grids come back, nothing more is sent.
    t.Live(5, 8976, false);
    EXPECT_EQ(t.EnableWrites, 1);
    EXPECT_TRUE(t.Find<QLabel>("StTOBDAdaptationActive")->isHidden());
    EXPECT_FALSE(t.Find<QTableWidget>("StGOBDAdaptCorrsBank1")->isHidden());
    EXPECT_EQ(t.Tab.View().Current().first, 0u);
}
