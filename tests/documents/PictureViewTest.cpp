#include "DocumentsTestSupport.h"
#include "PictureTestSupport.h"

#include "widgets/PictureView.h"

#include <QPixmap>
#include <gtest/gtest.h>

namespace lumex {
namespace {

using test::kQuarterColours;
using test::QuarterJpeg;
using test::QuarterPicture;
using test::TTempFolder;
using test::WriteBytes;

void ExpectEmptyFrame(const TPictureView &view)
{
    EXPECT_FALSE(view.HasPicture());
    EXPECT_TRUE(view.pixmap().isNull());
    EXPECT_EQ(view.frameShape(), QFrame::Panel);
    EXPECT_EQ(view.frameShadow(), QFrame::Sunken);
    EXPECT_GE(view.minimumWidth(), 320) << "the frame keeps the photograph's size while empty";
    EXPECT_GE(view.minimumHeight(), 240);
}

TEST(PictureView, ConversionKeepsSizeAndColours)
{
    const TRgbImage picture = QuarterPicture(20, 10);
    const QImage image = ToQImage(picture);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(20, 10));
    for (auto [x, y] : {std::pair{0, 0}, {19, 0}, {3, 9}, {19, 9}}) {
        const uint8_t *expected = picture.Pixel(x, y);
        const QColor got = image.pixelColor(x, y);
        EXPECT_EQ(got.red(), expected[0]);
        EXPECT_EQ(got.green(), expected[1]);
        EXPECT_EQ(got.blue(), expected[2]);
    }
    TRgbImage broken = picture;
    broken.Bytes.pop_back();
    EXPECT_TRUE(ToQImage(broken).isNull()) << "fewer bytes than the size needs";
    EXPECT_TRUE(ToQImage(TRgbImage{}).isNull());
}

TEST(PictureView, MissingPictureLeavesAnEmptyFrame)
{
    TTempFolder folder;
    TPictureView view;
    view.show();
    EXPECT_FALSE(view.LoadCommonPicture("reducer", ".jpg", folder.Path()));
    ExpectEmptyFrame(view);
}

TEST(PictureView, ShowsAPictureAndEmptiesWhenTheNextIsMissingOrBroken)
{
    TTempFolder folder;
    WriteBytes(folder.Path() + "__reducer.jpg", QuarterJpeg(64, 48));
    WriteBytes(folder.Path() + "__broken.jpg", QuarterJpeg(64, 48).substr(0, 500));
    TPictureView view;
    view.show();

    ASSERT_TRUE(view.LoadCommonPicture("reducer", ".jpg", folder.Path()));
    EXPECT_TRUE(view.HasPicture());
    const QImage shown = view.pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(64, 48));
    const QColor green = shown.pixelColor(48, 12);
    EXPECT_NEAR(green.red(), kQuarterColours[1][0], 24);
    EXPECT_NEAR(green.green(), kQuarterColours[1][1], 24);
    EXPECT_NEAR(green.blue(), kQuarterColours[1][2], 24);

    EXPECT_FALSE(view.LoadCommonPicture("injector", ".jpg", folder.Path()));
    ExpectEmptyFrame(view);

    ASSERT_TRUE(view.LoadCommonPicture("reducer", ".jpg", folder.Path()));
    EXPECT_FALSE(view.LoadCommonPicture("broken", ".jpg", folder.Path()));
    ExpectEmptyFrame(view);
}

TEST(PictureView, ShowsTheShippedPhotograph)
{
    TPictureView view;
    ASSERT_TRUE(view.LoadCommonPicture("gas_injector", ".jpg"));
    EXPECT_EQ(view.pixmap().size(), QSize(320, 240));
}

} // namespace
} // namespace lumex
