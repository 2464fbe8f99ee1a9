// JPEG bytes to an RGB picture, safe on any input: a bad, truncated or
// oversized file gives an error text and no picture, never a crash or an
// exit.
#pragma once

#include "documents/RgbImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lumex {

struct TJpegLimits
{
    int MaxSide = 8192;                                        // width and height, each
    std::size_t MaxPixelBytes = std::size_t{64} * 1024 * 1024; // the decoded RGB bytes
    // The library's own working memory (progressive files buffer the whole
    // image's coefficients).
    std::size_t MaxWorkingMemory = std::size_t{128} * 1024 * 1024;
};

struct TJpegDecodeResult
{
    std::optional<TRgbImage> Image;
    std::string Error; // empty when Image holds the picture
};

TJpegDecodeResult DecodeJpeg(std::span<const uint8_t> bytes, const TJpegLimits &limits = {});

} // namespace lumex
