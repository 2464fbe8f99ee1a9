#include "documents/JpegEncode.h"

#include "documents/JpegError.h"

#include <cstdlib>

namespace lumex {

namespace {

struct TEncoder
{
    jpeg_compress_struct Info{};
    jpeg::TErrorManager Errors;
    unsigned char *Output = nullptr; // malloc'ed by the library's memory destination
    unsigned long OutputSize = 0;
};

// As in the decoder: no object with a destructor lives in this frame.
bool RunEncoder(TEncoder &encoder, const TRgbImage &image, const TJpegEncodeOptions &options)
{
    jpeg_compress_struct &info = encoder.Info;
    info.err = jpeg::Install(encoder.Errors);
    if (setjmp(encoder.Errors.Jump))
        return false;

    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &encoder.Output, &encoder.OutputSize);
    info.image_width = static_cast<JDIMENSION>(image.Width);
    info.image_height = static_cast<JDIMENSION>(image.Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    if (options.Grayscale)
        jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, options.Quality, TRUE);
    if (options.Progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // The library only reads the row; its interface is not const-clean.
        auto *row = const_cast<JSAMPLE *>(image.Pixel(0, static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

} // namespace

std::optional<std::string> EncodeJpeg(const TRgbImage &image, const TJpegEncodeOptions &options)
{
    if (!image.IsValid() || options.Quality < 1 || options.Quality > 100)
        return std::nullopt;
    TEncoder encoder;
    const bool encoded = RunEncoder(encoder, image, options);
    jpeg_destroy_compress(&encoder.Info);
    std::optional<std::string> bytes;
    if (encoded && encoder.Output)
        bytes.emplace(reinterpret_cast<const char *>(encoder.Output), encoder.OutputSize);
    std::free(encoder.Output);
    return bytes;
}

} // namespace lumex
