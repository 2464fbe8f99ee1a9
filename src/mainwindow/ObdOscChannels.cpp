#include "mainwindow/ObdOscChannels.h"

#include "adapter/OBDModule.h"

#include <algorithm>

namespace lumex {

TObdImageChannels::TObdImageChannels(const TDevStateOBD &image) : image_(image)
{
    // The channel table names its variable; the image knows its PID.
    const std::vector<TObdLiveValue> &live = image.LiveValues();
    for (std::size_t c = 0; c < kObdChannels; ++c) {
        const std::string_view name = ObdChannelInfo(c).Variable;
        const auto it = std::find_if(live.begin(), live.end(),
                                     [name](const TObdLiveValue &v) { return v.Variable->Name() == name; });
        if (it != live.end())
            channels_[c] = *it;
    }
}

std::optional<double> TObdImageChannels::Value(std::size_t channel) const
{
    if (channel >= kObdChannels || !Bound(channel))
        return std::nullopt;
    const TObdLiveValue &v = channels_[channel];
    if (!image_.IsCarConnected() || !image_.PidAvailable(v.Pid))
        return std::nullopt;
    return v.Variable->GetAsDouble();
}

TObdModuleChannels::TObdModuleChannels(const TModuleOBD &module) : module_(module), image_(module.DevState()) {}

std::optional<double> TObdModuleChannels::Value(std::size_t channel) const
{
    if (!module_.IsConnected())
        return std::nullopt;
    return image_.Value(channel);
}

} // namespace lumex
