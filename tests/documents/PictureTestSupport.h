// Pictures for the decoder and viewer tests, drawn and encoded here: four
// coloured quarters with a little noise, so the compressed scan is long
// enough that any cut loses real data.
#pragma once

#include "documents/JpegEncode.h"
#include "documents/RgbImage.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>

namespace lumex::test {

// Top left red, top right green, bottom left blue, bottom right white.
inline constexpr std::array<std::array<uint8_t, 3>, 4> kQuarterColours = {
    {{220, 30, 30}, {30, 200, 40}, {30, 40, 210}, {235, 235, 235}}};

inline TRgbImage QuarterPicture(int width, int height)
{
    TRgbImage picture;
    picture.Width = width;
    picture.Height = height;
    picture.Bytes.resize(picture.RowBytes() * height);
    std::mt19937 noise(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto &colour = kQuarterColours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)];
            uint8_t *pixel = picture.Bytes.data() + y * picture.RowBytes() + x * 3;
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<uint8_t>(colour[c] + static_cast<int>(noise() % 21) - 10);
        }
    }
    return picture;
}

inline std::string QuarterJpeg(int width, int height, const TJpegEncodeOptions &options = {})
{
    auto bytes = EncodeJpeg(QuarterPicture(width, height), options);
    return bytes ? *bytes : std::string{};
}

} // namespace lumex::test
