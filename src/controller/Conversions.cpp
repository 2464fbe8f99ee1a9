#include "controller/Conversions.h"

#include "common/Format.h"

#include "controller/Version.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace lumex {

namespace {

// °C for each raw temperature byte of the controller's sensors.
constexpr std::array<double, 256> kTemperatureTable{
    272.8124, 204.4015, 178.7948, 162.2159, 151.7787, 143.0195, 135.7731, 129.9096, // 0
    125.3290, 120.8430, 116.4485, 113.2109, 110.0222, 106.8810, 104.8128, 101.7486, // 8
    99.7307,  97.7324,  95.7535,  93.7935,  91.8523,  90.8887,  88.9751,  87.0796,  // 16
    86.1385,  84.2696,  83.3417,  81.4988,  80.5837,  79.6729,  77.8639,  76.9656,  // 24
    76.0714,  75.1813,  74.2952,  72.5294,  71.6468,  70.7682,  69.8935,  69.0228,  // 32
    68.1561,  67.2933,  66.4343,  65.5792,  65.0113,  64.1625,  63.3176,  62.7564,  // 40
    61.9177,  61.0827,  60.5280,  59.6992,  59.1486,  58.5997,  57.7793,  57.2344,  // 48
    56.6910,  55.8790,  55.3396,  54.8017,  54.2655,  53.7307,  52.9315,  52.4006,  // 56
    51.8712,  51.3434,  50.8170,  50.2922,  49.7689,  49.2470,  48.7267,  48.2078,  // 64
    47.6904,  47.1744,  46.6599,  46.1469,  45.8909,  45.3801,  44.8706,  44.3626,  // 72
    43.8561,  43.3509,  43.0988,  42.5958,  42.0942,  41.5939,  41.0951,  40.8462,  // 80
    40.3494,  39.8540,  39.6068,  39.1134,  38.6215,  38.1308,  37.8860,  37.3974,  // 88
    36.9101,  36.6670,  36.1817,  35.6978,  35.4563,  34.9743,  34.4937,  34.2539,  // 96
    33.7752,  33.5363,  33.0596,  32.5841,  32.3469,  31.8733,  31.6370,  31.1654,  // 104
    30.6951,  30.4604,  29.9919,  29.7582,  29.2916,  28.8263,  28.5941,  28.1306,  // 112
    27.8994,  27.4378,  26.9774,  26.7476,  26.2891,  26.0603,  25.6035,  25.3756,  // 120
    24.9207,  24.4670,  24.2406,  23.7886,  23.5631,  23.1130,  22.8883,  22.4400,  // 128
    21.9928,  21.7696,  21.3241,  21.1018,  20.6581,  20.4367,  19.9947,  19.5539,  // 136
    19.3339,  18.8948,  18.6756,  18.2382,  17.8019,  17.5842,  17.1496,  16.9327,  // 144
    16.4998,  16.0679,  15.8525,  15.4223,  14.9932,  14.7791,  14.3517,  13.9254,  // 152
    13.7126,  13.2879,  12.8643,  12.6529,  12.2308,  11.8099,  11.3900,  11.1805,  // 160
    10.7622,  10.3449,  9.9287,   9.7210,   9.3064,   8.8928,   8.4802,   8.2743,   // 168
    7.8633,   7.4534,   7.0444,   6.6364,   6.2295,   5.8236,   5.4187,   5.2166,   // 176
    4.8132,   4.4107,   4.0093,   3.6089,   3.2094,   2.8109,   2.6121,   1.8210,   // 184
    1.4278,   1.0356,   0.6444,   0.2541,   -0.1352,  -0.5236,  -0.9111,  -1.2976,  // 192
    -1.6832,  -2.4516,  -2.8345,  -3.2164,  -3.5974,  -3.9775,  -4.7349,  -5.1123,  // 200
    -5.4888,  -6.2391,  -6.6130,  -6.8023,  -7.3580,  -7.9117,  -8.4635,  -9.0134,  // 208
    -9.5613,  -10.1073, -10.6515, -11.1937, -11.7341, -12.8092, -13.3440, -13.8770, // 216
    -14.0627, -14.9374, -15.8071, -16.6719, -16.8800, -17.5319, -18.3871, -19.2375, // 224
    -20.0832, -20.9242, -21.7606, -22.5924, -23.4196, -24.2423, -25.8742, -26.3390, // 232
    -27.9483, -28.7465, -29.5404, -30.5627, -32.0908, -33.6031, -35.0999, -36.5814, // 240
    -38.0479, -40.3172, -44.2167, -45.3854, -48.0115, -55.3036, -62.2253, -65.5561, // 248
};

double AverageTimeMs(const TNorviData &d, const std::array<int32_t, kCylinders> &times)
{
    const std::size_t n = std::min<std::size_t>(d.InjSW, kCylinders);
    if (n == 0)
        return 0;
    double sum = 0;
    for (std::size_t k = 0; k < n; ++k)
        sum += TimeMs(times[k]);
    return sum / static_cast<double>(n);
}

} // namespace

double TimeMs(double raw)
{
    return raw / kTicksPerMs;
}

int RpmFromPeriod(uint16_t raw)
{
    if (raw == 0)
        return 0;
    const double rpm = 120.0 / (raw / kTicksPerMs / 1000.0);
    return static_cast<int>(std::lround(rpm / 10.0)) * 10;
}

double TempC(uint8_t raw)
{
    return kTemperatureTable[raw];
}

double SupplyVolts(uint8_t raw)
{
    return raw * 5.0 / 256.0 / 0.215;
}

double LevelVolts(uint8_t raw)
{
    return raw * 5.0 / 256.0;
}

double LambdaVolts(uint8_t raw, uint8_t lambdaType)
{
    return lambdaType >= 1 && lambdaType <= 6 ? raw * 0.02 : 0.0;
}

double PcolBar(uint8_t raw, uint8_t pressureSensorType)
{
    const double b = raw / 256.0;
    const double bar = pressureSensorType == 1 ? (b - 0.04) / 0.369 : (b + 0.00842) / 0.242;
    return std::max(0.0, bar);
}

double PsysBar(uint8_t raw, uint8_t pressureSensorType, const TWordVarReader &readWordVar)
{
    double x = (raw / 256.0 - 0.04) / 0.369;
    if (pressureSensorType != 1) {
        const uint16_t b = readWordVar ? readWordVar(13) : 0;
        const uint16_t c = readWordVar ? readWordVar(15) : 0;
        if (b < c)
            return 0;
        if (raw >= 250)
            x = ((b - c) / 256.0 + 0.00842) / 0.242;
    }
    return std::max(0.0, x);
}

double AvgPetrolTimeMs(const TNorviData &d)
{
    return AverageTimeMs(d, d.PetrolTime);
}

double AvgGasTimeMs(const TNorviData &d)
{
    return AverageTimeMs(d, d.GasTime);
}

uint8_t NominalTredRaw(const TNorviData &d, const TWordVarReader &readWordVar)
{
    switch (d.VersionCode) {
    case kVersion14:
    case kVersion15: {
        // Signed: a gas temperature far above the threshold must lower the
        // value, not wrap it round to a large raw code.
        int value = d.T;
        if (d.TgasRaw >= 168)
            value -= d.TgasRaw - 167;
        return static_cast<uint8_t>(std::clamp(value, 40, 255));
    }
    case kVersion30:
        if (LetterAtLeast(d.SoftwareLetter, "G"))
            return d.NominalTredG;
        return static_cast<uint8_t>(std::min<uint16_t>(readWordVar ? readWordVar(33) : 0, 255));
    default:
        return 0;
    }
}

std::string FormatPressure(double bar)
{
    return FormatText("%.2f", bar);
}

std::string FormatTime(double ms)
{
    return FormatText("%.2f", ms);
}

std::string FormatTemperature(double celsius)
{
    return FormatText("%.1f", celsius);
}

std::string FormatVolts(double volts)
{
    return FormatText("%.1f", volts);
}

std::string FormatRpm(int rpm)
{
    return std::to_string(rpm);
}

std::string ShowPsys(uint8_t raw, double bar)
{
    return raw == 0 ? "0" : FormatPressure(bar);
}

std::string ShowTemperature(uint8_t raw)
{
    return raw == 0 ? "0" : FormatTemperature(TempC(raw));
}

std::string ShowRpm(uint16_t period)
{
    return period == 0 ? "0" : FormatRpm(RpmFromPeriod(period));
}

std::string ShowPcol(uint8_t raw, uint8_t pressureSensorType)
{
    return FormatPressure(PcolBar(raw, pressureSensorType));
}

} // namespace lumex
