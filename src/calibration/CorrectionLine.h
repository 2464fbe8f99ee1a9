// The BANK2 correction line of the model: a multiplier the page shows as a
// percent step away from 1, an offset in ms, and one mask bit per injector.
#pragma once

#include "controller/NorviData.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lumex {

struct TCorrectionLine
{
    double Mult = 1.0;
    double Offset = 0.0; // ms
    uint8_t Mask = 0;

    bool operator==(const TCorrectionLine &) const = default;
};

// Spinner position of a multiplier: [x × 100 − 100, rounded]; 0 for a value
// that is not finite.
int MultiplierPosition(double mult);
// A multiplier from its percent text value: 1 + p / 100.
double MultiplierFromPercent(double percent);

// An offset text the controller can store: a decimal number of ms ("," or
// "." as separator) within the signed tick word; nothing for anything else.
std::optional<double> CorrectionOffsetFromText(std::string_view text);

// The mask as the sum of the ticked boxes (box k is bit k − 1).
uint8_t MaskFromBoxes(const std::array<bool, 8> &boxes);
std::array<bool, 8> BoxesFromMask(uint8_t mask);

TCorrectionLine CorrectionLineOf(const TNorviData &d);
void StoreCorrectionLine(const TCorrectionLine &line, TNorviData &d);

} // namespace lumex
