// JPEG decoding: any bytes give a picture or an error text, never a crash,
// a leak or an exit from inside the library.
#include "documents/JpegDecode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Tighter than the program's limits so a forged header cannot make one
    // run allocate and grind through tens of megabytes.
    lumex::TJpegLimits limits;
    limits.MaxSide = 1024;
    limits.MaxPixelBytes = std::size_t{2} * 1024 * 1024;
    limits.MaxWorkingMemory = std::size_t{16} * 1024 * 1024;
    auto result = lumex::DecodeJpeg({data, size}, limits);
    if (result.Image.has_value() == !result.Error.empty())
        std::abort();
    if (result.Image && !result.Image->IsValid())
        std::abort();
    return 0;
}
