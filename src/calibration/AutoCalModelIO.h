// The model transfers of autocalibration: the default model its start
// writes, the model and idle points it reads when the controller has
// finished, and the model it writes from the result. Each write stops at the
// first step the controller does not acknowledge and names it.
#pragma once

#include "controller/NorviData.h"
#include "controller/WriteResult.h"

namespace lumex {

class TDataManager;

// Stores the default model of the configured gas injector in the image and
// writes it: multiplier, offset, correction line and mask, the point set
// (and, from revision D, the adapted set), the idle points and byte 37 with
// the model used at idle.
TWriteResult WriteDefaultModel(TDataManager &manager, TModelPoints &idle);

// Multiplier, offset, byte 37 (the model used at idle), the idle points and
// the point set: what the verdict and the new model are computed from.
bool ReadModelForResult(TDataManager &manager, TModelPoints &idle);

TWriteResult WriteIdlePoints(TDataManager &manager, const TModelPoints &idle);

// Multiplier and offset, the point set and, from revision D, the same points
// as the adapted set, which the controller starts its adaptation from.
TWriteResult WriteResultModel(TDataManager &manager);

} // namespace lumex
