// Puts the parameter-block and service steps into the poll cycle and the
// reconnection of a TDataManager: after identification the configuration of
// the generation, the model block and the trouble flags; the calibration
// state of poll modes 2 and 4; the adaptation tables of modes 5 and 6.
#pragma once

namespace lumex {

class TDataManager;

void InstallParameterSteps(TDataManager &manager);

} // namespace lumex
