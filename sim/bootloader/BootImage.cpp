#include "sim/bootloader/BootImage.h"

#include "modules/AdapterProtocol.h"

#include <algorithm>
#include <array>

namespace sim {

namespace {

constexpr std::array<uint8_t, 4> kMagic{'L', 'X', 'F', 'W'};

} // namespace

std::vector<uint8_t> MakeImage(uint8_t family, uint8_t version, uint8_t letter, std::size_t length, uint32_t seed)
{
    length = std::max(length, kImageHeaderLength);
    std::vector<uint8_t> image(length, 0);
    uint32_t x = seed * 2654435761u + 12345u;
    for (std::size_t i = kImageHeaderLength; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        image[i] = static_cast<uint8_t>(x >> 16);
    }
    std::copy(kMagic.begin(), kMagic.end(), image.begin());
    image[4] = family;
    image[5] = version;
    image[6] = letter;
    const auto len = static_cast<uint32_t>(length);
    for (int i = 0; i < 4; ++i)
        image[8 + i] = static_cast<uint8_t>(len >> (8 * i));
    const uint16_t crc = lumex::Crc16Xmodem(std::span<const uint8_t>(image).subspan(kImageHeaderLength));
    image[12] = static_cast<uint8_t>(crc >> 8);
    image[13] = static_cast<uint8_t>(crc & 0xFF);
    return image;
}

std::optional<ImageHeader> ParseImageHeader(std::span<const uint8_t> block0)
{
    if (block0.size() < kImageHeaderLength || !std::equal(kMagic.begin(), kMagic.end(), block0.begin()))
        return std::nullopt;
    ImageHeader h;
    h.family = block0[4];
    h.version = block0[5];
    h.letter = block0[6];
    for (int i = 0; i < 4; ++i)
        h.length |= static_cast<uint32_t>(block0[8 + i]) << (8 * i);
    h.crc = static_cast<uint16_t>((block0[12] << 8) | block0[13]);
    if (h.length < kImageHeaderLength)
        return std::nullopt;
    return h;
}

std::optional<ImageHeader> ValidImage(std::span<const uint8_t> flash)
{
    auto h = ParseImageHeader(flash);
    if (!h || flash.size() < h->length)
        return std::nullopt;
    if (lumex::Crc16Xmodem(flash.subspan(kImageHeaderLength, h->length - kImageHeaderLength)) != h->crc)
        return std::nullopt;
    return h;
}

} // namespace sim
