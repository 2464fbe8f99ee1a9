// The map point file parser on any bytes: plain or scrambled, it either
// rejects the file or gives points whose numbers and values are in range.
#include "calibration/MapFile.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const lumex::TMapFileParse r = lumex::ParseMapFile(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!r.File)
        return 0;
    for (const auto *kind : {&r.File->Petrol, &r.File->Lpg}) {
        for (const auto &p : kind->Points) {
            if (p.Number > 126 || !std::isfinite(p.Point.Pressure) || !std::isfinite(p.Point.TimeMs) ||
                p.Point.Kind > 7)
                std::abort();
        }
        const lumex::TMapPointList list = lumex::ToPointList(*kind);
        if (list.Count > 127)
            std::abort();
    }
    return 0;
}
