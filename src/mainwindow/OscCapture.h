// Taking one recorder sample from the data image, and the source of the
// OBD channels. Without an adapter every channel is absent, and the
// recorder stores and exports them as such.
#pragma once

#include "controller/NorviData.h"
#include "mainwindow/OscSample.h"

#include <optional>

namespace lumex {

class TDataManager;

class TObdChannelSource
{
public:
    virtual ~TObdChannelSource() = default;
    // The current value of OBD channel 0..20; nothing when it has none.
    virtual std::optional<double> Value(std::size_t channel) const = 0;
};

class TAbsentObdSource : public TObdChannelSource
{
public:
    std::optional<double> Value(std::size_t /*channel*/) const override { return std::nullopt; }
};

// The injector selection of the readings page: 0 the average, 1..8 a cylinder.
inline constexpr int kInjectorAverage = 0;

// The sample of the image as it stands. `psysBar` is the converted system
// pressure (its high range needs the controller).
TOscSample OscSampleFromImage(const TNorviData &data, int injectorItem, double psysBar, const TObdChannelSource &obd);

// On the device thread, after an ok poll cycle: reads the test-mode switch
// (byte parameter 24) and, when it is on, takes the gas times from the
// model first, as the controller does not deliver them then.
TOscSample TakeOscSample(TDataManager &manager, int injectorItem, const TObdChannelSource &obd);

} // namespace lumex
