#include "upgrade/FirmwareFile.h"

#include "common/Format.h"
#include "upgrade/BootFrames.h"

#include <algorithm>
#include <fstream>

namespace lumex {

namespace {

bool Printable(uint8_t c)
{
    return c >= 0x20 && c < 0x7F;
}

// Control bytes never reach a text field as they are.
char Shown(uint8_t c)
{
    return Printable(c) ? static_cast<char>(c) : '?';
}

std::string TextOf(std::span<const uint8_t> bytes)
{
    std::string s;
    for (const uint8_t c : bytes)
        s += Shown(c);
    return s;
}

std::string HexOf(std::span<const uint8_t> bytes)
{
    std::string s;
    for (const uint8_t c : bytes)
        s += FormatText("%.02X ", c);
    return s;
}

TFirmwareCheck Refuse(std::string message)
{
    TFirmwareCheck r;
    r.message = std::move(message);
    return r;
}

} // namespace

bool LoadFirmwareFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &message)
{
    bytes.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = "Cannot open " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        message = "Cannot read " + path;
        return false;
    }
    if (static_cast<uint64_t>(size) > kMaxFirmwareFileSize) {
        message = kMsgWrongFile;
        return false;
    }
    in.seekg(0, std::ios::beg);
    bytes.resize(static_cast<std::size_t>(size));
    if (!bytes.empty() && !in.read(reinterpret_cast<char *>(bytes.data()), size)) {
        bytes.clear();
        message = "Cannot read " + path;
        return false;
    }
    return true;
}

uint8_t TrailerSum(std::span<const uint8_t> trailer)
{
    if (trailer.size() < kTrailerMarkerLength + 2)
        return 0;
    return BootSum(trailer.subspan(kTrailerMarkerLength, trailer.size() - 2 - kTrailerMarkerLength));
}

std::string FirmwareDescription(std::span<const uint8_t> trailer, const TDeviceProfile &profile)
{
    const auto time = trailer.subspan(profile.timeOffset, kTrailerTimeLength);
    const auto date = trailer.subspan(profile.dateOffset, kTrailerDateLength);
    std::string text = FormatText("%.02X", trailer[profile.versionOffset]);
    text += Shown(trailer[profile.versionOffset + 1]);
    text += " (";
    if (time[0] >= '0' && time[0] <= '9') {
        text += TextOf(time) + " " + TextOf(date);
    } else {
        std::string hex = HexOf(time) + ": " + HexOf(date);
        hex.pop_back();
        text += hex;
    }
    return text + ")";
}

TFirmwareCheck CheckFirmwareImage(std::span<const uint8_t> file, const TDeviceProfile &profile)
{
    const std::size_t n = profile.trailerLength;
    if (n > kMaxTrailerLength)
        return Refuse(kMsgTrailerTooLong);
    // A file with no image would erase the device and program nothing.
    if (file.size() <= n || file.size() > kMaxFirmwareFileSize)
        return Refuse(kMsgWrongFile);
    const auto trailer = file.last(n);
    if (trailer[n - 1] != static_cast<uint8_t>(file.size() % 256))
        return Refuse(kMsgWrongFile);
    const bool marker = std::all_of(trailer.begin(), trailer.begin() + kTrailerMarkerLength,
                                    [](uint8_t c) { return c == kTrailerMarker; });
    if (!marker || trailer[n - 2] != TrailerSum(trailer))
        return Refuse(kMsgIncompatibleFormat);
    const uint8_t version = trailer[profile.versionOffset];
    if (version < profile.minimumVersion)
        return Refuse(FormatText("Required firmware version: %x", profile.minimumVersion) + "\r\n" +
                      FormatText("Found version: %x", version));
    TFirmwareCheck r;
    r.ok = true;
    r.versionCode = version;
    r.letter = trailer[profile.versionOffset + 1];
    r.imageSize = file.size() - n;
    r.description = FirmwareDescription(trailer, profile);
    return r;
}

} // namespace lumex
