// Reading and writing the configuration of the controller's generation, and
// the whole set of settings a configuration transfer carries.
#pragma once

#include "controller/NorviData.h"
#include "controller/WriteResult.h"

namespace lumex {

class TDataManager;

// The configuration block of the generation with its follow-up parameter
// reads, gated by the firmware letter. False for an unknown generation or
// when a read failed.
bool ReadGenerationConfiguration(TDataManager &manager);
// The configuration block and the parameters the configuration pages write,
// in their order. Refused while the link is down.
TWriteResult WriteGenerationConfiguration(TDataManager &manager);

// Everything the generation and letter have: the configuration, the model
// block and model parameters, model points, Model2 sets, correction tables,
// maps and map points, and the adaptation tables. Map points above
// `mapPressureLimit` bar are dropped.
bool ReadFullConfiguration(TDataManager &manager, TImagePoints &points, double mapPressureLimit);
// Writes back every writable setting ReadFullConfiguration reads (not the
// map point lists, the second G3 map and the G3 maps' gas words, which the
// controller learns itself, nor the read-only records).
TWriteResult WriteFullConfiguration(TDataManager &manager, const TImagePoints &points);

} // namespace lumex
