// What a live display is computed from: the data image plus the few values
// that cost transactions of their own (pressure channels, nominal reducer
// temperature and overload words of older firmware). The device thread
// gathers them once per refresh, so the displays themselves need no device.
#pragma once

#include "controller/NorviData.h"

#include <cstdint>

namespace lumex {

class TDataManager;

struct TReadingExtras
{
    double PsysBar = 0;
    uint8_t NominalTredRaw = 0;
    uint16_t WordVar9 = 0;  // petrol overload mask, older firmware
    uint16_t WordVar10 = 0; // gas overload mask, older firmware
    uint16_t WordVar31 = 0; // load in percent, 0x30 before "G"
};

struct TReadingInput
{
    const TNorviData &Data;
    const TReadingExtras &Extras;
};

// Gathers the extras with the transactions they need: word variables 13 and
// 15 for a high-range pressure sensor, 33 for the nominal reducer
// temperature before "G", and, with the engine turning, the overload and
// load words that the firmware does not deliver in its live block.
TReadingExtras GatherReadingExtras(TDataManager &manager);

// The gas times computed from the petrol times through the model, stored
// back into the image (when the configuration asks for model gas times).
void ApplyModelGasTimes(TNorviData &data);

} // namespace lumex
