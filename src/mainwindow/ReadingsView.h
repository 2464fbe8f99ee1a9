// Everything the readings page shows, computed from the readings alone:
// texts in their formats, palette indexes of the coloured displays, bar
// positions (clamped to their ranges), the load indicators and which
// cylinders are shown. The page only copies these into its widgets.
#pragma once

#include "mainwindow/ReadingInputs.h"

#include <array>
#include <cstdint>
#include <string>

namespace lumex {

inline constexpr int kUnregistered = -1; // a display without an evaluator

struct TShownValue
{
    std::string Text;
    int Palette = kUnregistered;
};

// One of the two load charts: the load and its remainder, or full when an
// injector is overloaded; nothing while the engine stands.
struct TLoadChart
{
    bool Valid = false;
    int Load = 0; // 0..100
};

inline constexpr int kRpmBarMax = 8000;
inline constexpr int kPsysBarMax = 255;
inline constexpr int kInjectionBarMax = 25 * 187; // 25 ms in controller ticks
inline constexpr int kLambdaBarMax = 1000;

// RGB colours of the "BENZYNA [ms]" and "LPG [ms]" captions.
inline constexpr uint32_t kRgbBlack = 0x000000;
inline constexpr uint32_t kRgbRed = 0xFF0000;
inline constexpr uint32_t kRgbDarkGreen = 0x008000;

struct TReadingsView
{
    TShownValue Rpm, Psys, Pcol, Tred, Tgaz, Petrol, Lpg, Vbat, Lambda;
    std::string TNomRed;

    int RpmBar = 0;
    int PsysBar = 0;
    bool LambdaVisible = false;
    int LambdaBar = 0; // 0..kLambdaBarMax

    int Cylinders = 0; // cylinders 1..Cylinders are shown
    std::array<int, kCylinders> PetrolBars{};
    std::array<int, kCylinders> LpgBars{};
    TLoadChart PetrolChart, GasChart;
    std::array<std::string, kCylinders> PetrolLoad, GasLoad;

    bool InjCorrVisible = false;
    std::array<std::string, kCylinders> InjCorr;

    uint32_t PetrolCaptionRgb = kRgbRed;
    uint32_t LpgCaptionRgb = kRgbBlack;
};

// `timeSelection` 0 shows the mean times, n the times of cylinder n.
TReadingsView ComputeReadingsView(const TReadingInput &in, int timeSelection);

// The time-selection entries after the first ("strAvg"): injector numbers
// 1..InjSW. A selection above InjSW falls back to 0.
int ClampTimeSelection(int selection, uint8_t injSW);

// The overall load L of the load charts, when it can be computed.
bool OverallLoad(const TReadingInput &in, int &load);
// The per-cylinder base of the load labels; 0 when it cannot be computed.
long PerCylinderBase(const TNorviData &d);

} // namespace lumex
