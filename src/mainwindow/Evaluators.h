// Colour evaluators of the live displays: each maps the readings to an
// index of the display palette (7 normal, 10 alarm, 2 green, 4 black).
#pragma once

#include "mainwindow/ReadingInputs.h"

#include <cstdint>
#include <utility>

namespace lumex {

inline constexpr int kPaletteGreen = 2;
inline constexpr int kPaletteBlack = 4;
inline constexpr int kPaletteNormal = 7;
inline constexpr int kPaletteAlarm = 10;

using TEvaluator = int (*)(const TReadingInput &);

int EvalRpmPresent(const TReadingInput &in);
int EvalTredNominal(const TReadingInput &in);
int EvalTgas(const TReadingInput &in);
int EvalPsys(const TReadingInput &in);
int EvalPcol(const TReadingInput &in);
int EvalPetrolTimes(const TReadingInput &in);
int EvalSupply(const TReadingInput &in);
int EvalTredWarm(const TReadingInput &in);
int EvalTredHot(const TReadingInput &in);
int EvalIdleRpm(const TReadingInput &in);
int EvalCalRpm(const TReadingInput &in);
int EvalIdleTime(const TReadingInput &in);
int EvalPsysRange(const TReadingInput &in);
int EvalPcolRange(const TReadingInput &in);
int EvalAlways(const TReadingInput &in);
int EvalMapRpmRange(const TReadingInput &in);

// The engine-speed window of a MapRPMRange value, as (lower, upper) rpm.
std::pair<int, int> MapRpmWindow(uint8_t mapRpmRange);
// The map page's beep: the speed inside the window, the controller
// writable, sounds switched on and the reducer below raw 88.
bool MapRpmBeep(const TNorviData &d, bool soundsOn);

} // namespace lumex
