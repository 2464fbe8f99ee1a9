// The map point text file (.gmf): a "PETROL" block and an "LPG" block, each
// a header line and one TAB-separated line per point (number, pressure,
// Tb, RPM range). Files may come scrambled like language files; one that
// holds neither block name in plain text is unscrambled first.
#pragma once

#include "controller/NorviData.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumex {

inline constexpr char kMapFilePetrol[] = "PETROL";
inline constexpr char kMapFileLpg[] = "LPG";
inline constexpr std::size_t kMaxMapFileSize = std::size_t{1} << 20;

struct TMapFilePoint
{
    unsigned Number = 0; // the slot in the program's list
    TMapPoint Point;
    std::size_t Line = 0; // 1-based line in the file, for messages
};

struct TMapFileKind
{
    bool Present = false; // the file has this kind's block (maybe empty)
    std::vector<TMapFilePoint> Points;
};

struct TMapFile
{
    TMapFileKind Petrol;
    TMapFileKind Lpg;
};

struct TMapFileParse
{
    std::optional<TMapFile> File;
    bool Scrambled = false;
    bool Missing = false;      // LoadMapFile: no such file (nothing to do)
    std::size_t ErrorLine = 0; // 0 when the error is not about one line
    std::string Error;         // empty on success
};

// Parses a whole file; a malformed line rejects the file.
TMapFileParse ParseMapFile(std::string_view bytes);
// Reads and parses; a missing file gives Missing and no error.
TMapFileParse LoadMapFile(const std::string &path);

// The file text: both blocks, CRLF line ends, "%.2f" pressures and times.
std::string FormatMapFile(const std::vector<TMapPoint> &petrol, const std::vector<TMapPoint> &lpg);
// Writes atomically, scrambled when asked; throws EFileWriteError.
void SaveMapFile(const std::string &path, const std::vector<TMapPoint> &petrol, const std::vector<TMapPoint> &lpg,
                 bool scrambled);

// The program's list of a kind: each point in the slot its number names,
// the count one past the highest number.
TMapPointList ToPointList(const TMapFileKind &kind);
std::vector<TMapPoint> PointsOf(const TMapPointList &list);

} // namespace lumex
