#include "documents/JpegDecode.h"

#include "documents/JpegError.h"

#include <new>

namespace lumex {

namespace {

struct TDecoder
{
    jpeg_decompress_struct Info{};
    jpeg::TErrorManager Errors;
    std::string Error;
};

// Everything the library does happens below the setjmp, and no object with
// a destructor is created in this frame, so a jump from the library's error
// handler lands here without skipping one. `image` belongs to the caller.
bool RunDecoder(TDecoder &decoder, std::span<const uint8_t> bytes, const TJpegLimits &limits, TRgbImage &image)
{
    jpeg_decompress_struct &info = decoder.Info;
    info.err = jpeg::Install(decoder.Errors);
    if (setjmp(decoder.Errors.Jump))
        return false;

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = static_cast<long>(limits.MaxWorkingMemory);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        decoder.Error = "no picture in the data";
        return false;
    }
    if (info.image_width > static_cast<JDIMENSION>(limits.MaxSide) ||
        info.image_height > static_cast<JDIMENSION>(limits.MaxSide)) {
        decoder.Error =
            "picture too large: " + std::to_string(info.image_width) + " x " + std::to_string(info.image_height);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    const std::size_t rowBytes = static_cast<std::size_t>(info.output_width) * 3;
    if (info.output_components != 3 || rowBytes == 0 || rowBytes * info.output_height > limits.MaxPixelBytes) {
        decoder.Error = "picture too large or not colour";
        return false;
    }

    image.Width = static_cast<int>(info.output_width);
    image.Height = static_cast<int>(info.output_height);
    image.Bytes.resize(rowBytes * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.Bytes.data() + rowBytes * info.output_scanline;
        // The memory source never suspends; no row means the decoder is stuck.
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            decoder.Error = "decoder stopped early";
            return false;
        }
    }
    // The end marker is not waited for: every row arrived, and trailing
    // bytes after the picture do not spoil it.
    return true;
}

} // namespace

TJpegDecodeResult DecodeJpeg(std::span<const uint8_t> bytes, const TJpegLimits &limits)
{
    TJpegDecodeResult result;
    if (bytes.empty()) {
        result.Error = "empty file";
        return result;
    }
    TDecoder decoder;
    TRgbImage image;
    bool decoded = false;
    try {
        decoded = RunDecoder(decoder, bytes, limits, image);
    } catch (const std::bad_alloc &) {
        decoder.Error = "out of memory";
    }
    if (!decoded && decoder.Error.empty())
        decoder.Error = jpeg::MessageOf(decoder.Errors);
    // Safe on a half-created decompressor: it frees whatever was allocated.
    jpeg_destroy_decompress(&decoder.Info);
    if (decoded)
        result.Image = std::move(image);
    else
        result.Error = std::move(decoder.Error);
    return result;
}

} // namespace lumex
