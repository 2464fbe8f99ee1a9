#include "mainwindow/ReadingsView.h"

#include "common/Format.h"

#include "controller/Conversions.h"
#include "controller/Version.h"
#include "mainwindow/Evaluators.h"

#include <algorithm>
#include <cmath>

namespace lumex {

namespace {

int Clamp(long value, int max)
{
    return static_cast<int>(std::clamp<long>(value, 0, max));
}

int ShownCylinders(const TNorviData &d)
{
    return std::min<int>(d.InjSW, static_cast<int>(kCylinders));
}

uint8_t PetrolMask(const TReadingInput &in)
{
    if (HasLiveBlock(in.Data))
        return in.Data.PetrolOverloadMask;
    return static_cast<uint8_t>(in.Extras.WordVar9 & in.Data.InjMask);
}

uint8_t GasMask(const TReadingInput &in)
{
    if (HasLiveBlock(in.Data))
        return in.Data.GasOverloadMask;
    return static_cast<uint8_t>(in.Extras.WordVar10 & in.Data.InjMask);
}

double LambdaPosition(uint8_t raw, uint8_t type)
{
    switch (type) {
    case 1:
        return raw / 51.0;
    case 2:
    case 3:
        return raw / 255.0;
    case 4:
    case 5:
        return (255.0 - raw) / 255.0;
    case 6:
        return (raw - 41.0) / 41.0;
    default:
        return raw;
    }
}

void LoadIndicators(const TReadingInput &in, uint8_t mask, const std::array<int32_t, kCylinders> &times,
                    TLoadChart &chart, std::array<std::string, kCylinders> &labels)
{
    const TNorviData &d = in.Data;
    labels.fill("--");
    chart = TLoadChart{};
    if (d.RpmPeriod == 0)
        return;
    int load = 0;
    if (mask != 0) {
        chart = {true, 100};
    } else if (OverallLoad(in, load)) {
        chart = {true, std::clamp(load, 0, 100)};
    }
    const long base = PerCylinderBase(d);
    for (std::size_t k = 0; k < kCylinders; ++k) {
        if (mask & (1U << k))
            labels[k] = "MAX";
        else if (base != 0)
            labels[k] = FormatText("%.0f%%", static_cast<double>(times[k]) / static_cast<double>(base) * 100.0);
    }
}

} // namespace

int ClampTimeSelection(int selection, uint8_t injSW)
{
    return selection < 0 || selection > injSW || selection > static_cast<int>(kCylinders) ? 0 : selection;
}

bool OverallLoad(const TReadingInput &in, int &load)
{
    const TNorviData &d = in.Data;
    load = 0;
    if (d.VersionCode == kVersion14 || d.VersionCode == kVersion15) {
        const int n = ShownCylinders(d);
        if (n == 0 || d.RpmPeriod == 0)
            return false;
        double sum = 0;
        for (int k = 0; k < n; ++k)
            sum += d.PetrolTime[k];
        load = static_cast<int>(std::lround(sum / n / d.RpmPeriod * 100.0));
        return true;
    }
    if (d.VersionCode == kVersion30) {
        load = HasLiveBlock(d) ? d.LoadPercent : in.Extras.WordVar31;
        return true;
    }
    return true;
}

long PerCylinderBase(const TNorviData &d)
{
    const double period = d.RpmPeriod;
    switch (d.RPMsource) {
    case 1:
        return std::lround(period / 2.0);
    case 2:
        return d.InjSW == 0 ? 0 : std::lround(period / d.InjSW);
    case 3:
        return d.InjSW == 0 ? 0 : std::lround(period / d.InjSW * 2.0);
    default:
        return d.RpmPeriod;
    }
}

TReadingsView ComputeReadingsView(const TReadingInput &in, int timeSelection)
{
    const TNorviData &d = in.Data;
    TReadingsView v;

    v.Rpm = {ShowRpm(d.RpmPeriod), EvalRpmPresent(in)};
    v.RpmBar = Clamp(RpmFromPeriod(d.RpmPeriod), kRpmBarMax);
    v.Psys = {ShowPsys(d.PsysRaw, in.Extras.PsysBar), EvalPsys(in)};
    v.PsysBar = Clamp(d.PsysRaw, kPsysBarMax);
    v.Pcol = {ShowPcol(d.PcolRaw, d.PressureSensorType), EvalPcol(in)};
    v.Tred = {ShowTemperature(d.TredRaw), EvalTredNominal(in)};
    v.TNomRed = FormatTemperature(TempC(in.Extras.NominalTredRaw));
    v.Tgaz = {ShowTemperature(d.TgasRaw), EvalTgas(in)};

    const int selection = ClampTimeSelection(timeSelection, d.InjSW);
    const bool onGas = d.SystemState == 5;
    double petrolMs = 0;
    double gasMs = 0;
    if (selection == 0) {
        petrolMs = AvgPetrolTimeMs(d);
        gasMs = AvgGasTimeMs(d);
    } else {
        petrolMs = TimeMs(d.PetrolTime[selection - 1]);
        gasMs = TimeMs(d.GasTime[selection - 1]);
    }
    v.Petrol = {FormatTime(petrolMs), EvalPetrolTimes(in)};
    v.Lpg = {FormatTime(onGas ? gasMs : 0.0), kUnregistered};
    v.Vbat = {FormatText("%.1f", SupplyVolts(d.SupplyRaw)), EvalSupply(in)};

    v.LambdaVisible = d.LambdaType != 0;
    const uint8_t lambdaType = d.FlashLubeSupportEnabled ? 2 : d.LambdaType;
    v.Lambda = {FormatText("%.2f", LambdaVolts(d.LambdaRaw, lambdaType)), kUnregistered};
    const double position = LambdaPosition(d.LambdaRaw, d.LambdaType);
    v.LambdaBar = Clamp(std::isfinite(position) ? std::lround(position * kLambdaBarMax) : 0, kLambdaBarMax);

    v.Cylinders = ShownCylinders(d);
    const uint8_t petrolMask = PetrolMask(in);
    const uint8_t gasMask = GasMask(in);
    LoadIndicators(in, petrolMask, d.PetrolTime, v.PetrolChart, v.PetrolLoad);
    LoadIndicators(in, gasMask, d.GasTime, v.GasChart, v.GasLoad);
    for (std::size_t k = 0; k < kCylinders; ++k) {
        const bool petrolFull = v.PetrolChart.Valid && v.PetrolChart.Load == 100;
        const bool gasFull = v.GasChart.Valid && v.GasChart.Load == 100;
        v.PetrolBars[k] = petrolFull ? kInjectionBarMax : Clamp(d.PetrolTime[k], kInjectionBarMax);
        v.LpgBars[k] = gasFull ? kInjectionBarMax : Clamp(d.GasTime[k], kInjectionBarMax);
    }

    v.InjCorrVisible = Is30From(d, "D");
    for (std::size_t k = 0; k < kCylinders; ++k)
        v.InjCorr[k] = std::to_string(static_cast<int8_t>(d.InjCorr[k])) + "%";

    v.PetrolCaptionRgb = onGas ? kRgbBlack : kRgbRed;
    v.LpgCaptionRgb = onGas ? kRgbDarkGreen : kRgbBlack;
    return v;
}

} // namespace lumex
