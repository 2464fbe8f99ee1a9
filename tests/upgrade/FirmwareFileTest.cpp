#include "FirmwareWriter.h"

#include "upgrade/FirmwareFile.h"

#include "upgrade/UpgradeSequence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace lumex;
using mkfw::Corruption;
using mkfw::FirmwareRecipe;

FirmwareRecipe Recipe(std::size_t size = 512)
{
    FirmwareRecipe s;
    s.size = size;
    s.time = "12:34:56";
    s.date = "Jan 12 2010";
    return s;
}

TFirmwareCheck Check(const FirmwareRecipe &recipe, bool adapter = false)
{
    const auto bytes = mkfw::BuildFirmwareFile(recipe);
    return CheckFirmwareImage(bytes, ProfileFor(adapter));
}

TEST(FirmwareFile, GoodFilesOfEitherSizeClassPass)
{
    for (const std::size_t size : {256U - 38U, 256U, 512U - 38U, 512U, 65536U}) {
        const auto r = Check(Recipe(size));
        ASSERT_TRUE(r.ok) << size << ": " << r.message;
        EXPECT_EQ(r.imageSize, size);
        EXPECT_EQ(r.description, "30G (12:34:56 Jan 12 2010)");
    }
}

TEST(FirmwareFile, EachCorruptionGetsItsMessage)
{
    auto s = Recipe();
    s.corrupt = Corruption::Size;
    EXPECT_EQ(Check(s).message, kMsgWrongFile);
    s.corrupt = Corruption::Marker;
    EXPECT_EQ(Check(s).message, kMsgIncompatibleFormat);
    s.corrupt = Corruption::Sum;
    EXPECT_EQ(Check(s).message, kMsgIncompatibleFormat);
    s.corrupt = Corruption::Short;
    EXPECT_EQ(Check(s).message, kMsgWrongFile);
}

TEST(FirmwareFile, SizeIsCheckedBeforeTheMarker)
{
    auto bytes = mkfw::BuildFirmwareFile(Recipe());
    bytes[bytes.size() - 38] = '*';
    bytes.back() = static_cast<uint8_t>(bytes.back() + 1);
    EXPECT_EQ(CheckFirmwareImage(bytes, ControllerProfile()).message, kMsgWrongFile);
}

TEST(FirmwareFile, AFileWithoutImageIsRefused)
{
    // Only a trailer: it would erase the device and program nothing.
    auto bytes = mkfw::BuildFirmwareFile(Recipe(36));
    bytes.erase(bytes.begin(), bytes.begin() + 36);
    bytes.back() = static_cast<uint8_t>(bytes.size() % 256);
    EXPECT_EQ(CheckFirmwareImage(bytes, ControllerProfile()).message, kMsgWrongFile);
    EXPECT_FALSE(CheckFirmwareImage({}, ControllerProfile()).ok);
}

TEST(FirmwareFile, MinimumVersionOnEachSide)
{
    auto s = Recipe();
    s.version = 0x14;
    EXPECT_EQ(Check(s).message, "Required firmware version: 15\r\nFound version: 14");
    s.version = 0x15;
    EXPECT_TRUE(Check(s).ok);
    s.adapter = true;
    s.version = 0x0F;
    EXPECT_EQ(Check(s, true).message, "Required firmware version: 10\r\nFound version: f");
    s.version = 0x10;
    EXPECT_TRUE(Check(s, true).ok);
}

TEST(FirmwareFile, AdapterFileIsNotAControllerFile)
{
    auto s = Recipe();
    s.adapter = true;
    s.version = 0x21;
    const auto asAdapter = Check(s, true);
    ASSERT_TRUE(asAdapter.ok) << asAdapter.message;
    EXPECT_EQ(asAdapter.description.substr(0, 3), "21G");
    EXPECT_FALSE(Check(s, false).ok);
}

TEST(FirmwareFile, RawStampsShowAsHexAndControlBytesNeverRaw)
{
    auto s = Recipe();
    s.time = std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    s.date = "\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1A\x1B";
    EXPECT_EQ(Check(s).description, "30G (01 02 03 04 05 06 07 08 : 11 12 13 14 15 16 17 18 19 1A 1B)");
    s = Recipe();
    s.letter = 0x07;
    s.date = std::string("Jan\n12 2010");
    EXPECT_EQ(Check(s).description, "30? (12:34:56 Jan?12 2010)");
}

void WriteFile(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(FirmwareFile, ReadOnceAndProgrammedFromTheCheckedBytes)
{
    namespace fs = std::filesystem;
    const std::string path = (fs::temp_directory_path() / ("fw-" + std::to_string(::getpid()) + ".upg")).string();
    const auto good = mkfw::BuildFirmwareFile(Recipe());
    WriteFile(path, good);
    TUpgraderLogic logic;
    std::vector<std::string> warnings;
    logic.SetWarning([&](const std::string &w) { warnings.push_back(w); });
    ASSERT_TRUE(logic.CheckFirmwareFile(path));
    // Changed on disk after the check: what is programmed is what was checked.
    WriteFile(path, std::vector<uint8_t>(100, 0x55));
    EXPECT_EQ(logic.FirmwareBytes(), good);
    EXPECT_EQ(logic.FileDescription, "30G (12:34:56 Jan 12 2010)");

    // Larger than any device holds: refused without being read in.
    fs::resize_file(path, kMaxFirmwareFileSize + 1);
    EXPECT_FALSE(logic.CheckFirmwareFile(path));
    EXPECT_FALSE(logic.HasFirmware());
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_EQ(warnings[0], kMsgWrongFile);
    fs::remove(path);

    // No file chosen: not an error, and an update has nothing to program.
    EXPECT_TRUE(logic.CheckFirmwareFile(""));
    EXPECT_FALSE(logic.HasFirmware());
    const TUpgradeResult r = RunUpgrade(logic, {}, {});
    EXPECT_FALSE(r.ok);
}

} // namespace
