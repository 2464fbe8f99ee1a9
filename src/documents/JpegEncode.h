// An RGB picture to JPEG bytes, for the pictures we draw ourselves.
#pragma once

#include "documents/RgbImage.h"

#include <optional>
#include <string>

namespace lumex {

struct TJpegEncodeOptions
{
    int Quality = 85; // 1 … 100
    bool Progressive = false;
    bool Grayscale = false; // stored as one grey channel
};

// The file's bytes; nothing when the picture is not valid or the library
// refuses it.
std::optional<std::string> EncodeJpeg(const TRgbImage &image, const TJpegEncodeOptions &options = {});

} // namespace lumex
