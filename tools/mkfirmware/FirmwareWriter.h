// Builds a firmware file: a simulator image followed by the trailer of the
// controller's or the adapter's profile, optionally spoiled on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mkfw {

enum class Corruption
{
    None,
    Size,   // the last byte is not the file size modulo 256
    Marker, // the trailer does not start with "#####"
    Sum,    // the trailer's checksum is off
    Short   // the file is shorter than its trailer
};

struct FirmwareRecipe
{
    bool adapter = false;
    uint8_t family = 3;
    uint8_t version = 0x30;
    uint8_t letter = 'G';
    std::string time = __TIME__; // the build's, as a firmware's own stamp
    std::string date = __DATE__;
    std::size_t size = std::size_t{64} * 1024; // image bytes
    Corruption corrupt = Corruption::None;
};

std::vector<uint8_t> BuildFirmwareFile(const FirmwareRecipe &recipe);

} // namespace mkfw
