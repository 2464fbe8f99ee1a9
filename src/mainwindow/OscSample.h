// One sample of the recorder: the live readings of one polling tick in
// engineering units, plus the OBD channels of the adapter, and the channel
// tables the panes, the displays and the CSV columns are built from.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace lumex {

inline constexpr std::size_t kObdChannels = 21;
inline constexpr int kObdZoomLevels = 5; // 0 (a sixteenth) .. 4 (full range)
inline constexpr int kObdFullZoom = kObdZoomLevels - 1;

// The system state of a controller running on gas.
inline constexpr uint8_t kSystemStateGas = 5;

struct TOscSample
{
    double Tb = 0;      // ms
    double Tg = 0;      // ms; 0 unless on gas
    double Psys = 0;    // bar
    double Pcol = 0;    // bar
    double TempG = 0;   // °C
    double TempR = 0;   // °C
    double RPM = 0;     // 1/min
    double Lambda = 0;  // V
    double Voltage = 0; // V
    std::array<double, kObdChannels> Obd{};
    std::array<uint8_t, kObdChannels> ObdZoom{};
    uint32_t ObdPresent = 0; // bit n: channel n had a value
    int32_t SysState = 0;
    int32_t GasFlag = 0; // -1 on gas
    double Time = 0;     // s since Start or Reset
    bool Taken = false;  // false: an empty slot

    bool OnGas() const { return GasFlag != 0; }
    bool HasObd(std::size_t channel) const { return (ObdPresent >> channel) & 1u; }
};

// The nine channels every sample has.
enum class TOscChannel : uint8_t
{
    Tb,
    Tg,
    Psys,
    Pcol,
    TempG,
    TempR,
    RPM,
    Lambda,
    Voltage
};
inline constexpr std::size_t kOscFixedChannels = 9;

struct TOscChannelInfo
{
    TOscChannel Channel;
    std::string_view Name;
    std::string_view CsvHeader; // the name with its SI unit
    double CsvFactor;           // shown unit to the CSV's unit
    double Low, High;           // the pane's scale
    uint32_t Rgb;               // trace colour
    const char *Format;         // the display at the cursor
};

const TOscChannelInfo &OscChannelInfo(TOscChannel channel);
double OscValue(const TOscSample &sample, TOscChannel channel);

struct TObdChannelInfo
{
    std::string_view Variable;
    std::string_view Item; // the selector's text
    double Low, High;      // full range
};
const TObdChannelInfo &ObdChannelInfo(std::size_t channel);

// The four panes, top to bottom.
enum class TOscPane : uint8_t
{
    Times,
    Pressures,
    Temperatures,
    Fourth
};
inline constexpr int kOscPanes = 4;

// The selectors of the fourth pane: item 0 Lambda, 1 Voltage, 2.. the OBD
// channels 0..20.
inline constexpr int kSelectorItems = 2 + static_cast<int>(kObdChannels);
inline constexpr int kSelectorLambda = 0;
inline constexpr int kSelectorVoltage = 1;
inline constexpr int kSelectorFirstObd = 2;
inline constexpr uint32_t kSelector1Rgb = 0xDD6600;
inline constexpr uint32_t kSelector2Rgb = 0x008800;

} // namespace lumex
