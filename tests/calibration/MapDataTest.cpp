// Map point words, the .gmf file, RPM ranges and the G3 map without a device.
#include "calibration/MapFile.h"
#include "calibration/MapG3.h"
#include "calibration/MapRanges.h"
#include "calibration/MapWord.h"
#include "controller/BlockCodec.h"
#include "controller/Conversions.h"
#include "documents/Scramble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace lumex;

namespace {

std::string TempPath(const std::string &name)
{
    return (std::filesystem::temp_directory_path() / ("calmap-" + std::to_string(::getpid()) + "-" + name)).string();
}

std::string ReadBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(MapWord, DecodesAndEncodesTheControllerLayout)
{
    const TMapPoint p = DecodeMapPoint(0x2C85, 2);
    EXPECT_EQ(p.Kind, 1);
    EXPECT_DOUBLE_EQ(p.Pressure, PcolBar(60, 2));
    EXPECT_NEAR(p.TimeMs, 0.856, 0.001);
    EXPECT_EQ(EncodeMapWord(p, 2), 0x2C85);
    // Fields that do not fit their bits are refused, not wrapped.
    EXPECT_FALSE(EncodeMapWord({0.5, 21.85, 0}, 2)); // time code 127.7 rounds to 128
    EXPECT_TRUE(EncodeMapWord({0.5, 21.7, 0}, 2));
    EXPECT_FALSE(EncodeMapWord({3.0, 5, 0}, 2)); // beyond bin 63
    EXPECT_FALSE(EncodeMapWord({0.5, 5, 8}, 2));
    EXPECT_FALSE(EncodeMapWord({std::nan(""), 5, 0}, 2));
    // Counts 9 and 10 both land in bin 0 (the halving rounds toward zero).
    EXPECT_EQ(MapPressureBin((9.0 / 256 + 0.00842) / 0.242, 2), 0u);
    EXPECT_FALSE(MapPressureBin((7.0 / 256 + 0.00842) / 0.242, 2));
}

TEST(MapWord, EveryCodeSurvivesAFileRoundTrip)
{
    for (uint8_t sensor : {uint8_t{1}, uint8_t{2}}) {
        for (unsigned kind = 0; kind < 8; ++kind) {
            for (unsigned bin = 0; bin < 64; ++bin) {
                std::vector<TMapPoint> points;
                std::vector<uint16_t> words;
                for (unsigned t = 0; t < 128; ++t) {
                    words.push_back(static_cast<uint16_t>(kind << 13 | bin << 7 | t));
                    points.push_back(DecodeMapPoint(words.back(), sensor));
                }
                // A block holds 127 points: the codes go in two files.
                for (std::size_t part = 0; part < 2; ++part) {
                    const std::size_t from = part * 64, to = from + 64;
                    const std::vector<TMapPoint> slice(points.begin() + from, points.begin() + to);
                    const TMapFileParse r = ParseMapFile(FormatMapFile(slice, slice));
                    ASSERT_TRUE(r.File) << r.Error;
                    for (std::size_t i = 0; i < slice.size(); ++i) {
                        ASSERT_EQ(EncodeMapWord(r.File->Lpg.Points[i].Point, sensor), words[from + i])
                            << "sensor " << int(sensor) << " word " << words[from + i];
                    }
                }
            }
        }
    }
}

TEST(MapFileText, WritesBothBlocksInTheFileLayout)
{
    const std::string text = FormatMapFile({{0.5, 4.25, 2}, {0.75, 6.5, 3}}, {});
    EXPECT_EQ(text, "PETROL\r\nLp\tPoinX\tPoinY\tRPM>4000\r\n0\t0.50\t4.25\t2\r\n1\t0.75\t6.50\t3\r\n"
                    "\r\nLPG\r\nLp\tPoinX\tPoinY\tRPM>4000\r\n");
}

TEST(MapFileText, ReadsCommasLfAndOneKindOnly)
{
    const TMapFileParse r = ParseMapFile("LPG\nLp\tPoinX\tPoinY\tRPM>4000\n0\t0,50\t4,25\t2\n5\t0.6\t5\t1\n");
    ASSERT_TRUE(r.File) << r.Error;
    EXPECT_FALSE(r.Scrambled);
    EXPECT_FALSE(r.File->Petrol.Present);
    ASSERT_TRUE(r.File->Lpg.Present);
    ASSERT_EQ(r.File->Lpg.Points.size(), 2u);
    EXPECT_DOUBLE_EQ(r.File->Lpg.Points[0].Point.Pressure, 0.5);
    EXPECT_DOUBLE_EQ(r.File->Lpg.Points[0].Point.TimeMs, 4.25);
    // The number picks the slot; the count is one past the highest.
    const TMapPointList list = ToPointList(r.File->Lpg);
    EXPECT_EQ(list.Count, 6);
    EXPECT_DOUBLE_EQ(list.Points[5].Pressure, 0.6);
    EXPECT_EQ(list.Points[5].Kind, 1);
}

TEST(MapFileText, MalformedLinesAreRejectedWithTheirLine)
{
    const std::string head = "PETROL\nLp\tPoinX\tPoinY\tRPM>4000\n";
    const std::vector<std::pair<std::string, std::string>> bad{{"0\t0.5\t4.2\n", "3"},
                                                               {"x\t0.5\t4.2\t0\n", "point number"},
                                                               {"127\t0.5\t4.2\t0\n", "0 to 126"},
                                                               {"0\t0.5\tabc\t0\n", "petrol time"},
                                                               {"0\t-0.1\t4\t0\n", "pressure"},
                                                               {"0\tnan\t4\t0\n", "pressure"},
                                                               {"0\t0.5\t4\t8\n", "RPM range"},
                                                               {"0\t0.5\t4\t0\n0\t0.6\t5\t0\n", "twice"},
                                                               {"0\t0.5\t4.2\t0\tx\n", "5"}};
    for (const auto &[body, why] : bad) {
        const TMapFileParse r = ParseMapFile(head + body);
        EXPECT_FALSE(r.File) << body;
        EXPECT_EQ(r.ErrorLine >= 3, true) << body;
        EXPECT_NE(r.Error.find(why), std::string::npos) << r.Error;
    }
    const TMapFileParse before = ParseMapFile("0\t0.5\t4\t0\nPETROL\n");
    EXPECT_EQ(before.ErrorLine, 1u);
    EXPECT_FALSE(ParseMapFile("PETROL\nPETROL\n").File);
    EXPECT_FALSE(ParseMapFile("hello\n").File); // neither plain nor scrambled
}

TEST(MapFileText, ScrambledFilesSaveAtomicallyAndLoadBack)
{
    const std::vector<TMapPoint> petrol{{0.5, 4.25, 2}, {0.75, 6.5, 3}}, lpg{{0.4, 3.0, 0}};
    const std::string path = TempPath("scrambled.gmf");
    SaveMapFile(path, petrol, lpg, true);
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.find("PETROL"), std::string::npos);
    std::string plain = bytes;
    ScrambleBytes(std::span(reinterpret_cast<uint8_t *>(plain.data()), plain.size()));
    EXPECT_EQ(plain, FormatMapFile(petrol, lpg));

    const TMapFileParse r = LoadMapFile(path);
    ASSERT_TRUE(r.File) << r.Error;
    EXPECT_TRUE(r.Scrambled);
    ASSERT_EQ(r.File->Petrol.Points.size(), 2u);
    EXPECT_DOUBLE_EQ(r.File->Petrol.Points[1].Point.TimeMs, 6.5);
    EXPECT_EQ(r.File->Lpg.Points.size(), 1u);
    std::filesystem::remove(path);

    const TMapFileParse missing = LoadMapFile(TempPath("missing.gmf"));
    EXPECT_TRUE(missing.Missing);
    EXPECT_TRUE(missing.Error.empty());
}

TEST(MapRanges, WideRangesTakeTwoNarrowOnes)
{
    EXPECT_EQ(MapRPMRangeText(10), "R2500 (2250-3250)");
    EXPECT_EQ(MapRPMRangeText(0), "~1500 (1250-1750)");
    EXPECT_EQ(MapRPMRangeText(15), "");
    EXPECT_TRUE(IsCurrentRangePoint(10, 2));
    EXPECT_TRUE(IsCurrentRangePoint(10, 3));
    EXPECT_FALSE(IsCurrentRangePoint(10, 1));
    EXPECT_FALSE(IsCurrentRangePoint(10, 4));
    EXPECT_TRUE(IsCurrentRangePoint(2, 2));
    EXPECT_FALSE(IsCurrentRangePoint(2, 3));
    EXPECT_DOUBLE_EQ(MapPressureLimit(false), 1.0);
    EXPECT_DOUBLE_EQ(MapPressureLimit(true), 2.5);
    EXPECT_TRUE(IsFullCount(127));
    EXPECT_FALSE(IsFullCount(126));
    EXPECT_EQ(MapPointCount(0x85), 127); // bit 7 set
}

TEST(MapG3Test, BinsLoadClassesAndCompleteness)
{
    EXPECT_EQ(G3BinOf(0.52), 6u);
    EXPECT_EQ(G3BinOf(0.2), 0u);
    EXPECT_FALSE(G3BinOf(0.1));
    EXPECT_FALSE(G3BinOf(2.2));
    EXPECT_DOUBLE_EQ(G3BinPressure(6), 0.5);

    EXPECT_EQ(G3LoadClass(4, false), TLoadClass::Small);
    EXPECT_EQ(G3LoadClass(5, false), TLoadClass::Medium);
    EXPECT_EQ(G3LoadClass(10, false), TLoadClass::Large);
    EXPECT_EQ(G3LoadClass(12, true), TLoadClass::Small);
    EXPECT_EQ(G3LoadClass(25, true), TLoadClass::Medium);
    EXPECT_EQ(G3LoadClass(26, true), TLoadClass::Large);

    TMapG3 g{};
    for (std::size_t j = 0; j < 16; ++j)
        g[j][0] = 0x8000 | 500;
    TG3Coverage c = EvaluateG3(g, false);
    EXPECT_TRUE(c.Complete);
    EXPECT_TRUE(c.CoversAllLoads());
    c = EvaluateG3(g, true);
    EXPECT_FALSE(c.Complete);
    EXPECT_FALSE(c.CoversAllLoads()); // no large-load entry from 26 on
    g[30][0] = 0x8000 | 900;
    EXPECT_TRUE(EvaluateG3(g, true).CoversAllLoads());
    // Entries past the 17 of a standard engine do not count for it.
    g = {};
    g[20][0] = 0x8000 | 900;
    EXPECT_EQ(EvaluateG3(g, false).ValidEntries, 0u);
    // Words without the valid bit are not valid, whatever their time.
    g[2][0] = 0x0FFF;
    EXPECT_EQ(EvaluateG3(g, false).ValidEntries, 0u);
}

TEST(MapG3Test, GapsBetweenValidBinsAreInterpolated)
{
    TMapG3 g{};
    g[2][0] = 0x8000 | 748;  // 4 ms
    g[5][0] = 0x8000 | 1309; // 7 ms
    g[7][0] = 0x8000 | 1683; // 9 ms
    const auto t = G3PetrolTimes(g, false);
    EXPECT_FALSE(t[0]);
    EXPECT_FALSE(t[1]);
    EXPECT_DOUBLE_EQ(*t[3], 5);
    EXPECT_DOUBLE_EQ(*t[4], 6);
    EXPECT_DOUBLE_EQ(*t[6], 8);
    EXPECT_FALSE(t[8]); // after the last valid bin
}
