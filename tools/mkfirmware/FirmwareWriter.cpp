#include "FirmwareWriter.h"

#include "sim/bootloader/BootImage.h"
#include "upgrade/DeviceProfile.h"
#include "upgrade/FirmwareFile.h"

#include <algorithm>

namespace mkfw {

namespace {

void PutText(std::vector<uint8_t> &trailer, std::size_t at, std::size_t length, const std::string &text)
{
    for (std::size_t i = 0; i < length; ++i)
        trailer[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

} // namespace

std::vector<uint8_t> BuildFirmwareFile(const FirmwareRecipe &recipe)
{
    const lumex::TDeviceProfile &p = lumex::ProfileFor(recipe.adapter);
    std::vector<uint8_t> file = sim::MakeImage(recipe.family, recipe.version, recipe.letter, recipe.size);
    std::vector<uint8_t> trailer(p.trailerLength, 0);
    std::fill_n(trailer.begin(), lumex::kTrailerMarkerLength, lumex::kTrailerMarker);
    trailer[p.versionOffset] = recipe.version;
    trailer[p.versionOffset + 1] = recipe.letter;
    PutText(trailer, p.timeOffset, lumex::kTrailerTimeLength, recipe.time);
    PutText(trailer, p.dateOffset, lumex::kTrailerDateLength, recipe.date);
    if (recipe.corrupt == Corruption::Marker)
        trailer[0] = '*';
    trailer[p.trailerLength - 2] =
        static_cast<uint8_t>(lumex::TrailerSum(trailer) + (recipe.corrupt == Corruption::Sum));
    file.insert(file.end(), trailer.begin(), trailer.end());
    file.back() = static_cast<uint8_t>(file.size() % 256 + (recipe.corrupt == Corruption::Size));
    if (recipe.corrupt == Corruption::Short)
        file.resize(p.trailerLength - 1);
    return file;
}

} // namespace mkfw
