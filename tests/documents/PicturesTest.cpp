#include "DocumentsTestSupport.h"
#include "PictureTestSupport.h"

#include "configuration/ComponentPhotos.h"
#include "documents/JpegDecode.h"
#include "documents/LangManager.h"
#include "documents/Pictures.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

namespace lumex {
namespace {

using test::kQuarterColours;
using test::QuarterJpeg;
using test::TTempFolder;
using test::WriteBytes;

TJpegDecodeResult Decode(const std::string &bytes, const TJpegLimits &limits = {})
{
    return DecodeJpeg({reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()}, limits);
}

// Each channel within `tolerance` of the expected colour (the encoding is lossy).
void ExpectColour(const TRgbImage &image, int x, int y, const std::array<uint8_t, 3> &expected, int tolerance = 24)
{
    const uint8_t *pixel = image.Pixel(x, y);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(pixel[c], expected[c], tolerance) << "channel " << c << " at " << x << "," << y;
}

void ExpectNoPicture(const TJpegDecodeResult &result, const std::string &what)
{
    EXPECT_FALSE(result.Image) << what;
    EXPECT_FALSE(result.Error.empty()) << what;
}

// Where the frame header's height and width sit: after the marker, the
// length and the sample precision.
std::size_t FrameSizeOffset(const std::string &jpeg)
{
    for (std::size_t i = 0; i + 9 < jpeg.size(); ++i)
        if (static_cast<uint8_t>(jpeg[i]) == 0xFF && (static_cast<uint8_t>(jpeg[i + 1]) & 0xFE) == 0xC0)
            return i + 5;
    return std::string::npos;
}

TEST(JpegDecode, ColourPictureComesBackWithItsSizeAndColours)
{
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        auto result = Decode(QuarterJpeg(64, 48, {.Quality = 90, .Progressive = progressive}));
        ASSERT_TRUE(result.Image) << result.Error;
        EXPECT_TRUE(result.Error.empty());
        const TRgbImage &image = *result.Image;
        EXPECT_EQ(image.Width, 64);
        EXPECT_EQ(image.Height, 48);
        ASSERT_TRUE(image.IsValid());
        ExpectColour(image, 16, 12, kQuarterColours[0]);
        ExpectColour(image, 48, 12, kQuarterColours[1]);
        ExpectColour(image, 16, 36, kQuarterColours[2]);
        ExpectColour(image, 48, 36, kQuarterColours[3]);
    }
}

TEST(JpegDecode, GreyPictureComesBackAsEqualChannels)
{
    auto result = Decode(QuarterJpeg(32, 32, {.Grayscale = true}));
    ASSERT_TRUE(result.Image) << result.Error;
    const uint8_t *white = result.Image->Pixel(24, 24);
    EXPECT_EQ(white[0], white[1]);
    EXPECT_EQ(white[1], white[2]);
    EXPECT_GT(white[0], 200);
    const uint8_t *blue = result.Image->Pixel(8, 24);
    EXPECT_LT(blue[0], 100) << "blue is dark in grey";
}

TEST(JpegDecode, BytesAfterTheEndMarkerDoNotSpoilThePicture)
{
    auto result = Decode(QuarterJpeg(32, 16) + "trailing rubbish");
    ASSERT_TRUE(result.Image) << result.Error;
    EXPECT_EQ(result.Image->Width, 32);
}

TEST(JpegDecode, EveryCutThroughTheFileGivesNothing)
{
    const std::string whole = QuarterJpeg(128, 96);
    ASSERT_GT(whole.size(), 2000u) << "the scan, not the headers, is most of the file";
    // From the bare start marker, through the headers, into the scan, up to
    // a few bytes short of the end.
    for (std::size_t length = 0; length + 8 < whole.size(); length += 7)
        ExpectNoPicture(Decode(whole.substr(0, length)), "cut at " + std::to_string(length));
}

TEST(JpegDecode, GarbageGivesNothing)
{
    std::mt19937 rng(99);
    for (int run = 0; run < 50; ++run) {
        std::string bytes(1 + rng() % 4096, '\0');
        for (char &b : bytes)
            b = static_cast<char>(rng());
        // Half of them look like the start of a picture.
        if (run % 2 == 0 && bytes.size() > 2)
            bytes[0] = static_cast<char>(0xFF), bytes[1] = static_cast<char>(0xD8);
        ExpectNoPicture(Decode(bytes), "run " + std::to_string(run));
    }
    ExpectNoPicture(Decode(""), "empty");
    ExpectNoPicture(Decode("This is a text file, not a picture.\n"), "text");
}

TEST(JpegDecode, HugeDeclaredSizeIsRefusedBeforeDecoding)
{
    std::string jpeg = QuarterJpeg(16, 16);
    const std::size_t at = FrameSizeOffset(jpeg);
    ASSERT_NE(at, std::string::npos);
    // 60000 x 60000: about ten gigabytes of pixels if anybody believed it.
    for (std::size_t i = 0; i < 4; ++i)
        jpeg[at + i] = static_cast<char>(i % 2 ? 0x60 : 0xEA);
    auto result = Decode(jpeg);
    ExpectNoPicture(result, "60000 x 60000");
    EXPECT_NE(result.Error.find("too large"), std::string::npos) << result.Error;
}

TEST(JpegDecode, LimitsOfTheCallerApply)
{
    const std::string jpeg = QuarterJpeg(64, 48);
    constexpr std::size_t pixelBytes = std::size_t{64} * 48 * 3;
    ExpectNoPicture(Decode(jpeg, {.MaxSide = 63}), "wider than the side limit");
    ExpectNoPicture(Decode(jpeg, {.MaxPixelBytes = pixelBytes - 1}), "one byte over the pixel limit");
    EXPECT_TRUE(Decode(jpeg, {.MaxSide = 64, .MaxPixelBytes = pixelBytes}).Image) << "exactly at both limits";
    // A progressive file keeps every coefficient of the picture in memory
    // until the last scan.
    const std::string progressive = QuarterJpeg(512, 512, {.Progressive = true});
    ExpectNoPicture(Decode(progressive, {.MaxWorkingMemory = 256 * 1024}), "over the working memory");
    EXPECT_TRUE(Decode(progressive).Image);
}

class ResourcePictures : public ::testing::Test
{
protected:
    TTempFolder folder;
    std::string Folder() const { return folder.Path(); }
    void Put(const std::string &file, int width) { WriteBytes(Folder() + file, QuarterJpeg(width, 16)); }
};

TEST_F(ResourcePictures, PathsFollowTheLanguageCodeOrTheCommonPattern)
{
    EXPECT_EQ(PicturePath("/opt/lumex/Resource/", "CZ", "schema", ".jpg"), "/opt/lumex/Resource/_CZ_schema.jpg");
    EXPECT_EQ(PicturePath("/opt/lumex/Resource/", "", "reducer", ".jpg"), "/opt/lumex/Resource/__reducer.jpg");
    TLM lm(Folder(), "3.0.5.1");
    lm.SetLanguageCode("TR_Tavira");
    EXPECT_EQ(lm.LanguagePicturePath("schema", ".jpg"), Folder() + "_TR_Tavira_schema.jpg");
    EXPECT_EQ(lm.CommonPicturePath("reducer", ".jpg"), Folder() + "__reducer.jpg");
}

TEST_F(ResourcePictures, LanguagePictureIsTheOneOfThatLanguageOnly)
{
    Put("_CZ_schema.jpg", 40);
    Put("_DE_schema.jpg", 24);
    auto czech = LoadLanguagePicture("schema", ".jpg", "CZ", Folder());
    ASSERT_TRUE(czech);
    EXPECT_EQ(czech->Width, 40);
    auto german = LoadLanguagePicture("schema", ".jpg", "DE", Folder());
    ASSERT_TRUE(german);
    EXPECT_EQ(german->Width, 24);
    EXPECT_FALSE(LoadLanguagePicture("schema", ".jpg", "EN", Folder())) << "no fallback to another language";
    EXPECT_FALSE(LoadLanguagePicture("schema", ".png", "CZ", Folder()));
    EXPECT_FALSE(LoadCommonPicture("schema", ".jpg", Folder())) << "the common pattern is \"__schema.jpg\"";
}

TEST_F(ResourcePictures, CommonPictureHasAnEmptyCode)
{
    Put("__reducer.jpg", 32);
    auto reducer = LoadCommonPicture("reducer", ".jpg", Folder());
    ASSERT_TRUE(reducer);
    EXPECT_EQ(reducer->Width, 32);
    EXPECT_FALSE(LoadCommonPicture("injector", ".jpg", Folder()));
}

TEST_F(ResourcePictures, BrokenOrStrangeFilesGiveNothing)
{
    WriteBytes(Folder() + "__empty.jpg", "");
    WriteBytes(Folder() + "__text.jpg", "not a picture");
    WriteBytes(Folder() + "__cut.jpg", QuarterJpeg(64, 48).substr(0, 700));
    std::filesystem::create_directories(Folder() + "__folder.jpg");
    for (const char *name : {"empty", "text", "cut", "folder", "missing"})
        EXPECT_FALSE(LoadCommonPicture(name, ".jpg", Folder())) << name;
    EXPECT_FALSE(LoadPictureFile(Folder() + "nowhere/__x.jpg"));
}

TEST_F(ResourcePictures, MissingOrCorruptFileSaysWhyNamingTheFile)
{
    const TPictureLoad missing = LoadPicture(Folder() + "_EN_schema.jpg");
    EXPECT_FALSE(missing.Image);
    EXPECT_NE(missing.Error.find(Folder() + "_EN_schema.jpg"), std::string::npos) << missing.Error;
    EXPECT_NE(missing.Error.find("no such file"), std::string::npos) << missing.Error;

    WriteBytes(Folder() + "_EN_schema.jpg", QuarterJpeg(64, 48).substr(0, 700));
    const TPictureLoad cut = LoadPicture(Folder() + "_EN_schema.jpg");
    EXPECT_FALSE(cut.Image);
    EXPECT_NE(cut.Error.find("is not a picture that can be shown"), std::string::npos) << cut.Error;

    Put("_EN_schema.jpg", 40);
    const TPictureLoad good = LoadPicture(Folder() + "_EN_schema.jpg");
    ASSERT_TRUE(good.Image);
    EXPECT_EQ(good.Image->Width, 40);
    EXPECT_TRUE(good.Error.empty());
}

TEST_F(ResourcePictures, NamesAndCodesCannotLeaveTheFolder)
{
    // A real picture one folder up and one beside, reachable only by a
    // forged name or code.
    TTempFolder inner;
    std::filesystem::create_directories(Folder() + "Resource");
    const std::string resource = Folder() + "Resource/";
    Put("__up.jpg", 16);
    Put("_XX_schema.jpg", 16);
    EXPECT_FALSE(LoadCommonPicture("/../../__up", ".jpg", resource));
    EXPECT_FALSE(LoadCommonPicture("up", "/../../__up.jpg", resource));
    EXPECT_FALSE(LoadLanguagePicture("schema", ".jpg", "XX", Folder())) << "not one of our language codes";
    EXPECT_FALSE(LoadLanguagePicture("schema", ".jpg", "../CZ", resource));
}

// The stand-ins the build draws into the program's resource folder.
TEST(ShippedPictures, EveryShippedLanguageHasASchemaAndTheLogoDecodes)
{
    const std::string folder = TLM::DefaultResourceFolder();
    for (const char *code : {"PL", "EN", "DE", "CZ"}) {
        const TPictureLoad schema = LoadPicture(PicturePath(folder, code, "schema", ".jpg"));
        ASSERT_TRUE(schema.Image) << code << ": " << schema.Error;
        // It prints at its natural size inside the margins of an A4
        // landscape sheet: 277 x 190 mm at 96 pixels to the inch.
        EXPECT_LE(schema.Image->Width, 1047) << code;
        EXPECT_LE(schema.Image->Height, 718) << code;
    }
    const TPictureLoad logo = LoadPicture(folder + "_data.reg");
    EXPECT_TRUE(logo.Image) << logo.Error;
}

TEST(ShippedPhotos, EveryComponentHasADecodablePhotograph)
{
    std::set<std::string_view> names;
    for (const auto &photo : ComponentPhotos()) {
        SCOPED_TRACE(std::string(photo.Picture));
        EXPECT_TRUE(names.insert(photo.Picture).second) << "picture names are unique";
        EXPECT_EQ(ComponentPhotoName(photo.Component), photo.Picture);
        auto picture = LoadCommonPicture(std::string(photo.Picture), std::string(kComponentPhotoExt));
        ASSERT_TRUE(picture) << "missing from " << TLM::DefaultResourceFolder();
        EXPECT_EQ(picture->Width, 320);
        EXPECT_EQ(picture->Height, 240);
        // Inside the border the paper is light; the caption strip has ink.
        const uint8_t *paper = picture->Pixel(8, 8);
        EXPECT_GT(paper[0] + paper[1] + paper[2], 3 * 220);
    }
    EXPECT_EQ(names.size(), 6u);
}

} // namespace
} // namespace lumex
