// A decoded picture: 8-bit red, green and blue per pixel, rows top to bottom
// without padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumex {

struct TRgbImage
{
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Bytes; // Width * Height * 3

    std::size_t RowBytes() const { return static_cast<std::size_t>(Width) * 3; }
    const uint8_t *Pixel(int x, int y) const
    {
        return Bytes.data() + static_cast<std::size_t>(y) * RowBytes() + static_cast<std::size_t>(x) * 3;
    }
    bool IsValid() const
    {
        return Width > 0 && Height > 0 && Bytes.size() == RowBytes() * static_cast<std::size_t>(Height);
    }
};

} // namespace lumex
