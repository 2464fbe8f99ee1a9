#include "calibration/MapFile.h"

#include "calibration/MapRanges.h"
#include "calibration/MapWord.h"
#include "common/AtomicFile.h"
#include "documents/FileIo.h"
#include "documents/Scramble.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>

namespace lumex {

namespace {

constexpr char kHeader[] = "Lp\tPoinX\tPoinY\tRPM>4000";
constexpr double kMaxFilePressureBar = 10;
constexpr double kMaxFileTimeMs = 100;

std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool HasBlockName(std::string_view text)
{
    for (const auto line : Lines(text)) {
        const auto t = Trim(line);
        if (t == kMapFilePetrol || t == kMapFileLpg)
            return true;
    }
    return false;
}

std::vector<std::string> Fields(std::string_view line)
{
    std::string text(line);
    std::replace(text.begin(), text.end(), ',', '.'); // either decimal separator
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = text.find('\t', start);
        fields.emplace_back(Trim(std::string_view(text).substr(start, tab == std::string::npos ? tab : tab - start)));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    return fields;
}

template <typename T> bool ParseNumber(const std::string &text, T &value)
{
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// One point line, or the reason it is malformed.
std::string ParsePoint(std::string_view line, TMapFilePoint &p)
{
    const std::vector<std::string> f = Fields(line);
    if (f.size() != 4)
        return "a point line needs 4 TAB-separated fields, this one has " + std::to_string(f.size());
    unsigned number = 0, range = 0;
    double pressure = 0, time = 0;
    if (!ParseNumber(f[0], number) || number >= kMaxMapPointsPerKind)
        return "the point number \"" + f[0] + "\" is not a whole number from 0 to 126";
    if (!ParseNumber(f[1], pressure) || !std::isfinite(pressure) || pressure < 0 || pressure > kMaxFilePressureBar)
        return "the pressure \"" + f[1] + "\" is not a number from 0 to 10 bar";
    if (!ParseNumber(f[2], time) || !std::isfinite(time) || time < 0 || time > kMaxFileTimeMs)
        return "the petrol time \"" + f[2] + "\" is not a number from 0 to 100 ms";
    if (!ParseNumber(f[3], range) || range >= kMapRangeCodes)
        return "the RPM range \"" + f[3] + "\" is not a whole number from 0 to 7";
    p.Number = number;
    p.Point = {pressure, time, static_cast<uint8_t>(range)};
    return {};
}

TMapFileParse Fail(std::size_t line, std::string message)
{
    TMapFileParse r;
    r.ErrorLine = line;
    r.Error = line == 0 ? std::move(message) : "line " + std::to_string(line) + ": " + message;
    return r;
}

void AppendBlock(std::string &out, const char *name, const std::vector<TMapPoint> &points)
{
    out += name;
    out += "\r\n";
    out += kHeader;
    out += "\r\n";
    const std::size_t n = std::min<std::size_t>(points.size(), kMaxMapPointsPerKind);
    for (std::size_t i = 0; i < n; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "%zu\t%.2f\t%.2f\t%u\r\n", i, points[i].Pressure, points[i].TimeMs,
                      unsigned{points[i].Kind});
        out += line;
    }
}

} // namespace

TMapFileParse ParseMapFile(std::string_view bytes)
{
    if (bytes.size() > kMaxMapFileSize)
        return Fail(0, "the file is larger than 1 MiB; it is not a map point file");
    std::string text(bytes);
    bool scrambled = false;
    if (!HasBlockName(text)) {
        ScrambleBytes(std::span(reinterpret_cast<uint8_t *>(text.data()), text.size()));
        scrambled = true;
        if (!HasBlockName(text))
            return Fail(0, "neither a \"PETROL\" nor an \"LPG\" block: not a map point file");
    }
    TMapFile file;
    TMapFileKind *kind = nullptr;
    std::set<unsigned> numbers;
    const std::vector<std::string_view> lines = Lines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t lineNo = i + 1;
        const std::string_view t = Trim(lines[i]);
        if (t.empty() || t.starts_with("Lp"))
            continue;
        if (t == kMapFilePetrol || t == kMapFileLpg) {
            kind = t == kMapFilePetrol ? &file.Petrol : &file.Lpg;
            if (kind->Present)
                return Fail(lineNo, "a second \"" + std::string(t) + "\" block");
            kind->Present = true;
            numbers.clear();
            continue;
        }
        if (kind == nullptr)
            return Fail(lineNo, "a point line before the \"PETROL\" or \"LPG\" line");
        TMapFilePoint p;
        if (std::string why = ParsePoint(lines[i], p); !why.empty())
            return Fail(lineNo, why);
        if (!numbers.insert(p.Number).second)
            return Fail(lineNo, "point number " + std::to_string(p.Number) + " appears twice in its block");
        p.Line = lineNo;
        kind->Points.push_back(p);
    }
    TMapFileParse r;
    r.File = std::move(file);
    r.Scrambled = scrambled;
    return r;
}

TMapFileParse LoadMapFile(const std::string &path)
{
    try {
        const auto bytes = ReadWholeFile(path, kMaxMapFileSize);
        if (!bytes) {
            TMapFileParse r;
            r.Missing = true;
            return r;
        }
        return ParseMapFile(*bytes);
    } catch (const std::exception &e) {
        return Fail(0, e.what());
    }
}

std::string FormatMapFile(const std::vector<TMapPoint> &petrol, const std::vector<TMapPoint> &lpg)
{
    std::string out;
    AppendBlock(out, kMapFilePetrol, petrol);
    out += "\r\n";
    AppendBlock(out, kMapFileLpg, lpg);
    return out;
}

void SaveMapFile(const std::string &path, const std::vector<TMapPoint> &petrol, const std::vector<TMapPoint> &lpg,
                 bool scrambled)
{
    std::string text = FormatMapFile(petrol, lpg);
    if (scrambled)
        ScrambleBytes(std::span(reinterpret_cast<uint8_t *>(text.data()), text.size()));
    WriteFileAtomically(path, text);
}

TMapPointList ToPointList(const TMapFileKind &kind)
{
    TMapPointList list;
    for (const TMapFilePoint &p : kind.Points) {
        if (p.Number >= kMaxMapPointsPerKind)
            continue;
        list.Points[p.Number] = p.Point;
        list.Count = static_cast<uint8_t>(std::max<unsigned>(list.Count, p.Number + 1));
    }
    return list;
}

std::vector<TMapPoint> PointsOf(const TMapPointList &list)
{
    const std::size_t n = std::min<std::size_t>(list.Count, list.Points.size());
    return {list.Points.begin(), list.Points.begin() + static_cast<std::ptrdiff_t>(n)};
}

} // namespace lumex
