#include "controller/DeviceData.h"

#include "controller/ConfigurationIO.h"
#include "controller/Conversions.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lumex {

namespace {

constexpr std::array<uint16_t, TDevData::kMarkerCount> kMarkerMasks{
    0x0001, 0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040, 0x0080,
    0x0100, 0x0200, 0x0400, 0x0800, 0x1000, 0x2000, 0x4000, 0x8000,
};

} // namespace

double TDevData::IdleHotTbMs() const
{
    return TimeMs(data_.IdleHotTb);
}

void TDevData::SetIdleHotTbMs(double ms)
{
    const double raw = std::round(ms * kTicksPerMs);
    data_.IdleHotTb = static_cast<uint16_t>(std::clamp(raw, 0.0, 65535.0));
}

double TDevData::CalTimeAMs() const
{
    return TimeMs(data_.CalTimeA);
}

double TDevData::CalTimeBMs() const
{
    return TimeMs(data_.CalTimeB);
}

bool TDevData::Marker(unsigned number) const
{
    return number < kMarkerCount && (data_.Markers & kMarkerMasks[number]) != 0;
}

void TDevData::SetMarker(unsigned number)
{
    if (number < kMarkerCount)
        data_.Markers = static_cast<uint16_t>(data_.Markers | kMarkerMasks[number]);
}

void TDevData::ClearMarker(unsigned number)
{
    if (number < kMarkerCount)
        data_.Markers = static_cast<uint16_t>(data_.Markers & ~kMarkerMasks[number]);
}

bool TDevData::ReadConfiguration()
{
    return ReadGenerationConfiguration(manager_);
}

bool TDevData::WriteConfiguration()
{
    // Refused while the link is down or the controller is locked.
    return WriteGenerationConfiguration(manager_).Ok;
}

} // namespace lumex
