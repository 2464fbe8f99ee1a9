#include "mainwindow/OscSample.h"

namespace lumex {

namespace {

constexpr double kBarToKiloPascal = 100.0;

constexpr std::array<TOscChannelInfo, kOscFixedChannels> kChannels = {{
    {TOscChannel::Tb, "Tb", "Tb [ms]", 1.0, 0, 35, 0xFF0000, "%2.2f"},
    {TOscChannel::Tg, "Tg", "Tg [ms]", 1.0, 0, 35, 0x008000, "%2.2f"},
    {TOscChannel::Psys, "Psys", "Psys [kPa]", kBarToKiloPascal, 0, 3, 0x008080, "%2.2f"},
    {TOscChannel::Pcol, "Pcol", "Pcol [kPa]", kBarToKiloPascal, 0, 3, 0x800080, "%2.2f"},
    {TOscChannel::TempG, "TempG", "TempG [°C]", 1.0, -5, 100, 0xFF00FF, "%3.1f"},
    {TOscChannel::TempR, "TempR", "TempR [°C]", 1.0, -5, 100, 0x0000FF, "%3.1f"},
    {TOscChannel::RPM, "RPM", "RPM [1/min]", 1.0, 0, 8000, 0x000080, "%4.0f"},
    {TOscChannel::Lambda, "Lambda", "Lambda [V]", 1.0, 0, 5, kSelector1Rgb, "%2.2f"},
    {TOscChannel::Voltage, "Voltage", "Voltage [V]", 1.0, 0, 20, kSelector2Rgb, "%2.2f"},
}};

constexpr std::array<TObdChannelInfo, kObdChannels> kObd = {{
    {"OBDStFtB1", "OBD STFT Bank1", -100, 99.2},
    {"OBDLtFtB1", "OBD LTFT Bank1", -100, 99.2},
    {"OBDStFtB2", "OBD STFT Bank2", -100, 99.2},
    {"OBDLtFtB2", "OBD LTFT Bank2", -100, 99.2},
    {"OBDRPM", "OBD RPM", 0, 8000},
    {"OBDSpeed", "OBD Speed", 0, 255},
    {"OBDLoad", "OBD Load", 0, 100},
    {"OBDCoolantTemp", "OBD Coolant Temp.", -5, 150},
    // The ranges of what the conversions give: MAP in bar (A / 100), the
    // timing advance in degrees (A / 2 - 64). Ranges of 0-255 and 0-2.55
    // drew MAP as a flat line and cut the advance off above 2.55 degrees.
    {"OBDMAP", "OBD MAP", 0, 2.55},
    {"OBDTimingAdvance", "OBD Timing Advance", -64, 63.5},
    {"OBDIntakeAirTemp", "OBD IAT", -5, 150},
    {"OBDMAF", "OBD MAF", 0, 655.35},
    {"OBDAbslThrottlePos", "OBD TPS", 0, 100},
    {"OBDLambda1B1", "OBD Lambda1 Bank1", 0, 1.3},
    {"OBDLambda2B1", "OBD Lambda2 Bank1", 0, 1.3},
    {"OBDLambdaUEGOCurrent1", "OBD Lambda3 Bank1", -128, 128},
    {"OBDLambdaUEGOCurrent1Ratio", "OBD Lambda4 Bank1", 0, 2},
    {"OBDLambda1B2", "OBD Lambda1 Bank2", 0, 1.3},
    {"OBDLambda2B2", "OBD Lambda2 Bank2", 0, 1.3},
    {"OBDLambdaUEGOCurrent5", "OBD Lambda3 Bank2", -128, 128},
    {"OBDLambdaUEGOCurrent5Ratio", "OBD Lambda4 Bank2", 0, 2},
}};

} // namespace

const TOscChannelInfo &OscChannelInfo(TOscChannel channel)
{
    return kChannels[static_cast<std::size_t>(channel)];
}

double OscValue(const TOscSample &s, TOscChannel channel)
{
    const std::array<double, kOscFixedChannels> values = {s.Tb,    s.Tg,  s.Psys,   s.Pcol,   s.TempG,
                                                          s.TempR, s.RPM, s.Lambda, s.Voltage};
    return values[static_cast<std::size_t>(channel)];
}

const TObdChannelInfo &ObdChannelInfo(std::size_t channel)
{
    return kObd[channel < kObdChannels ? channel : 0];
}

} // namespace lumex
