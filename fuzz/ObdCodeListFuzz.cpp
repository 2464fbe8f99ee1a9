// OBD code lists: unscramble, decode, and look codes up in what came out.
#include "documents/LanguageFile.h"
#include "documents/ObdCodes.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes(reinterpret_cast<const char *>(data), size);
    auto codes = lumex::ReadScrambledLines(bytes, size % 2 ? 238 : 0);
    for (const char *code : {"P0300", "P0", "P2096", "U0100", "P1300", ""})
        (void)lumex::OBDCodeTextOf(codes, code);
    // Codes taken from the input itself, of every length around five.
    for (std::size_t length = 0; length <= 7 && length <= size; ++length)
        (void)lumex::OBDCodeTextOf(codes, std::string_view(reinterpret_cast<const char *>(data), length));
    return 0;
}
