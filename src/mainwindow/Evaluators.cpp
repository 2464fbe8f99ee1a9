#include "mainwindow/Evaluators.h"

#include "controller/Conversions.h"
#include "controller/LockState.h"

#include <algorithm>

namespace lumex {

namespace {

int Alarm(bool alarm)
{
    return alarm ? kPaletteAlarm : kPaletteNormal;
}

int Cylinders(const TNorviData &d)
{
    return std::min<int>(d.InjSW, static_cast<int>(kCylinders));
}

} // namespace

int EvalRpmPresent(const TReadingInput &in)
{
    return Alarm(in.Data.RpmPeriod == 0);
}

int EvalTredNominal(const TReadingInput &in)
{
    // Raw codes fall as the temperature rises: a larger code is colder.
    return Alarm(in.Data.TredRaw > in.Extras.NominalTredRaw);
}

int EvalTgas(const TReadingInput &in)
{
    return Alarm(in.Data.TgasRaw >= 196);
}

int EvalPsys(const TReadingInput &in)
{
    return Alarm(in.Data.PsysRaw < in.Data.LowPT || in.Data.SystemState < 4);
}

int EvalPcol(const TReadingInput &in)
{
    return PcolBar(in.Data.PcolRaw, in.Data.PressureSensorType) <= 1.05 ? kPaletteNormal : kPaletteGreen;
}

int EvalPetrolTimes(const TReadingInput &in)
{
    bool high = false;
    bool low = false;
    for (int k = 0; k < Cylinders(in.Data); ++k) {
        const double ms = TimeMs(in.Data.PetrolTime[k]);
        high = high || ms >= 6.0;
        low = low || ms < 0.1;
    }
    return Alarm(high && low);
}

int EvalSupply(const TReadingInput &in)
{
    return in.Data.SupplyRaw > 131 ? kPaletteBlack : kPaletteAlarm;
}

int EvalTredWarm(const TReadingInput &in)
{
    return Alarm(in.Data.TredRaw >= 89);
}

int EvalTredHot(const TReadingInput &in)
{
    return Alarm(in.Data.TredRaw >= 68);
}

int EvalIdleRpm(const TReadingInput &in)
{
    return Alarm(RpmFromPeriod(in.Data.RpmPeriod) > 1200);
}

int EvalCalRpm(const TReadingInput &in)
{
    const int rpm = RpmFromPeriod(in.Data.CalRpmPeriod);
    return rpm >= 2201 && rpm <= 2799 ? kPaletteGreen : kPaletteNormal;
}

int EvalIdleTime(const TReadingInput &in)
{
    const double ms = AvgPetrolTimeMs(in.Data);
    return Alarm(!(ms >= 1.5 && ms <= 8.0));
}

int EvalPsysRange(const TReadingInput &in)
{
    return Alarm(!(in.Extras.PsysBar >= 0.85 && in.Extras.PsysBar <= 1.3));
}

int EvalPcolRange(const TReadingInput &in)
{
    const double bar = PcolBar(in.Data.PcolRaw, in.Data.PressureSensorType);
    return Alarm(!(bar >= 0.2 && bar <= 0.5));
}

int EvalAlways(const TReadingInput &)
{
    return kPaletteNormal;
}

std::pair<int, int> MapRpmWindow(uint8_t mapRpmRange)
{
    switch (mapRpmRange) {
    case 0:
        return {1250, 1750};
    case 1:
        return {1750, 2250};
    case 3:
        return {2750, 3250};
    case 4:
        return {3250, 3750};
    case 5:
        return {3750, 4250};
    case 6:
        return {4250, 4750};
    case 7:
        return {4750, 5250};
    case 8:
        return {1250, 2250};
    case 9:
        return {1750, 2750};
    case 10:
        return {2250, 3250};
    case 11:
        return {2750, 3750};
    case 12:
        return {3250, 4250};
    case 13:
        return {3750, 4750};
    case 14:
        return {4250, 5250};
    default:
        return {2250, 2750};
    }
}

namespace {

bool InsideMapWindow(const TNorviData &d)
{
    const auto [lower, upper] = MapRpmWindow(d.MapRPMRange);
    const int rpm = RpmFromPeriod(d.RpmPeriod);
    return rpm > lower && rpm < upper;
}

} // namespace

int EvalMapRpmRange(const TReadingInput &in)
{
    return InsideMapWindow(in.Data) ? kPaletteGreen : kPaletteNormal;
}

bool MapRpmBeep(const TNorviData &d, bool soundsOn)
{
    return soundsOn && InsideMapWindow(d) && d.LockState == kLockUnlocked && d.TredRaw < 88;
}

} // namespace lumex
