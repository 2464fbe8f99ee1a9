// mkfirmware --out FILE [--adapter] [--family N] [--version 0xVV] [--letter L]
//            [--time TEXT] [--date TEXT] [--size BYTES] [--corrupt size|marker|sum|short]
#include "FirmwareWriter.h"

#include "common/AtomicFile.h"
#include "sim/bootloader/BootImage.h"
#include "upgrade/FirmwareFile.h"

#include <charconv>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr const char *kUsage =
    "usage: mkfirmware --out FILE [--adapter] [--family N] [--version 0xVV] [--letter L]\n"
    "                  [--time TEXT] [--date TEXT] [--size BYTES] [--corrupt size|marker|sum|short]\n"
    "Writes a firmware file: an image the simulated bootloader runs, then the trailer of the\n"
    "controller (or, with --adapter, the adapter). Defaults: family 3 (40 with --adapter),\n"
    "version 0x30, letter G, this build's time and date, 65536 image bytes.\n";

bool ParseUnsigned(std::string text, unsigned long max, unsigned long &out)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text = text.substr(2);
        base = 16;
    }
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out, base);
    return !text.empty() && ec == std::errc() && ptr == end && out <= max;
}

int Usage(const std::string &message)
{
    std::cerr << "mkfirmware: " << message << "\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    mkfw::FirmwareRecipe recipe;
    std::string out;
    bool familyGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--adapter") {
            recipe.adapter = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage(a + " needs a value");
        const std::string v = argv[++i];
        unsigned long n = 0;
        if (a == "--out") {
            out = v;
        } else if (a == "--family") {
            if (!ParseUnsigned(v, 255, n))
                return Usage("--family must be 0..255");
            recipe.family = static_cast<uint8_t>(n);
            familyGiven = true;
        } else if (a == "--version") {
            if (!ParseUnsigned(v, 255, n))
                return Usage("--version must be 0..255 (0xVV)");
            recipe.version = static_cast<uint8_t>(n);
        } else if (a == "--letter") {
            if (v.size() != 1)
                return Usage("--letter must be one character");
            recipe.letter = static_cast<uint8_t>(v[0]);
        } else if (a == "--time") {
            recipe.time = v;
        } else if (a == "--date") {
            recipe.date = v;
        } else if (a == "--size") {
            if (!ParseUnsigned(v, lumex::kMaxFirmwareFileSize - 64, n) || n < sim::kImageHeaderLength)
                return Usage("--size must be 36..4194240 bytes");
            recipe.size = n;
        } else if (a == "--corrupt") {
            if (v == "size")
                recipe.corrupt = mkfw::Corruption::Size;
            else if (v == "marker")
                recipe.corrupt = mkfw::Corruption::Marker;
            else if (v == "sum")
                recipe.corrupt = mkfw::Corruption::Sum;
            else if (v == "short")
                recipe.corrupt = mkfw::Corruption::Short;
            else
                return Usage("--corrupt must be size, marker, sum or short");
        } else {
            return Usage("unknown option " + a);
        }
    }
    if (out.empty())
        return Usage("--out FILE is required");
    if (recipe.adapter && !familyGiven)
        recipe.family = 40;
    const auto bytes = mkfw::BuildFirmwareFile(recipe);
    try {
        lumex::WriteFileAtomically(out, std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()));
    } catch (const lumex::EFileWriteError &e) {
        std::cerr << "mkfirmware: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
