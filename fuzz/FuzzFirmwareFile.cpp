// The firmware-file checks on any bytes, with the controller's and the
// adapter's trailer: a file is refused with a message or accepted with an
// image that leaves room for its trailer, a description of printable
// characters, and blocks that cover the image. The simulated bootloader's
// reading of an image header runs on the same bytes.
#include "sim/bootloader/BootImage.h"
#include "upgrade/FirmwareFile.h"
#include "upgrade/Upgrader40Logic.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size)
{
    const std::span<const uint8_t> bytes(data, size);
    for (const bool adapter : {false, true}) {
        const lumex::TDeviceProfile &profile = lumex::ProfileFor(adapter);
        const lumex::TFirmwareCheck check = lumex::CheckFirmwareImage(bytes, profile);
        if (check.ok != check.message.empty())
            std::abort();
        if (!check.ok)
            continue;
        if (check.imageSize == 0 || check.imageSize + profile.trailerLength != size)
            std::abort();
        if (!std::all_of(check.description.begin(), check.description.end(),
                         [](char c) { return c >= 0x20 && c < 0x7F; }))
            std::abort();

        lumex::TUpgraderLogic logic;
        logic.SetAdapterMode(adapter);
        if (!logic.CheckFirmwareBytes(std::vector<uint8_t>(bytes.begin(), bytes.end())))
            std::abort();
        if (logic.BlockCount() * lumex::kBootBlockData < check.imageSize || logic.ProgressMaximum() < 2)
            std::abort();
    }
    (void)sim::ValidImage(bytes);
    return 0;
}
