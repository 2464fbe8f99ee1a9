// The configuration file text the windows read before comparing or loading.
#include "documents/IniFile.h"
#include "mainwindow/GcfOps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(GcfText, ReadsAFileAndRefusesAMissingOrOversizedOne)
{
    const fs::path dir = fs::temp_directory_path() / ("gcf-text-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path good = dir / "car.gcf";
    std::ofstream(good, std::ios::binary) << "[Settings]\r\nP1=5\r\n";
    EXPECT_EQ(lumex::ReadGcfText(QString::fromStdString(good.string())), "[Settings]\r\nP1=5\r\n");
    EXPECT_FALSE(lumex::ReadGcfText(QString::fromStdString((dir / "none.gcf").string())));

    // A file no configuration can be is not read into memory at all.
    const fs::path huge = dir / "huge.gcf";
    std::ofstream(huge).close();
    fs::resize_file(huge, lumex::TIniFile::MaxFileSize + 1);
    EXPECT_FALSE(lumex::ReadGcfText(QString::fromStdString(huge.string())));
    fs::remove_all(dir);
}

} // namespace
