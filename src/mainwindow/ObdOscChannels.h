// The recorder's OBD channels taken from the OBD module's device image: a
// channel has a value only while the car is connected and its PID is both
// supported by the car and allowed to the adapter, the same rule that
// shows "-----" on the OBD pages.
#pragma once

#include "adapter/OBDData.h"
#include "mainwindow/OscCapture.h"

#include <array>
#include <functional>

namespace lumex {

class TModuleOBD;

// The 21 channels over one image. The image must outlive the source.
class TObdImageChannels : public TObdChannelSource
{
public:
    explicit TObdImageChannels(const TDevStateOBD &image);

    std::optional<double> Value(std::size_t channel) const override;
    // Whether channel `channel` names a live value of the image (all do).
    bool Bound(std::size_t channel) const { return channels_[channel].Variable != nullptr; }

private:
    const TDevStateOBD &image_;
    std::array<TObdLiveValue, kObdChannels> channels_{};
};

// The channels of the OBD module on the device thread: none at all while no
// adapter with the OBD function answered.
class TObdModuleChannels : public TObdChannelSource
{
public:
    explicit TObdModuleChannels(const TModuleOBD &module);

    std::optional<double> Value(std::size_t channel) const override;

private:
    const TModuleOBD &module_;
    TObdImageChannels image_;
};

} // namespace lumex
