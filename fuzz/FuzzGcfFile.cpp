// The configuration file loader on any bytes, for a 3.0 "G" and a 1.5
// controller: it refuses the file or gives an image whose injector count
// stays within the controller's channels, and the difference report runs.
#include "configuration/ConfigFile.h"
#include "controller/Version.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    for (const uint8_t generation : {lumex::kVersion30, lumex::kVersion15}) {
        lumex::TNorviData controller;
        controller.VersionCode = generation;
        controller.SoftwareLetter = "G";
        controller.InjHW = 4;
        const lumex::TGcfLoad load = lumex::ApplyGcf(text, controller, {}, false);
        if (!load)
            continue;
        if (load.Image.InjSW > controller.InjHW || load.Image.VersionCode != generation)
            std::abort();
        (void)lumex::GcfDifferences(controller, {}, load, false);
    }
    return 0;
}
