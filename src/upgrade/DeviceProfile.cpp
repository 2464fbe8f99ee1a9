#include "upgrade/DeviceProfile.h"

#include "modules/AdapterProtocol.h"
#include "upgrade/BootFrames.h"

#include <array>

namespace lumex {

namespace {

constexpr TDeviceProfile kController{3, 0xC0, 0xD0, 0x01, 0x53, 0x02, 0x15, 38, 7, 9, 18};
constexpr TDeviceProfile kAdapter{40, 0xC2, 0xD2, 0x01, 0x03, 0x04, 0x10, 40, 8, 11, 20};

} // namespace

const TDeviceProfile &ControllerProfile()
{
    return kController;
}

const TDeviceProfile &AdapterProfile()
{
    return kAdapter;
}

const TDeviceProfile &ProfileFor(bool adapter)
{
    return adapter ? kAdapter : kController;
}

std::vector<uint8_t> AppRequest(const TDeviceProfile &profile, uint8_t command, uint8_t param)
{
    std::vector<uint8_t> r{profile.requestHeader, command, param};
    if (profile.requestHeader == kAdapter.requestHeader) {
        const uint16_t crc = Crc16Xmodem(r);
        r.push_back(static_cast<uint8_t>(crc >> 8));
        r.push_back(static_cast<uint8_t>(crc & 0xFF));
    } else {
        r.push_back(BootSum(r));
    }
    return r;
}

} // namespace lumex
