#include "calibration/CorrectionLine.h"

#include "common/DecimalText.h"
#include "controller/WireScaling.h"

#include <cmath>

namespace lumex {

int MultiplierPosition(double mult)
{
    const double position = std::round(mult * 100.0 - 100.0);
    if (!std::isfinite(position))
        return 0;
    // Far beyond any spinner; keeps the conversion defined.
    constexpr double kLimit = 1e6;
    return static_cast<int>(std::fmax(-kLimit, std::fmin(kLimit, position)));
}

double MultiplierFromPercent(double percent)
{
    return std::isfinite(percent) ? 1.0 + percent / 100.0 : 1.0;
}

std::optional<double> CorrectionOffsetFromText(std::string_view text)
{
    const auto ms = ParseDecimal(text);
    if (!ms || !EncodeOffset(*ms))
        return std::nullopt;
    return ms;
}

uint8_t MaskFromBoxes(const std::array<bool, 8> &boxes)
{
    unsigned mask = 0;
    for (unsigned k = 0; k < boxes.size(); ++k) {
        if (boxes[k])
            mask |= 1u << k;
    }
    return static_cast<uint8_t>(mask);
}

std::array<bool, 8> BoxesFromMask(uint8_t mask)
{
    std::array<bool, 8> boxes{};
    for (unsigned k = 0; k < boxes.size(); ++k)
        boxes[k] = ((mask >> k) & 1u) != 0;
    return boxes;
}

TCorrectionLine CorrectionLineOf(const TNorviData &d)
{
    return {d.CorrectionMult, d.CorrectionOffset, d.CorrectionMask};
}

void StoreCorrectionLine(const TCorrectionLine &line, TNorviData &d)
{
    d.CorrectionMult = line.Mult;
    d.CorrectionOffset = line.Offset;
    d.CorrectionMask = line.Mask;
}

} // namespace lumex
