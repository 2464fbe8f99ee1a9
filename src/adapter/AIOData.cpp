#include "adapter/AIOData.h"

#include "common/Format.h"
#include "modules/Sections.h"

#include <algorithm>
#include <charconv>

namespace lumex {

namespace {

constexpr int kByteBits = 8;
constexpr double kMilli = 1000.0;
constexpr int32_t kRangeMin = 100;
constexpr int32_t kRangeMax = 800;
constexpr int32_t kLinearEmulation = 2;
constexpr int32_t kPcolStep = 10;
constexpr int32_t kRpmStep = 500;
constexpr int32_t kCellDefault = 500;
constexpr int32_t kModelStep = 500;

std::string N(const std::string &name)
{
    return MakeVariableName(TSection::AIO, name);
}

TDoubleVariable &Analogue(TVariableList &list, const char *name)
{
    auto &v = list.Create<TDoubleVariable>(N(name), 2);
    v.SetOnRawToValue(
        MakeRawToValue([](const TVariable &, std::span<const uint8_t> r) { return AioVolts(r[0], r[1]); }));
    v.SetFormat("%.3f");
    return v;
}

std::optional<int> ParseInteger(const std::string &text)
{
    int v = 0;
    const char *b = text.data();
    const char *e = b + text.size();
    while (b < e && *b == ' ')
        ++b;
    while (e > b && e[-1] == ' ')
        --e;
    const auto [ptr, ec] = std::from_chars(b, e, v);
    if (b == e || ec != std::errc() || ptr != e)
        return std::nullopt;
    return v;
}

} // namespace

double AioVolts(uint8_t high, uint8_t low)
{
    return static_cast<int16_t>((high << kByteBits) | low) / kMilli;
}

TDevStateAIO::TDevStateAIO(TDeviceState &aggregate)
    : TBaseDevState(aggregate), RealAnalogInput1(Analogue(*this, "RealAnalogInput1")),
      RealAnalogInput2(Analogue(*this, "RealAnalogInput2")), RealAnalogOutput1(Analogue(*this, "RealAnalogOutput1")),
      RealAnalogOutput2(Analogue(*this, "RealAnalogOutput2")),
      ConfOptions(CreateParam<TBoolByteVariable>(0, N("LamEmuConfOptionsByte")))
{
    for (std::size_t k = 0; k < kAioInputs; ++k) {
        const int n = static_cast<int>(k) + 1;
        Inputs[k].MinValue = &CreateParam<TWordVariable>(kRangeMin, N(FormatText("Lam%dEmulatorMinValue", n)));
        Inputs[k].MaxValue = &CreateParam<TWordVariable>(kRangeMax, N(FormatText("Lam%dEmulatorMaxValue", n)));
    }
    for (std::size_t k = 0; k < kAioInputs; ++k)
        Inputs[k].EmulationType =
            &CreateParam<TByteVariable>(kLinearEmulation, N(FormatText("Lam%dEmulationType", static_cast<int>(k) + 1)));
    for (std::size_t i = 0; i < kAioPressureRows; ++i)
        PcolThresholds[i] =
            &CreateParam<TByteVariable>(kPcolStep * (static_cast<int32_t>(i) + 1),
                                        N(FormatText("LambdaEmulatorPcolThreshold_%d", static_cast<int>(i))));
    for (std::size_t i = 0; i < kAioRpmColumns; ++i)
        RpmThresholds[i] =
            &CreateParam<TWordVariable>(kRpmStep * (static_cast<int32_t>(i) + 1),
                                        N(FormatText("LambdaEmulatorRpmThreshold_%d", static_cast<int>(i))));
    for (std::size_t k = 0; k < kAioInputs; ++k)
        for (std::size_t r = 0; r < kAioPressureRows; ++r)
            for (std::size_t c = 0; c < kAioRpmColumns; ++c)
                Inputs[k].Thresholds[r][c] = &CreateParam<TWordVariable>(
                    kCellDefault, N(FormatText("Lam%dEmulatorThreshold_%d_%d", static_cast<int>(k) + 1,
                                               static_cast<int>(r), static_cast<int>(c))));
    for (std::size_t i = 0; i < kAioModelPoints; ++i) {
        const auto def = kModelStep * static_cast<int32_t>(i);
        const int at = static_cast<int>(i);
        for (std::size_t k = 0; k < kAioInputs; ++k) {
            const int n = static_cast<int>(k) + 1;
            Inputs[k].ModelX[i] = &CreateParam<TWordVariable>(def, N(FormatText("Lambda%dModelPointsX_%d", n, at)));
            Inputs[k].ModelY[i] = &CreateParam<TWordVariable>(def, N(FormatText("Lambda%dModelPointsY_%d", n, at)));
        }
    }
}

TUIStateAIO::TUIStateAIO(TDeviceState &aggregate, TDevStateAIO &twin)
    : TDevStateAIO(aggregate), Lam1EmulationEnabled(Create<TBoolByteVariable>(N("ConfigOptionLam1EmulationEnabled"),
                                                                              uint8_t{0x01}, ConfOptions)),
      Lam2EmulationEnabled(Create<TBoolByteVariable>(N("ConfigOptionLam2EmulationEnabled"), uint8_t{0x02}, ConfOptions))
{
    Twin = &twin;
}

double InterpolateModel(const std::array<double, kAioModelPoints> &xs, const std::array<double, kAioModelPoints> &ys,
                        double x)
{
    std::size_t i = 0;
    while (i < kAioModelPoints && xs[i] < x)
        ++i;
    if (i == 0)
        return ys[0];
    if (i == kAioModelPoints)
        return ys[kAioModelPoints - 1];
    const double dx = xs[i] - xs[i - 1];
    if (dx == 0)
        return ys[i]; // a vertical step: no line to follow
    const double a = (ys[i] - ys[i - 1]) / dx;
    return x * a + (ys[i - 1] - xs[i - 1] * a);
}

int AioStepCell(const std::string &cell, int step)
{
    const int v = ParseInteger(cell).value_or(0);
    return std::clamp(v + step, kAioCellMin, kAioCellMax);
}

TAioGridCheck CheckAioCells(const std::vector<std::string> &cells, int min, int max)
{
    TAioGridCheck out;
    std::vector<int> values;
    values.reserve(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i) {
        // An empty cell (grids before their first read) stores 0; any other
        // text that is no whole number is refused like a number out of
        // range, since a typo stored as 0 would silently change a threshold.
        const bool empty = cells[i].find_first_not_of(' ') == std::string::npos;
        const std::optional<int> parsed = empty ? std::optional<int>(0) : ParseInteger(cells[i]);
        if (!parsed || *parsed < min || *parsed > max) {
            out.BadIndex = i;
            out.NotANumber = !parsed;
            return out;
        }
        values.push_back(*parsed);
    }
    out.Values = std::move(values);
    return out;
}

} // namespace lumex
