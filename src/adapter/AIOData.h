// The analogue inputs and outputs and the lambda emulation of the adapter:
// the device image and the edited state, and the pure rules of the AIO
// window (the model curve, the step buttons, validating a grid).
#pragma once

#include "modules/DataState.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumex {

inline constexpr std::size_t kAioPressureRows = 10;
inline constexpr std::size_t kAioRpmColumns = 12;
inline constexpr std::size_t kAioModelPoints = 3;
inline constexpr std::size_t kAioInputs = 2;
// Every emulation cell and step result stays within this range.
inline constexpr int kAioCellMin = 0;
inline constexpr int kAioCellMax = 1000;

// One input's emulation settings.
struct TAioInput
{
    TWordVariable *MinValue = nullptr;
    TWordVariable *MaxValue = nullptr;
    TByteVariable *EmulationType = nullptr;
    std::array<std::array<TWordVariable *, kAioRpmColumns>, kAioPressureRows> Thresholds{};
    std::array<TWordVariable *, kAioModelPoints> ModelX{};
    std::array<TWordVariable *, kAioModelPoints> ModelY{};
};

class TDevStateAIO : public TBaseDevState
{
public:
    explicit TDevStateAIO(TDeviceState &aggregate);

    TDoubleVariable &RealAnalogInput1;
    TDoubleVariable &RealAnalogInput2;
    TDoubleVariable &RealAnalogOutput1;
    TDoubleVariable &RealAnalogOutput2;
    TBoolByteVariable &ConfOptions;
    std::array<TByteVariable *, kAioPressureRows> PcolThresholds{};
    std::array<TWordVariable *, kAioRpmColumns> RpmThresholds{};
    std::array<TAioInput, kAioInputs> Inputs{};
};

class TUIStateAIO : public TDevStateAIO
{
public:
    TUIStateAIO(TDeviceState &aggregate, TDevStateAIO &twin);
    TBoolByteVariable &Lam1EmulationEnabled;
    TBoolByteVariable &Lam2EmulationEnabled;
};

// Volts of an analogue value: a signed 16-bit big-endian number / 1000.
double AioVolts(uint8_t high, uint8_t low);

// The line through the model's three points at x; a pair of equal X values
// gives the Y of the upper point instead of dividing by zero.
double InterpolateModel(const std::array<double, kAioModelPoints> &xs, const std::array<double, kAioModelPoints> &ys,
                        double x);

// A step button on one cell: the cell's number plus the step, within
// 0..1000; a text that is no number counts as 0.
int AioStepCell(const std::string &cell, int step);

// Every cell of a grid as integers (a text that is no number counts as 0),
// or none with the position of the first cell outside min..max; the
// caller then stores nothing.
struct TAioGridCheck
{
    std::optional<std::vector<int>> Values;
    std::size_t BadIndex = 0;
    bool NotANumber = false; // the bad cell holds text, not a number out of range
};
TAioGridCheck CheckAioCells(const std::vector<std::string> &cells, int min, int max);

} // namespace lumex
